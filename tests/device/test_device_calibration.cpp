// Calibration steps against a fake link: frames in order, answers scripted per
// frame and delivered from the event loop as the receive event would.
#include "device/Calibration.h"
#include "device/DeviceFrames.h"
#include "model/CommandTable.h"
#include "translation/MessageNumbers.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using namespace std::chrono_literals;

TEST(CalibrationSteps, tableCoversEveryButtonWithItsRow) {
    EXPECT_EQ(CalibrationSteps().size(), 13u);
    const CalibrationStep* n = CalibrationStepForButton("BGearDetectionBarrelPositionNSet");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->teachWord, "SOGLMARN");
    EXPECT_EQ(n->queryWord, "SSOGMARN");
    EXPECT_EQ(n->requestId, 89);
    EXPECT_EQ(n->row, 151);
    const std::map<int, int> rowOfRequest{{83, 150},  {84, 149},  {85, 148}, {86, 147},  {87, 146},
                                          {88, 145},  {89, 151},  {90, 152}, {107, 107}, {108, 108},
                                          {158, 158}, {159, 159}, {160, 160}};
    for (const auto& [request, row] : rowOfRequest) {
        const CalibrationStep* step = CalibrationStepForRequest(request);
        ASSERT_NE(step, nullptr) << request;
        EXPECT_EQ(step->row, row) << request;
        EXPECT_TRUE(RequestId::IsStoredAnswer(request)) << request;
        EXPECT_EQ(step->teachWord.size(), 8);
    }
    EXPECT_EQ(CalibrationStepForButton("BKartAxlePositionZeroSet")->display,
              CalibrationDisplay::EditText);
    EXPECT_EQ(CalibrationStepForButton("BNoSuchButton"), nullptr);
}

TEST(CalibrationSteps, answerValueKeepsDigitsOnly) {
    EXPECT_EQ(CalibrationAnswerValue("2.35\r\n"), 2.35);
    EXPECT_EQ(CalibrationAnswerValue("-12.5 mV"), 12.5);
    EXPECT_EQ(CalibrationAnswerValue("1,5"), 1.5);
    EXPECT_FALSE(CalibrationAnswerValue("\r\n").has_value());
    EXPECT_FALSE(CalibrationAnswerValue("ERR").has_value());
    EXPECT_FALSE(CalibrationAnswerValue("1.2.3").has_value());
}

namespace {
class CalibrationTest : public ::testing::Test {
  protected:
    LinkRouter router;
    ResponseWaiter waiter;
    std::vector<QByteArray> sent;
    std::vector<std::string> events;                      // hooks and frames, in order
    std::map<QByteArray, std::vector<QByteArray>> script; // pieces answered to a frame
    int liveLinesParsed = 0;
    bool live = false;
    bool portOpen = true;
    CommandTable table;
    LinkExchange exchange{router, waiter, [this](const QByteArray& f) { OnSend(f); },
                          LinkExchange::Limits{200ms, 200ms, 200ms}};
    CalibrationRunner runner{exchange, Hooks()};

    void SetUp() override {
        for (int row : {107, 108, 151}) {
            table[row].MeasureUnitFW = "V";
            table[row].MeasureUnitSW = "mV";
            table[row].FWtoSWFactor = 1000;
            table[row].ActualValueFW = 1;
            table[row].ActualValueSW = 1000;
        }
    }

    void OnSend(const QByteArray& frame) {
        if (!portOpen)
            throw std::runtime_error("port not open");
        sent.push_back(frame);
        events.push_back("send " + frame.trimmed().toStdString());
        int delay = 0;
        for (const QByteArray& piece : script[frame])
            QTimer::singleShot(delay += 5, [this, piece] { Deliver(piece); });
    }

    void Deliver(const QByteArray& piece) {
        liveLinesParsed += router.Receive(piece, QTime(), false).liveLines.size();
    }

    CalibrationRunner::Hooks Hooks() {
        CalibrationRunner::Hooks hooks;
        hooks.liveActive = [this] { return live; };
        hooks.switchLive = [this](bool on) { // as the live check box handler does
            live = on;
            exchange.SwitchLive(on);
        };
        hooks.showResult = [this](const CalibrationStep& step, int value) {
            events.push_back("show " + step.controlName.toStdString() + " " +
                             std::to_string(value));
        };
        hooks.hourglass = [this](bool on) { events.push_back(on ? "busy" : "idle"); };
        hooks.beep = [this] { events.push_back("beep"); };
        return hooks;
    }

    CalibrationResult Run(const char* button) {
        const CalibrationStep* step = CalibrationStepForButton(button);
        EXPECT_NE(step, nullptr);
        return runner.Run(*step, table, 60);
    }

    void ExpectRowUntouched(int row) {
        EXPECT_DOUBLE_EQ(table[row].ActualValueFW, 1);
        EXPECT_DOUBLE_EQ(table[row].ActualValueSW, 1000);
        EXPECT_TRUE(table[row].Status.isEmpty());
    }
};
} // namespace

TEST_F(CalibrationTest, barrelN_teachesQueriesStoresAndShows) {
    script["[SSOGMARN ?]\r\n"] = {"2.35\r\n"};
    const CalibrationResult result = Run("BGearDetectionBarrelPositionNSet");
    ASSERT_TRUE(result.ok);
    EXPECT_DOUBLE_EQ(table[151].ActualValueFW, 2.35);
    EXPECT_DOUBLE_EQ(table[151].ActualValueSW, 2350);
    EXPECT_EQ(table[151].Status, "A");
    EXPECT_EQ(events, (std::vector<std::string>{
                          "busy", "send [SOGLMARN 0]", "send [SSOGMARN ?]",
                          "show SEGearDetectionBarrelPositionNMillivolts 2350", "idle", "beep"}));
}

TEST_F(CalibrationTest, liveMode_pausedAroundStepAndStatusLinesNotParsedMeanwhile) {
    live = true;
    router.BeginLive();
    script["[PRINTSTS 0]\r\n"] = {"*0&1&2#\r\n"}; // a line still in flight
    script["[MAXVATPS ?]\r\n"] = {"4.41\r\n"};
    script["[PRINTSTS 1]\r\n"] = {"*0&1&2#\r\n"};
    const CalibrationResult result = Run("BThrottlePositionSensorFullOpenSet");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.shownValue, 4410);
    EXPECT_EQ(sent, (std::vector<QByteArray>{"[PRINTSTS 0]\r\n", "[MAXVATPS 0]\r\n",
                                             "[MAXVATPS ?]\r\n", "[PRINTSTS 1]\r\n"}));
    EXPECT_EQ(liveLinesParsed, 0);
    EXPECT_TRUE(live);
    EXPECT_EQ(router.Request(), RequestId::Live);
    // The show comes before live mode restarts.
    const auto show = std::find(events.begin(), events.end(),
                                "show SEThrottlePositionSensorFullOpenMillivolts 4410");
    const auto restart = std::find(events.begin(), events.end(), "send [PRINTSTS 1]");
    EXPECT_LT(show, restart);
    // Once restarted, status lines are parsed again.
    waiter.Wait([this] { return liveLinesParsed == 1; }, {});
    EXPECT_EQ(liveLinesParsed, 1);
}

TEST_F(CalibrationTest, answerSplitOverTwoPieces_givesFullValue) {
    script["[MINVATPS ?]\r\n"] = {"0.", "45\r\n"};
    const CalibrationResult result = Run("BThrottlePositionSensorIdleSet");
    ASSERT_TRUE(result.ok);
    EXPECT_DOUBLE_EQ(table[107].ActualValueFW, 0.45);
    EXPECT_EQ(result.shownValue, 450);
}

TEST_F(CalibrationTest, answerWithoutNumber_endsWithMessageAndChangesNothing) {
    script["[MAXVATPS ?]\r\n"] = {"ERR\r\n"};
    live = true;
    router.BeginLive();
    const CalibrationResult result = Run("BThrottlePositionSensorFullOpenSet");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.messageNumber, Msg::BadCalibrationAnswer);
    EXPECT_EQ(result.detail, "ERR");
    ExpectRowUntouched(108);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.rfind("show", 0) == 0; }),
              0);
    EXPECT_EQ(events.back(), "send [PRINTSTS 1]"); // end steps still ran
    EXPECT_TRUE(live);
}

TEST_F(CalibrationTest, noAnswer_timesOutWithMessageAndChangesNothing) {
    const CalibrationResult result = Run("BKartAxlePositionHighSet");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.messageNumber, Msg::NoAnswer);
    EXPECT_EQ(router.Request(), RequestId::None);
    EXPECT_EQ(table[160].Status, "");
    EXPECT_EQ(events.back(), "beep");
    EXPECT_EQ(events[events.size() - 2], "idle");
}

TEST_F(CalibrationTest, portClosed_endStepsRunAndFirstErrorPropagates) {
    live = true;
    portOpen = false;
    try {
        Run("BThrottlePositionSensorIdleSet");
        FAIL() << "expected the send error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "port not open");
    }
    ExpectRowUntouched(107);
    EXPECT_EQ(events, (std::vector<std::string>{"busy", "idle", "beep"}));
    EXPECT_TRUE(live); // restart was attempted
}
