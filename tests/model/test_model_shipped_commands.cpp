// Checks the command table that ships in CFG/Commands.CSV against the window's
// controls, the unit pairs the scaling knows, the configuration dump, the
// configuration files and the rows that the program uses by their ID.
#include "model/CommandTable.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString ShippedFile = QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV");
constexpr int StartRpmFactor = 60;
constexpr int RebootCounterField = 39;
constexpr int PcbVersionRow = 15;
constexpr int LiveStreamRow = 27;
constexpr int LiveInputScalingRow = 34;
constexpr int RpmDivisorRow = 46;
constexpr int RpmTimesTwoRow = 76;
constexpr int RpmLimiterRow = 98;
constexpr int RpmRecoveryRow = 161;
constexpr int DumpRow = 156;
constexpr int BatteryRow = 1;
constexpr int BarrelSignalDirectionRow = 126;
constexpr int BarrelSensorMinRow = 143;
constexpr int BarrelSensorMaxRow = 144;
constexpr int GearToleranceRow = 62;

// What a control shows decides the unit pair its row must have.
enum class Kind { SpinEdit, Edit, CheckBox, RadioGroup, Other };
enum class Quantity {
    Millivolts,
    Milliseconds,
    Percent,
    Rpm,
    Celsius,
    Count,
    Ratio,
    Volts,
    Switch,
    Degrees
};

struct ControlRow {
    Kind kind;
    Quantity quantity;
    int items = 2; // radio groups
};

// Every command ID that a control of the main window carries, with the kind of
// the control that shows its value ("Other": only labels, group boxes, buttons,
// spin buttons or barrel-degree displays carry it).
QMap<int, ControlRow> WindowControls() {
    QMap<int, ControlRow> c;
    const auto spin = [&c](std::initializer_list<int> ids, Quantity q) {
        for (int id : ids)
            c[id] = {Kind::SpinEdit, q};
    };
    const auto spinRange = [&c](int first, int last, Quantity q) {
        for (int id = first; id <= last; ++id)
            c[id] = {Kind::SpinEdit, q};
    };
    const auto checks = [&c](std::initializer_list<int> ids) {
        for (int id : ids)
            c[id] = {Kind::CheckBox, Quantity::Switch};
    };
    const auto radios = [&c](std::initializer_list<int> ids) {
        for (int id : ids)
            c[id] = {Kind::RadioGroup, Quantity::Switch, 2};
    };
    const auto edits = [&c](int first, int last, Quantity q) {
        for (int id = first; id <= last; ++id)
            c[id] = {Kind::Edit, q};
    };
    spin({3,  4,  5,  6,  7,  10, 23, 25, 29, 30, 31, 32, 33,  42,  43,  45,  54,  55,
          61, 64, 65, 67, 68, 70, 72, 73, 74, 75, 78, 82, 105, 118, 119, 121, 122, 162},
         Quantity::Milliseconds);
    spin({8, 11, 24, 28, 53, 109, 110, 111, 142, 153}, Quantity::Percent);
    spinRange(99, 104, Quantity::Percent);
    spin({44, 62, 69, 80, 81, 107, 108, 113, 115}, Quantity::Millivolts);
    spinRange(143, 152, Quantity::Millivolts);
    spin({46, 97, 120, 123}, Quantity::Count);
    spinRange(129, 140, Quantity::Count);
    spin({2}, Quantity::Celsius);
    edits(1, 1, Quantity::Volts);
    edits(17, 22, Quantity::Ratio);
    edits(56, 60, Quantity::Rpm);
    edits(98, 98, Quantity::Rpm);
    edits(161, 161, Quantity::Rpm);
    edits(158, 160, Quantity::Millivolts);
    checks({34, 35, 36, 37, 38, 39,  40,  41,  47,  48,  49,  50,  51,  52, 63,
            66, 71, 76, 77, 79, 106, 116, 117, 125, 128, 154, 157, 165, 166});
    radios({96, 112, 124, 126, 127, 141});
    for (int id = 83; id <= 90; ++id)
        c[id] = {Kind::Other, Quantity::Degrees};
    return c;
}

bool ShowsValue(const ControlRow& c) {
    return c.kind != Kind::Other;
}

// Rows that only the teach steps set; the user cannot type them.
const QSet<int> TaughtOnlyRows{107, 108, 158, 159, 160};

// Barrel rows in the order the barrel turns (R, 1, N, 2 .. 6) and their degree rows.
const QList<int> BarrelRowsInTurnOrder{152, 145, 151, 146, 147, 148, 149, 150};
const QMap<int, int> DegreeRowOfBarrelRow{{150, 83}, {149, 84}, {148, 85}, {147, 86},
                                          {146, 87}, {145, 88}, {151, 89}, {152, 90}};

struct UnitPair {
    QString fw;
    QString sw;
};

const QString Celsius = QString(QChar(0xB0)) + QStringLiteral("C");
const QList<UnitPair> KnownUnitPairs{{"V", "mV"},  {"Nr", "Nr"},       {"V", "V"}, {"Hz", "RPM"},
                                     {"mS", "mS"}, {Celsius, Celsius}, {"%", "%"}, {"TF", "TF"}};

std::string IdText(const QList<int>& ids) {
    QStringList texts;
    for (int id : ids)
        texts.append(QString::number(id));
    return texts.join(QStringLiteral(", ")).toStdString();
}

// Passes when no ID offends; otherwise names every offending ID.
::testing::AssertionResult NoOffenders(const QList<int>& ids) {
    if (ids.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "offending IDs: " << IdText(ids);
}

bool Near(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

bool IsWhole(double v) {
    return Near(v, std::round(v));
}

QStringList Flags(const TCommandRecord& r) {
    return {r.ActivePCB3X, r.ActivePCB40, r.ActivePCB41, r.ActivePCB42,
            r.ActivePCB43, r.ActivePCB50, r.ActivePCB60};
}

QList<bool> Presence(const TCommandRecord& r) {
    QList<bool> present;
    for (const QString& f : Flags(r))
        present.append(f == QStringLiteral("1"));
    return present;
}

class ShippedCommandTable : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        grid = std::make_unique<StringGridModel>(15, 201, 30); // the grid's design size
        table = std::make_unique<CommandTable>();
        LoadStringGridFromCSV(*grid, ShippedFile);
        LoadCommandsFromGrid(*grid, *table);
    }
    static void TearDownTestSuite() {
        table.reset();
        grid.reset();
    }

    static const TCommandRecord& Row(int id) { return (*table)[id]; }
    static double ToSW(int id, double fw) {
        return FWValueToSWValue(*table, id, fw, StartRpmFactor);
    }
    static double ToFW(int id, double sw) {
        return SWValueToFWValue(*table, id, sw, StartRpmFactor);
    }
    static bool IsRpmRow(int id) {
        return Row(id).MeasureUnitFW == QStringLiteral("Hz") &&
               Row(id).MeasureUnitSW == QStringLiteral("RPM");
    }

    static QList<int> CommandRows() {
        QList<int> ids;
        for (int id = 1; id <= CommandCount; ++id)
            if (!Row(id).Command.isEmpty())
                ids.append(id);
        return ids;
    }
    static QList<int> Where(const QList<int>& ids, const std::function<bool(int)>& bad) {
        QList<int> offenders;
        for (int id : ids)
            if (bad(id))
                offenders.append(id);
        return offenders;
    }
    static QList<int> ControlRowsWhere(const std::function<bool(int, const ControlRow&)>& bad) {
        QList<int> offenders;
        const auto controls = WindowControls();
        for (auto it = controls.cbegin(); it != controls.cend(); ++it)
            if (bad(it.key(), it.value()))
                offenders.append(it.key());
        return offenders;
    }

    static std::unique_ptr<StringGridModel> grid;
    static std::unique_ptr<CommandTable> table;
};

std::unique_ptr<StringGridModel> ShippedCommandTable::grid;
std::unique_ptr<CommandTable> ShippedCommandTable::table;

QByteArray ShippedBytes() {
    QFile file(ShippedFile);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << ShippedFile.toStdString();
    return file.readAll();
}

// The file's lines without their CR LF; line k + 1 (index k) is command k.
QList<QByteArray> ShippedLines() {
    QList<QByteArray> lines;
    for (const QByteArray& line : ShippedBytes().split('\n'))
        lines.append(line.endsWith('\r') ? line.chopped(1) : line);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

// The last column takes the rest of the line, separators included.
QByteArray HintOf(const QByteArray& line) {
    qsizetype at = -1;
    for (int separator = 1; separator < CommandsFileColumnCount; ++separator) {
        at = line.indexOf(';', at + 1);
        if (at < 0)
            return {};
    }
    return line.mid(at + 1);
}

TEST(ShippedCommandsFile, isWindows1252WithCrLfLineEnds) {
    const QByteArray bytes = ShippedBytes();
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QByteArray withoutCrLf = QByteArray(bytes).replace("\r\n", "");
    EXPECT_FALSE(withoutCrLf.contains('\r') || withoutCrLf.contains('\n'))
        << "a line ends without CR LF";
    EXPECT_TRUE(bytes.contains(";\xB0"
                               "C;"))
        << "degree sign is not the single byte 0xB0";
    EXPECT_FALSE(bytes.contains("\xC2\xB0")) << "file holds UTF-8 text";
}

TEST(ShippedCommandsFile, hasATitleOf28ColumnsAnd200CommandLinesNumberedByPosition) {
    const QList<QByteArray> lines = ShippedLines();
    ASSERT_EQ(lines.size(), CommandCount + 1);
    EXPECT_EQ(lines[0].count(';'), CommandsFileColumnCount - 1);
    QList<int> offenders;
    for (int id = 1; id <= CommandCount; ++id) {
        const QByteArray& line = lines[id];
        if (line.count(';') < CommandsFileColumnCount - 1 ||
            line.split(';')[0] != QByteArray::number(id))
            offenders.append(id);
    }
    EXPECT_TRUE(offenders.empty()) << "lines without 28 columns or their ID: " << IdText(offenders);
}

TEST(ShippedCommandsFile, numberCellsArePointDecimalsAndPlainIntegers) {
    const QList<QByteArray> lines = ShippedLines();
    const QRegularExpression decimal(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
    const QRegularExpression integer(QStringLiteral("^-?\\d+$"));
    const QList<int> integerColumns{5, 13, 25, 26};
    const QList<int> decimalColumns{3, 4, 6, 8, 9, 10, 11, 12, 14, 16, 17};
    QList<int> offenders;
    for (int id = 1; id < lines.size(); ++id) {
        const QStringList cells = QString::fromLatin1(lines[id]).split(u';');
        if (cells.size() < CommandsFileColumnCount || cells[1].isEmpty())
            continue;
        bool bad = false;
        for (int col : integerColumns)
            bad |= !integer.match(cells[col]).hasMatch();
        for (int col : decimalColumns)
            bad |= !decimal.match(cells[col]).hasMatch();
        if (bad)
            offenders.append(id);
    }
    EXPECT_TRUE(offenders.empty()) << "malformed number cells on rows: " << IdText(offenders);
}

TEST(ShippedCommandsFile, textCellsFitTheirFieldsSoNothingIsCut) {
    const QList<QByteArray> lines = ShippedLines();
    const QMap<int, int> capacityOfColumn{{1, CommandTextCapacity::Command},
                                          {2, CommandTextCapacity::Description},
                                          {7, CommandTextCapacity::MeasureUnit},
                                          {15, CommandTextCapacity::MeasureUnit}};
    QList<int> offenders;
    for (int id = 1; id < lines.size(); ++id) {
        const QList<QByteArray> cells = lines[id].split(';');
        if (cells.size() < CommandsFileColumnCount)
            continue;
        bool bad = false;
        for (auto it = capacityOfColumn.cbegin(); it != capacityOfColumn.cend(); ++it)
            bad |= cells[it.key()].size() > it.value();
        for (int col = 18; col <= 24; ++col)
            bad |= cells[col].size() > CommandTextCapacity::ActivePCB;
        bad |= HintOf(lines[id]).size() > CommandTextCapacity::Hint;
        if (bad)
            offenders.append(id);
    }
    EXPECT_TRUE(NoOffenders(offenders));
}

TEST_F(ShippedCommandTable, everyIdAControlCarriesHasACommandWordAndPcbFlags) {
    const QList<int> roleRows{PcbVersionRow, LiveStreamRow, DumpRow};
    const auto bad = [](int id) {
        const TCommandRecord& r = Row(id);
        return r.ID != id || r.Command.isEmpty() || !Presence(r).contains(true);
    };
    EXPECT_TRUE(NoOffenders(ControlRowsWhere([&](int id, const ControlRow&) { return bad(id); })));
    EXPECT_TRUE(NoOffenders(Where(roleRows, bad)));
}

TEST_F(ShippedCommandTable, commandWordsAreUniqueEightUpperCaseLettersOrDigits) {
    const QRegularExpression word(QStringLiteral("^[A-Z0-9]{8}$"));
    QMap<QString, int> firstRowOf;
    const auto bad = [&](int id) {
        const QString& w = Row(id).Command;
        const bool duplicate = firstRowOf.contains(w);
        firstRowOf.insert(w, id);
        return duplicate || !word.match(w).hasMatch();
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), bad)));
}

TEST_F(ShippedCommandTable, fixedFrameWordsSitOnTheirRowsAndActionWordsOnNone) {
    EXPECT_EQ(Row(LiveStreamRow).Command, QStringLiteral("PRINTSTS"));
    EXPECT_EQ(Row(107).Command, QStringLiteral("MINVATPS"));
    EXPECT_EQ(Row(108).Command, QStringLiteral("MAXVATPS"));
    EXPECT_EQ(Row(DumpRow).Command, QStringLiteral("INVPARAM"));
    // A captured edit sends its row's word with a value: it must never be an action.
    const QStringList actions{"SAVEPRMT", "TESTATUP", "TESTATDW",
                              "TESTBLIP", "TESTACUT", "TESTLEDN"};
    const auto isAction = [&](int id) {
        const QString& w = Row(id).Command;
        return actions.contains(w) || w.startsWith(QStringLiteral("SOGLMAR"));
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), isAction)));
}

TEST_F(ShippedCommandTable, everyCommandHasADescriptionAndAKnownUnitPair) {
    const auto bad = [](int id) {
        const TCommandRecord& r = Row(id);
        const bool known =
            std::any_of(KnownUnitPairs.cbegin(), KnownUnitPairs.cend(), [&](const UnitPair& p) {
                return p.fw == r.MeasureUnitFW && p.sw == r.MeasureUnitSW;
            });
        return !known || r.Description.trimmed().isEmpty();
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), bad)));
}

TEST_F(ShippedCommandTable, unitPairsFitWhatTheControlShows) {
    const auto pairIs = [](const TCommandRecord& r, const char* fw, const QString& sw,
                           double factor) {
        return r.MeasureUnitFW == QLatin1String(fw) && r.MeasureUnitSW == sw &&
               Near(r.FWtoSWFactor, factor);
    };
    const auto bad = [&](int id, const ControlRow& c) {
        const TCommandRecord& r = Row(id);
        switch (c.quantity) {
        case Quantity::Millivolts:
            return !pairIs(r, "V", "mV", 1000) || r.DigitsValueSW != 0;
        case Quantity::Milliseconds:
            return !pairIs(r, "mS", "mS", 1);
        case Quantity::Percent:
            return !pairIs(r, "%", "%", 1) || r.MinValueSW < 0 || r.MaxValueSW > 100;
        case Quantity::Rpm:
            return !pairIs(r, "Hz", "RPM", StartRpmFactor) || r.DigitsValueSW != 0;
        case Quantity::Celsius:
            return !(r.MeasureUnitFW == Celsius && r.MeasureUnitSW == Celsius) ||
                   !Near(r.FWtoSWFactor, 1);
        case Quantity::Count:
        case Quantity::Degrees:
            return !pairIs(r, "Nr", "Nr", 1) || r.DigitsValueSW != 0 || r.DigitsValueFW != 0;
        case Quantity::Ratio:
            return !pairIs(r, "Nr", "Nr", 1) || r.DigitsValueSW != 2 || r.DigitsValueFW != 2;
        case Quantity::Volts:
            return !pairIs(r, "V", "V", 1);
        case Quantity::Switch:
            return !pairIs(r, "Nr", "Nr", 1) || r.DigitsValueSW != 0 || r.DigitsValueFW != 0;
        }
        return true;
    };
    EXPECT_TRUE(NoOffenders(ControlRowsWhere(bad)));
}

TEST_F(ShippedCommandTable, displayColumnsAreTheGcuColumnsScaledByTheUnitPair) {
    const auto bad = [](int id) {
        const TCommandRecord& r = Row(id);
        return !Near(r.MinValueSW, ToSW(id, r.MinValueFW)) ||
               !Near(r.MaxValueSW, ToSW(id, r.MaxValueFW)) ||
               !Near(r.DefaultValueSW, ToSW(id, r.DefaultValueFW)) ||
               !Near(r.StepValueSW, ToSW(id, r.StepValueFW)) ||
               !Near(ToFW(id, r.DefaultValueSW), r.DefaultValueFW);
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), bad)));
}

TEST_F(ShippedCommandTable, limitsAreOrderedAndDefaultsLieWithinThemAndAreTheActualValues) {
    const auto bad = [](int id) {
        const TCommandRecord& r = Row(id);
        return !(r.MinValueFW < r.MaxValueFW) || !(r.StepValueFW > 0) ||
               r.StepValueFW > r.MaxValueFW - r.MinValueFW || r.DefaultValueFW < r.MinValueFW ||
               r.DefaultValueFW > r.MaxValueFW || r.DefaultValueSW < r.MinValueSW ||
               r.DefaultValueSW > r.MaxValueSW || !Near(r.ActualValueFW, r.DefaultValueFW) ||
               !Near(r.ActualValueSW, r.DefaultValueSW) || r.DigitsValueFW < 0 ||
               r.DigitsValueSW < 0;
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), bad)));
}

TEST_F(ShippedCommandTable, spinEditRowsHoldWholeDisplayNumbers) {
    // A spin edit takes its limits and default rounded: they must not need rounding.
    const auto bad = [](int id, const ControlRow& c) {
        const TCommandRecord& r = Row(id);
        return c.kind == Kind::SpinEdit && (r.DigitsValueSW != 0 || !IsWhole(r.MinValueSW) ||
                                            !IsWhole(r.MaxValueSW) || !IsWhole(r.DefaultValueSW));
    };
    EXPECT_TRUE(NoOffenders(ControlRowsWhere(bad)));
}

TEST_F(ShippedCommandTable, checkBoxAndRadioGroupRowsSpanTheirItems) {
    const auto bad = [](int id, const ControlRow& c) {
        if (c.kind != Kind::CheckBox && c.kind != Kind::RadioGroup)
            return false;
        const TCommandRecord& r = Row(id);
        const int items = c.kind == Kind::CheckBox ? 2 : c.items;
        return !Near(r.MinValueSW, 0) || !Near(r.MaxValueSW, items - 1) ||
               !Near(r.StepValueSW, 1) || !IsWhole(r.DefaultValueSW);
    };
    EXPECT_TRUE(NoOffenders(ControlRowsWhere(bad)));
}

TEST_F(ShippedCommandTable, dumpPositionsAreUniqueAndLeaveTheRebootCounterFieldFree) {
    QMap<int, int> rowAtField;
    const auto bad = [&](int id) {
        const int field = Row(id).ReadFromGCUID;
        if (field == 0)
            return false;
        const bool taken = rowAtField.contains(field);
        rowAtField.insert(field, id);
        return field < 0 || field == RebootCounterField || taken;
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), bad)));

    const auto notReported = [](int id, const ControlRow& c) {
        return ShowsValue(c) && Row(id).ReadFromGCUID <= 0;
    };
    EXPECT_TRUE(NoOffenders(ControlRowsWhere(notReported)));
    EXPECT_GT(Row(PcbVersionRow).ReadFromGCUID, 0);

    const auto displayOrRequest = [](int id, const ControlRow& c) {
        return (!ShowsValue(c) || id == LiveStreamRow || id == DumpRow) &&
               Row(id).ReadFromGCUID != 0;
    };
    EXPECT_TRUE(NoOffenders(ControlRowsWhere(displayOrRequest)));
    EXPECT_EQ(Row(LiveStreamRow).ReadFromGCUID, 0);
    EXPECT_EQ(Row(DumpRow).ReadFromGCUID, 0);
}

TEST_F(ShippedCommandTable, configurationFilesKeepTheParametersTheUserSets) {
    const auto controls = WindowControls();
    const auto bad = [&](int id) {
        const TCommandRecord& r = Row(id);
        const bool userSet =
            controls.contains(id) && ShowsValue(controls[id]) && !TaughtOnlyRows.contains(id);
        const int expected = userSet ? 1 : 0;
        return r.WriteToGCUID != expected || (userSet && r.ReadFromGCUID <= 0);
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), bad)));
}

TEST_F(ShippedCommandTable, pcbFlagsAddFeaturesOnNewerBoardsWithoutDroppingAny) {
    const auto malformed = [](int id) {
        for (const QString& f : Flags(Row(id)))
            if (f != QStringLiteral("1") && f != QStringLiteral("0") && !f.isEmpty())
                return true;
        return false;
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), malformed)));

    const auto dropped = [](int id) {
        const QList<bool> p = Presence(Row(id));
        for (int board = 1; board < p.size(); ++board)
            if (p[board - 1] && !p[board])
                return true;
        return false;
    };
    EXPECT_TRUE(NoOffenders(Where(CommandRows(), dropped)));

    // Every board but the newest lacks some parameter, so hiding is exercised on each.
    for (int board = 0; board < 6; ++board) {
        const auto absent = [board](int id) { return !Presence(Row(id))[board]; };
        EXPECT_FALSE(Where(CommandRows(), absent).empty()) << "board family " << board;
    }
    for (int canInput : {165, 166})
        EXPECT_EQ(Presence(Row(canInput)),
                  QList<bool>({false, false, false, false, false, false, true}))
            << canInput;
}

TEST_F(ShippedCommandTable, controlsThatStandTogetherAreShownOnTheSameBoards) {
    // Labels that carry another row's ID (a heading over a column, a caption beside
    // its spin edit) and the barrel Set buttons must come and go with their controls.
    const QList<QList<int>> sameBoards{
        {2, 22},         {8, 53, 154},
        {107, 108},      {109, 110},
        {158, 159, 160}, {5, 7, 25, 33},
        {32, 43, 61},    {145, 146, 147, 148, 149, 150, 151, 152, 83, 84, 85, 86, 87, 88, 89, 90}};
    for (const QList<int>& group : sameBoards) {
        const auto differs = [&](int id) {
            return Presence(Row(id)) != Presence(Row(group.first()));
        };
        EXPECT_TRUE(NoOffenders(Where(group, differs)));
    }
    // A group box that carries an ID hides everything in it.
    const QMap<int, QList<int>> boxContents{{RpmDivisorRow, {RpmTimesTwoRow}},
                                            {BarrelSensorMinRow, {BarrelSensorMaxRow}},
                                            {41, {157}},
                                            {79, {107, 108, 109, 110, 127}}};
    for (auto it = boxContents.cbegin(); it != boxContents.cend(); ++it) {
        const QList<bool> box = Presence(Row(it.key()));
        const auto outside = [&](int id) {
            const QList<bool> p = Presence(Row(id));
            for (int board = 0; board < p.size(); ++board)
                if (p[board] && !box[board])
                    return true;
            return false;
        };
        EXPECT_TRUE(NoOffenders(Where(it.value(), outside))) << "group box " << it.key();
    }
}

TEST_F(ShippedCommandTable, pcbVersionAndRequestRowsFitTheirRoles) {
    const TCommandRecord& pcb = Row(PcbVersionRow);
    EXPECT_LE(pcb.MinValueFW, 3.0);
    EXPECT_GE(pcb.MaxValueFW, 6.0);
    EXPECT_GE(pcb.DigitsValueFW, 1) << "a version such as 4.1 needs a decimal";
    EXPECT_EQ(pcb.WriteToGCUID, 0);
    for (int request : {LiveStreamRow, DumpRow})
        EXPECT_EQ(Row(request).WriteToGCUID, 0) << request;
}

TEST_F(ShippedCommandTable, liveInputsAndBatteryScaleOneToOne) {
    // Live digital inputs pass through row 34; a lamp is lit when the input reads 0.
    EXPECT_EQ(ToSW(LiveInputScalingRow, 0), 0);
    EXPECT_EQ(ToSW(LiveInputScalingRow, 1), 1);
    const TCommandRecord& battery = Row(BatteryRow);
    EXPECT_DOUBLE_EQ(battery.FWtoSWFactor, 1.0);
    EXPECT_GE(battery.MaxValueFW, 14.4) << "the live battery bar must cover a charging battery";
    EXPECT_LT(battery.DefaultValueFW, 12.0) << "a healthy battery must not stop the actuator";
}

TEST_F(ShippedCommandTable, rpmRowsStepInWholeRpmFactorStepsFromTheStartFactor) {
    const auto rpmRows = Where(CommandRows(), [](int id) { return IsRpmRow(id); });
    const auto bad = [](int id) {
        const TCommandRecord& r = Row(id);
        return !Near(r.FWtoSWFactor, StartRpmFactor) || !Near(r.StepValueFW, 1) ||
               !Near(r.StepValueSW, StartRpmFactor) || !IsWhole(r.DefaultValueFW) ||
               !IsWhole(r.MinValueFW) || !IsWhole(r.MaxValueFW);
    };
    EXPECT_TRUE(NoOffenders(Where(rpmRows, bad)));
    for (int id : {RpmLimiterRow, RpmRecoveryRow, 56, 57, 58, 59, 60})
        EXPECT_TRUE(rpmRows.contains(id)) << id;
    // The defaults of divisor and "x 2" keep the start factor, so the defaults agree.
    const double divisor = Row(RpmDivisorRow).DefaultValueSW;
    const int factor = divisor > 0 ? RoundHalfToEvenInt(60 / divisor) : 60;
    EXPECT_EQ(factor * (Near(Row(RpmTimesTwoRow).DefaultValueSW, 1) ? 2 : 1), StartRpmFactor);
    EXPECT_LT(Row(RpmRecoveryRow).DefaultValueSW, Row(RpmLimiterRow).DefaultValueSW);
}

TEST_F(ShippedCommandTable, ratioAndDownShiftLimitDefaultsFollowTheToothCountsAndLimiter) {
    QList<double> ratio{0};
    for (int gear = 1; gear <= 6; ++gear) {
        const double primary = Row(127 + 2 * gear).DefaultValueSW;
        const double secondary = Row(128 + 2 * gear).DefaultValueSW;
        const QString text = RealToStrDec(secondary / primary, 2);
        EXPECT_EQ(RealToStrDec(Row(16 + gear).DefaultValueSW, 2), text) << "gear " << gear;
        ratio.append(DisplayTextToFloat(text));
    }
    const double limiter = Row(RpmLimiterRow).DefaultValueSW;
    for (int gear = 2; gear <= 6; ++gear) {
        const auto x =
            static_cast<long long>(RoundHalfToEven(limiter / ratio[gear - 1] * ratio[gear]));
        const double expected = static_cast<double>((x / StartRpmFactor) * StartRpmFactor);
        EXPECT_DOUBLE_EQ(Row(54 + gear).DefaultValueSW, expected) << "gear " << gear;
    }
}

TEST_F(ShippedCommandTable, coupledTimingDefaultsKeepTheActuationAbovePreLoadPlusCut) {
    struct Group {
        int preLoad, cut, actuation;
    };
    for (const Group g : {Group{25, 7, 5}, Group{61, 32, 43}}) {
        const auto value = [](int id) { return Row(id).DefaultValueSW; };
        EXPECT_GE(value(g.actuation), value(g.preLoad) + value(g.cut))
            << "actuation row " << g.actuation;
        EXPECT_GE(Row(g.actuation).MaxValueSW, Row(g.preLoad).MinValueSW + Row(g.cut).MinValueSW);
    }
    // Row 33 repeats the up-shift pre-load time.
    EXPECT_EQ(Row(33).MinValueSW, Row(25).MinValueSW);
    EXPECT_EQ(Row(33).MaxValueSW, Row(25).MaxValueSW);
    EXPECT_EQ(Row(33).DefaultValueSW, Row(25).DefaultValueSW);
}

TEST_F(ShippedCommandTable, barrelDefaultsLieInTheSensorRangeInTurnOrderAndShowTheirDegrees) {
    const double minimum = Row(BarrelSensorMinRow).DefaultValueSW;
    const double maximum = Row(BarrelSensorMaxRow).DefaultValueSW;
    ASSERT_LT(minimum, maximum);
    const bool increasing = Near(Row(BarrelSignalDirectionRow).DefaultValueSW, 1);
    double smallestGap = maximum - minimum;
    for (int i = 0; i < BarrelRowsInTurnOrder.size(); ++i) {
        const int id = BarrelRowsInTurnOrder[i];
        const double mv = Row(id).DefaultValueSW;
        EXPECT_TRUE(mv >= minimum && mv <= maximum) << id;
        if (i > 0) {
            const double step = mv - Row(BarrelRowsInTurnOrder[i - 1]).DefaultValueSW;
            EXPECT_GT(increasing ? step : -step, 0) << "barrel row " << id << " out of turn order";
            smallestGap = std::min(smallestGap, std::fabs(step));
        }
        const int degreeRow = DegreeRowOfBarrelRow[id];
        EXPECT_DOUBLE_EQ(Row(degreeRow).DefaultValueSW,
                         RoundHalfToEven(mv * 360 / (maximum - minimum)))
            << "degree row " << degreeRow;
    }
    EXPECT_LT(2 * Row(GearToleranceRow).DefaultValueSW, smallestGap)
        << "neighbouring gears overlap";
}

TEST_F(ShippedCommandTable, taughtPositionDefaultsAreOrderedAndGearboxesExcludeEachOther) {
    EXPECT_LT(Row(107).DefaultValueSW, Row(108).DefaultValueSW);
    EXPECT_LT(Row(158).DefaultValueSW, Row(159).DefaultValueSW);
    EXPECT_LT(Row(159).DefaultValueSW, Row(160).DefaultValueSW);
    EXPECT_FALSE(Near(Row(41).DefaultValueSW, 1) && Near(Row(157).DefaultValueSW, 1));
}
