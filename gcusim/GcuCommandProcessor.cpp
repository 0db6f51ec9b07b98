#include "gcusim/GcuCommandProcessor.h"

#include "util/UnitUtils.h"

#include <QRegularExpression>

namespace {

// Longest frame the GCU buffers: "[" + 8 letters + " " + argument + "]".
constexpr int MaxFrameLength = 40;
constexpr int RpmLimiterRow = 98;
constexpr int GearToleranceRow = 62; // the barrel sensor's gear recognition tolerance
constexpr int RpmDivisorRow = 46;
constexpr int RpmDoubleRow = 76;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

namespace GcuAnswer {
QByteArray Ok(const QString& what) {
    return ("OK " + what + "\r\n").toLatin1();
}
QByteArray Error(const QString& what) {
    return ("ERR " + what + "\r\n").toLatin1();
}
} // namespace GcuAnswer

int GcuTeachRow::BarrelOfGear(QChar gear) {
    if (gear >= '1' && gear <= '6')
        return 145 + (gear.unicode() - '1');
    if (gear == 'N')
        return 151;
    if (gear == 'R')
        return 152;
    return 0;
}

GcuFrame ParseGcuFrame(const QByteArray& raw) {
    static const QRegularExpression shape(R"(^\[([A-Za-z0-9_]{1,8}) (\?|[^\] ]+)\]$)");
    GcuFrame frame;
    frame.raw = raw;
    const auto match = shape.match(QString::fromLatin1(raw));
    if (!match.hasMatch())
        return frame;
    frame.word = match.captured(1);
    frame.argument = match.captured(2);
    frame.wellFormed = frame.argument == "?" || ParseGcuNumber(frame.argument).has_value();
    return frame;
}

void GcuFrameSplitter::Reset() {
    frame_.clear();
    stray_.clear();
    inFrame_ = false;
}

void GcuFrameSplitter::FinishFrame(std::vector<GcuFrame>& out) {
    out.push_back(ParseGcuFrame(frame_));
    frame_.clear();
    inFrame_ = false;
}

void GcuFrameSplitter::FinishStray(std::vector<GcuFrame>& out) {
    if (!stray_.trimmed().isEmpty())
        out.push_back(GcuFrame{false, {}, {}, stray_});
    stray_.clear();
}

std::vector<GcuFrame> GcuFrameSplitter::Feed(const QByteArray& bytes) {
    std::vector<GcuFrame> out;
    for (const char c : bytes) {
        if (c == '[') {
            FinishStray(out);
            if (inFrame_)
                FinishFrame(out); // a frame without its "]"
            inFrame_ = true;
            frame_ = "[";
            continue;
        }
        if (!inFrame_) {
            if (c == '\r' || c == '\n')
                FinishStray(out);
            else if (!IsBlank(c) || !stray_.isEmpty())
                stray_ += c;
            if (stray_.size() > MaxFrameLength)
                FinishStray(out);
            continue;
        }
        if (c == '\r' || c == '\n') {
            FinishFrame(out); // the line ended inside the frame
            continue;
        }
        frame_ += c;
        if (c == ']' || frame_.size() > MaxFrameLength)
            FinishFrame(out);
    }
    return out;
}

GcuCommandProcessor::GcuCommandProcessor(GcuParameterSet& parameters, GcuRideModel& ride)
    : parameters_(parameters), ride_(ride) {}

GcuRideCalibration GcuCommandProcessor::RideCalibration() const {
    GcuRideCalibration c;
    const auto value = [this](int id, double fallback) {
        const double v = parameters_.ValueOfCommand(id).value_or(0.0);
        return v > 0 ? v : fallback;
    };
    const QString gears = QStringLiteral("RN123456");
    for (int i = 0; i < gears.size(); ++i)
        c.barrelVolts[i] = value(GcuTeachRow::BarrelOfGear(gears[i]), 0.0);
    c.tpsIdleVolts = value(GcuTeachRow::TpsIdle, 0.5);
    c.tpsFullVolts = value(GcuTeachRow::TpsFull, 4.5);
    c.gearToleranceVolts = value(GearToleranceRow, 0.1);
    const double divisor = parameters_.ValueOfCommand(RpmDivisorRow).value_or(0.0);
    c.rpmPerHz = divisor > 0 ? std::max(RoundHalfToEvenInt(60 / divisor), 1) : 60;
    if (parameters_.ValueOfCommand(RpmDoubleRow).value_or(0.0) == 1.0)
        c.rpmPerHz *= 2;
    c.rpmLimit = value(RpmLimiterRow, 12000.0 / c.rpmPerHz) * c.rpmPerHz;
    return c;
}

GcuReply GcuCommandProcessor::Handle(const GcuFrame& frame) {
    if (!frame.wellFormed)
        return {GcuAnswer::Error(QStringLiteral("FRAME")), GcuReply::Stream::Unchanged, false};
    bool handled = false;
    GcuReply reply = HandleFixed(frame, handled);
    if (handled)
        return reply;
    return WriteParameter(frame);
}

GcuReply GcuCommandProcessor::HandleFixed(const GcuFrame& frame, bool& handled) {
    handled = true;
    const QString& w = frame.word;
    const QString& a = frame.argument;
    if (w == "INVPARAM" && a == "1")
        return {parameters_.DumpText(), GcuReply::Stream::Unchanged, false};
    if (w == "SAVEPRMT" && a == "0")
        return {GcuAnswer::Ok(w), GcuReply::Stream::Unchanged, true};
    if (w == "PRINTSTS" && (a == "0" || a == "1"))
        return {{}, a == "1" ? GcuReply::Stream::Start : GcuReply::Stream::Stop, false};
    if (w.startsWith("TEST") && a != "?" &&
        (w == "TESTATUP" || w == "TESTATDW" || w == "TESTBLIP" || w == "TESTACUT" ||
         w == "TESTLEDN"))
        return OutputTest(frame);

    struct Teachable {
        const char* word;
        int row;
        GcuSensor sensor;
    };
    static const Teachable fixedWords[] = {
        {"MINVATPS", GcuTeachRow::TpsIdle, GcuSensor::Throttle},
        {"MAXVATPS", GcuTeachRow::TpsFull, GcuSensor::Throttle},
        {"LEMKARTH", GcuTeachRow::KartAxleHigh, GcuSensor::KartAxle},
        {"LEMKARTL", GcuTeachRow::KartAxleLow, GcuSensor::KartAxle},
        {"LEMKARTZ", GcuTeachRow::KartAxleZero, GcuSensor::KartAxle},
    };
    for (const Teachable& t : fixedWords) {
        if (w != QLatin1String(t.word))
            continue;
        if (a == "0")
            return Teach(t.row, t.sensor);
        if (a == "?")
            return Query(t.row);
    }
    const int barrelRow = w.size() == 8 ? GcuTeachRow::BarrelOfGear(w.back()) : 0;
    if (barrelRow && w.startsWith("SOGLMAR") && a == "0")
        return Teach(barrelRow, GcuSensor::Barrel);
    if (barrelRow && w.startsWith("SSOGMAR") && a == "?")
        return Query(barrelRow);
    handled = false;
    return {};
}

GcuReply GcuCommandProcessor::Teach(int commandId, GcuSensor sensor) {
    parameters_.SetValue(commandId, ride_.SensorVolts(sensor));
    ride_.SetCalibration(RideCalibration());
    return {}; // the answer is the query that follows
}

GcuReply GcuCommandProcessor::Query(int commandId) const {
    const double value = parameters_.ValueOfCommand(commandId).value_or(0.0);
    const QString text = GcuNumberText(value, parameters_.DecimalsOf(commandId, 2));
    return {(text + "\r\n").toLatin1(), GcuReply::Stream::Unchanged, false};
}

GcuReply GcuCommandProcessor::OutputTest(const GcuFrame& frame) {
    const double ms = ParseGcuNumber(frame.argument).value_or(-1);
    if (ms < 0)
        return {GcuAnswer::Error(QStringLiteral("ARG ") + frame.word), {}, false};
    const QString& w = frame.word;
    if (w == "TESTATUP")
        ride_.ShiftUp();
    else if (w == "TESTATDW")
        ride_.ShiftDown();
    else if (w == "TESTBLIP")
        ride_.Blip(ms / 1000.0);
    else if (w == "TESTACUT")
        ride_.CutEngine(ms / 1000.0);
    return {GcuAnswer::Ok(w + " " + frame.argument), GcuReply::Stream::Unchanged, false};
}

GcuReply GcuCommandProcessor::WriteParameter(const GcuFrame& frame) {
    const auto id = parameters_.CommandIdOfWord(frame.word);
    if (!id)
        return {GcuAnswer::Error(QStringLiteral("UNKNOWN ") + frame.word), {}, false};
    if (frame.argument == "?")
        return Query(*id);
    const double value = *ParseGcuNumber(frame.argument);
    switch (parameters_.Write(frame.word, value)) {
    case GcuWriteResult::Stored:
        ride_.SetCalibration(RideCalibration());
        return {GcuAnswer::Ok(frame.word + " " + parameters_.ValueText(*id)), {}, false};
    case GcuWriteResult::OutOfRange: {
        const TCommandRecord& row = parameters_.Table()[*id];
        const int d = parameters_.DecimalsOf(*id, 2);
        return {GcuAnswer::Error(QStringLiteral("RANGE %1 %2..%3")
                                     .arg(frame.word, GcuNumberText(row.MinValueFW, d),
                                          GcuNumberText(row.MaxValueFW, d))),
                {},
                false};
    }
    case GcuWriteResult::ReadOnly:
        return {GcuAnswer::Error(QStringLiteral("READONLY ") + frame.word), {}, false};
    case GcuWriteResult::UnknownWord:
        break;
    }
    return {GcuAnswer::Error(QStringLiteral("UNKNOWN ") + frame.word), {}, false};
}
