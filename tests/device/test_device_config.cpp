// Parsing the configuration dump into the command table, and which rows a PCB
// version shows.
#include "device/ConfigDump.h"
#include "model/CommandTable.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {
constexpr int Rpm = 60;

void SetRow(CommandTable& table, int id, int field, const char* unitFW, const char* unitSW,
            double factor, int digitsSW) {
    TCommandRecord& row = table[id];
    row.ID = id;
    row.Command = QStringLiteral("CMD%1").arg(id);
    row.ReadFromGCUID = field;
    row.MeasureUnitFW = unitFW;
    row.MeasureUnitSW = unitSW;
    row.FWtoSWFactor = factor;
    row.DigitsValueSW = digitsSW;
}

// Row 15 reads the PCB field 2, row 107 (V -> mV) field 3, row 98 (Hz -> RPM)
// field 4, row 5 (mS) field 5, row 160 field 6, row 20 field 45 (the last: a
// whole dump has 45 fields).
CommandTable MakeTable() {
    CommandTable table;
    SetRow(table, 15, 2, "Nr", "Nr", 1, 1);
    SetRow(table, 107, 3, "V", "mV", 1000, 0);
    SetRow(table, 98, 4, "Hz", "RPM", 1, 0);
    SetRow(table, 5, 5, "mS", "mS", 1, 0);
    SetRow(table, 20, 45, "Nr", "Nr", 1, 2);
    SetRow(table, 160, 6, "V", "mV", 1000, 0);
    table[20].ActualValueFW = 7;
    table[20].Status = "M";
    table[107].ActualValueFW = 0.5;
    table[107].ActualValueSW = 500;
    return table;
}

// A dump of Count fields: field i holds i, the PCB field 4.1, with overrides.
QString Dump(int count, std::map<int, QString> fields = {}) {
    fields.emplace(2, "4.1");
    QStringList parts;
    for (int i = 1; i <= count; ++i)
        parts << (fields.count(i) ? fields[i] : QString::number(i));
    return parts.join('&') + "#\r\n";
}
constexpr int Whole = 45;
} // namespace

TEST(ConfigDump, fieldsSplitBeforeEndMark) {
    EXPECT_EQ(ConfigDumpFields("a&&b&#\r\n"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(ConfigDumpFields("1&2#"), (QStringList{"1", "2"}));
}

TEST(ConfigDump, wellFormedDump_scalesRowsAndReadsPcbAndReboots) {
    CommandTable table = MakeTable();
    const ConfigDumpResult result = ApplyConfigDump(
        Dump(Whole, {{3, "4.41"}, {4, "100"}, {5, "12.5"}, {39, "1234.4"}, {45, "0.25"}}), table,
        Rpm, 0, 0);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_DOUBLE_EQ(table[107].ActualValueFW, 4.41);
    EXPECT_DOUBLE_EQ(table[107].ActualValueSW, 4410);
    EXPECT_EQ(table[107].Status, "A");
    EXPECT_DOUBLE_EQ(table[98].ActualValueSW, 6000);
    EXPECT_DOUBLE_EQ(table[5].ActualValueSW, 12); // whole units, half to even
    EXPECT_EQ(result.pcbVersionText, QString("4.1"));
    EXPECT_EQ(result.pcbVersion, 41);
    EXPECT_EQ(result.reboots, 1234);
    EXPECT_EQ(result.fieldCount, Whole);
    // Row 15's own values are not touched; the last field is read like the others.
    EXPECT_TRUE(table[15].Status.isEmpty());
    EXPECT_DOUBLE_EQ(table[20].ActualValueFW, 0.25);
    EXPECT_EQ(table[20].Status, "A");
}

TEST(ConfigDump, pcbWithCommaAndForcedVersion) {
    CommandTable table = MakeTable();
    ConfigDumpResult result = ApplyConfigDump(Dump(Whole, {{2, "4,1"}}), table, Rpm, 0, 0);
    EXPECT_EQ(result.pcbVersionText, QString("4.1"));
    EXPECT_EQ(result.pcbVersion, 41);
    result = ApplyConfigDump(Dump(Whole), table, Rpm, 0, 50);
    EXPECT_EQ(result.pcbVersion, 50);
}

TEST(ConfigDump, noPcbField_keepsPreviousVersion) {
    CommandTable table = MakeTable();
    table[15].ReadFromGCUID = 0;
    const ConfigDumpResult result = ApplyConfigDump(Dump(Whole), table, Rpm, 43, 0);
    ASSERT_TRUE(result.ok);
    EXPECT_FALSE(result.pcbVersionText.has_value());
    EXPECT_EQ(result.pcbVersion, 43);
}

TEST(ConfigDump, malformedDump_changesNothing) {
    struct Case {
        const char* name;
        QString dump;
    };
    const std::vector<Case> cases{
        {"38 fields", Dump(38, {{3, "4.41"}})},
        {"39 fields, the reboot counter's", Dump(39, {{3, "4.41"}})},
        {"one field short", Dump(Whole - 1, {{3, "4.41"}})},
        {"one field more", Dump(Whole + 1, {{3, "4.41"}})},
        {"last row's field not a number", Dump(Whole, {{3, "4.41"}, {45, "1x"}})},
        {"empty field", Dump(Whole, {{3, "4.41"}, {6, ""}})},
        {"PCB field not a number", Dump(Whole, {{3, "4.41"}, {2, "v4"}})},
        {"PCB version without flags", Dump(Whole, {{3, "4.41"}, {2, "4.5"}})},
        {"PCB version 0", Dump(Whole, {{3, "4.41"}, {2, "0"}})},
        {"PCB version of a shifted dump", Dump(Whole, {{3, "4.41"}, {2, "22.5"}})},
        {"reboot counter not a number", Dump(Whole, {{3, "4.41"}, {39, "n/a"}})},
        {"no end mark", "1&2&3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandTable table = MakeTable();
        const ConfigDumpResult result = ApplyConfigDump(c.dump, table, Rpm, 30, 0);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(result.pcbVersion, 30);
        EXPECT_DOUBLE_EQ(table[107].ActualValueFW, 0.5);
        EXPECT_DOUBLE_EQ(table[107].ActualValueSW, 500);
        EXPECT_TRUE(table[107].Status.isEmpty());
        EXPECT_TRUE(table[5].Status.isEmpty());
    }
}

TEST(ConfigDump, shortDump_isRefusedNamingTheFieldCounts) {
    CommandTable table = MakeTable();
    const ConfigDumpResult result = ApplyConfigDump(Dump(39), table, Rpm, 0, 0);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "the dump holds 39 fields, 45 expected");
    EXPECT_EQ(result.fieldCount, 39);
    EXPECT_EQ(ExpectedDumpFieldCount(table), Whole);
    EXPECT_EQ(ExpectedDumpFieldCount(CommandTable()), ConfigDump::RebootCounterField);
}

TEST(PcbVisibility, eachVersionReadsItsOwnFlag) {
    TCommandRecord row;
    row.ActivePCB3X = "1";
    row.ActivePCB41 = "1";
    row.ActivePCB60 = "1";
    const std::vector<std::pair<int, bool>> expected{
        {0, true},   {30, true},  {35, true},  {39, true},  {40, false}, {41, true},
        {42, false}, {43, false}, {45, false}, {50, false}, {60, true},  {29, false},
    };
    for (const auto& [version, visible] : expected)
        EXPECT_EQ(IsVisibleOnPcb(row, version), visible) << "version " << version;

    TCommandRecord other;
    other.ActivePCB40 = "1";
    other.ActivePCB42 = "1";
    other.ActivePCB43 = "1";
    other.ActivePCB50 = "1";
    other.ActivePCB3X = "0";
    for (int version : {40, 42, 43, 50})
        EXPECT_TRUE(IsVisibleOnPcb(other, version)) << "version " << version;
    for (int version : {31, 41, 60})
        EXPECT_FALSE(IsVisibleOnPcb(other, version)) << "version " << version;
}

TEST(PcbVisibility, helpContextOutsideTableShownOnlyWithoutVersion) {
    CommandTable table;
    table[7].ActivePCB50 = "1";
    EXPECT_TRUE(IsCommandVisibleOnPcb(table, 7, 50));
    EXPECT_FALSE(IsCommandVisibleOnPcb(table, 7, 41));
    EXPECT_TRUE(IsCommandVisibleOnPcb(table, 500, 0));
    EXPECT_FALSE(IsCommandVisibleOnPcb(table, 500, 50));
}

TEST(ConfigDump, controlValuesForRow) {
    TCommandRecord row;
    row.DigitsValueSW = 1;
    for (const auto& [value, checked] :
         std::vector<std::pair<double, bool>>{{1, true}, {0, false}, {2, false}, {-1, false}}) {
        row.ActualValueSW = value;
        EXPECT_EQ(CheckBoxSetForValue(row), checked) << value;
    }
    row.ActualValueSW = 2.5;
    EXPECT_EQ(RoundedDisplayValue(row), 2);
    EXPECT_EQ(EditTextForValue(row), "2,5");
}
