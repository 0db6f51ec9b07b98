#include "model/CommandTable.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Title = QStringLiteral(
    "ID;Command;Description;MinValueFW;MaxValueFW;DigitsValueFW;StepValueFW;MeasureUnitFW;"
    "DefaultValueFW;ActualValueFW;FWtoSWFactor;MinValueSW;MaxValueSW;DigitsValueSW;StepValueSW;"
    "MeasureUnitSW;DefaultValueSW;ActualValueSW;ActivePCB3X;ActivePCB40;ActivePCB41;ActivePCB42;"
    "ActivePCB43;ActivePCB50;ActivePCB60;ReadFromGCUID;WriteToGCUID;Hint");

QString EmptyLine(int id) {
    return QString::number(id) + QString(27, u';');
}

// A commands file of a title line and 200 rows; Rows replaces rows by ID.
QByteArray CommandsFile(const QMap<int, QString>& rows) {
    QStringList lines{Title};
    for (int id = 1; id <= CommandCount; ++id)
        lines.append(rows.value(id, EmptyLine(id)));
    return ToCp1252(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

const QString BatteryRow = QStringLiteral(
    "1;MINVBATT;Minimum battery voltage;8.0;16;1;0.1;V;11,5;11.5;1;8;16;1;0.1;V;11.5;11.5;"
    "1;1;1;1;1;1;1;1;1;note; with; separators");

class CommandFileTest : public ::testing::Test {
  protected:
    QString Write(const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("Commands.CSV"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    void Load(const QString& path) {
        LoadStringGridFromCSV(grid, path);
        LoadCommandsFromGrid(grid, table);
    }
    QTemporaryDir dir;
    StringGridModel grid{15, 201, 30};
    CommandTable table;
};

} // namespace

TEST_F(CommandFileTest, rowsComeFromLinePositionAndHintKeepsItsSeparators) {
    QString row10 = BatteryRow;
    row10.replace(0, 1, QStringLiteral("77")); // column 0 is not read
    Load(Write(CommandsFile({{10, row10}})));
    EXPECT_EQ(grid.ColCount(), CommandsFileColumnCount);
    EXPECT_EQ(table[10].ID, 10);
    EXPECT_EQ(table[10].Command, QStringLiteral("MINVBATT"));
    EXPECT_DOUBLE_EQ(table[10].MinValueFW, 8.0);
    EXPECT_DOUBLE_EQ(table[10].DefaultValueFW, 11.5); // "11,5" and "11.5" read alike
    EXPECT_DOUBLE_EQ(table[10].StepValueSW, 0.1);
    EXPECT_EQ(table[10].DigitsValueSW, 1);
    EXPECT_EQ(table[10].ActivePCB60, QStringLiteral("1"));
    EXPECT_EQ(table[10].Hint, QStringLiteral("note; with; separators"));
    EXPECT_EQ(table[1].ID, 0); // empty command cell: row untouched
}

TEST_F(CommandFileTest, longTextsAreCutToTheirCapacity) {
    QString row = BatteryRow;
    row.replace(QStringLiteral("MINVBATT"), QStringLiteral("MINVBATTERY"));
    row.replace(QStringLiteral("note; with; separators"), QString(300, u'h'));
    Load(Write(CommandsFile({{1, row}})));
    EXPECT_EQ(table[1].Command, QStringLiteral("MINVBATT"));
    EXPECT_EQ(table[1].Hint.size(), 250);
}

TEST_F(CommandFileTest, badNumberStopsTheLoadAndNamesLineAndColumn) {
    QString bad = BatteryRow;
    bad.replace(QStringLiteral(";1;0.1;V;11,5"),
                QStringLiteral(";2.0;0.1;V;11,5")); // integer column 5
    Load(Write(CommandsFile({{1, BatteryRow}})));
    table[2].Command = QStringLiteral("KEEP");
    const QString path = Write(CommandsFile({{1, BatteryRow}, {2, bad}, {3, BatteryRow}}));
    LoadStringGridFromCSV(grid, path);
    try {
        LoadCommandsFromGrid(grid, table);
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("line 3, column 5")))
            << e.Message().toStdString();
    }
    EXPECT_EQ(table[2].ID, 2);
    EXPECT_DOUBLE_EQ(table[2].MaxValueFW, 16.0); // fields before the failing column are set
    EXPECT_EQ(table[3].ID, 0);                   // later rows untouched
}

TEST_F(CommandFileTest, lineWithTooFewSeparatorsLeavesEmptyCellsAndFailsOnTheFirstMissingNumber) {
    const QString shortLine = QStringLiteral("1;SHORTROW;Short row;1");
    Load(Write(CommandsFile({})));
    grid.SetCell(5, 1, QStringLiteral("stale"));
    LoadStringGridFromCSV(grid, Write(CommandsFile({{1, shortLine}})));
    EXPECT_EQ(grid.Cell(3, 1), QStringLiteral("1"));
    EXPECT_EQ(grid.Cell(5, 1), QString());
    try {
        LoadCommandsFromGrid(grid, table);
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("line 2, column 4")));
    }
}

TEST_F(CommandFileTest, missingFileRaisesInOutErrorAndChangesNothing) {
    grid.SetCell(1, 1, QStringLiteral("before"));
    EXPECT_THROW(LoadStringGridFromCSV(grid, dir.filePath(QStringLiteral("none.csv"))),
                 EInOutError);
    EXPECT_EQ(grid.Cell(1, 1), QStringLiteral("before"));
    EXPECT_EQ(grid.ColCount(), 15);
}

TEST_F(CommandFileTest, loadRefreshSaveWritesNumbersInDisplayFormat) {
    QString row = BatteryRow;
    row.replace(QStringLiteral(";8.0;16;"), QStringLiteral(";0.50;16;"));
    const QString path = Write(CommandsFile({{1, row}}));
    Load(path);
    RefreshGridFromCommands(table, grid);
    SaveStringGridToCSV(grid, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 202); // 201 lines and the empty rest after the last CR LF
    EXPECT_TRUE(lines[0].startsWith("ID;Command;"));
    EXPECT_EQ(lines[1],
              QByteArray("1;MINVBATT;Minimum battery voltage;0,5;16;1;0,1;V;11,5;11,5;1;8;"
                         "16;1;0,1;V;11,5;11,5;1;1;1;1;1;1;1;1;1;note; with; separators\r"));
    EXPECT_EQ(lines[2], QByteArray("2;;;;;;;;;;;;;;;;;;;;;;;;;;;\r"));
    // What was saved loads back to the same row.
    CommandTable reloaded;
    StringGridModel again(15, 201, 30);
    LoadStringGridFromCSV(again, path);
    LoadCommandsFromGrid(again, reloaded);
    EXPECT_DOUBLE_EQ(reloaded[1].MinValueFW, 0.5);
    EXPECT_EQ(reloaded[1].Hint, table[1].Hint);
}

TEST(StringGridCsv, columnsWidenToContentAndNeverShrink) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("g.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a;bb\nccccccccccccccccccccccc;d\n");
    file.close();
    StringGridModel grid(1, 1, 30);
    grid.textWidth = [](const QString& t) { return static_cast<int>(t.size()) * 10; };
    grid.SetColWidth(1, 500);
    LoadStringGridFromCSV(grid, path);
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.ColWidth(0), 23 * 10 + 8);
    EXPECT_EQ(grid.ColWidth(1), 30); // new column starts at the default width
    EXPECT_EQ(grid.Cell(0, 1), QStringLiteral("ccccccccccccccccccccccc"));
}

TEST(StringGridCsv, saveIntoMissingFolderRaisesInOutError) {
    StringGridModel grid(2, 2);
    EXPECT_THROW(SaveStringGridToCSV(grid, QStringLiteral("/nonexistent-folder/x.csv")),
                 EInOutError);
}

TEST(CommandRecord, clearingEmptiesEverythingButTheFactor) {
    TCommandRecord r;
    r.ID = 3;
    r.Command = QStringLiteral("X");
    r.FWtoSWFactor = 1000;
    r.SenderName1 = QStringLiteral("SEX");
    ClearCommandRecord(r);
    EXPECT_EQ(r.ID, 0);
    EXPECT_TRUE(r.Command.isEmpty());
    EXPECT_TRUE(r.SenderName1.isEmpty());
    EXPECT_DOUBLE_EQ(r.FWtoSWFactor, 1.0);
}

namespace {
CommandTable TableWith(const QString& fw, const QString& sw, double factor, int digitsFw,
                       int digitsSw) {
    CommandTable t;
    t[5].MeasureUnitFW = fw;
    t[5].MeasureUnitSW = sw;
    t[5].FWtoSWFactor = factor;
    t[5].DigitsValueFW = digitsFw;
    t[5].DigitsValueSW = digitsSw;
    return t;
}
} // namespace

TEST(Scaling, millivoltsUseTheFactorAndDigits) {
    const CommandTable t = TableWith(QStringLiteral("V"), QStringLiteral("mV"), 1000, 2, 0);
    EXPECT_DOUBLE_EQ(FWValueToSWValue(t, 5, 4.41, 60), 4410.0);
    EXPECT_DOUBLE_EQ(SWValueToFWValue(t, 5, 4410, 60), 4.41);
}

TEST(Scaling, rpmUsesTheSharedRpmFactor) {
    const CommandTable t = TableWith(QStringLiteral("Hz"), QStringLiteral("RPM"), 1, 0, 0);
    EXPECT_DOUBLE_EQ(FWValueToSWValue(t, 5, 100, 60), 6000.0);
    EXPECT_DOUBLE_EQ(SWValueToFWValue(t, 5, 6000, 60), 100.0);
    EXPECT_DOUBLE_EQ(FWValueToSWValue(t, 5, 100, 30), 3000.0);
    EXPECT_THROW(SWValueToFWValue(t, 5, 6000, 0), EConvertError);
}

TEST(Scaling, wholeUnitsRoundHalvesToEven) {
    const CommandTable t = TableWith(QStringLiteral("mS"), QStringLiteral("mS"), 1, 0, 0);
    EXPECT_DOUBLE_EQ(SWValueToFWValue(t, 5, 12.5, 60), 12.0);
    EXPECT_DOUBLE_EQ(SWValueToFWValue(t, 5, 13.5, 60), 14.0);
    const CommandTable deg =
        TableWith(QStringLiteral("\u00B0C"), QStringLiteral("\u00B0C"), 1, 0, 0);
    EXPECT_DOUBLE_EQ(FWValueToSWValue(deg, 5, 80.5, 60), 80.0);
}

TEST(Scaling, unitPairsCompareExactly) {
    const CommandTable t = TableWith(QStringLiteral("v"), QStringLiteral("mV"), 1000, 2, 0);
    EXPECT_DOUBLE_EQ(FWValueToSWValue(t, 5, 4.41, 60), 4.41); // unknown pair: unchanged
}

// ------------------------------------------------------------------ a file that cannot serve

TEST_F(CommandFileTest, checkedLoad_namesTheLineAndWhatIsWrong_orLoadsTheTable) {
    QString shortRow = BatteryRow.section(u';', 0, 20); // 21 columns
    QString wordForNumber = BatteryRow;
    wordForNumber.replace(QStringLiteral(";8.0;"), QStringLiteral(";eight;"));
    QString badDigits = BatteryRow;
    badDigits.replace(QStringLiteral(";16;1;0.1;V;11,5;"), QStringLiteral(";16;1.5;0.1;V;11,5;"));
    struct Case {
        const char* name;
        QByteArray file;
        int line; // -1: loads
        const char* reason;
        bool holdsCommands;
    };
    const Case cases[] = {
        {"a whole table", CommandsFile({{1, BatteryRow}}), -1, "", true},
        {"an empty file", QByteArray(), -1, "", false},
        {"the title line alone", ToCp1252(Title + "\r\n"), -1, "", false},
        {"a title line of five columns", "ID;Command;Description;Min;Max\r\n1;MINVBATT;x;6;16\r\n",
         1, "the title line has 5 columns where 28 are needed", false},
        {"a command line cut short", CommandsFile({{3, shortRow}}), 4,
         "the line has 21 columns where 28 are needed", false},
        // As far as the load got: the failing row keeps the fields before the column.
        {"a word where a number belongs", CommandsFile({{5, wordForNumber}}), 6,
         "column 3 (MinValueFW): ", true},
        {"a decimal where a whole number belongs", CommandsFile({{7, badDigits}}), 8,
         "column 5 (DigitsValueFW): ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StringGridModel loaded(15, 201, 30);
        CommandTable commands;
        const std::optional<CommandsFileFault> fault =
            LoadCommandsFile(loaded, commands, Write(c.file));
        EXPECT_EQ(HoldsAnyCommand(commands), c.holdsCommands);
        if (c.line < 0) {
            EXPECT_FALSE(fault.has_value()) << fault->reason.toStdString();
            continue;
        }
        ASSERT_TRUE(fault.has_value());
        EXPECT_EQ(fault->line, c.line);
        EXPECT_TRUE(fault->reason.startsWith(QLatin1String(c.reason)))
            << fault->reason.toStdString();
    }
    // A file that cannot be read is named by the system's reason.
    StringGridModel loaded;
    CommandTable commands;
    const auto missing = LoadCommandsFile(loaded, commands, dir.filePath("none.CSV"));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->line, 0);
    EXPECT_TRUE(missing->reason.contains(QStringLiteral("No such file or directory")))
        << missing->reason.toStdString();
}
