// The one table of live fields: one entry per status field in line order,
// and the values in display units that the parser reads through it, which
// must agree with what the live panel shows for the same line.
#include "device/LiveTelemetry.h"
#include "model/CommandTable.h"
#include "model/LiveFields.h"
#include "util/UnitUtils.h"

#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <gtest/gtest.h>

namespace {
using Id = LiveFieldId;

void Units(TCommandRecord& row, const char* unit, double factor, int digitsSW) {
    row.MeasureUnitFW = unit;
    row.MeasureUnitSW = unit;
    row.FWtoSWFactor = factor;
    row.DigitsValueSW = digitsSW;
}

CommandTable MakeTable() {
    CommandTable table;
    Units(table[34], "Nr", 1, 0);
    Units(table[1], "V", 1, 1);
    table[1].ActualValueFW = 10.5;
    table[1].MaxValueFW = 16;
    table[143].ActualValueFW = 0.5;
    table[144].ActualValueFW = 4.5;
    table[107].ActualValueFW = 0.45;
    table[108].ActualValueFW = 4.41;
    table[98].ActualValueFW = 14000;
    return table;
}

QString Line(const QStringList& fields) {
    return "*" + fields.join('&') + "#\r\n";
}

TEST(LiveFieldTable, oneEntryPerStatusFieldInLineOrderWithDistinctNames) {
    ASSERT_EQ(LiveFields().size(), size_t(LiveLine::FieldCount));
    QSet<QString> keys;
    for (int i = 0; i < LiveFieldCount; ++i) {
        const LiveField& field = LiveFields()[size_t(i)];
        EXPECT_EQ(FieldIndex(field.id), i);
        const QString key = QString::fromLatin1(field.key);
        EXPECT_TRUE(QRegularExpression("^[A-Za-z]+$").match(key).hasMatch()) << field.key;
        EXPECT_FALSE(keys.contains(key)) << field.key;
        keys.insert(key);
        // A field that is plotted has a colour of its own; one drawn as a
        // lamp or a gear is a step.
        if (field.strip != LivePlotStrip::None) {
            EXPECT_NE(field.color, 0u) << field.key;
        }
        if (field.led) {
            EXPECT_TRUE(field.step) << field.key;
            EXPECT_EQ(field.scaling, LiveScaling::Active) << field.key;
        }
    }
}

class LiveSampleTest : public ::testing::Test {
  protected:
    CommandTable table = MakeTable();
    LiveBarRanges ranges = ActiveLiveRanges(table);
    QStringList fields{"17",     "1",  "0",     "0",   "1", "1", "12.64", "41",
                       "2.3456", "-1", "150.4", "0.9", "1", "0", "38.6",  "5"};
};

TEST_F(LiveSampleTest, valuesInDisplayUnitsAsTheTableScalesThem) {
    const LiveParse parse = ParseLiveLine(Line(fields), table, 60, ranges);
    ASSERT_TRUE(parse.sample.has_value()) << parse.error.toStdString();
    const LiveSample& s = *parse.sample;
    EXPECT_EQ(s[Id::Counter], 17);
    EXPECT_EQ(s[Id::SelectorInputA], 1);
    EXPECT_EQ(s[Id::SelectorInputB], 0);
    EXPECT_EQ(s[Id::PaddleDown], 1); // the input reads 0: the lamp is lit
    EXPECT_EQ(s[Id::PaddleUp], 0);
    EXPECT_NEAR(s[Id::Battery], 12.64, 1e-9);
    EXPECT_EQ(s[Id::ActuatorTemp], 41);
    EXPECT_EQ(s[Id::Barrel], 2346);
    EXPECT_EQ(s[Id::Gear], -1);
    EXPECT_EQ(s[Id::Rpm], 9024);
    EXPECT_EQ(s[Id::Tps], 900);
    EXPECT_EQ(s[Id::Clutch], 1);
    EXPECT_EQ(s[Id::GcuTemp], 39);
    EXPECT_EQ(s[Id::SelectorPosition], 5);

    table[1].FWtoSWFactor = 2; // the battery follows its command's factor
    EXPECT_NEAR(ParseLiveLine(Line(fields), table, 60, ranges).sample->values[6], 25.28, 1e-9);
}

// Every field the panel shows as a number: the label's number and the sample
// agree, so the plots and recordings show what the panel showed.
TEST_F(LiveSampleTest, sampleAgreesWithThePanelsTextsAndLamps) {
    for (const char* barrel : {"0.0005", "1.0015", "4.4999"}) {
        fields[8] = barrel;
        const LiveParse parse = ParseLiveLine(Line(fields), table, 60, ranges);
        ASSERT_TRUE(parse.view && parse.sample);
        const LiveView& view = *parse.view;
        const LiveSample& s = *parse.sample;
        const auto number = [](QString text) {
            text.remove(QRegularExpression("[^0-9,\\-]"));
            return DisplayTextToFloat(text);
        };
        EXPECT_EQ(number(view.barrelText), s[Id::Barrel]) << barrel;
        EXPECT_EQ(number(view.tpsText), s[Id::Tps]);
        EXPECT_EQ(number(view.rpmText), s[Id::Rpm]);
        EXPECT_EQ(number(view.gcuTempText), s[Id::GcuTemp]);
        EXPECT_EQ(number(view.actuatorTempText), s[Id::ActuatorTemp]);
        EXPECT_NEAR(number(view.batteryText), s[Id::Battery], 0.05);
        EXPECT_EQ(view.paddleDownLit, s[Id::PaddleDown] == 1);
        EXPECT_EQ(view.paddleUpLit, s[Id::PaddleUp] == 1);
        EXPECT_EQ(view.neutralLit, s[Id::Neutral] == 1);
        EXPECT_EQ(view.brakeLit, s[Id::Brake] == 1);
        EXPECT_EQ(view.clutchLit, s[Id::Clutch] == 1);
    }
}

TEST_F(LiveSampleTest, brokenLineGivesNoSample_aCounterThatIsNoNumberOnlyEmptiesItsValue) {
    QStringList bad = fields;
    bad[10] = "x";
    EXPECT_FALSE(ParseLiveLine(Line(bad), table, 60, ranges).sample.has_value());
    EXPECT_FALSE(ParseLiveLine(Line(fields.mid(0, 15)), table, 60, ranges).sample.has_value());
    bad = fields;
    bad[0] = "A7"; // not read by the panel
    const LiveParse parse = ParseLiveLine(Line(bad), table, 60, ranges);
    ASSERT_TRUE(parse.sample.has_value());
    EXPECT_TRUE(std::isnan(parse.sample->values[0]));
    EXPECT_EQ(parse.sample->values[9], -1);
}

} // namespace
