#pragma once
// The rules that act on the change sequence: capture, revert, selection,
// transmission marks, discard and erase. The window implements SequenceView and
// does only the widget writes the rules ask for, in the order asked.
#include "model/ParameterLimits.h"
#include "model/Sequence.h"

#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class CommandTable;
class StringGridModel;

// One value to write into a control, by the control's kind: a spin edit takes
// Integer, an edit Text, a radio group Integer as its item index, a check box
// Checked.
struct ControlValueWrite {
    QString controlType;
    QString controlName;
    int integer = 0;
    QString text;
    bool checked = false;
};

// What display value Value turns into for each control of the entry (texts
// with the command's display digits).
QVector<ControlValueWrite> ControlValueWritesFor(const TSequenceRecord& entry, double value,
                                                 const CommandTable& commands);
// The same for the entry's previous value: what a revert writes.
QVector<ControlValueWrite> PreviousValueWrites(const TSequenceRecord& entry,
                                               const CommandTable& commands);

// An entry whose value lies outside its command's firmware limits.
struct RefusedEntry {
    int row = 0;
    LimitRefusal refusal;
};

class SequenceView {
  public:
    virtual ~SequenceView() = default;
    // SetControlColor: a check box is painted through its marker shape.
    virtual void SetControlColor(const QString& controlType, const QString& controlName,
                                 quint32 color) = 0;
    // Writes the values with change capture silenced (SilentControlsEventsGLOB
    // true during the writes, false afterwards).
    virtual void WriteControlValues(const QVector<ControlValueWrite>& writes) = 0;
    // The 0-based page that PCMain shows, and showing another one. Page indices
    // come from files too: an index the page control does not have is ignored.
    virtual int CurrentPageIndex() const = 0;
    virtual void ShowPage(int pageIndex) = 0;
    // Moves the grid's selection without raising its select-cell notification.
    virtual void SetGridSelectedRow(int row) = 0;
    // The content of SGSequence.
    virtual StringGridModel& SequenceGrid() = 0;
    virtual void EnableControls() = 0;
};

class SequenceController {
  public:
    SequenceController(ChangeSequence& sequence, CommandTable& commands, SequenceView& view);

    // RPMFactorGLOB for the display-to-GCU scaling of captured values.
    std::function<int()> rpmFactor = [] { return 60; };
    // "hh.nn.ss" stamped on changed and loaded entries.
    std::function<QString()> timeText = CurrentTimeText;

    // A captured edit of command Id to display value ActualValue, whose GCU
    // value is ActualValueFW (by default the display value scaled with the
    // RPM factor). A value that cannot be scaled raises EConvertError before
    // anything changes. The change is undone (the entry goes) only when both
    // its display and its GCU value are back where they were.
    void AddSequenceRecord(int id, double actualValue,
                           std::optional<double> actualValueFW = std::nullopt);
    // Previous value of entry Row, in both its forms, back into its controls
    // and its command row.
    void RevertToPreviousValueSequence(int row);

    // Makes entry Row the active one: colours, page (unless
    // SilentActivePageChange), enabled states. The grid's selection stays.
    void SGSequenceSelectCell(int row);
    // The grid's select-cell notification: the user picked grid row Row.
    void GridSelectCell(int row);
    // The program selects grid row Row; the selection logic runs only when the
    // row changes, as with the grid's own notification.
    void SelectGridRow(int row);
    void UpdateSequenceControlsColor(int actualRow);
    // All rows' texts, then grid row 1 selected.
    void FillSGSequence();
    // All rows' texts without touching the selection (the grid's repaint).
    void RefreshGridText();
    // The texts of row Row alone: an entry changed in place.
    void RefreshGridRow(int row);

    // The frame of entry Row for the GCU: "[" + command + " " + value + "]" CR LF,
    // the command word from the command table row of the entry's ID, the value
    // with the firmware digits and a decimal point. Empty unless the entry is
    // "M" or "L" and its ID has a command. A value outside its command's
    // firmware limits is never framed: EValueOutOfLimits (model/ParameterLimits.h)
    // is raised instead.
    QString TransmitFrameText(int row) const;
    // The first entry still to be sent ("M" or "L") whose value the frame
    // guard would refuse, in list order.
    std::optional<RefusedEntry> FirstRefusedPendingEntry() const;
    // After the frame of entry Row went out: "T", its grid row rewritten,
    // colours.
    void MarkTransmitted(int row);
    // The configuration read back after storing shows that the GCU does not
    // hold entry Row's value: the entry is to be sent again ("M") and keeps the
    // value the user wants. When the GCU holds a value of its own (HeldFW),
    // the command row, the entry's previous value and its controls take it,
    // the controls in the colour of a value read; otherwise the controls show
    // the entry's colour.
    void MarkNotHeld(int row, std::optional<double> heldFW);
    // Entry Row was answered but its store was never confirmed: it is again
    // what it was before it was sent (Status "M" or "L"), to be sent again.
    void MarkNotStored(int row, const QString& status);

    // Discard of the selected row; false when the entry is not "M" or "L". An
    // "M" entry's previous value goes back into its controls and its command
    // row; an "L" entry never changed either.
    bool DiscardSelected();
    // Every entry in turn, then row 1 selected.
    void DiscardAll();
    // Erase of the selected row, after the user confirmed. An "M" entry is
    // reverted.
    void EraseSelected();
    // Erase of every entry, after the user confirmed.
    void EraseAll();
    // Empties the sequence before a configuration download, painting the
    // entries' controls white.
    void ClearForConfigurationDownload();

    ChangeSequence& Sequence() { return sequence_; }
    CommandTable& Commands() { return commands_; }
    SequenceView& View() { return view_; }

  private:
    void FollowActiveEntry(int movedToFront);
    void PaintEntryControls(const TSequenceRecord& entry, quint32 color);
    void PaintEntryControlsWhite(const TSequenceRecord& entry);
    void ShowPageOfEntry(const TSequenceRecord& entry);

    ChangeSequence& sequence_;
    CommandTable& commands_;
    SequenceView& view_;
};
