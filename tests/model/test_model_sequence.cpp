// The change sequence's rules: capture, undo, move to front, capacity, revert,
// selection and page choice, discard, erase, transmit marks, grid text and the
// enabled-state flags.
#include "model/CommandTable.h"
#include "model/Sequence.h"
#include "model/SequenceController.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

// Records what the rules ask of the window.
class RecordingView : public SequenceView {
  public:
    void SetControlColor(const QString&, const QString& name, quint32 color) override {
        colors[name] = color;
        paintLog.append(name);
    }
    void WriteControlValues(const QVector<ControlValueWrite>& w) override { writes += w; }
    int CurrentPageIndex() const override { return page; }
    void ShowPage(int pageIndex) override {
        page = pageIndex;
        shownPages.append(pageIndex);
    }
    void SetGridSelectedRow(int row) override { gridRow = row; }
    StringGridModel& SequenceGrid() override { return grid; }
    void EnableControls() override { ++enableCalls; }

    QMap<QString, quint32> colors;
    QStringList paintLog;
    QVector<ControlValueWrite> writes;
    int page = 0;
    QVector<int> shownPages;
    int gridRow = 1;
    StringGridModel grid{6, 201};
    int enableCalls = 0;
};

constexpr quint32 ModifiedNormal = 0x00AAFFFF;

class SequenceRules : public ::testing::Test {
  protected:
    SequenceRules() : controller(sequence, commands, view) {
        controller.timeText = [] { return QStringLiteral("12.34.56"); };
        PrepareGrid();
        // Every ID is a command so that the capacity tests can use all of them.
        for (int id = 1; id <= CommandCount; ++id)
            Bind(id, QStringLiteral("CMD%1").arg(id), "TSpinEdit",
                 QStringLiteral("SECommand%1").arg(id), 1);
        Bind(7, "UPCUTTIM", "TSpinEdit", "SEUpShiftEngineCutTime", 2);
        commands[7].ActualValueSW = 50;
        commands[7].ActualValueFW = 50;
        Bind(10, "MAXVBATT", "TEdit", "EBatteryMaximum", 1);
        commands[10].MeasureUnitFW = commands[10].MeasureUnitSW = "Nr";
        commands[10].DigitsValueSW = 1;
        commands[10].DigitsValueFW = 1;
        commands[10].ActualValueSW = 12.5;
        Bind(20, "CANRPMIN", "TCheckBox", "CBInputsOutputsCANRPMInput", 3);
        Bind(115, "HSARETRY", "TSpinEdit", "SEUpShiftRetry", 2);
        commands[115].SenderName2 = "SEDownShiftRetry";
        commands[115].ActivePageIndex2 = 3;
    }

    void PrepareGrid() { SetSGSequenceStructure(view.grid); }

    void Bind(int id, const QString& word, const QString& type, const QString& name, int page) {
        TCommandRecord& row = commands[id];
        row.ID = id;
        row.Command = word;
        row.Description = word + " description";
        row.MeasureUnitFW = row.MeasureUnitSW = "mS";
        row.MinValueFW = row.MinValueSW = -1e6;
        row.MaxValueFW = row.MaxValueSW = 1e6;
        row.SenderType = type;
        row.SenderName1 = name;
        row.SenderName2.clear();
        row.ActivePageIndex1 = page;
        row.ActivePageIndex2 = 0;
    }

    // An edit as the window reports it: capture, then the grid refill.
    void Edit(int id, double value) {
        controller.AddSequenceRecord(id, value);
        controller.FillSGSequence();
    }

    CommandTable commands;
    ChangeSequence sequence;
    RecordingView view;
    SequenceController controller;
};

TEST_F(SequenceRules, firstCapture_createsModifiedActiveEntryAndColoursItsControl) {
    view.page = 0;
    Edit(7, 60);

    ASSERT_EQ(sequence.Count(), 1);
    const TSequenceRecord& e = sequence[1];
    EXPECT_EQ(e.CommandID, 7);
    EXPECT_EQ(e.Command, "UPCUTTIM");
    EXPECT_EQ(e.Status, "M");
    EXPECT_EQ(e.PreviousValueSW, 50);
    EXPECT_EQ(e.PreviousValueFW, 50);
    EXPECT_EQ(e.ActualValueSW, 60);
    EXPECT_EQ(e.ActualValueFW, 60);
    EXPECT_EQ(e.Time, "12.34.56");
    EXPECT_EQ(sequence.ActivePosition, 1);
    EXPECT_EQ(commands[7].Status, "M");
    EXPECT_EQ(commands[7].ActualValueSW, 60);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], StatusColors::clYellow);
    EXPECT_EQ(view.page, 1); // the control's page came to the front
    EXPECT_EQ(view.grid.Cell(0, 1), "7");
    EXPECT_EQ(view.grid.Cell(5, 1), "M");
    EXPECT_GT(view.enableCalls, 0);
}

TEST_F(SequenceRules, captureThreeTimes_keepsOneEntryWithFirstPreviousAndLastValue) {
    Edit(7, 60);
    Edit(7, 70);
    Edit(7, 80);
    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].PreviousValueSW, 50);
    EXPECT_EQ(sequence[1].ActualValueSW, 80);
}

TEST_F(SequenceRules, captureAThenBThenA_putsAFirstBSecondWithTheirColours) {
    Edit(7, 60);
    Edit(10, 13.5);
    Edit(7, 61);
    ASSERT_EQ(sequence.Count(), 2);
    EXPECT_EQ(sequence[1].CommandID, 7);
    EXPECT_EQ(sequence[2].CommandID, 10);
    EXPECT_EQ(sequence[2].ActualValueSW, 13.5);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], StatusColors::clYellow);
    EXPECT_EQ(view.colors["EBatteryMaximum"], ModifiedNormal);
    EXPECT_EQ(view.grid.Cell(3, 2), "13,5");
}

TEST_F(SequenceRules, captureOnAnotherPage_paintsThePreviouslyActiveEntryNormal) {
    Edit(20, 1); // page 3
    Edit(10, 13);
    Edit(7, 60);
    view.page = 0; // the user turned to the first page
    Edit(10, 14);  // moves from place 2 to the front
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], ModifiedNormal);
    view.page = 0;
    Edit(5, 1); // a new entry
    EXPECT_EQ(view.colors["EBatteryMaximum"], ModifiedNormal);
    EXPECT_EQ(view.colors["SECommand5"], StatusColors::clYellow);
    EXPECT_EQ(view.colors["CBInputsOutputsCANRPMInput"], ModifiedNormal);
}

TEST_F(SequenceRules, typingBackThePreviousValue_removesEntryAndRestoresCommand) {
    Edit(10, 13.5);
    Edit(7, 60);
    Edit(7, 55);
    view.writes.clear();
    Edit(7, 50);

    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 10);
    EXPECT_EQ(sequence.ActivePosition, 1);
    EXPECT_EQ(commands[7].ActualValueSW, 50);
    EXPECT_TRUE(commands[7].Status.isEmpty());
    ASSERT_EQ(view.writes.size(), 1);
    EXPECT_EQ(view.writes[0].controlName, "SEUpShiftEngineCutTime");
    EXPECT_EQ(view.writes[0].integer, 50);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], StatusColors::clWhite);
    EXPECT_EQ(view.colors["EBatteryMaximum"], StatusColors::clYellow); // now the active entry
    EXPECT_TRUE(view.grid.Cell(0, 2).isEmpty());
}

TEST_F(SequenceRules, transmittedEntry_takesSentValueAsPreviousAndUndoesWhenTypedBack) {
    Edit(7, 60);
    controller.MarkTransmitted(1);
    EXPECT_EQ(view.grid.Cell(5, 1), "T");

    Edit(7, 70);
    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].Status, "M");
    EXPECT_EQ(sequence[1].PreviousValueSW, 60);
    EXPECT_EQ(sequence[1].PreviousValueFW, 60); // the sent value, in both its forms

    Edit(7, 60);
    EXPECT_EQ(sequence.Count(), 0);
    EXPECT_EQ(commands[7].ActualValueSW, 60);
}

TEST_F(SequenceRules, captureWith199Entries_dropsTheOldestAndKeeps199) {
    for (int id = 1; id <= 199; ++id)
        Edit(id, 1000 + id);
    ASSERT_EQ(sequence.Count(), 199);
    EXPECT_EQ(sequence[199].CommandID, 1);

    Edit(200, 5);
    EXPECT_EQ(sequence.Count(), 199);
    EXPECT_EQ(sequence[1].CommandID, 200);
    EXPECT_EQ(sequence[199].CommandID, 2);
    EXPECT_EQ(sequence[200].CommandID, 0);
    EXPECT_EQ(commands[1].Status, "M"); // the dropped entry's row keeps its mark
}

TEST_F(SequenceRules, captureOverAFullLoadedList_leavesPlace200Empty) {
    for (int i = 1; i <= SequenceCount; ++i) {
        sequence[i].CommandID = i;
        sequence[i].Status = "L";
    }
    Edit(150, 9);
    EXPECT_EQ(sequence[1].CommandID, 150);
    EXPECT_EQ(sequence[1].Status, "M");
    EXPECT_EQ(sequence.Count(), 199);
    EXPECT_EQ(sequence[150].CommandID, 149);
    EXPECT_EQ(sequence[151].CommandID, 151);
}

TEST_F(SequenceRules, captureThatCannotBeScaled_raisesAndChangesNothing) {
    Edit(7, 60);
    commands[10].MeasureUnitFW = commands[10].MeasureUnitSW = "V";
    commands[10].FWtoSWFactor = 0;
    EXPECT_THROW(controller.AddSequenceRecord(10, 3), EConvertError);
    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 7);
    EXPECT_TRUE(commands[10].Status.isEmpty());
}

TEST_F(SequenceRules, revert_writesPreviousValuePerControlKind) {
    Edit(10, 13.5);
    Edit(20, 1);
    Edit(115, 300);
    sequence[1].PreviousValueSW = 2.5; // command 115, two spin edits
    sequence[2].PreviousValueSW = 1;   // command 20, check box
    sequence[3].PreviousValueSW = 12.25;
    view.writes.clear();
    controller.RevertToPreviousValueSequence(1);
    controller.RevertToPreviousValueSequence(2);
    controller.RevertToPreviousValueSequence(3);

    ASSERT_EQ(view.writes.size(), 4);
    EXPECT_EQ(view.writes[0].controlName, "SEUpShiftRetry");
    EXPECT_EQ(view.writes[0].integer, 2); // halves to the even neighbour
    EXPECT_EQ(view.writes[1].controlName, "SEDownShiftRetry");
    EXPECT_TRUE(view.writes[2].checked);
    EXPECT_EQ(view.writes[3].text, "12,3");
    EXPECT_EQ(commands[115].ActualValueSW, 2.5);
    EXPECT_TRUE(commands[115].Status.isEmpty());
    // The GCU value goes back too: nothing saved or sent keeps the reverted edit.
    EXPECT_EQ(commands[115].ActualValueFW, sequence[1].PreviousValueFW);
    EXPECT_NE(commands[115].ActualValueFW, 300);
}

TEST_F(SequenceRules, selectCell_showsPageUnlessSilent) {
    Edit(20, 1); // page 3
    Edit(7, 60); // page 2
    view.page = 0;
    controller.SGSequenceSelectCell(2);
    EXPECT_EQ(view.page, 2);
    EXPECT_EQ(sequence.ActivePosition, 2);
    EXPECT_EQ(view.colors["CBInputsOutputsCANRPMInput"], StatusColors::clYellow);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], ModifiedNormal);

    view.shownPages.clear();
    sequence.SilentActivePageChange = true;
    controller.SGSequenceSelectCell(1);
    EXPECT_TRUE(view.shownPages.isEmpty());
    EXPECT_EQ(sequence.ActivePosition, 1);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], StatusColors::clYellow);
}

TEST_F(SequenceRules, selectCell_usesSecondPageWhenFirstIsNoneAndKeepsPageWhenBoth) {
    sequence[1] = TSequenceRecord{};
    sequence[1].CommandID = 5;
    sequence[1].Status = "L";
    sequence[1].ActivePageIndex2 = 2;
    sequence[2].CommandID = 6;
    sequence[2].Status = "L";
    view.page = 3;
    controller.SGSequenceSelectCell(1);
    EXPECT_EQ(view.page, 1);
    view.shownPages.clear();
    controller.SGSequenceSelectCell(2);
    EXPECT_TRUE(view.shownPages.isEmpty());
}

TEST_F(SequenceRules, updateColours_selectsAnEntryOfTheShownPageFirst) {
    Edit(7, 60);   // page 2
    Edit(20, 1);   // page 3
    Edit(10, 13);  // page 1 (index 0)
    view.page = 1; // page of command 7, now entry 3
    view.paintLog.clear();
    controller.UpdateSequenceControlsColor(1);
    EXPECT_EQ(sequence.ActivePosition, 1);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], ModifiedNormal);
    EXPECT_EQ(view.paintLog.count("SEUpShiftEngineCutTime"), 1); // normal, painted once
    EXPECT_EQ(view.colors["EBatteryMaximum"], StatusColors::clYellow);
}

TEST_F(SequenceRules, updateColours_paintsEachControlOnceAndWorksOutEnabledStatesOnce) {
    Edit(7, 60);   // page 2
    Edit(20, 1);   // page 3
    Edit(10, 13);  // page 1 (index 0)
    view.page = 1; // page of command 7, now entry 3
    controller.SGSequenceSelectCell(3);
    view.paintLog.clear();
    view.enableCalls = 0;
    controller.UpdateSequenceControlsColor(2);
    EXPECT_EQ(view.enableCalls, 1);
    for (const QString& name : view.paintLog)
        EXPECT_EQ(view.paintLog.count(name), 1) << name.toStdString();
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], ModifiedNormal); // was active, on the page
    EXPECT_EQ(view.colors["CBInputsOutputsCANRPMInput"], StatusColors::clYellow);
    EXPECT_EQ(sequence.ActivePosition, 2);
    EXPECT_EQ(view.page, 2);
}

TEST_F(SequenceRules, markingAndDiscarding_rewriteOnlyTheEntrysGridRow) {
    Edit(7, 60);
    Edit(10, 13);
    Edit(115, 3);
    view.grid.SetCell(1, 2, "untouched");
    view.grid.SetCell(1, 3, "untouched");
    controller.SelectGridRow(1);
    controller.MarkTransmitted(1);
    EXPECT_EQ(view.grid.Cell(5, 1), "T");
    controller.SelectGridRow(3);
    ASSERT_TRUE(controller.DiscardSelected());
    EXPECT_EQ(view.grid.Cell(5, 3), "D");
    EXPECT_EQ(view.grid.Cell(1, 3), "UPCUTTIM");  // the discarded entry's own row
    EXPECT_EQ(view.grid.Cell(1, 2), "untouched"); // the others are not written
}

TEST_F(SequenceRules, discard_revertsKeepsEntryAsDAndRefusesOtherStatuses) {
    Edit(7, 60);
    Edit(10, 13);
    controller.SelectGridRow(2);
    ASSERT_TRUE(controller.DiscardSelected());
    EXPECT_EQ(sequence[2].Status, "D");
    EXPECT_EQ(sequence[2].CommandID, 7);
    EXPECT_EQ(commands[7].ActualValueSW, 50);
    EXPECT_EQ(view.grid.Cell(5, 2), "D");
    EXPECT_FALSE(controller.DiscardSelected()); // already "D"

    controller.MarkTransmitted(1);
    controller.SelectGridRow(1);
    EXPECT_FALSE(controller.DiscardSelected());
    EXPECT_EQ(sequence[1].Status, "T");
}

TEST_F(SequenceRules, discardAll_discardsPendingEntriesOnlyAndSelectsRowOne) {
    Edit(7, 60);
    Edit(10, 13);
    Edit(20, 1);
    controller.MarkTransmitted(2);
    controller.DiscardAll();
    EXPECT_EQ(sequence[1].Status, "D");
    EXPECT_EQ(sequence[2].Status, "T");
    EXPECT_EQ(sequence[3].Status, "D");
    EXPECT_EQ(sequence.GridSelectedRow, 1);
    EXPECT_EQ(view.gridRow, 1);
}

TEST_F(SequenceRules, eraseSelected_removesThatEntryRevertingOnlyModified) {
    Edit(7, 60);
    Edit(10, 13);
    Edit(20, 1);
    controller.SelectGridRow(2); // command 10
    view.writes.clear();
    controller.EraseSelected();
    ASSERT_EQ(sequence.Count(), 2);
    EXPECT_EQ(sequence[1].CommandID, 20);
    EXPECT_EQ(sequence[2].CommandID, 7);
    ASSERT_EQ(view.writes.size(), 1);
    EXPECT_EQ(view.writes[0].controlName, "EBatteryMaximum");
    EXPECT_EQ(view.colors["EBatteryMaximum"], StatusColors::clWhite);

    controller.MarkTransmitted(2);
    controller.SelectGridRow(2);
    view.writes.clear();
    controller.EraseSelected();
    EXPECT_TRUE(view.writes.isEmpty()); // a sent value stays in its control
    EXPECT_EQ(sequence.Count(), 1);
}

TEST_F(SequenceRules, eraseAll_restoresModifiedControlsOnlyAndEmptiesList) {
    Edit(7, 60);
    Edit(10, 13);
    controller.MarkTransmitted(1);
    view.writes.clear();
    controller.EraseAll();
    EXPECT_TRUE(sequence.IsEmpty());
    ASSERT_EQ(view.writes.size(), 1);
    EXPECT_EQ(view.writes[0].controlName, "SEUpShiftEngineCutTime");
    EXPECT_EQ(view.colors["EBatteryMaximum"], StatusColors::clWhite);
    EXPECT_EQ(view.colors["SEUpShiftEngineCutTime"], StatusColors::clWhite);
    EXPECT_EQ(commands[10].ActualValueSW, 13); // stays at the transmitted value
}

TEST_F(SequenceRules, transmitFrame_usesFirmwareDigitsAndAPointOnlyForPendingEntries) {
    Edit(10, 2.5);
    Edit(7, 4500);
    EXPECT_EQ(controller.TransmitFrameText(1), "[UPCUTTIM 4500]\r\n");
    EXPECT_EQ(controller.TransmitFrameText(2), "[MAXVBATT 2.5]\r\n");
    controller.MarkTransmitted(1);
    EXPECT_TRUE(controller.TransmitFrameText(1).isEmpty());
    EXPECT_TRUE(controller.TransmitFrameText(3).isEmpty());
}

// The entry's copy of the word (from a file, say) never chooses the parameter
// written: the ID's row in the command table does, and an ID without a
// command gives no frame.
TEST_F(SequenceRules, transmitFrame_takesTheWordFromTheCommandTable) {
    Edit(10, 2.5);
    sequence[1].Command = "RPMLIMIT";
    EXPECT_EQ(controller.TransmitFrameText(1), "[MAXVBATT 2.5]\r\n");
    commands[10].Command.clear();
    EXPECT_TRUE(controller.TransmitFrameText(1).isEmpty());
}

TEST_F(SequenceRules, gridText_hasTitlesWidthsAndEmptyRowsWithoutEntry) {
    Edit(10, 13.25);
    EXPECT_EQ(view.grid.Cell(0, 0), " ID");
    EXPECT_EQ(view.grid.Cell(2, 0), "   PREV");
    EXPECT_EQ(view.grid.Cell(4, 0), "   TIME");
    EXPECT_EQ(view.grid.ColWidth(1), 65);
    EXPECT_EQ(view.grid.ColWidth(5), 20);
    EXPECT_EQ(view.grid.Cell(1, 1), "MAXVBATT");
    EXPECT_EQ(view.grid.Cell(2, 1), "12,5");
    EXPECT_EQ(view.grid.Cell(3, 1), "13,3");
    EXPECT_EQ(view.grid.Cell(4, 1), "12.34.56");
    for (int col = 0; col < SequenceGridColumns; ++col)
        EXPECT_TRUE(view.grid.Cell(col, 2).isEmpty());
}

} // namespace

TEST(StatusColours, eachLetterHasItsSelectedAndNormalColour) {
    struct Row {
        const char* status;
        quint32 active;
        quint32 normal;
    };
    const Row table[] = {{"A", 0xFF00000F, 0x00FFFFFF}, {"M", 0x0000FFFF, 0x00AAFFFF},
                         {"T", 0x0000FF00, 0x00AAFFAA}, {"D", 0x004040FF, 0x00AAAAFF},
                         {"L", 0x00FF9933, 0x00FFD5AA}, {"", 0x00C0C0C0, 0x00E9E9E9}};
    for (const Row& r : table) {
        EXPECT_EQ(GetStatusColor(r.status, true), r.active) << r.status;
        EXPECT_EQ(GetStatusColor(r.status, false), r.normal) << r.status;
    }
    EXPECT_EQ(GetStatusColor("m", false), 0x00E9E9E9u); // letters compare exactly
}

TEST(SequenceEnableStates, emptySequence_enablesOnlyLoad) {
    ChangeSequence sequence;
    const EnableStates s = GetEnableStates(GetSequenceFlags(sequence), false, true, 0);
    EXPECT_TRUE(s.sequenceLoad);
    EXPECT_FALSE(s.sequenceTransmit || s.sequenceTransmitAll || s.sequenceDiscard ||
                 s.sequenceDiscardAll || s.sequenceErase || s.sequenceEraseAll || s.sequenceSave ||
                 s.applyConfig || s.saveConfig);
    EXPECT_TRUE(s.communicationGetConfig);
}

TEST(SequenceEnableStates, selectedLoadedEntryWhileDisconnected_allowsAllButTransmit) {
    ChangeSequence sequence;
    sequence[1].CommandID = 4;
    sequence[1].Status = "L";
    sequence[2].CommandID = 5;
    sequence[2].Status = "T";
    sequence.ActivePosition = 1;
    const SequenceFlags f = GetSequenceFlags(sequence);
    EXPECT_TRUE(f.pending && f.used && f.loaded && f.selected);
    const EnableStates s = GetEnableStates(f, false, false, 41);
    EXPECT_TRUE(s.sequenceDiscard && s.sequenceDiscardAll && s.sequenceErase &&
                s.sequenceEraseAll && s.sequenceSave && s.applyConfig && s.saveConfig);
    EXPECT_FALSE(s.sequenceTransmit || s.sequenceTransmitAll || s.liveActive);

    sequence.ActivePosition = 2; // a transmitted entry is not "selected"
    EXPECT_FALSE(GetSequenceFlags(sequence).selected);
}

TEST(SequenceEnableStates, liveMode_blocksTransmitGetConfigAndBarrelSet) {
    SequenceFlags f;
    f.pending = f.used = f.selected = true;
    const EnableStates s = GetEnableStates(f, true, true, 0);
    EXPECT_FALSE(s.sequenceTransmit || s.sequenceTransmitAll || s.communicationGetConfig ||
                 s.barrelPositionSet);
    EXPECT_TRUE(s.liveActive && s.recoveryFirmwareUpdate);
}
