#include "model/SequenceController.h"

#include "model/CommandTable.h"
#include "model/ParameterLimits.h"
#include "model/UnitValues.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <cmath>

namespace {

ControlValueWrite WriteFor(const QString& type, const QString& name, double value, int digits) {
    ControlValueWrite write;
    write.controlType = type;
    write.controlName = name;
    write.integer = RoundHalfToEvenInt(value); // defined for any double
    if (type == QLatin1String("TEdit"))
        write.text = RealToStrDec(value, digits);
    write.checked = write.integer == 1;
    return write;
}

} // namespace

QVector<ControlValueWrite> ControlValueWritesFor(const TSequenceRecord& entry, double value,
                                                 const CommandTable& commands) {
    const int digits = CommandTable::IsValidId(entry.CommandID)
                           ? std::max(0, commands[entry.CommandID].DigitsValueSW)
                           : 0;
    QVector<ControlValueWrite> writes;
    for (const QString& name : {entry.SenderName1, entry.SenderName2}) {
        if (!name.isEmpty())
            writes.append(WriteFor(entry.SenderType, name, value, digits));
    }
    return writes;
}

QVector<ControlValueWrite> PreviousValueWrites(const TSequenceRecord& entry,
                                               const CommandTable& commands) {
    return ControlValueWritesFor(entry, entry.PreviousValueSW, commands);
}

SequenceController::SequenceController(ChangeSequence& sequence, CommandTable& commands,
                                       SequenceView& view)
    : sequence_(sequence), commands_(commands), view_(view) {}

void SequenceController::AddSequenceRecord(int id, double actualValue,
                                           std::optional<double> givenFW) {
    if (!CommandTable::IsValidId(id))
        return;
    // Scaled first, so that a value the command cannot scale changes nothing.
    const double actualValueFW =
        givenFW ? *givenFW : SWValueToFWValue(commands_, id, actualValue, rpmFactor());

    const int found = sequence_.FindForCapture(id);
    if (found == 0) {
        const TCommandRecord& row = commands_[id];
        TSequenceRecord entry;
        entry.CommandID = row.ID;
        entry.Command = row.Command;
        entry.Description = row.Description;
        entry.PreviousValueFW = row.ActualValueFW;
        entry.PreviousValueSW = row.ActualValueSW;
        entry.SenderType = row.SenderType;
        entry.SenderName1 = row.SenderName1;
        entry.SenderName2 = row.SenderName2;
        entry.ActivePageIndex1 = row.ActivePageIndex1;
        entry.ActivePageIndex2 = row.ActivePageIndex2;
        entry.Status = StatusLetter::Modified;
        CutSequenceTexts(entry);
        sequence_.InsertAtFront(entry);
    } else if (found >= 2) {
        sequence_.MoveToFront(found);
    }
    FollowActiveEntry(found);

    TSequenceRecord& first = sequence_[1];
    if (first.Status == StatusLetter::Transmitted) {
        // The sent value is the one to return to, in both its forms.
        first.PreviousValueSW = first.ActualValueSW;
        first.PreviousValueFW = first.ActualValueFW;
    } else if (first.Status == StatusLetter::Loaded || first.Status == StatusLetter::Discarded) {
        // A loaded entry never changed the controls, and a discarded one gave
        // them back: what they show until now is the value to return to.
        const TCommandRecord& shown = commands_[first.CommandID];
        first.PreviousValueSW = shown.ActualValueSW;
        first.PreviousValueFW = shown.ActualValueFW;
    }
    first.ActualValueSW = actualValue;
    first.ActualValueFW = actualValueFW;
    first.Time = ShortText(timeText(), SequenceTextCapacity::Time);
    first.Status = StatusLetter::Modified;

    TCommandRecord& row = commands_[first.CommandID];
    row.ActualValueFW = first.ActualValueFW;
    row.ActualValueSW = first.ActualValueSW;
    row.Status = StatusLetter::Modified;

    UpdateSequenceControlsColor(1);

    const TCommandRecord& command = commands_[first.CommandID];
    if (first.PreviousValueSW == first.ActualValueSW &&
        SameAtFirmwareDigits(first.PreviousValueFW, first.ActualValueFW, command.DigitsValueFW)) {
        // Back to the value before the change, as shown and as the GCU holds
        // it: the change is undone.
        RevertToPreviousValueSequence(1);
        PaintEntryControlsWhite(sequence_[1]);
        sequence_.Remove(1);
        FillSGSequence();
        SelectGridRow(1);
        UpdateSequenceControlsColor(1);
    }
    view_.EnableControls();
}

void SequenceController::FollowActiveEntry(int movedToFront) {
    // The active position names the entry whose controls show the selected
    // colours; it moves with that entry so that selecting the new first entry
    // paints the right controls back to their normal colours.
    int& active = sequence_.ActivePosition;
    if (!ChangeSequence::IsValidIndex(active))
        return;
    if (movedToFront == 0)
        active = active < SequenceCount - 1 ? active + 1 : 0;
    else if (active == movedToFront)
        active = 1;
    else if (active < movedToFront)
        active = active + 1;
}

void SequenceController::RevertToPreviousValueSequence(int row) {
    if (!ChangeSequence::IsValidIndex(row))
        return;
    const TSequenceRecord& entry = sequence_[row];
    const QVector<ControlValueWrite> writes = PreviousValueWrites(entry, commands_);
    if (!writes.isEmpty())
        view_.WriteControlValues(writes);
    if (CommandTable::IsValidId(entry.CommandID)) {
        TCommandRecord& command = commands_[entry.CommandID];
        command.ActualValueSW = entry.PreviousValueSW;
        command.ActualValueFW = entry.PreviousValueFW;
        command.Status.clear();
    }
}

void SequenceController::SGSequenceSelectCell(int row) {
    if (!ChangeSequence::IsValidIndex(row))
        return;
    const int previous = sequence_.ActivePosition;
    if (ChangeSequence::IsValidIndex(previous))
        PaintEntryControls(sequence_[previous], GetStatusColor(sequence_[previous].Status, false));
    const TSequenceRecord& entry = sequence_[row];
    PaintEntryControls(entry, GetStatusColor(entry.Status, true));
    sequence_.ActivePosition = row;
    if (!sequence_.SilentActivePageChange)
        ShowPageOfEntry(entry);
    view_.EnableControls();
}

void SequenceController::GridSelectCell(int row) {
    if (!ChangeSequence::IsValidIndex(row))
        return;
    sequence_.GridSelectedRow = row;
    SGSequenceSelectCell(row);
}

void SequenceController::SelectGridRow(int row) {
    if (!ChangeSequence::IsValidIndex(row) || row == sequence_.GridSelectedRow)
        return;
    sequence_.GridSelectedRow = row;
    view_.SetGridSelectedRow(row);
    SGSequenceSelectCell(row);
}

// The previously active entry and the first other entry on the shown page in
// their normal colours, entry ActualRow in its selected colours and active,
// its page shown: what selecting the other entry and then ActualRow leaves,
// with each control painted once and the enabled states worked out once.
void SequenceController::UpdateSequenceControlsColor(int actualRow) {
    if (!ChangeSequence::IsValidIndex(actualRow))
        return;
    const int page = view_.CurrentPageIndex();
    int other = 0;
    for (int r = 1; r <= SequenceCount; ++r) {
        // Compared without subtracting: page indices come from files as well.
        const bool onShownPage = static_cast<long long>(sequence_[r].ActivePageIndex1) - 1 == page;
        if (r != actualRow && onShownPage) {
            other = r;
            break;
        }
    }
    const int previous = sequence_.ActivePosition;
    if (ChangeSequence::IsValidIndex(previous) && previous != actualRow && previous != other)
        PaintEntryControls(sequence_[previous], GetStatusColor(sequence_[previous].Status, false));
    if (other > 0)
        PaintEntryControls(sequence_[other], GetStatusColor(sequence_[other].Status, false));
    const TSequenceRecord& entry = sequence_[actualRow];
    PaintEntryControls(entry, GetStatusColor(entry.Status, true));
    sequence_.ActivePosition = actualRow;
    if (!sequence_.SilentActivePageChange)
        ShowPageOfEntry(entry);
    view_.EnableControls();
}

void SequenceController::FillSGSequence() {
    RefreshGridText();
    SelectGridRow(1);
}

void SequenceController::RefreshGridText() {
    FillSGSequenceText(sequence_, commands_, view_.SequenceGrid());
}

void SequenceController::RefreshGridRow(int row) {
    FillSGSequenceRowText(sequence_, commands_, row, view_.SequenceGrid());
}

QString SequenceController::TransmitFrameText(int row) const {
    if (!ChangeSequence::IsValidIndex(row))
        return QString();
    const TSequenceRecord& entry = sequence_[row];
    if (!IsPendingStatus(entry.Status) || !CommandTable::IsValidId(entry.CommandID))
        return QString();
    // The word is the command table's, never the entry's copy: an entry can
    // only ever write the parameter its ID names.
    const TCommandRecord& command = commands_[entry.CommandID];
    if (command.Command.isEmpty())
        return QString();
    return ParameterWriteText(command.Command, command, entry.ActualValueFW);
}

std::optional<RefusedEntry> SequenceController::FirstRefusedPendingEntry() const {
    for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i) {
        const TSequenceRecord& entry = sequence_[i];
        if (!IsPendingStatus(entry.Status) || !CommandTable::IsValidId(entry.CommandID))
            continue;
        if (auto refusal = CheckFirmwareLimits(commands_[entry.CommandID], entry.ActualValueFW))
            return RefusedEntry{i, *refusal};
    }
    return std::nullopt;
}

void SequenceController::MarkTransmitted(int row) {
    if (!ChangeSequence::IsValidIndex(row))
        return;
    sequence_[row].Status = StatusLetter::Transmitted;
    RefreshGridRow(row); // the status column shows the new letter too
    UpdateSequenceControlsColor(row);
}

void SequenceController::MarkNotHeld(int row, std::optional<double> heldFW) {
    if (!ChangeSequence::IsValidIndex(row))
        return;
    TSequenceRecord& entry = sequence_[row];
    entry.Status = StatusLetter::Modified;
    if (heldFW && CommandTable::IsValidId(entry.CommandID)) {
        TCommandRecord& command = commands_[entry.CommandID];
        command.ActualValueFW = *heldFW;
        command.ActualValueSW = FWValueToSWValue(commands_, entry.CommandID, *heldFW, rpmFactor());
        command.Status = StatusLetter::Read;
        entry.PreviousValueFW = command.ActualValueFW;
        entry.PreviousValueSW = command.ActualValueSW;
        view_.WriteControlValues(ControlValueWritesFor(entry, command.ActualValueSW, commands_));
        PaintEntryControls(entry, GetStatusColor(StatusLetter::Read, false));
    } else {
        PaintEntryControls(entry, GetStatusColor(entry.Status, false));
    }
    RefreshGridText();
}

void SequenceController::MarkNotStored(int row, const QString& status) {
    if (!ChangeSequence::IsValidIndex(row) || !IsPendingStatus(status))
        return;
    TSequenceRecord& entry = sequence_[row];
    entry.Status = status;
    RefreshGridRow(row);
    PaintEntryControls(entry, GetStatusColor(entry.Status, row == sequence_.ActivePosition));
    view_.EnableControls();
}

bool SequenceController::DiscardSelected() {
    const int row = sequence_.GridSelectedRow;
    if (!ChangeSequence::IsValidIndex(row) || !IsPendingStatus(sequence_[row].Status))
        return false;
    // A loaded entry never changed its controls or its command row, and its
    // previous value is 0 or a value from another session: writing it back
    // would replace a real setting. Only an edit is reverted.
    if (sequence_[row].Status == StatusLetter::Modified)
        RevertToPreviousValueSequence(row);
    sequence_[row].Status = StatusLetter::Discarded;
    RefreshGridRow(row);
    UpdateSequenceControlsColor(row);
    view_.EnableControls();
    return true;
}

void SequenceController::DiscardAll() {
    for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i) {
        SelectGridRow(i);
        DiscardSelected();
    }
    SelectGridRow(1);
}

void SequenceController::EraseSelected() {
    // The selected row is the one reverted and painted, so it is the one removed.
    const int row = sequence_.GridSelectedRow;
    if (ChangeSequence::IsValidIndex(row)) {
        const TSequenceRecord entry = sequence_[row];
        if (entry.Status == StatusLetter::Modified)
            RevertToPreviousValueSequence(row);
        PaintEntryControlsWhite(entry);
        sequence_.Remove(row);
    }
    FillSGSequence();
    SelectGridRow(1);
    UpdateSequenceControlsColor(1);
    view_.EnableControls();
}

void SequenceController::EraseAll() {
    for (int i = 1; i <= SequenceCount && sequence_[i].CommandID > 0; ++i) {
        if (sequence_[i].Status == StatusLetter::Modified)
            RevertToPreviousValueSequence(i);
        PaintEntryControlsWhite(sequence_[i]);
    }
    sequence_.ClearAll();
    FillSGSequence();
    view_.EnableControls();
}

void SequenceController::ClearForConfigurationDownload() {
    for (int i = 1; i <= SequenceCount; ++i) {
        PaintEntryControlsWhite(sequence_[i]);
        sequence_.Clear(i);
    }
    FillSGSequence();
}

void SequenceController::PaintEntryControls(const TSequenceRecord& entry, quint32 color) {
    for (const QString& name : {entry.SenderName1, entry.SenderName2}) {
        if (!name.isEmpty())
            view_.SetControlColor(entry.SenderType, name, color);
    }
}

void SequenceController::PaintEntryControlsWhite(const TSequenceRecord& entry) {
    PaintEntryControls(entry, StatusColors::clWhite);
}

void SequenceController::ShowPageOfEntry(const TSequenceRecord& entry) {
    if (entry.ActivePageIndex1 > 0)
        view_.ShowPage(entry.ActivePageIndex1 - 1);
    else if (entry.ActivePageIndex2 > 0)
        view_.ShowPage(entry.ActivePageIndex2 - 1);
}
