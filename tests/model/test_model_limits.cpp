// The last guard before a parameter write: values compared with their
// command's firmware limits at the command's firmware precision; the change
// sequence's frames and "first refused entry"; and, over the shipped command
// table, that every value inside a command's display limits becomes a firmware
// value inside its firmware limits, RPM parameters at every RPM factor.
#include "model/CommandTable.h"
#include "model/DerivedValues.h"
#include "model/ParameterLimits.h"
#include "model/SequenceController.h"
#include "model/UnitValues.h"
#include "support/CommandRows.h"
#include "support/ModelFixtures.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TCommandRecord Row(const char* word, double minimum, double maximum, int digits) {
    TCommandRecord row;
    row.ID = 44;
    row.Command = word;
    row.Description = QStringLiteral("Up-shift pre-load exit travel");
    row.MeasureUnitFW = "V";
    row.MinValueFW = minimum;
    row.MaxValueFW = maximum;
    row.DigitsValueFW = digits;
    return row;
}

bool Refused(const TCommandRecord& row, double value) {
    return CheckFirmwareLimits(row, value).has_value();
}

} // namespace

TEST(FirmwareLimits, comparedAsTheFrameWritesTheValue) {
    const TCommandRecord volts = Row("GEARTOLR", 0.02, 0.5, 2);
    EXPECT_FALSE(Refused(volts, 0.02));
    EXPECT_FALSE(Refused(volts, 0.5));
    EXPECT_FALSE(Refused(volts, 0.504));    // written 0.50
    EXPECT_FALSE(Refused(volts, 0.0151));   // written 0.02
    EXPECT_FALSE(Refused(volts, 20 / 1e3)); // a display 20 mV scaled
    EXPECT_TRUE(Refused(volts, 0.505));     // written 0.51
    EXPECT_TRUE(Refused(volts, 0.0149));    // written 0.01
    EXPECT_TRUE(Refused(volts, -0.3));

    const TCommandRecord percent = Row("UPACTPWR", 10, 100, 0);
    EXPECT_FALSE(Refused(percent, 100.4));
    EXPECT_FALSE(Refused(percent, 9.5));  // written 10
    EXPECT_TRUE(Refused(percent, 100.5)); // written 101
    EXPECT_TRUE(Refused(percent, 250));
    EXPECT_TRUE(Refused(percent, 9.4));
}

TEST(FirmwareLimits, valuesNoFrameCanHoldAreRefused_andTheRefusalNamesEverything) {
    const TCommandRecord percent = Row("UPACTPWR", 10, 100, 0);
    for (double wild :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), 1e308, -1e308, 1e13})
        EXPECT_TRUE(Refused(percent, wild)) << wild;

    const std::optional<LimitRefusal> refusal = CheckFirmwareLimits(percent, 250);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->commandId, 44);
    EXPECT_EQ(refusal->command, "UPACTPWR");
    EXPECT_EQ(refusal->description, "Up-shift pre-load exit travel");
    EXPECT_EQ(refusal->value, 250);
    EXPECT_EQ(refusal->minimum, 10);
    EXPECT_EQ(refusal->maximum, 100);
    EXPECT_EQ(RefusalNumberText(1e308, 0), FloatToDisplayText(1e308)); // not 300 digits
    EXPECT_EQ(RefusalNumberText(0.5, 2), "0,50");

    // A row whose two limits are equal takes that one value only.
    const TCommandRecord fixed = Row("FIXEDVAL", 3, 3, 1);
    EXPECT_FALSE(Refused(fixed, 3.0));
    EXPECT_TRUE(Refused(fixed, 3.1));
}

TEST(ParameterWrite, framesOnlyValuesInsideTheLimits) {
    const TCommandRecord volts = Row("UPPRLEXT", 0, 2, 2);
    EXPECT_EQ(ParameterWriteText("UPPRLEXT", volts, 1.5), "[UPPRLEXT 1.50]\r\n");
    EXPECT_EQ(ParameterWriteText("UPPRLEXT", volts, 2.004), "[UPPRLEXT 2.00]\r\n");
    try {
        ParameterWriteText("UPPRLEXT", volts, 2.5);
        FAIL() << "framed a value above the maximum";
    } catch (const EValueOutOfLimits& refused) {
        EXPECT_EQ(refused.Refusal().value, 2.5);
        EXPECT_EQ(refused.Message(),
                  "UPPRLEXT (Up-shift pre-load exit travel): 2,50 is outside its limits "
                  "0,00 .. 2,00");
    }
}

namespace {

class GuardedSequence : public ::testing::Test {
  protected:
    GuardedSequence() : controller(sequence, commands, view) {
        SetSGSequenceStructure(view.grid);
        for (int id : {8, 11, 24}) {
            TCommandRecord& row = commands[id];
            row.ID = id;
            row.Command = QStringLiteral("PWR%1").arg(id);
            row.MeasureUnitFW = row.MeasureUnitSW = "%";
            row.MinValueFW = row.MinValueSW = 10;
            row.MaxValueFW = row.MaxValueSW = 100;
            row.ActualValueFW = row.ActualValueSW = 50;
            row.SenderType = "TSpinEdit";
            row.SenderName1 = QStringLiteral("SE%1").arg(id);
        }
    }
    void Edit(int id, double value) {
        controller.AddSequenceRecord(id, value);
        controller.FillSGSequence();
    }

    CommandTable commands;
    ChangeSequence sequence;
    qvtest::NullSequenceView view;
    SequenceController controller;
};

} // namespace

TEST_F(GuardedSequence, outOfLimitEntryIsNotFramed_firstRefusedPendingEntryIsFound) {
    Edit(24, 250); // a sent entry out of limits no longer matters
    controller.MarkTransmitted(1);
    Edit(8, 70);
    Edit(11, 5);
    Edit(8, 100); // the newest: place 1, 11 at place 2
    ASSERT_EQ(sequence[2].CommandID, 11);

    EXPECT_EQ(controller.TransmitFrameText(1), "[PWR8 100]\r\n");
    EXPECT_THROW(controller.TransmitFrameText(2), EValueOutOfLimits);
    const std::optional<RefusedEntry> refused = controller.FirstRefusedPendingEntry();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->row, 2);
    EXPECT_EQ(refused->refusal.command, "PWR11");
    EXPECT_EQ(refused->refusal.value, 5);

    Edit(11, 10);
    EXPECT_FALSE(controller.FirstRefusedPendingEntry());
    EXPECT_EQ(controller.TransmitFrameText(1), "[PWR11 10]\r\n");
}

// ------------------------------------------------------------------ the shipped table

namespace {

CommandTable ShippedTable() {
    StringGridModel grid(15, 201, 30); // the commands grid's design size
    LoadStringGridFromCSV(grid, QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"));
    CommandTable table;
    LoadCommandsFromGrid(grid, table);
    return table;
}

// Every value a field of the row can show: whole numbers for a row without
// display decimals, tenths, hundredths ... otherwise.
QList<double> DisplayValues(const TCommandRecord& row) {
    QList<double> values;
    const double step = std::pow(10.0, -std::max(0, row.DigitsValueSW));
    const long long first = std::llround(std::ceil(row.MinValueSW / step - 1e-9));
    const long long last = std::llround(std::floor(row.MaxValueSW / step + 1e-9));
    for (long long k = first; k <= last; ++k)
        values.append(RealToFixedDec(double(k) * step, std::max(0, row.DigitsValueSW)));
    return values;
}

// The rows whose display values leave their firmware limits, as "ID value".
QStringList Disagreements(const CommandTable& table, int factor) {
    QStringList found;
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = table[id];
        if (row.Command.isEmpty() || row.MinValueSW == row.MaxValueSW)
            continue;
        for (double shown : DisplayValues(row)) {
            const double firmware = SWValueToFWValue(table, id, shown, factor);
            if (CheckFirmwareLimits(row, firmware)) {
                found << QStringLiteral("%1 %2").arg(id).arg(shown);
                break;
            }
        }
    }
    return found;
}

} // namespace

TEST(ShippedCommandLimits, everyDisplayValueInsideItsLimitsIsAFirmwareValueInsideTheirs) {
    CommandTable table = ShippedTable();
    ASSERT_FALSE(table[11].Command.isEmpty());
    ASSERT_EQ(table[98].MaxValueSW, 21000);
    EXPECT_EQ(Disagreements(table, 60), QStringList());

    // Every RPM factor the divisor (1 to 4) and "x 2" can give: the RPM
    // parameters re-expressed with it keep display limits that agree.
    for (int divisor = 1; divisor <= 4; ++divisor) {
        for (int times2 = 0; times2 <= 1; ++times2) {
            const int factor = RPMFactorFor(divisor, times2);
            SCOPED_TRACE(factor);
            CommandTable reexpressed = table;
            for (int id = 1; id <= CommandCount; ++id)
                if (IsRPMParameter(reexpressed[id]))
                    ReexpressRPMParameter(reexpressed[id], factor);
            EXPECT_EQ(reexpressed[98].MaxValueSW, 350.0 * factor);
            EXPECT_EQ(Disagreements(reexpressed, factor), QStringList());
        }
    }
}

TEST(ShippedCommandLimits, oneFirmwareStepBeyondEitherLimitIsRefused) {
    const CommandTable table = ShippedTable();
    int rows = 0;
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = table[id];
        if (row.Command.isEmpty() || row.MinValueFW == row.MaxValueFW)
            continue;
        const double step = std::pow(10.0, -row.DigitsValueFW);
        EXPECT_TRUE(Refused(row, row.MinValueFW - step)) << id;
        EXPECT_TRUE(Refused(row, row.MaxValueFW + step)) << id;
        EXPECT_FALSE(Refused(row, row.MinValueFW)) << id;
        EXPECT_FALSE(Refused(row, row.MaxValueFW)) << id;
        ++rows;
    }
    EXPECT_GT(rows, 140);
}

// ------------------------------------------------------------------ values the unit holds

TEST(UnitValuesOutsideLimits, listedInIdOrderWithDisplayTexts_hiddenRowsLeftOut) {
    CommandTable table;
    // Volts shown as millivolts, degrees as they are, and an RPM row.
    TCommandRecord& volts = qvtest::WritableRow(table, 1, "MINVBATT", "V", "mV", 1000, 1, 0);
    volts.MinValueFW = 6;
    volts.MaxValueFW = 16;
    TCommandRecord& degrees =
        qvtest::WritableRow(table, 2, "ACTTLIMT", "\u00B0C", "\u00B0C", 1, 0, 0);
    degrees.MinValueFW = 60;
    degrees.MaxValueFW = 130;
    TCommandRecord& rpm = qvtest::WritableRow(table, 98, "RPMLIMIT", "Hz", "RPM", 1, 0, 0);
    rpm.MinValueFW = 50;
    rpm.MaxValueFW = 350;
    qvtest::WritableRow(table, 3, "HIDDEN", "Nr", "Nr", 1, 0, 0).MaxValueFW = 1;

    struct Case {
        int id;
        double held;
        const char* line; // empty: inside its limits
    };
    const Case cases[] = {
        {1, 5.94, "MINVBATT - MINVBATT description: 5940 (6000 .. 16000)"}, // 5.9 as sent
        {1, 5.96, ""},                                                      // 6.0 as sent
        {1, 1e308, "MINVBATT - MINVBATT description: 1E+308 (6000 .. 16000)"},
        {2, -5, "ACTTLIMT - ACTTLIMT description: -5 (60 .. 130)"},
        {2, 130, ""},
        {98, 351, "RPMLIMIT - RPMLIMIT description: 21060 (3000 .. 21000)"},
        {3, 7, ""}, // outside, but its control is not shown
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 holds %2").arg(c.id).arg(c.held).toStdString());
        UnitValues unit;
        unit.fw.insert(c.id, c.held);
        const QVector<LimitRefusal> outside =
            UnitValuesOutsideLimits(table, unit, [](int id) { return id != 3; });
        const QStringList lines = OutsideLimitsLines(table, outside, 60);
        EXPECT_EQ(lines.join(u'|'), QString::fromUtf8(c.line));
    }
    UnitValues all;
    for (const Case& c : cases)
        all.fw.insert(c.id, c.held);
    QVector<int> ids;
    for (const LimitRefusal& value : UnitValuesOutsideLimits(table, all))
        ids << value.commandId;
    EXPECT_EQ(ids, (QVector<int>{1, 3, 98})); // the last value of each, in ID order
}
