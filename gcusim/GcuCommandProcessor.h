#pragma once
// The GCU's side of the text protocol: cuts the received bytes into command
// frames and answers each one from the parameter set and the ride.
#include "gcusim/GcuParameterSet.h"
#include "gcusim/GcuRideModel.h"

#include <QByteArray>
#include <QString>
#include <vector>

struct GcuFrame {
    bool wellFormed = false;
    QString word;
    QString argument;
    QByteArray raw; // as received, for logs
};

// Frames are "[" word " " argument "]", optionally followed by CR LF. Text
// outside brackets, an over-long or broken frame, is one malformed item per
// line.
class GcuFrameSplitter {
  public:
    std::vector<GcuFrame> Feed(const QByteArray& bytes);
    void Reset();

  private:
    void FinishFrame(std::vector<GcuFrame>& out);
    void FinishStray(std::vector<GcuFrame>& out);

    QByteArray frame_; // from "[" on
    QByteArray stray_; // text outside a frame on this line
    bool inFrame_ = false;
};

GcuFrame ParseGcuFrame(const QByteArray& raw);

// What the processor asks of the link besides its answer text.
struct GcuReply {
    QByteArray text; // empty: the GCU stays silent
    enum class Stream { Unchanged, Start, Stop } stream = Stream::Unchanged;
    bool saveRequested = false;
};

class GcuCommandProcessor {
  public:
    GcuCommandProcessor(GcuParameterSet& parameters, GcuRideModel& ride);

    GcuReply Handle(const GcuFrame& frame);

    // The ride's sensor ranges and barrel ladder from the present parameters.
    GcuRideCalibration RideCalibration() const;

  private:
    GcuReply HandleFixed(const GcuFrame& frame, bool& handled);
    GcuReply Teach(int commandId, GcuSensor sensor);
    GcuReply Query(int commandId) const;
    GcuReply OutputTest(const GcuFrame& frame);
    GcuReply WriteParameter(const GcuFrame& frame);

    GcuParameterSet& parameters_;
    GcuRideModel& ride_;
};

// Command rows that teaching fills.
namespace GcuTeachRow {
constexpr int TpsIdle = 107;
constexpr int TpsFull = 108;
constexpr int KartAxleLow = 158;
constexpr int KartAxleZero = 159;
constexpr int KartAxleHigh = 160;
// Barrel position of gear "1".."6", "N", "R"; 0 for any other letter.
int BarrelOfGear(QChar gear);
} // namespace GcuTeachRow

// Answer lines of the simulated GCU.
namespace GcuAnswer {
QByteArray Ok(const QString& what);
QByteArray Error(const QString& what);
} // namespace GcuAnswer
