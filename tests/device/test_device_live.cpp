// What each field of a live status line shows, and how the live controls are
// prepared when the stream starts and stops.
#include "device/LiveTelemetry.h"
#include "model/CommandTable.h"

#include <gtest/gtest.h>

#include <map>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {
constexpr int Rpm = 60;
const QString Deg = QStringLiteral("\u00B0 C");

void Units(TCommandRecord& row, const char* fw, const char* sw, double factor, int digitsSW) {
    row.MeasureUnitFW = fw;
    row.MeasureUnitSW = sw;
    row.FWtoSWFactor = factor;
    row.DigitsValueSW = digitsSW;
}

CommandTable MakeTable() {
    CommandTable table;
    Units(table[34], "Nr", "Nr", 1, 0);
    Units(table[1], "V", "V", 1, 1);
    table[1].ActualValueFW = 10.5;
    table[1].MaxValueFW = 16;
    table[143].ActualValueFW = 0.5;
    table[144].ActualValueFW = 4.5;
    table[107].ActualValueFW = 0.45;
    table[108].ActualValueFW = 4.41;
    table[98].ActualValueFW = 14000.4;
    return table;
}

// A well-formed line: every field has a neutral value unless overridden.
QString Line(std::map<int, QString> overrides = {}) {
    std::map<int, QString> fields{{0, "0"},    {1, "1"},  {2, "1"},    {3, "1"},
                                  {4, "1"},    {5, "1"},  {6, "12.6"}, {7, "40"},
                                  {8, "2.35"}, {9, "3"},  {10, "100"}, {11, "0.9"},
                                  {12, "1"},   {13, "1"}, {14, "35"},  {15, "1"}};
    for (const auto& [f, text] : overrides)
        fields[f] = text;
    QStringList parts;
    for (const auto& [f, text] : fields)
        parts << text;
    return "*" + parts.join('&') + "#\r\n";
}

class LiveLineTest : public ::testing::Test {
  protected:
    CommandTable table = MakeTable();
    LiveBarRanges ranges = ActiveLiveRanges(table);

    LiveView View(std::map<int, QString> overrides = {}) {
        const LiveParse parse = ParseLiveLine(Line(std::move(overrides)), table, Rpm, ranges);
        EXPECT_TRUE(parse.view.has_value()) << parse.error.toStdString();
        return parse.view.value_or(LiveView{});
    }
};
} // namespace

TEST_F(LiveLineTest, incompletePiecesAreIgnored) {
    for (const char* piece : {"0&1&2#\r\n", "*0&1\r\n", "*0#\r\n", ""}) {
        const LiveParse parse = ParseLiveLine(piece, table, Rpm, ranges);
        EXPECT_FALSE(parse.accepted) << piece;
        EXPECT_FALSE(parse.view.has_value());
    }
}

TEST_F(LiveLineTest, rawFieldsListedAlsoForShortOrBrokenLines) {
    LiveParse parse = ParseLiveLine("*1&2&3#\r\n", table, Rpm, ranges);
    EXPECT_TRUE(parse.accepted);
    EXPECT_EQ(parse.rawFields, (QStringList{"1", "2", "3"}));
    EXPECT_FALSE(parse.view.has_value());
    EXPECT_FALSE(parse.error.isEmpty());

    parse = ParseLiveLine(Line({{11, "x"}}), table, Rpm, ranges);
    EXPECT_EQ(parse.rawFields.size(), 16);
    EXPECT_FALSE(parse.view.has_value());
    EXPECT_TRUE(parse.error.contains("f11"));

    parse = ParseLiveLine(Line({{9, "1.0"}}), table, Rpm, ranges); // gear must be an integer
    EXPECT_FALSE(parse.view.has_value());

    parse = ParseLiveLine(Line().replace("#", "&77&88#"), table, Rpm, ranges);
    EXPECT_EQ(parse.rawFields.size(), 18);
    EXPECT_TRUE(parse.view.has_value());
}

TEST_F(LiveLineTest, ledsLitWhenScaledInputRoundsToZero) {
    LiveView view = View({{3, "0"}, {4, "0.4"}, {5, "0.6"}, {12, "0"}, {13, "1"}});
    EXPECT_TRUE(view.paddleDownLit);
    EXPECT_TRUE(view.paddleUpLit);
    EXPECT_FALSE(view.neutralLit);
    EXPECT_TRUE(view.brakeLit);
    EXPECT_FALSE(view.clutchLit);
    table[34].FWtoSWFactor = 0.1; // 1 scales to 0.1, which rounds to 0
    view = View({{13, "1"}});
    EXPECT_TRUE(view.clutchLit);
}

TEST_F(LiveLineTest, batteryTextBarAndStates) {
    // Range 105..160: a quarter of the span is 13.75, a half 27.5.
    LiveView view = View({{6, "12.6"}});
    EXPECT_EQ(view.batteryText, "12,6 V");
    EXPECT_EQ(view.batteryBar.position, 130);
    EXPECT_EQ(view.batteryBar.state, BarState::Normal);

    ranges.battery = {0, 160};
    view = View({{6, "3.4"}});
    EXPECT_EQ(view.batteryBar.position, 30);
    EXPECT_EQ(view.batteryBar.state, BarState::Error);
    view = View({{6, "7"}});
    EXPECT_EQ(view.batteryBar.state, BarState::Paused);
    view = View({{6, "8"}});
    EXPECT_EQ(view.batteryBar.state, BarState::Normal);

    table[1].FWtoSWFactor = 2;
    EXPECT_EQ(View({{6, "6.3"}}).batteryText, "12,6 V");
}

TEST_F(LiveLineTest, actuatorTemperatureStatesAndSensorFault) {
    LiveView view = View({{7, "-60"}});
    EXPECT_EQ(view.actuatorTempText, "Error");
    EXPECT_EQ(view.actuatorTempBar.position, 0);
    EXPECT_EQ(view.actuatorTempBar.state, BarState::Error);
    view = View({{7, "125"}});
    EXPECT_EQ(view.actuatorTempText, "125" + Deg);
    EXPECT_EQ(view.actuatorTempBar.state, BarState::Error);
    EXPECT_EQ(View({{7, "105"}}).actuatorTempBar.state, BarState::Paused);
    EXPECT_EQ(View({{7, "100"}}).actuatorTempBar.state, BarState::Normal);
    // Above the range the bar stands at its maximum and compares that.
    view = View({{7, "300"}});
    EXPECT_EQ(view.actuatorTempBar.position, 130);
    EXPECT_EQ(view.actuatorTempText, "300" + Deg);
}

TEST_F(LiveLineTest, gcuTemperatureStates) {
    EXPECT_EQ(View({{14, "71"}}).gcuTempBar.state, BarState::Error);
    EXPECT_EQ(View({{14, "51"}}).gcuTempBar.state, BarState::Paused);
    const LiveView view = View({{14, "50.4"}});
    EXPECT_EQ(view.gcuTempBar.state, BarState::Normal);
    EXPECT_EQ(view.gcuTempText, "50" + Deg);
    EXPECT_EQ(view.gcuTempBar.position, 50);
}

TEST_F(LiveLineTest, barrelTpsAndRpmTextsWithClippedBars) {
    LiveView view = View({{8, "2.345"}, {10, "100"}, {11, "0.2"}});
    EXPECT_EQ(view.barrelText, "2345 mV");
    EXPECT_EQ(view.barrelBar.position, 2345);
    EXPECT_FALSE(view.barrelBar.state.has_value());
    EXPECT_EQ(view.rpmText, "6000 RPM");
    EXPECT_EQ(view.rpmBar.position, 6000);
    EXPECT_EQ(view.tpsText, "200 mV");
    EXPECT_EQ(view.tpsBar.position, 450); // below the idle voltage: the bar's minimum
    view = View({{10, "300"}});
    EXPECT_EQ(view.rpmText, "18000 RPM");
    EXPECT_EQ(view.rpmBar.position, 14000);
}

TEST_F(LiveLineTest, gearTextsAndColours) {
    struct Case {
        const char* field;
        const char* text;
        DeviceColor font;
    };
    for (const Case& c : {Case{"-1", "R", LiveColor::Blue}, Case{"0", "N", LiveColor::Green},
                          Case{"1", "1", LiveColor::Black}, Case{"6", "6", LiveColor::Black},
                          Case{"7", "E", LiveColor::Red}, Case{"-2", "E", LiveColor::Red}}) {
        const LiveView view = View({{9, c.field}});
        EXPECT_EQ(view.gearText, c.text) << c.field;
        EXPECT_EQ(view.gearFont, c.font) << c.field;
    }
}

TEST_F(LiveLineTest, selectorByPositionAndByInputs) {
    auto selector = [this](std::map<int, QString> fields) {
        return View(std::move(fields)).selector;
    };
    auto expectLook = [](const std::optional<TextLook>& look, const char* text, DeviceColor bg,
                         DeviceColor font) {
        ASSERT_TRUE(look.has_value()) << text;
        EXPECT_EQ(look->text, QString(text));
        EXPECT_EQ(look->background, bg) << text;
        EXPECT_EQ(look->font, font) << text;
    };
    using namespace LiveColor;
    expectLook(selector({{15, "5"}}), "3", White, Black);
    expectLook(selector({{15, "1"}}), "A", Green, White);
    expectLook(selector({{15, "2"}}), "M", Red, White);
    expectLook(selector({{15, "3"}}), "1", White, Black);
    expectLook(selector({{15, "8"}}), "6", White, Black);
    expectLook(selector({{15, "9"}}), "R", Yellow, Black);
    expectLook(selector({{15, "10"}}), "C", Blue, White);
    expectLook(selector({{15, "11"}}), "T", Orange, White);
    expectLook(selector({{15, "12"}}), "#", Fuchsia, White);
    EXPECT_FALSE(selector({{15, "13"}}).has_value());
    EXPECT_FALSE(selector({{15, "-1"}}).has_value());

    expectLook(selector({{15, "0"}, {1, "1"}, {2, "1"}}), "A", Green, White);
    expectLook(selector({{15, "0"}, {1, "0"}, {2, "1"}}), "M", Red, White);
    expectLook(selector({{15, "0"}, {1, "1"}, {2, "0"}}), "3", White, Black);
    expectLook(selector({{15, "0"}, {1, "0"}, {2, "0"}}), "4", White, Black);
    EXPECT_FALSE(selector({{15, "0"}, {1, "2"}, {2, "0"}}).has_value());
    // Inputs are compared after the inputs' scaling.
    table[34].FWtoSWFactor = 0.2;
    expectLook(selector({{15, "0"}, {1, "5"}, {2, "5"}}), "A", Green, White);
}

TEST(LiveControls, activeRangesFromTableAndInactiveLook) {
    CommandTable table = MakeTable();
    const std::optional<LiveControlsSetup> active = LiveControlsFor("ACTIVE", table);
    ASSERT_TRUE(active.has_value());
    ASSERT_TRUE(active->ranges.has_value());
    EXPECT_EQ(active->ranges->barrel, (BarRange{500, 4500}));
    EXPECT_EQ(active->ranges->tps, (BarRange{450, 4410}));
    EXPECT_EQ(active->ranges->rpm, (BarRange{0, 14000}));
    EXPECT_EQ(active->ranges->battery, (BarRange{105, 160}));
    EXPECT_EQ(active->ranges->gcuTemp, (BarRange{0, 200}));
    EXPECT_EQ(active->ranges->actuatorTemp, (BarRange{0, 130}));
    EXPECT_FALSE(active->selector.text.has_value());
    EXPECT_EQ(active->selector.font, LiveColor::White);
    EXPECT_EQ(active->gear.font, LiveColor::Black);
    EXPECT_EQ(active->ledOffColor, LiveColor::Red);
    EXPECT_EQ(active->ledOnColor, LiveColor::Lime);

    const std::optional<LiveControlsSetup> inactive = LiveControlsFor("INACTIVE", table);
    ASSERT_TRUE(inactive.has_value());
    EXPECT_FALSE(inactive->ranges.has_value());
    EXPECT_EQ(inactive->selector.text, QString("A"));
    EXPECT_EQ(inactive->gear.text, QString("N"));
    EXPECT_EQ(inactive->gear.background, LiveColor::Silver);
    EXPECT_EQ(inactive->gear.font, LiveColor::Gray);
    EXPECT_EQ(inactive->ledOffColor, LiveColor::Silver);
    EXPECT_TRUE(inactive->ledsSwitchedOff);

    EXPECT_FALSE(LiveControlsFor("active", table).has_value());
}

TEST(LiveControls, invertedRangeClipsToMinimum) {
    const BarRange range{500, 0};
    EXPECT_EQ(range.Clip(300), 500);
    EXPECT_EQ((BarRange{0, 130}).Clip(-5), 0);
}
