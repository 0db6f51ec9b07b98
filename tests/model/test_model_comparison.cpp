// Unit, working copy and a chosen file side by side: which rows there are,
// which pairs differ (at the firmware digits), the counts, what "Take" and
// "Restore this point" put into the change sequence, and the CSV export.
#include "model/ConfigComparison.h"
#include "model/Sequence.h"
#include "model/SequenceController.h"
#include "util/StringGridModel.h"

#include "support/CommandRows.h"

#include <gtest/gtest.h>

namespace {

class PageView : public SequenceView {
  public:
    void SetControlColor(const QString&, const QString&, quint32) override {}
    void WriteControlValues(const QVector<ControlValueWrite>&) override {}
    int CurrentPageIndex() const override { return page; }
    void ShowPage(int pageIndex) override { page = pageIndex; }
    void SetGridSelectedRow(int) override {}
    StringGridModel& SequenceGrid() override { return grid; }
    void EnableControls() override {}

    int page = 8; // the comparison's own page
    StringGridModel grid{6, 201};
};

void Row(CommandTable& table, int id, const char* word, const char* fwUnit, const char* swUnit,
         double factor, int digitsFW, int digitsSW, double value) {
    TCommandRecord& row =
        qvtest::WritableRow(table, id, word, fwUnit, swUnit, factor, digitsFW, digitsSW);
    row.ActivePCB43 = QStringLiteral("1");
    row.SenderName1 = QStringLiteral("SE%1").arg(word);
    row.ActivePageIndex1 = 2;
    row.ActualValueFW = value;
    row.ActualValueSW = value * factor;
}

TCommandRecord Record(int id, const char* word, double fw, int digitsFW = 0) {
    TCommandRecord record;
    record.ID = id;
    record.Command = word;
    record.ActualValueFW = fw;
    record.DigitsValueFW = digitsFW;
    return record;
}

class Comparing : public ::testing::Test {
  protected:
    Comparing() {
        Row(table, 1, "MINVBATT", "V", "V", 1, 1, 1, 12.5);
        Row(table, 2, "TPSIDLEV", "V", "mV", 1000, 3, 0, 0.5);
        Row(table, 3, "UPCUTTIM", "mS", "mS", 1, 0, 0, 40);
        Row(table, 4, "DNCUTTIM", "mS", "mS", 1, 0, 0, 30);
        Row(table, 5, "OTHERPCB", "mS", "mS", 1, 0, 0, 5);
        table[5].ActivePCB43.clear(); // not on this unit's PCB
        unit.fw = {{1, 12.5}, {2, 0.5}, {3, 40}, {4, 30}, {5, 5}};
    }

    Comparison Compare(const std::optional<ComparedColumn>& chosen) const {
        return CompareParameterSets(table, 43, 60, ColumnOfUnit(table, unit),
                                    ColumnOfWorkingCopy(table, sequence), chosen);
    }
    static const ComparisonRow* RowOf(const Comparison& comparison, int id) {
        for (const ComparisonRow& row : comparison.rows)
            if (row.id == id)
                return &row;
        return nullptr;
    }

    CommandTable table;
    UnitValues unit;
    ChangeSequence sequence;
};

// ------------------------------------------------------------------ rows, pairs and counts

TEST_F(Comparing, missingAndExtraParametersOfTheChosenSetAreRowsThatDiffer) {
    // The file lacks 4, has 3 changed, and brings 150 (unknown) and 5 (another PCB's).
    const ComparedColumn chosen = ColumnOfRecords(
        {Record(1, "MINVBATT", 12.5, 1), Record(2, "TPSIDLEV", 0.5, 3), Record(3, "UPCUTTIM", 45),
         Record(5, "OTHERPCB", 9), Record(150, "FUTURECM", 3)});
    const Comparison comparison = Compare(chosen);

    QVector<int> ids;
    for (const ComparisonRow& row : comparison.rows)
        ids.append(row.id);
    EXPECT_EQ(ids, QVector<int>({1, 2, 3, 4, 5, 150}));

    const ComparisonRow* same = RowOf(comparison, 1);
    EXPECT_FALSE(same->Differs());
    EXPECT_EQ(same->text, (std::array<QString, 3>{"12,5", "12,5", "12,5"}));

    const ComparisonRow* changed = RowOf(comparison, 3);
    EXPECT_TRUE(changed->unitVsChosen);
    EXPECT_TRUE(changed->workingVsChosen);
    EXPECT_FALSE(changed->unitVsWorking);

    const ComparisonRow* missing = RowOf(comparison, 4);
    EXPECT_TRUE(missing->known);
    EXPECT_FALSE(missing->fw[2].has_value());
    EXPECT_EQ(missing->text[2], "");
    EXPECT_TRUE(missing->unitVsChosen);

    // A parameter the unit's table does not write on this PCB: only the file's value.
    const ComparisonRow* otherPcb = RowOf(comparison, 5);
    EXPECT_FALSE(otherPcb->known);
    EXPECT_FALSE(otherPcb->fw[0].has_value());
    EXPECT_FALSE(otherPcb->fw[1].has_value());
    EXPECT_EQ(otherPcb->text[2], "9");
    const ComparisonRow* unknown = RowOf(comparison, 150);
    EXPECT_EQ(unknown->command, "FUTURECM");
    EXPECT_TRUE(unknown->unitVsChosen && unknown->workingVsChosen);

    const ComparisonCounts& n = comparison.counts;
    EXPECT_EQ(n.rows, 6);
    EXPECT_EQ(n.differing, 4);
    EXPECT_EQ(n.unitVsWorking, 0);
    EXPECT_EQ(n.unitVsChosen, 4);
    EXPECT_EQ(n.workingVsChosen, 4);
    EXPECT_EQ(n.missingInChosen, 1);
    EXPECT_EQ(n.extraInChosen, 2);
    EXPECT_EQ(ShownRows(comparison, true), QVector<int>({2, 3, 4, 5}));
    EXPECT_EQ(ShownRows(comparison, false).size(), 6);
}

TEST_F(Comparing, valuesEqualAtTheirFirmwareDigitsAreEqual) {
    const ComparedColumn chosen = ColumnOfRecords({
        Record(1, "MINVBATT", 12.54, 1),  // one decimal: 12.5
        Record(2, "TPSIDLEV", 0.5004, 3), // three decimals: 0.500
        Record(3, "UPCUTTIM", 40.6),      // no decimals: 41
        Record(4, "DNCUTTIM", 30.4),      // 30
    });
    const Comparison comparison = Compare(chosen);
    EXPECT_FALSE(RowOf(comparison, 1)->unitVsChosen);
    EXPECT_FALSE(RowOf(comparison, 2)->unitVsChosen);
    EXPECT_TRUE(RowOf(comparison, 3)->unitVsChosen);
    EXPECT_FALSE(RowOf(comparison, 4)->unitVsChosen);
    EXPECT_EQ(comparison.counts.unitVsChosen, 1);
    // The table's digits count, not the file's own: 12.56 is 12.6 at one decimal.
    const Comparison rounded = Compare(ColumnOfRecords({Record(1, "MINVBATT", 12.56, 3)}));
    EXPECT_TRUE(RowOf(rounded, 1)->unitVsChosen);
    // Display units with the display digits: 0.5 V is 500 mV.
    EXPECT_EQ(RowOf(comparison, 2)->text[0], "500");
}

TEST_F(Comparing, aSetThatIsAbsentDiffersFromNothing) {
    const Comparison comparison = CompareParameterSets(
        table, 43, 60, std::nullopt, ColumnOfWorkingCopy(table, sequence), std::nullopt);
    EXPECT_EQ(comparison.counts.rows, 4);
    EXPECT_EQ(comparison.counts.differing, 0);
    EXPECT_FALSE(comparison.present[0]);
    EXPECT_TRUE(comparison.present[1]);
    EXPECT_EQ(RowOf(comparison, 3)->text[0], "");
    EXPECT_EQ(RowOf(comparison, 3)->text[1], "40");
}

TEST_F(Comparing, workingCopyIsTheTableWithPendingChangesOverIt) {
    // An edit ("M") is in the table already; a loaded configuration entry ("L")
    // is not; discarded ("D") and transmitted ("T") entries are history.
    auto entry = [](int id, double fw, const QString& status) {
        TSequenceRecord e;
        e.CommandID = id;
        e.ActualValueFW = fw;
        e.Status = status;
        return e;
    };
    table[1].ActualValueFW = 13.0;
    sequence[1] = entry(1, 13.0, StatusLetter::Modified);
    sequence[2] = entry(3, 55, StatusLetter::Loaded);
    sequence[3] = entry(4, 99, StatusLetter::Discarded);
    sequence[4] = entry(2, 0.9, StatusLetter::Transmitted);
    sequence[5] = entry(3, 77, StatusLetter::Loaded); // older entry of 3: the newer counts
    const Comparison comparison = Compare(std::nullopt);
    EXPECT_TRUE(RowOf(comparison, 1)->unitVsWorking);
    EXPECT_DOUBLE_EQ(*RowOf(comparison, 3)->fw[1], 55);
    EXPECT_TRUE(RowOf(comparison, 3)->unitVsWorking);
    EXPECT_FALSE(RowOf(comparison, 4)->unitVsWorking);
    EXPECT_FALSE(RowOf(comparison, 2)->unitVsWorking);
    EXPECT_EQ(comparison.counts.unitVsWorking, 2);
}

// ------------------------------------------------------------------ take and restore

TEST_F(Comparing, restoreTakesKnownRowsWhereTheChosenValueDiffersFromWorkingOrUnit) {
    table[4].ActualValueFW = 35; // an edit not yet sent: working 35, unit 30
    const ComparedColumn chosen =
        ColumnOfRecords({Record(1, "MINVBATT", 12.5, 1), Record(2, "TPSIDLEV", 0.7, 3),
                         Record(4, "DNCUTTIM", 30), Record(150, "FUTURECM", 3)});
    const Comparison comparison = Compare(chosen);
    // Row 3 is missing in the file, 150 is unknown, 1 is equal everywhere.
    const QVector<int> rows = RowsToRestore(comparison);
    QVector<int> ids;
    for (int index : rows)
        ids.append(comparison.rows[index].id);
    EXPECT_EQ(ids, QVector<int>({2, 4}));

    const QVector<TakenValue> values = ValuesToTake(comparison, rows, CompareColumn::Chosen);
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[0].id, 2);
    EXPECT_DOUBLE_EQ(values[0].fw, 0.7);
    EXPECT_EQ(values[1].command, "DNCUTTIM");
    EXPECT_DOUBLE_EQ(values[1].fw, 30);
    // The unit's column can be taken as well; a row without a value gives none.
    const QVector<TakenValue> fromUnit = ValuesToTake(comparison, {0, 2, 5}, CompareColumn::Unit);
    ASSERT_EQ(fromUnit.size(), 2);
    EXPECT_DOUBLE_EQ(fromUnit[1].fw, 40);
}

TEST_F(Comparing, takeMakesExactlyTheLoadedEntriesAndReplacesAnEntryOfTheSameCommand) {
    PageView view;
    SequenceController controller(sequence, table, view);
    controller.timeText = [] { return QStringLiteral("10.11.12"); };
    controller.AddSequenceRecord(3, 42); // an edit of UPCUTTIM, pending
    controller.AddSequenceRecord(1, 13); // and one of MINVBATT
    ASSERT_EQ(sequence.Count(), 2);
    view.page = 8;

    const auto bound = [](const QString&, const QString&, int) {
        return std::optional<BoundControl>(BoundControl{});
    };
    const SequenceLoadResult result = TakeIntoSequence(
        controller, {{3, "UPCUTTIM", 40}, {2, "TPSIDLEV", 0.7}, {150, "FUTURECM", 3}}, 60, bound);

    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.appended, 1);
    ASSERT_EQ(result.leftOut.size(), 1);
    EXPECT_EQ(result.leftOut[0].id, 150);
    ASSERT_EQ(sequence.Count(), 3);
    // The edit of 3 became the loaded value; 1 stays an edit; 2 follows.
    EXPECT_EQ(sequence[1].CommandID, 1);
    EXPECT_EQ(sequence[1].Status, "M");
    EXPECT_EQ(sequence[2].CommandID, 3);
    EXPECT_EQ(sequence[2].Status, "L");
    EXPECT_DOUBLE_EQ(sequence[2].ActualValueFW, 40);
    EXPECT_DOUBLE_EQ(sequence[2].ActualValueSW, 40);
    EXPECT_EQ(sequence[2].SenderName1, "SEUPCUTTIM");
    EXPECT_EQ(sequence[3].CommandID, 2);
    EXPECT_EQ(sequence[3].Command, "TPSIDLEV");
    EXPECT_EQ(sequence[3].Status, "L");
    EXPECT_DOUBLE_EQ(sequence[3].ActualValueFW, 0.7);
    EXPECT_DOUBLE_EQ(sequence[3].ActualValueSW, 700); // scaled to display units
    EXPECT_EQ(sequence[3].Time, "10.11.12");
    // The command rows and the controls keep what they show until the
    // entries are applied or sent; the working copy's column has the entries.
    EXPECT_DOUBLE_EQ(table[2].ActualValueFW, 0.5);
    const Comparison after = Compare(std::nullopt);
    EXPECT_DOUBLE_EQ(*RowOf(after, 2)->fw[1], 0.7);
    // The comparison's page stays in front.
    EXPECT_EQ(view.page, 8);
}

TEST_F(Comparing, takeLeavesOutWhatTheLoadingRulesRefuse) {
    PageView view;
    SequenceController controller(sequence, table, view);
    // A control that is not bound to the command refuses the record.
    const auto onlyTpsBound = [](const QString& name, const QString&,
                                 int) -> std::optional<BoundControl> {
        if (name == "SETPSIDLEV")
            return BoundControl{};
        return std::nullopt;
    };
    const SequenceLoadResult result =
        TakeIntoSequence(controller, {{3, "UPCUTTIM", 40}, {2, "TPSIDLEV", 0.7}}, 60, onlyTpsBound);
    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 2);
    ASSERT_EQ(result.leftOut.size(), 1);
    EXPECT_EQ(result.leftOut[0].reason, LeftOutReason::UnknownControl);
    EXPECT_DOUBLE_EQ(table[3].ActualValueFW, 40); // as before: not taken
}

// ------------------------------------------------------------------ CSV

TEST_F(Comparing, csvHasTitlesDisplayValuesWithAPointAndQuotesWhatNeedsIt) {
    table[3].Description = "Cut time; up \"fast\"";
    const Comparison comparison =
        Compare(ColumnOfRecords({Record(1, "MINVBATT", 11.5, 1), Record(3, "UPCUTTIM", 40)}));
    const QString csv =
        ComparisonCsv(comparison, ShownRows(comparison, false),
                      {"ID", "Command", "Description", "Unit", "Working", "File", "Differs"});
    const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "ID;Command;Description;Unit;Working;File;Differs");
    EXPECT_EQ(lines[1], "1;MINVBATT;MINVBATT description;12.5;12.5;11.5;1");
    EXPECT_EQ(lines[3], "3;UPCUTTIM;\"Cut time; up \"\"fast\"\"\";40;40;40;0");
    EXPECT_EQ(lines[4], "4;DNCUTTIM;DNCUTTIM description;30;30;;1");
}

} // namespace
