#include "model/Sequence.h"

#include "model/CommandTable.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QTime>
#include <algorithm>
#include <stdexcept>

void ClearSequenceRecord(TSequenceRecord& record) {
    record = TSequenceRecord{};
}

void CutSequenceTexts(TSequenceRecord& record) {
    namespace Cap = SequenceTextCapacity;
    record.Command = ShortText(record.Command, Cap::Command);
    record.Description = ShortText(record.Description, Cap::Description);
    record.Time = ShortText(record.Time, Cap::Time);
    record.Status = ShortText(record.Status, Cap::Status);
    record.SenderType = ShortText(record.SenderType, Cap::SenderType);
    record.SenderName1 = ShortText(record.SenderName1, Cap::SenderName);
    record.SenderName2 = ShortText(record.SenderName2, Cap::SenderName);
}

bool IsPendingStatus(const QString& status) {
    return status == StatusLetter::Modified || status == StatusLetter::Loaded;
}

TSequenceRecord& ChangeSequence::operator[](int index) {
    if (!IsValidIndex(index))
        throw std::out_of_range("sequence index outside 1..200");
    return entries_[static_cast<size_t>(index)];
}

const TSequenceRecord& ChangeSequence::operator[](int index) const {
    if (!IsValidIndex(index))
        throw std::out_of_range("sequence index outside 1..200");
    return entries_[static_cast<size_t>(index)];
}

void ChangeSequence::ClearAll() {
    for (int i = 1; i <= SequenceCount; ++i)
        Clear(i);
}

int ChangeSequence::Count() const {
    int count = 0;
    while (count < SequenceCount && (*this)[count + 1].CommandID > 0)
        ++count;
    return count;
}

int ChangeSequence::FirstFreePlace() const {
    const int count = Count();
    return count < SequenceCount ? count + 1 : 0;
}

int ChangeSequence::FindForCapture(int id) const {
    const TSequenceRecord& first = (*this)[1];
    if (first.Status.isEmpty() || first.CommandID == 0)
        return 0;
    for (int i = 1; i <= SequenceCount && !(*this)[i].Status.isEmpty(); ++i) {
        if ((*this)[i].CommandID == id)
            return i;
    }
    return 0;
}

void ChangeSequence::InsertAtFront(const TSequenceRecord& record) {
    for (int i = SequenceCount - 1; i >= 1; --i)
        entries_[static_cast<size_t>(i + 1)] = entries_[static_cast<size_t>(i)];
    entries_[1] = record;
    Clear(SequenceCount);
}

void ChangeSequence::MoveToFront(int index) {
    const TSequenceRecord taken = (*this)[index];
    for (int i = index - 1; i >= 1; --i)
        entries_[static_cast<size_t>(i + 1)] = entries_[static_cast<size_t>(i)];
    entries_[1] = taken;
    Clear(SequenceCount);
}

void ChangeSequence::Remove(int index) {
    if (!IsValidIndex(index))
        return;
    for (int i = index; i < SequenceCount; ++i)
        entries_[static_cast<size_t>(i)] = entries_[static_cast<size_t>(i + 1)];
    Clear(SequenceCount);
}

quint32 GetStatusColor(const QString& status, bool activeControl) {
    struct Pair {
        quint32 active;
        quint32 normal;
    };
    Pair pair{StatusColors::clSilver, 0x00E9E9E9u};
    if (status == StatusLetter::Read)
        pair = {StatusColors::clBtnFace, StatusColors::clWhite};
    else if (status == StatusLetter::Modified)
        pair = {StatusColors::clYellow, 0x00AAFFFFu};
    else if (status == StatusLetter::Transmitted)
        pair = {StatusColors::clLime, 0x00AAFFAAu};
    else if (status == StatusLetter::Discarded)
        pair = {0x004040FFu, 0x00AAAAFFu};
    else if (status == StatusLetter::Loaded)
        pair = {0x00FF9933u, 0x00FFD5AAu};
    return activeControl ? pair.active : pair.normal;
}

SequenceFlags GetSequenceFlags(const ChangeSequence& sequence) {
    SequenceFlags flags;
    for (int i = 1; i <= SequenceCount; ++i) {
        const TSequenceRecord& entry = sequence[i];
        if (entry.CommandID <= 0)
            continue;
        flags.used = true;
        flags.pending = flags.pending || IsPendingStatus(entry.Status);
        flags.loaded = flags.loaded || entry.Status == StatusLetter::Loaded;
    }
    const int active = sequence.ActivePosition;
    flags.selected =
        ChangeSequence::IsValidIndex(active) && IsPendingStatus(sequence[active].Status);
    return flags;
}

EnableStates GetEnableStates(const SequenceFlags& flags, bool live, bool connected,
                             int pcbVersion) {
    EnableStates states;
    const bool canSend = !live && connected && flags.pending;
    states.sequenceTransmit = canSend && flags.selected;
    states.sequenceTransmitAll = canSend;
    states.sequenceDiscard = flags.pending && flags.selected;
    states.sequenceDiscardAll = flags.pending;
    states.sequenceErase = flags.used;
    states.sequenceEraseAll = flags.used;
    states.sequenceSave = flags.pending;
    states.sequenceLoad = true;
    states.applyConfig = flags.loaded;
    states.saveConfig = pcbVersion > 0;
    states.communicationGetConfig = !live && connected;
    states.liveActive = connected;
    states.recoveryFirmwareUpdate = connected;
    states.barrelPositionSet = !live;
    states.ratioToothCounts = true;
    states.ratioDisplays = false;
    return states;
}

void SetSGSequenceStructure(StringGridModel& grid) {
    struct Column {
        const char* title;
        int width;
    };
    static const Column columns[SequenceGridColumns] = {
        {" ID", 30}, {" COMMAND", 65}, {"   PREV", 50}, {"ACTUAL", 50}, {"   TIME", 58}, {"S", 20}};
    grid.SetColCount(SequenceGridColumns);
    grid.SetRowCount(SequenceCount + 1);
    for (int col = 0; col < SequenceGridColumns; ++col) {
        grid.SetColWidth(col, columns[col].width);
        grid.SetCell(col, 0, QString::fromLatin1(columns[col].title));
    }
}

namespace {

int DisplayDigitsOf(const CommandTable& commands, int id) {
    // A negative digit count in the commands file must not break the grid.
    return CommandTable::IsValidId(id) ? std::max(0, commands[id].DigitsValueSW) : 0;
}

void FillSequenceGridRow(const TSequenceRecord& entry, const CommandTable& commands, int row,
                         StringGridModel& grid) {
    if (entry.CommandID <= 0) {
        for (int col = 0; col < SequenceGridColumns; ++col)
            grid.SetCell(col, row, QString());
        return;
    }
    const int digits = DisplayDigitsOf(commands, entry.CommandID);
    grid.SetCell(0, row, QString::number(entry.CommandID));
    grid.SetCell(1, row, entry.Command);
    grid.SetCell(2, row, RealToStrDec(entry.PreviousValueSW, digits));
    grid.SetCell(3, row, RealToStrDec(entry.ActualValueSW, digits));
    grid.SetCell(4, row, entry.Time);
    grid.SetCell(5, row, entry.Status);
}

} // namespace

void FillSGSequenceText(const ChangeSequence& sequence, const CommandTable& commands,
                        StringGridModel& grid) {
    if (grid.ColCount() < SequenceGridColumns || grid.RowCount() < SequenceCount + 1)
        SetSGSequenceStructure(grid);
    for (int row = 1; row <= SequenceCount; ++row)
        FillSequenceGridRow(sequence[row], commands, row, grid);
}

void FillSGSequenceRowText(const ChangeSequence& sequence, const CommandTable& commands, int row,
                           StringGridModel& grid) {
    if (!ChangeSequence::IsValidIndex(row))
        return;
    if (grid.ColCount() < SequenceGridColumns || grid.RowCount() < SequenceCount + 1)
        SetSGSequenceStructure(grid);
    FillSequenceGridRow(sequence[row], commands, row, grid);
}

bool SequenceRowColor(const ChangeSequence& sequence, int row, int selectedRow, quint32& color) {
    if (!ChangeSequence::IsValidIndex(row))
        return false;
    color = GetStatusColor(sequence[row].Status, row == selectedRow);
    return true;
}

QString CurrentTimeText() {
    return QTime::currentTime().toString(QStringLiteral("hh.mm.ss"));
}
