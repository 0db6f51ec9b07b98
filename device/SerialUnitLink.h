#pragma once
// The serial-port object and the unit session joined without a window: the
// port is set up as the window sets it up, its events feed the session
// (opened, pieces received, closed) and the session's frames go out through
// it. What a front end without widgets needs around that: waiting for the
// unit's announcement, and the live lines as they come.
#include "device/UnitSession.h"
#include "util/ArrivalTimes.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class TSerialPort;

class SerialUnitLink : public QObject {
    Q_OBJECT
  public:
    explicit SerialUnitLink(UnitSession& session, QObject* parent = nullptr);
    ~SerialUnitLink() override;

    // Opens the device at Path. False, with nothing opened, when it is not
    // there or already open; raises ESerialPortException (with the system's
    // reason) when it exists but cannot be opened.
    bool Open(const QString& path);
    // The program closes the link; a close is never reported as lost.
    void Close();
    bool IsOpen() const;
    // The link closed by itself (the adapter went, the unit hung up).
    bool Lost() const { return lost_; }

    // Runs the event loop until the unit announced itself on this link
    // (true), the link went or Limit passed.
    bool AwaitAnnouncement(std::chrono::milliseconds limit);
    // The announcement's lines as they came (empty before it).
    QStringList AnnouncementLines() const;
    // Runs the event loop for Span, or until the link goes or Stop holds.
    void RunFor(std::chrono::milliseconds span, const std::function<bool()>& stop = {});

    // Complete status lines of the live stream, each with when it arrived.
    std::function<void(const QString& line, SteadyTime arrived)> liveLine;

  private:
    void Received(const QByteArray& piece);

    UnitSession& session_;
    std::unique_ptr<TSerialPort> port_;
    UnitLinkIdentity identity_;
    bool announced_ = false;
    QString announcement_; // the text from the announcement to the firmware version
    bool lost_ = false;
};
