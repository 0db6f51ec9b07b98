// Frames sent to the GCU and the routing of received pieces.
#include "device/DeviceFrames.h"
#include "device/LinkRouter.h"
#include "device/TrafficLog.h"
#include "model/CommandTable.h"
#include "model/ParameterLimits.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {
const QTime Noon(12, 3, 4, 56);

ReceiveOutcome Feed(LinkRouter& router, const char* text, bool logShown = false) {
    return router.Receive(QByteArray(text), Noon, logShown);
}
} // namespace

TEST(DeviceFrames, fixedFramesEndWithCrLf) {
    EXPECT_EQ(DeviceFrames::GetConfiguration(), QByteArray("[INVPARAM 1]\r\n"));
    EXPECT_EQ(DeviceFrames::SaveParameters(), QByteArray("[SAVEPRMT 0]\r\n"));
    EXPECT_EQ(DeviceFrames::LiveStream(true), QByteArray("[PRINTSTS 1]\r\n"));
    EXPECT_EQ(DeviceFrames::LiveStream(false), QByteArray("[PRINTSTS 0]\r\n"));
    EXPECT_EQ(DeviceFrames::Query("MAXVATPS"), QByteArray("[MAXVATPS ?]\r\n"));
}

TEST(DeviceFrames, parameterWrite_usesDecimalPointAndFirmwareDigits) {
    TCommandRecord row;
    row.Command = "UPSHTIME";
    row.MinValueFW = -10;
    row.MaxValueFW = 100;
    row.DigitsValueFW = 1;
    EXPECT_EQ(DeviceFrames::ParameterWrite(row, 12.5), QByteArray("[UPSHTIME 12.5]\r\n"));
    row.DigitsValueFW = 0;
    EXPECT_EQ(DeviceFrames::ParameterWrite(row, -3.0), QByteArray("[UPSHTIME -3]\r\n"));
    row.DigitsValueFW = 2;
    EXPECT_EQ(DeviceFrames::ParameterWrite(row, 4.405), QByteArray("[UPSHTIME 4.41]\r\n"));
    // Outside the firmware limits nothing is framed.
    EXPECT_EQ(DeviceFrames::ParameterWrite(row, 100.004), QByteArray("[UPSHTIME 100.00]\r\n"));
    EXPECT_THROW(DeviceFrames::ParameterWrite(row, 100.01), EValueOutOfLimits);
    EXPECT_THROW(DeviceFrames::ParameterWrite(row, -10.01), EValueOutOfLimits);
}

TEST(DeviceFrames, outputTestDuration_boundedByItsCommandRowOrItsOwnLimits) {
    CommandTable table;
    // No row in the table: the test's own limits, for every test.
    EXPECT_EQ(OutputTestLimits(OutputTest::UpShift, table).maximum, OwnOutputTestLimits.maximum);
    table[5].Command = "UPACTTMO";
    table[5].MinValueSW = 30;
    table[5].MaxValueSW = 400;
    table[4].Command = "DNBLIPTO";
    table[4].MinValueSW = 20;
    table[4].MaxValueSW = 20; // no usable range
    const DurationLimits up = OutputTestLimits(OutputTest::UpShift, table);
    EXPECT_EQ(up.minimum, 30);
    EXPECT_EQ(up.maximum, 400);
    EXPECT_EQ(OutputTestLimits(OutputTest::Blipper, table).maximum, OwnOutputTestLimits.maximum);
    EXPECT_EQ(OutputTestLimits(OutputTest::Led, table).maximum, OwnOutputTestLimits.maximum);

    EXPECT_EQ(OutputTestFrame(OutputTest::UpShift, 400, up), QByteArray("[TESTATUP 400]\r\n"));
    EXPECT_EQ(OutputTestFrame(OutputTest::UpShift, 30, up), QByteArray("[TESTATUP 30]\r\n"));
    EXPECT_THROW(OutputTestFrame(OutputTest::UpShift, 401, up), EValueOutOfLimits);
    EXPECT_THROW(OutputTestFrame(OutputTest::UpShift, 29, up), EValueOutOfLimits);
}

TEST(DeviceFrames, outputTestAndManualCommand_takeTheirValueAndTextUnchanged) {
    EXPECT_EQ(OutputTestFrame(OutputTest::Blipper, 250, {20, 300}),
              QByteArray("[TESTBLIP 250]\r\n"));
    ASSERT_TRUE(OutputTestForButton("BRecoveryOutputTestLedTest").has_value());
    EXPECT_EQ(OutputTestFrame(*OutputTestForButton("BRecoveryOutputTestLedTest"), 180,
                              OwnOutputTestLimits),
              QByteArray("[TESTLEDN 180]\r\n"));
    EXPECT_FALSE(OutputTestForButton("BSomethingElse").has_value());
    EXPECT_EQ(DeviceFrames::ManualCommand("[MAXVATPS ?]"), QByteArray("[MAXVATPS ?]\r\n"));
    // 8-bit text on the wire: the degree sign is one byte.
    EXPECT_EQ(DeviceFrames::ManualCommand(QString::fromUtf8("\u00B0")), QByteArray("\xB0\r\n"));
}

TEST(TrafficLog, linesCarryTimeAndTheirOwnSpacing) {
    EXPECT_EQ(TrafficLog::ReceivedLine(Noon, "x"), "12.03.04.056 -  Recieved: x");
    EXPECT_EQ(TrafficLog::ConnectedLine(Noon, "/dev/ttyUSB0"),
              "12.03.04.056 - Connected to /dev/ttyUSB0");
    EXPECT_EQ(TrafficLog::DisconnectedLine(Noon, "/dev/ttyUSB0"),
              "12.03.04.056 -  Disconnected from /dev/ttyUSB0");
    EXPECT_EQ(TrafficLog::SentLine(Noon, "a"), "12.03.04.056 -  Sent: a");
}

TEST(LinkRouter, logLineOnlyWhileLogShown) {
    LinkRouter router;
    EXPECT_TRUE(Feed(router, "abc\r\n", false).logLine.isEmpty());
    EXPECT_EQ(Feed(router, "abc\r\n", true).logLine, "12.03.04.056 -  Recieved: abc\r\n");
}

TEST(LinkRouter, announcement_showsVersionOncePerConnection) {
    LinkRouter router;
    const char* hello = "901 - Init OK\r\n900 - Versione Firmware: 1.2.3\r\n";
    ReceiveOutcome first = Feed(router, hello);
    EXPECT_TRUE(first.announcement);
    EXPECT_EQ(first.firmwareVersion, "1.2.3");

    // A second announcement on the same connection is routed like any text.
    router.BeginRequest(RequestId::TpsFullOpen);
    ReceiveOutcome second = Feed(router, hello);
    EXPECT_FALSE(second.announcement);
    EXPECT_TRUE(second.answerCompleted);

    // A new connection recognises it again.
    router.ResetForConnection();
    EXPECT_FALSE(router.InitCompleted());
    EXPECT_TRUE(Feed(router, hello).announcement);
}

TEST(LinkRouter, announcementWithoutVersionMarker_showsCharacters25To29) {
    LinkRouter router;
    ReceiveOutcome out = Feed(router, "901 - Init OK...........ABCDEFG");
    EXPECT_TRUE(out.announcement);
    EXPECT_EQ(out.firmwareVersion, "ABCDE");
}

TEST(LinkRouter, announcementCutBetweenPieces_isRecognisedAndVersionFollows) {
    LinkRouter router;
    EXPECT_FALSE(Feed(router, "boot\r\n901 - In").announcement);
    ReceiveOutcome out = Feed(router, "it OK\r\n");
    EXPECT_TRUE(out.announcement);
    EXPECT_TRUE(Feed(router, "irrelevant\r\n").firmwareVersion.isEmpty());
    out = Feed(router, "900 - Versione Firmware: 5.0.9\r\n");
    EXPECT_FALSE(out.announcement);
    EXPECT_EQ(out.firmwareVersion, "5.0.9");
    // Only once.
    EXPECT_TRUE(Feed(router, "900 - Versione Firmware: 6.0.0\r\n").firmwareVersion.isEmpty());
}

TEST(LinkRouter, announcementPiece_isNotRouted) {
    LinkRouter router;
    router.BeginRequest(RequestId::TpsIdle);
    ReceiveOutcome out = Feed(router, "901 - Init OK\r\n2.5\r\n");
    EXPECT_TRUE(out.announcement);
    EXPECT_FALSE(out.answerCompleted);
    EXPECT_EQ(router.Request(), RequestId::TpsIdle);
}

TEST(LinkRouter, anyPieceEndsPlainWait_andIdleTextIsOnlyLogged) {
    LinkRouter router;
    router.BeginPlainWait();
    ReceiveOutcome out = Feed(router, "OK");
    EXPECT_FALSE(router.Waiting());
    EXPECT_FALSE(out.answerCompleted);
    EXPECT_TRUE(out.liveLines.isEmpty());
    EXPECT_FALSE(out.completedDump.has_value());
}

TEST(LinkRouter, storedAnswer_splitOverTwoPiecesGivesFullValue) {
    LinkRouter router;
    router.BeginRequest(RequestId::TpsFullOpen);
    EXPECT_FALSE(Feed(router, "4.").answerCompleted);
    EXPECT_EQ(router.Request(), RequestId::TpsFullOpen);
    EXPECT_FALSE(router.AnswerReady());
    EXPECT_TRUE(Feed(router, "41\r\n").answerCompleted);
    EXPECT_EQ(router.ReceivedText(), "4.41\r\n");
    EXPECT_EQ(router.Request(), RequestId::None);
    // Later text finds no request and leaves the answer alone.
    Feed(router, "9.99\r\n");
    EXPECT_EQ(router.ReceivedText(), "4.41\r\n");
}

TEST(LinkRouter, storedAnswer_skipsBlankLinesAndKeepsOnlyFirstLine) {
    LinkRouter router;
    router.BeginRequest(RequestId::BarrelGear6);
    EXPECT_FALSE(Feed(router, "\r").answerCompleted);
    EXPECT_TRUE(Feed(router, "\n2.35\r\n1.11\r\n").answerCompleted);
    EXPECT_EQ(router.ReceivedText(), "2.35\r\n");
}

TEST(LinkRouter, storedAnswer_passesOverStatusLinesStillInFlight) {
    LinkRouter router;
    router.BeginRequest(RequestId::TpsFullOpen);
    EXPECT_FALSE(Feed(router, "*0&1&2#\r\n").answerCompleted);
    EXPECT_TRUE(Feed(router, "4.41\r\n").answerCompleted);
    EXPECT_EQ(router.ReceivedText(), "4.41\r\n");
}

TEST(LinkRouter, dumpInThreePieces_completesOnceWithPiecesJoined) {
    LinkRouter router;
    router.BeginRequest(RequestId::ConfigDump);
    ReceiveOutcome a = Feed(router, "1&2.5&");
    EXPECT_FALSE(router.Waiting());
    EXPECT_FALSE(a.completedDump.has_value());
    EXPECT_FALSE(Feed(router, "3&4").completedDump.has_value());
    EXPECT_EQ(router.Request(), RequestId::ConfigDump);
    ReceiveOutcome c = Feed(router, "&5#\r\n");
    ASSERT_TRUE(c.completedDump.has_value());
    EXPECT_EQ(*c.completedDump, "1&2.5&3&4&5#");
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_TRUE(router.ReceivedText().isEmpty());
    EXPECT_FALSE(Feed(router, "6&7#\r\n").completedDump.has_value());
}

TEST(LinkRouter, dumpAfterStatusLinesInFlight_isNotCutByTheirEndMark) {
    LinkRouter router;
    router.BeginRequest(RequestId::ConfigDump);
    EXPECT_FALSE(Feed(router, "*0&1&2#").completedDump.has_value());
    EXPECT_FALSE(Feed(router, "\r\n*3&4#\r\n1&2").completedDump.has_value());
    ReceiveOutcome out = Feed(router, "&3#\r\n");
    ASSERT_TRUE(out.completedDump.has_value());
    EXPECT_EQ(*out.completedDump, "1&2&3#");
}

TEST(LinkRouter, live_lineSplitOverTwoPiecesIsParsedOnceWhole) {
    LinkRouter router;
    router.BeginLive();
    ReceiveOutcome a = Feed(router, "*0&1&2");
    EXPECT_TRUE(a.reachedLive);
    EXPECT_TRUE(a.liveLines.isEmpty());
    ReceiveOutcome b = Feed(router, "&3#\r\n");
    EXPECT_EQ(b.liveLines, QStringList{"*0&1&2&3#\r\n"});
    EXPECT_EQ(router.Request(), RequestId::Live);
}

TEST(LinkRouter, live_twoLinesInOnePieceBothInOrder_leadingFragmentDropped) {
    LinkRouter router;
    router.BeginLive();
    ReceiveOutcome out = Feed(router, "&7&8#\r\n*1&2#\r\n*3&4#\r\n*5");
    EXPECT_EQ(out.liveLines, (QStringList{"*1&2#\r\n", "*3&4#\r\n"}));
    EXPECT_EQ(Feed(router, "&6#\r\n").liveLines, QStringList{"*5&6#\r\n"});
}

TEST(LinkRouter, live_endStopsRoutingAndRestartDropsOldFragment) {
    LinkRouter router;
    router.BeginLive();
    Feed(router, "*1&2");
    router.EndLive();
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_TRUE(Feed(router, "#\r\n").liveLines.isEmpty());
    router.BeginLive();
    EXPECT_TRUE(Feed(router, "&9#\r\n").liveLines.isEmpty());
}

TEST(LinkRouter, abandonedRequest_dropsLateAnswer) {
    LinkRouter router;
    router.BeginRequest(RequestId::KartAxleHigh);
    Feed(router, "1.2");
    router.AbandonRequest();
    ReceiveOutcome late = Feed(router, "3\r\n");
    EXPECT_FALSE(late.answerCompleted);
    EXPECT_FALSE(router.AnswerReady());
    EXPECT_TRUE(router.ReceivedText().isEmpty());
}
