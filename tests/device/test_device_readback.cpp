// The check after storing: values sent in a run against the values read back.
#include "device/ConfigDump.h"
#include "device/StoreReadBack.h"
#include "model/CommandTable.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {
void SetRow(CommandTable& table, int id, const char* word, int digitsFW, int position) {
    TCommandRecord& row = table[id];
    row.ID = id;
    row.Command = word;
    row.Description = QStringLiteral("Row %1").arg(id);
    row.DigitsValueFW = digitsFW;
    row.DigitsValueSW = digitsFW;
    row.FWtoSWFactor = 1;
    row.MeasureUnitFW = row.MeasureUnitSW = QStringLiteral("V");
    row.ReadFromGCUID = position;
}

CommandTable MakeTable() {
    CommandTable table;
    SetRow(table, 1, "MINVBATT", 1, 1);
    SetRow(table, 11, "UPACTPWR", 0, 3);
    SetRow(table, 62, "GEARTOLR", 2, 4);
    SetRow(table, ConfigDump::PcbVersionRow, "PCBVERSN", 1, 2);
    SetRow(table, 90, "NODUMPED", 0, 0);
    return table;
}
} // namespace

TEST(StoreReadBack, valuesAreTheSameWhenTheyFrameAlike) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double sent, held;
        int digits;
        bool same;
    };
    const Case cases[] = {
        {80, 80, 0, true},      {80, 80.4, 0, true},
        {80, 81, 0, false},     {0.12, 0.12 + 1e-12, 2, true},
        {0.12, 0.13, 2, false}, {12.5, 12.45, 1, true},
        {12.5, 12.4, 1, false}, {-3, -3, 0, true},
        {nan, nan, 0, false},   {-0.001, 0, 2, true},
        {0.25, 0.30, 2, false}, {0.25, 0.254, 2, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SameAtFirmwarePrecision(c.sent, c.held, c.digits), c.same)
            << c.sent << " / " << c.held << " at " << c.digits;
}

TEST(StoreReadBack, mismatchesAreTheSentValuesHeldOtherwiseOrNotAtAll_inCommandOrder) {
    const CommandTable table = MakeTable();
    StoreReadBack run;
    EXPECT_TRUE(run.NothingSent());
    run.RecordSent(62, 0.25);
    run.RecordSent(11, 95);
    run.RecordSent(11, 80); // sent again in the run: the last value counts
    run.RecordSent(1, 12.5);
    run.RecordSent(90, 3);
    run.SetHeldValues({{1, 12.5}, {11, 90}, {62, 0.25}});
    const QVector<ReadBackMismatch> mismatches = run.Mismatches(table);
    ASSERT_EQ(mismatches.size(), 2);
    EXPECT_EQ(mismatches[0].commandId, 11);
    EXPECT_EQ(mismatches[0].command, "UPACTPWR");
    EXPECT_EQ(mismatches[0].description, "Row 11");
    EXPECT_EQ(mismatches[0].sentFW, 80);
    EXPECT_EQ(mismatches[0].heldFW, std::optional<double>(90));
    EXPECT_EQ(mismatches[1].commandId, 90);
    EXPECT_FALSE(mismatches[1].heldFW.has_value());
}

// The gear tolerance is sent in volts with two decimals and shown in
// millivolts without any: a store is verified by the volts the frame carried,
// never by what the display rounds them to.
TEST(StoreReadBack, rowShownWithFewerDecimalsThanItIsSent_isComparedAtTheFirmwareDecimals) {
    CommandTable table = MakeTable();
    TCommandRecord& tolerance = table[62];
    tolerance.DigitsValueSW = 0;
    tolerance.FWtoSWFactor = 1000;
    tolerance.MeasureUnitSW = QStringLiteral("mV");
    StoreReadBack run;
    run.RecordSent(62, 0.25);
    run.SetHeldValues({{62, 0.30}});
    const QVector<ReadBackMismatch> mismatches = run.Mismatches(table);
    ASSERT_EQ(mismatches.size(), 1);
    EXPECT_FALSE(run.Verified(table));
    EXPECT_EQ(MismatchLines(mismatches, table, 60, QStringLiteral("-")),
              QStringList{QStringLiteral("GEARTOLR - Row 62: 250 mV / 300 mV")});
    StoreReadBack same;
    same.RecordSent(62, 0.25);
    same.SetHeldValues({{62, 0.2500001}});
    EXPECT_TRUE(same.Verified(table));
}

TEST(StoreReadBack, heldValuesOfADump_everyDumpedRowButThePcbVersion) {
    CommandTable table = MakeTable();
    QStringList fields(ConfigDump::RebootCounterField, QStringLiteral("0"));
    fields[0] = "12.5";
    fields[1] = "4.3";
    fields[2] = "80";
    fields[3] = "0.25";
    const ConfigDumpResult result = ApplyConfigDump(fields.join('&') + "#\r\n", table, 60, 0, 0);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(DumpedValues(table), (std::map<int, double>{{1, 12.5}, {11, 80}, {62, 0.25}}));
}

TEST(StoreReadBack, verifiedOnlyOnceReadBackWithEveryValueHeld) {
    const CommandTable table = MakeTable();
    StoreReadBack run;
    run.SetHeldValues({{11, 80}});
    EXPECT_FALSE(run.Verified(table)); // nothing was sent
    run.RecordSent(11, 80);
    run.RecordSent(62, 0.25);
    StoreReadBack unread;
    unread.RecordSent(11, 80);
    EXPECT_FALSE(unread.ReadBack());
    EXPECT_FALSE(unread.Verified(table));
    EXPECT_EQ(unread.Mismatches(table).size(), 1); // not read back: nothing is held
    run.SetHeldValues({{11, 80}, {62, 0.2500001}});
    EXPECT_TRUE(run.ReadBack());
    EXPECT_TRUE(run.Verified(table));
    run.SetHeldValues({{11, 80}});
    EXPECT_FALSE(run.Verified(table));
}

TEST(StoreReadBack, reportLines_showDisplayValues_oneLinePerMismatch) {
    const CommandTable table = MakeTable();
    QVector<ReadBackMismatch> mismatches;
    mismatches.append({62, "GEARTOLR", "Row 62", 0.25, 0.2});
    mismatches.append({90, "NODUMPED", "Row 90", 3, std::nullopt});
    EXPECT_EQ(
        MismatchLines(mismatches, table, 60, "missing"),
        (QStringList{"GEARTOLR - Row 62: 0,25 V / 0,20 V", "NODUMPED - Row 90: 3 V / missing"}));
    mismatches.append({0, "", "", 1, 1}); // no command: nothing to name
    EXPECT_EQ(MismatchLines(mismatches, table, 60, "missing").size(), 2);
}
