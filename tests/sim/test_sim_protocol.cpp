// The simulated GCU's protocol logic without a port: frames, dump, writes,
// teaching, the status line, the ride, the state file.
#include "gcusim/GcuCommandProcessor.h"
#include "gcusim/GcuParameterSet.h"
#include "gcusim/GcuRideModel.h"
#include "util/Exceptions.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>

namespace {

void AddRow(CommandTable& t, int id, const char* word, double min, double max, int digits,
            double def, int position) {
    TCommandRecord& r = t[id];
    r.ID = id;
    r.Command = word;
    r.MinValueFW = min;
    r.MaxValueFW = max;
    r.DigitsValueFW = digits;
    r.DefaultValueFW = def;
    r.ReadFromGCUID = position;
}

// A small table: the dump ends at position 41, beyond the reboot counter.
CommandTable SmallTable() {
    CommandTable t;
    AddRow(t, 1, "MINVBATT", 6, 16, 1, 10.5, 1);
    AddRow(t, 15, "PCBVERSN", 3, 6, 1, 6, 2);
    AddRow(t, 46, "RPMDIVSR", 1, 4, 0, 1, 3);
    AddRow(t, 98, "RPMLIMIT", 50, 350, 0, 200, 4);
    AddRow(t, 107, "MINVATPS", 0, 5, 2, 0.5, 5);
    AddRow(t, 108, "MAXVATPS", 0, 5, 2, 4.5, 6);
    AddRow(t, 145, "SSOGMAR1", 0, 5, 2, 1.0, 7);
    AddRow(t, 146, "SSOGMAR2", 0, 5, 2, 1.6, 8);
    AddRow(t, 151, "SSOGMARN", 0, 5, 2, 1.3, 9);
    AddRow(t, 160, "LEMKARTH", 0, 5, 2, 4.5, 0);
    AddRow(t, 5, "UPACTTMO", -20, 400, 0, -10, 41);
    return t;
}

QStringList DumpFields(const QByteArray& dump) {
    EXPECT_TRUE(dump.endsWith("#\r\n"));
    return QString::fromLatin1(dump.chopped(3)).split('&');
}

struct Gcu {
    GcuParameterSet parameters{SmallTable(), "4.3"};
    GcuRideModel ride;
    GcuCommandProcessor processor{parameters, ride};

    GcuReply Send(const QByteArray& frame) {
        GcuFrameSplitter splitter;
        const auto frames = splitter.Feed(frame + "\r\n");
        EXPECT_EQ(frames.size(), 1u) << frame.constData();
        return frames.empty() ? GcuReply{} : processor.Handle(frames.front());
    }
    QByteArray Answer(const QByteArray& frame) { return Send(frame).text; }
};

} // namespace

TEST(SimProtocol, dump_holdsEveryRowAtItsPositionWithPcbRebootsAndZeroFillers) {
    Gcu gcu;
    gcu.parameters.SetRebootCounter(17);
    const QStringList f = DumpFields(gcu.Answer("[INVPARAM 1]"));
    ASSERT_EQ(f.size(), 41);
    EXPECT_EQ(f[0], "10.5");
    EXPECT_EQ(f[1], "4.3"); // the PCB version, not the row's default
    EXPECT_EQ(f[2], "1");
    EXPECT_EQ(f[4], "0.50");
    EXPECT_EQ(f[8], "1.30");
    EXPECT_EQ(f[38], "17");
    EXPECT_EQ(f[40], "-10");
    for (int i = 9; i < 38; ++i)
        EXPECT_EQ(f[i], "0") << "field " << i + 1;
}

TEST(SimProtocol, write_inRangeChangesNextDump_refusalsChangeNothing) {
    Gcu gcu;
    EXPECT_EQ(gcu.Answer("[MINVBATT 12.25]"), "OK MINVBATT 12.3\r\n"); // one GCU decimal
    EXPECT_EQ(DumpFields(gcu.Answer("[INVPARAM 1]"))[0], "12.3");
    EXPECT_EQ(gcu.Answer("[MINVBATT 16]"), "OK MINVBATT 16.0\r\n"); // the limit itself
    EXPECT_EQ(gcu.Answer("[UPACTTMO -20]"), "OK UPACTTMO -20\r\n");

    const QByteArray before = gcu.Answer("[INVPARAM 1]");
    EXPECT_EQ(gcu.Answer("[MINVBATT 16.1]"), "ERR RANGE MINVBATT 6.0..16.0\r\n");
    EXPECT_EQ(gcu.Answer("[MINVBATT 5.9]"), "ERR RANGE MINVBATT 6.0..16.0\r\n");
    EXPECT_EQ(gcu.Answer("[NOSUCHWD 1]"), "ERR UNKNOWN NOSUCHWD\r\n");
    EXPECT_EQ(gcu.Answer("[MINVBATT 12,5]"), "ERR FRAME\r\n"); // the GCU reads points only
    EXPECT_EQ(gcu.Answer("[MINVBATT abc]"), "ERR FRAME\r\n");
    EXPECT_EQ(gcu.Answer("[PCBVERSN 5.0]"), "ERR READONLY PCBVERSN\r\n");
    EXPECT_EQ(gcu.Answer("[INVPARAM 1]"), before);
}

TEST(SimProtocol, splitter_joinsFramesAcrossPieces_andReportsEachBrokenLineOnce) {
    GcuFrameSplitter splitter;
    EXPECT_TRUE(splitter.Feed("[MINV").empty());
    auto frames = splitter.Feed("BATT 11]\r\n[INVPARAM 1]");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].wellFormed);
    EXPECT_EQ(frames[0].word, "MINVBATT");
    EXPECT_EQ(frames[0].argument, "11");
    EXPECT_EQ(frames[1].word, "INVPARAM");

    frames = splitter.Feed("\r\nhello there\r\n[MAXVATPS ?\r\n[TOOLONGWORD 1]\r\n[A  1]\r\n");
    ASSERT_EQ(frames.size(), 4u);
    for (const GcuFrame& f : frames)
        EXPECT_FALSE(f.wellFormed) << f.raw.constData();
    EXPECT_EQ(frames[0].raw, "hello there");

    frames = splitter.Feed("[X 1" + QByteArray(60, '9') + "]\r\n");
    ASSERT_FALSE(frames.empty());
    EXPECT_FALSE(frames.front().wellFormed);
}

TEST(SimProtocol, fixedFrames_streamSaveAndBadArguments) {
    Gcu gcu;
    EXPECT_EQ(gcu.Send("[PRINTSTS 1]").stream, GcuReply::Stream::Start);
    EXPECT_TRUE(gcu.Send("[PRINTSTS 1]").text.isEmpty()); // the stream is the answer
    EXPECT_EQ(gcu.Send("[PRINTSTS 0]").stream, GcuReply::Stream::Stop);
    const GcuReply save = gcu.Send("[SAVEPRMT 0]");
    EXPECT_TRUE(save.saveRequested);
    EXPECT_EQ(save.text, "OK SAVEPRMT\r\n");
    EXPECT_EQ(gcu.Answer("[PRINTSTS 2]"), "ERR UNKNOWN PRINTSTS\r\n");
    EXPECT_EQ(gcu.Answer("[TESTBLIP ?]"), "ERR UNKNOWN TESTBLIP\r\n");
    EXPECT_EQ(gcu.Answer("[TESTBLIP -5]"), "ERR ARG TESTBLIP\r\n");
}

TEST(SimProtocol, teach_learnsPresentSensorVoltage_silently_andQueryAnswersIt) {
    Gcu gcu;
    gcu.ride.OverrideSensor(GcuSensor::Throttle, 0.474);
    EXPECT_TRUE(gcu.Answer("[MINVATPS 0]").isEmpty());
    EXPECT_EQ(gcu.Answer("[MINVATPS ?]"), "0.47\r\n");
    EXPECT_EQ(DumpFields(gcu.Answer("[INVPARAM 1]"))[4], "0.47");

    gcu.ride.OverrideSensor(GcuSensor::Throttle, 4.38);
    gcu.Send("[MAXVATPS 0]");
    EXPECT_EQ(gcu.Answer("[MAXVATPS ?]"), "4.38\r\n");

    gcu.ride.OverrideSensor(GcuSensor::Barrel, 2.35);
    gcu.Send("[SOGLMARN 0]");
    EXPECT_EQ(gcu.Answer("[SSOGMARN ?]"), "2.35\r\n");
    EXPECT_EQ(gcu.parameters.ValueOfCommand(151).value(), 2.35);

    gcu.ride.OverrideSensor(GcuSensor::KartAxle, 3.9);
    gcu.Send("[LEMKARTH 0]");
    EXPECT_EQ(gcu.Answer("[LEMKARTH ?]"), "3.90\r\n");
    // A number other than 0 is an ordinary write of the row.
    EXPECT_EQ(gcu.Answer("[MINVATPS 0.62]"), "OK MINVATPS 0.62\r\n");
}

TEST(SimProtocol, outputTests_acknowledgeAndShowInTheRide) {
    Gcu gcu;
    gcu.ride.ShiftDown(); // neutral -> first
    ASSERT_EQ(gcu.ride.Gear(), 1);
    EXPECT_EQ(gcu.Answer("[TESTATUP 180]"), "OK TESTATUP 180\r\n");
    EXPECT_EQ(gcu.ride.Gear(), 2);
    EXPECT_EQ(gcu.ride.Sample().paddleUp, 0);
    gcu.Send("[TESTATDW 180]");
    EXPECT_EQ(gcu.ride.Gear(), 1);
    EXPECT_EQ(gcu.Answer("[TESTLEDN 250]"), "OK TESTLEDN 250\r\n");
    const double before = gcu.ride.Rpm();
    gcu.Send("[TESTBLIP 300]");
    gcu.ride.Advance(0.25);
    EXPECT_GT(gcu.ride.Rpm(), before + 1000);
}

TEST(SimProtocol, statusLine_has16FieldsAndBarrelFollowsTheTaughtGearPositions) {
    Gcu gcu;
    gcu.Send("[SSOGMAR2 2.05]");
    gcu.ride.SetCalibration(gcu.processor.RideCalibration());
    gcu.ride.ShiftDown();
    gcu.ride.ShiftUp(); // first -> second
    gcu.ride.Advance(0.2);
    const QByteArray line = FormatStatusLine(gcu.ride.Sample(), 60, 7);
    static const QRegularExpression shape(R"(^\*(-?\d+(\.\d+)?&){15}-?\d+(\.\d+)?#\r\n$)");
    EXPECT_TRUE(shape.match(QString::fromLatin1(line)).hasMatch()) << line.constData();
    const QStringList f = QString::fromLatin1(line.mid(1).chopped(3)).split('&');
    EXPECT_EQ(f[0], "7");
    EXPECT_EQ(f[8], "2.050");
    EXPECT_EQ(f[9], "2");
    EXPECT_EQ(f[5], "1"); // not in neutral
    EXPECT_NEAR(f[6].toDouble(), 13.8, 0.5);
}

TEST(SimProtocol, ride_goesThroughAllGearsAndBackToNeutralWithinTheLimiter) {
    GcuRideCalibration calibration;
    calibration.rpmLimit = 12000;
    GcuRideModel ride(calibration);
    std::set<int> gears;
    int upPresses = 0;
    bool upWasPressed = false;
    bool brakeSeen = false;
    bool clutchSeen = false;
    double maxRpm = 0;
    for (int i = 0; i < 60 * 50; ++i) {
        ride.Advance(0.02);
        const GcuLiveSample s = ride.Sample();
        gears.insert(s.gear);
        maxRpm = std::max(maxRpm, s.rpm);
        upPresses += s.paddleUp == 0 && !upWasPressed;
        upWasPressed = s.paddleUp == 0;
        brakeSeen |= s.brake == 0;
        clutchSeen |= s.clutch == 0;
        EXPECT_EQ(s.neutral == 0, s.gear == 0);
    }
    EXPECT_EQ(gears, (std::set<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_GE(upPresses, 5);
    EXPECT_TRUE(brakeSeen);
    EXPECT_TRUE(clutchSeen);
    EXPECT_LE(maxRpm, 12000);
    EXPECT_GT(maxRpm, 9000);
}

TEST(SimProtocol, stateText_roundTripsStoredValues_andRejectsForeignFilesUnchanged) {
    GcuParameterSet a(SmallTable(), "4.3");
    ASSERT_EQ(a.Write("MINVBATT", 11.5), GcuWriteResult::Stored);
    a.StorePermanently();
    ASSERT_EQ(a.Write("MINVBATT", 12.0), GcuWriteResult::Stored); // not stored
    a.SetRebootCounter(5);

    GcuParameterSet b(SmallTable(), "4.3");
    b.LoadStateText(a.StateText());
    EXPECT_EQ(b.ValueOfCommand(1).value(), 11.5);
    EXPECT_EQ(b.RebootCounter(), 5);

    GcuParameterSet c(SmallTable(), "4.3");
    EXPECT_THROW(c.LoadStateText("reboots=1\nid.1=11\nid.199=3\n"), EInOutError);
    EXPECT_THROW(c.LoadStateText("id.1=eleven\n"), EInOutError);
    EXPECT_EQ(c.ValueOfCommand(1).value(), 10.5);
    EXPECT_EQ(c.RebootCounter(), 0);
}
