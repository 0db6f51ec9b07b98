// Frames sent to the GCU and the routing of received pieces.
#include "device/DeviceFrames.h"
#include "device/LinkRouter.h"
#include "device/TrafficLog.h"
#include "model/CommandTable.h"
#include "model/ParameterLimits.h"

#include <gtest/gtest.h>
#include <random>
#include <thread>

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

    // A second announcement on the same connection is routed like any text
    // (and is no answer to a query: its lines are not one number each).
    router.BeginRequest(RequestId::TpsFullOpen);
    ReceiveOutcome second = Feed(router, hello);
    EXPECT_FALSE(second.announcement);
    EXPECT_FALSE(second.answerCompleted);
    EXPECT_EQ(router.PassedOverText(), "900 - Versione Firmware: 1.2.3");

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

// A status line arrived when its line end did: the read that brought it
// gives its time, also when the line began in an earlier piece.
TEST(LinkRouter, live_eachLineTakesTheArrivalOfItsLineEnd) {
    LinkRouter router;
    router.BeginLive();
    const SteadyTime t0 = SteadyClock::now();
    const auto at = [t0](int ms) { return t0 + std::chrono::milliseconds(ms); };
    // "*1&2#\r\n" came with the first read, "*3&4#\r\n*5" with the second.
    const QByteArray first = "*1&2#\r\n*3&4#\r\n*5";
    ReceiveOutcome a = router.Receive(first, Noon, false, {{7, at(10)}, {first.size(), at(60)}});
    ASSERT_EQ(a.liveLines.size(), 2);
    ASSERT_EQ(a.liveArrivals.size(), 2u);
    EXPECT_EQ(a.liveArrivals[0], at(10));
    EXPECT_EQ(a.liveArrivals[1], at(60));
    ReceiveOutcome b = router.Receive("&6#\r\n", Noon, false, {{5, at(110)}});
    ASSERT_EQ(b.liveLines, QStringList{"*5&6#\r\n"});
    EXPECT_EQ(b.liveArrivals, std::vector<SteadyTime>{at(110)});
    // Without arrivals (a piece handed in directly) a line arrived now.
    const SteadyTime before = SteadyClock::now();
    ReceiveOutcome c = Feed(router, "*7&8#\r\n");
    ASSERT_EQ(c.liveArrivals.size(), 1u);
    EXPECT_GE(c.liveArrivals[0], before);
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

// ------------------------------------------------------------------ answers among other text

TEST(AnswerLine, oneNumberIsTheAnswer_acknowledgementsAndStatusLinesAreNot) {
    const std::optional<AnswerRange> none;
    struct Case {
        const char* line;
        AnswerLineKind kind;
        const char* answer;
    };
    const Case cases[] = {
        {"2.35", AnswerLineKind::Answer, "2.35"},
        {"  4,5 ", AnswerLineKind::Answer, "4,5"},
        {"-3", AnswerLineKind::Answer, "-3"},
        {"", AnswerLineKind::Blank, ""},
        {"OK", AnswerLineKind::Other, ""},
        {"OK SOGLMAR1", AnswerLineKind::Other, ""}, // a digit in a word is no answer
        {"ERR RANGE MINVATPS 0.00..5.00", AnswerLineKind::Other, ""},
        {"1.2.3", AnswerLineKind::Other, ""},
        {"*30&0&1&1&1&1&12.60&40&1.300&1&100&0.500&1&1&35&3#", AnswerLineKind::Status, ""},
        {
            "*30&0&1&1.3",
            AnswerLineKind::Status,
            "",
        }, // cut short, nothing glued in range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const AnswerLine line = ClassifyAnswerLine(c.line, AnswerRange{0, 1});
        EXPECT_EQ(line.kind, c.kind);
        EXPECT_EQ(line.answer, QString::fromLatin1(c.answer));
    }
    EXPECT_EQ(ClassifyAnswerLine("17.5", none).answer, "17.5"); // a plain line needs no range
}

TEST(AnswerLine, answerGluedToStatusLineCutShort_isTheLongestNumberInRangeAtItsEnd) {
    const AnswerRange volts{0, 5};
    const std::pair<const char*, const char*> cases[] = {
        {"*30&1&0&1&1&1&12.60&40&1.0"
         "3.90",
         "3.90"}, // cut inside a field: "1.0" + "3.90"
        {"*30&1&0&1&1&1&12.60&40&1.2"
         "3.90",
         "3.90"}, // "23.90" would lie outside the range
        {"*30&1&0&1&1&1&12.6"
         "4.50",
         "4.50"}, // "64.50" outside as well
        {"*30&1&0&1&1&1&"
         "0.45",
         "0.45"}, // cut right after a separator
        {"*3"
         "2.35",
         "2.35"}, // cut inside the first field
        {"*30&1&0&1.300&1&100&0.500&1&1&35&3#"
         "2.35",
         "2.35"}, // cut between "#" and line end
    };
    for (const auto& [line, answer] : cases) {
        SCOPED_TRACE(line);
        const AnswerLine found = ClassifyAnswerLine(line, volts);
        EXPECT_EQ(found.kind, AnswerLineKind::Answer);
        EXPECT_EQ(found.answer, QString::fromLatin1(answer));
    }
}

TEST(LinkRouter, storedAnswer_passesOverAcknowledgements_keepsTheLastOneForTheReport) {
    LinkRouter router;
    router.BeginRequest(RequestId::BarrelGear6);
    EXPECT_FALSE(Feed(router, "OK\r\nOK SOGLMAR6\r\n").answerCompleted);
    EXPECT_EQ(router.PassedOverText(), "OK SOGLMAR6");
    EXPECT_EQ(router.Request(), RequestId::BarrelGear6);
    EXPECT_TRUE(Feed(router, "4.00\r\n").answerCompleted);
    EXPECT_EQ(router.ReceivedText(), "4.00\r\n");
}

TEST(LinkRouter, storedAnswer_gluedToAStatusLineWhoseStartCameBeforeTheQuery) {
    LinkRouter router;
    router.BeginLive();
    Feed(router, "*29&1&0&1&1&1&12.60&40&1.300&1&100&0.500&1&1&35&3#\r\n*30&1&0");
    router.EndLive();
    LinkRequestOptions options;
    options.answerRange = AnswerRange{0, 5};
    router.BeginRequest(RequestId::TpsFullOpen, options);
    EXPECT_FALSE(Feed(router, "&1&1&1&12.6").answerCompleted);
    EXPECT_TRUE(Feed(router, "3.90\r\n").answerCompleted);
    EXPECT_EQ(router.ReceivedText(), "3.90");
    EXPECT_TRUE(router.PassedOverText().isEmpty());
}

TEST(LinkRouter, requestAfterOneGivenUp_neverTakesTheTailOfTheEarlierLine) {
    // A dump given up half-way: its tail comes after the next request was sent.
    LinkRouter router;
    router.BeginRequest(RequestId::ConfigDump);
    Feed(router, "1&2&");
    router.AbandonRequest();
    router.BeginRequest(RequestId::ConfigDump);
    EXPECT_FALSE(Feed(router, "3&4").completedDump.has_value());
    ReceiveOutcome out = Feed(router, "&5#\r\n11&12&13#\r\n");
    ASSERT_TRUE(out.completedDump.has_value());
    EXPECT_EQ(*out.completedDump, "11&12&13#");

    // A query after an answer given up: the rest of that answer is not the new one.
    router.BeginRequest(RequestId::TpsIdle);
    Feed(router, "0.4");
    router.AbandonRequest();
    router.BeginRequest(RequestId::TpsIdle);
    EXPECT_FALSE(Feed(router, "5\r\n").answerCompleted);
    EXPECT_TRUE(Feed(router, "0.52\r\n").answerCompleted);
    EXPECT_EQ(router.ReceivedText(), "0.52\r\n");
}

TEST(LinkRouter, dumpAfterAStatusLineCutShort_beginsWithTheRequestsText) {
    LinkRouter router;
    router.BeginLive();
    Feed(router, "*30&1&0&1.3");
    router.EndLive();
    router.BeginRequest(RequestId::ConfigDump);
    ReceiveOutcome out = Feed(router, "4&5&6#\r\n");
    ASSERT_TRUE(out.completedDump.has_value());
    EXPECT_EQ(*out.completedDump, "4&5&6#");
}

TEST(LinkRouter, dump_linesWithoutEndMarkPassedOver_tooMuchTextEndsTheRequest) {
    LinkRouter router;
    router.BeginRequest(RequestId::ConfigDump);
    EXPECT_FALSE(Feed(router, "OK SAVEPRMT\r\n").completedDump.has_value());
    ReceiveOutcome out = Feed(router, "1&2#\r\n");
    ASSERT_TRUE(out.completedDump.has_value());
    EXPECT_EQ(*out.completedDump, "1&2#");

    LinkRequestOptions options;
    options.maxDumpLength = 40;
    router.BeginRequest(RequestId::ConfigDump, options);
    Feed(router, "12&0&3.50&1&12&0&3.50&1&");
    EXPECT_EQ(router.Request(), RequestId::ConfigDump);
    EXPECT_FALSE(Feed(router, "12&0&3.50&1&12&0&3.50&1&").completedDump.has_value());
    EXPECT_TRUE(router.DumpOverflowed());
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_TRUE(router.ReceivedText().isEmpty());
}

TEST(LinkRouter, lostLink_abandonsTheRequestAndIsCounted) {
    LinkRouter router;
    router.BeginRequest(RequestId::TpsIdle);
    Feed(router, "0.4");
    const quint64 before = router.LinkLosses();
    router.LoseLink();
    EXPECT_EQ(router.LinkLosses(), before + 1);
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_FALSE(router.Waiting());
    // The next connection starts on a fresh line.
    router.BeginRequest(RequestId::TpsIdle);
    EXPECT_TRUE(Feed(router, "0.45\r\n").answerCompleted);
}

// ------------------------------------------------------------------ text before a request

namespace {
// Random bytes of every value, ending inside a line that is not a status line.
QByteArray Noise(int size, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = char(random() & 0xFF);
    return bytes + "\r\n" + QByteArray("noise \x01\xfe\x7f");
}

// Feeds Bytes in pieces of at most 4096 bytes, as the port hands them over.
void FeedInPieces(LinkRouter& router, const QByteArray& bytes) {
    for (qsizetype at = 0; at < bytes.size(); at += 4096)
        router.Receive(bytes.mid(at, 4096), Noon, false);
}
} // namespace

TEST(LinkRouter, textWithoutLineEndBeforeARequest_isClosedThere_theAnswerAfterItIsTaken) {
    struct Junk {
        const char* name;
        QByteArray bytes;
    };
    const Junk junks[] = {
        {"two letters", "OK"},
        {"NUL and FF bytes", QByteArray("\0\xff\0\xff\xff\0", 6)},
        {"a 1 MB line", QByteArray(1 << 20, 'A')},
        {"noise", Noise(20000, 5)},
        {"an answer after a line end", "4.1\r\nOK SAVE"},
        {"a status line cut short", "*30&1&0&1.3"},
        {"a status line without its line end", "*30&1&0&1.300&1#"},
    };
    LinkRequestOptions volts;
    volts.answerRange = AnswerRange{0, 5};
    for (const Junk& junk : junks) {
        SCOPED_TRACE(junk.name);
        LinkRouter dump;
        FeedInPieces(dump, junk.bytes);
        dump.BeginRequest(RequestId::ConfigDump);
        const ReceiveOutcome out = Feed(dump, "1&2.5&3#\r\n");
        ASSERT_TRUE(out.completedDump.has_value());
        EXPECT_EQ(*out.completedDump, "1&2.5&3#");

        LinkRouter query;
        FeedInPieces(query, junk.bytes);
        query.BeginRequest(RequestId::TpsIdle, volts);
        EXPECT_TRUE(Feed(query, "2.35\r\n").answerCompleted);
        EXPECT_EQ(query.ReceivedText().trimmed(), "2.35");
    }
}

TEST(LinkRouter, answerGivenUpThatStoppedComing_isClosedAtTheNextRequest) {
    LinkRouter router;
    router.BeginRequest(RequestId::ConfigDump);
    Feed(router, "1&2&");
    router.AbandonRequest();
    std::this_thread::sleep_for(std::chrono::milliseconds(LinkRouter::AnswerInFlightMs + 100));
    router.BeginRequest(RequestId::ConfigDump);
    const ReceiveOutcome out = Feed(router, "11&12&13#\r\n");
    ASSERT_TRUE(out.completedDump.has_value());
    EXPECT_EQ(*out.completedDump, "11&12&13#");
}

// A line end split over two pieces: the CR ends one piece, the LF alone is
// the next one, just before or just after the request.
TEST(LinkRouter, lineEndSplitOverTwoPieces_leavesTheAnswerAfterItToBeTaken) {
    struct Case {
        const char* name;
        QList<QByteArray> before; // pieces before the request
        QList<QByteArray> after;  // pieces after it
        bool dump;
    };
    const QByteArray status = "*29&1&0&1&1&1&12.60&40&1.300&1&100&0.500&1&1&35&3#\r";
    const Case cases[] = {
        {"query, LF before it", {status, "\n"}, {"2.35\r\n"}, false},
        {"query, LF after it", {status}, {"\n", "2.35\r\n"}, false},
        {"query, LF glued to the answer", {status}, {"\n2.35\r\n"}, false},
        {"dump, LF before it", {status, "\n"}, {"1&2.5&3#\r\n"}, true},
        {"dump, LF after it", {status}, {"\n", "1&2.5&3#\r\n"}, true},
        {"dump, CR LF of an answer split before it", {"4.1\r", "\n"}, {"1&2.5&3#\r\n"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRouter router;
        router.BeginLive();
        for (const QByteArray& piece : c.before)
            router.Receive(piece, Noon, false);
        router.EndLive();
        LinkRequestOptions options;
        options.answerRange = AnswerRange{0, 5};
        router.BeginRequest(c.dump ? RequestId::ConfigDump : RequestId::TpsIdle, options);
        ReceiveOutcome last;
        for (const QByteArray& piece : c.after)
            last = router.Receive(piece, Noon, false);
        if (c.dump) {
            ASSERT_TRUE(last.completedDump.has_value());
            EXPECT_EQ(*last.completedDump, "1&2.5&3#");
        } else {
            EXPECT_TRUE(last.answerCompleted);
            EXPECT_EQ(router.ReceivedText(), "2.35\r\n");
        }
    }
}

TEST(LinkRouter, dumpCutShort_isToldApartFromNoDumpAtAll) {
    struct Case {
        const char* name;
        QList<QByteArray> pieces;
        bool textWithoutEnd;
    };
    const Case cases[] = {
        {"half a dump", {"1&2.5&3&"}, true},
        {"fields without the end mark", {"1&2.5&3\r\n"}, true},
        {"an acknowledgement", {"OK\r\n"}, false},
        {"status lines still in flight", {"*1&2#\r\n*3&4#\r\n"}, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRouter router;
        router.BeginRequest(RequestId::ConfigDump);
        for (const QByteArray& piece : c.pieces)
            router.Receive(piece, Noon, false);
        EXPECT_EQ(router.DumpTextWithoutEnd(), c.textWithoutEnd);
        EXPECT_EQ(router.Request(), RequestId::ConfigDump);
    }
}
