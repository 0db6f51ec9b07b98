// The change sequence in the window: the grid with its status colours, the
// selection that highlights an entry's controls and shows their page, and the
// six buttons that transmit, discard and erase entries. The rules themselves
// live in SequenceController; this file does the widget side.
#include "model/ParameterLimits.h"
#include "translation/MessageNumbers.h"
#include "ui/BatchedPainting.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QApplication>
#include <QPainter>
#include <QScopedValueRollback>

// A run of entries sent one after the other ("Transmit All"). Each entry is
// selected, its page shown and its controls coloured as the run reaches it,
// but the window is painted at most every 100 ms meanwhile and once more when
// the run ends, however it ends: a paint for every entry inside the answer
// waits would hold back every next frame. The hourglass shows for the whole
// run instead of once for each answer.
class TFormMain::EntryRun {
  public:
    explicit EntryRun(TFormMain& form) : form_(form), painting_(&form) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        form_.linkWaiter_.SetBusyIndicator({});
    }
    ~EntryRun() { End(); }
    EntryRun(const EntryRun&) = delete;
    EntryRun& operator=(const EntryRun&) = delete;
    // The window as usual again, before a message box or when the run is over.
    void End() {
        if (ended_)
            return;
        ended_ = true;
        painting_.Stop();
        form_.linkWaiter_.SetBusyIndicator(HourglassIndicator());
        QApplication::restoreOverrideCursor();
    }

  private:
    TFormMain& form_;
    BatchedPainting painting_;
    bool ended_ = false;
};

namespace {

void WriteControlValue(TFormMain& form, const ControlValueWrite& write) {
    QObject* control = form.FindComponent(write.controlName);
    if (write.controlType == QLatin1String("TSpinEdit")) {
        if (auto* spin = qobject_cast<TSpinEdit*>(control))
            spin->SetValue(write.integer);
    } else if (write.controlType == QLatin1String("TEdit")) {
        if (auto* edit = qobject_cast<TEdit*>(control))
            edit->SetText(write.text);
    } else if (write.controlType == QLatin1String("TRadioGroup")) {
        if (auto* radio = qobject_cast<TRadioGroup*>(control))
            radio->SetItemIndex(write.integer);
    } else if (write.controlType == QLatin1String("TCheckBox")) {
        if (auto* check = qobject_cast<TCheckBox*>(control))
            check->SetChecked(write.checked);
    }
}

TStringGrid& SequenceGridOf(const TFormMain& form) {
    return form.Control<TStringGrid>(QStringLiteral("SGSequence"));
}

enum class TransmitOutcome { NothingToSend, Answered, NoAnswer, LinkLost, Refused };

// Sends the selected entry and waits for the GCU's answer. Only an answered
// entry becomes "T"; one the GCU leaves unanswered, or whose answer the lost
// link kept away, keeps its status. An entry changed or erased while the
// answer was awaited is not marked either. A value outside its command's
// limits is not framed: the user is told, and the entry keeps its status.
TransmitOutcome TransmitSelectedEntry(TFormMain& form, StoreReadBack& readBack,
                                      TFormMain::EntryRun* run = nullptr) {
    const int row = form.Sequence.GridSelectedRow;
    QString frame;
    try {
        frame = form.SequenceRules.TransmitFrameText(row);
    } catch (const EValueOutOfLimits& refused) {
        if (run)
            run->End();
        form.ReportValueOutOfLimits(refused.Refusal());
        return TransmitOutcome::Refused;
    }
    if (frame.isEmpty())
        return TransmitOutcome::NothingToSend;
    const TSequenceRecord sent = form.Sequence[row];
    const WaitResult result = form.Exchange().SendAndAwaitAnyPiece(ToCp1252(frame));
    form.SyncLinkGlobals();
    if (result == WaitResult::LinkLost)
        return TransmitOutcome::LinkLost;
    if (result != WaitResult::Completed)
        return TransmitOutcome::NoAnswer;
    // Found by its command: a capture meanwhile may have moved it.
    const int at = form.Sequence.FindForCapture(sent.CommandID);
    if (at > 0 && form.Sequence[at].ActualValueFW == sent.ActualValueFW &&
        IsPendingStatus(form.Sequence[at].Status)) {
        form.SequenceRules.MarkTransmitted(at);
        readBack.RecordSent(sent.CommandID, sent.ActualValueFW);
    }
    return TransmitOutcome::Answered;
}

// The selected entry has a frame to send (it is pending and within its limits).
bool SelectedEntryWouldBeSent(const TFormMain& form) {
    try {
        return !form.SequenceRules.TransmitFrameText(form.Sequence.GridSelectedRow).isEmpty();
    } catch (const EValueOutOfLimits&) {
        return false;
    }
}

void ReportUnanswered(TFormMain& form, TransmitOutcome outcome) {
    const int message = outcome == TransmitOutcome::LinkLost ? Msg::LinkLost : Msg::NoAnswer;
    ShowMessage(form.TranslateString(message), TMsgDlgType::mtError);
}

} // namespace

// ---------------------------------------------------------------- the view

void TFormMain::SequenceWindowView::SetControlColor(const QString& controlType,
                                                    const QString& controlName, quint32 color) {
    form_.SetControlColor(controlType, controlName, color);
}

void TFormMain::SequenceWindowView::WriteControlValues(const QVector<ControlValueWrite>& writes) {
    // Capture is silenced for the writes and on again afterwards.
    form_.SilentControlsEventsGLOB = true;
    try {
        for (const ControlValueWrite& write : writes)
            WriteControlValue(form_, write);
    } catch (...) {
        form_.SilentControlsEventsGLOB = false;
        throw;
    }
    form_.SilentControlsEventsGLOB = false;
}

int TFormMain::SequenceWindowView::CurrentPageIndex() const {
    return form_.Control<TPageControl>(QStringLiteral("PCMain")).currentIndex();
}

void TFormMain::SequenceWindowView::ShowPage(int pageIndex) {
    // Page numbers come from files too: only a page the user can see is shown.
    auto& pages = form_.Control<TPageControl>(QStringLiteral("PCMain"));
    if (pageIndex >= 0 && pageIndex < pages.PageCount() && pages.isTabVisible(pageIndex))
        pages.setCurrentIndex(pageIndex);
}

void TFormMain::SequenceWindowView::SetGridSelectedRow(int row) {
    TStringGrid& grid = SequenceGridOf(form_);
    const int before = grid.Row();
    const QScopedValueRollback<bool> moving(movingSelection, true);
    grid.SetRow(row);
    // A row's colour depends on whether it is the selected one: the two rows
    // change, not the rest of the grid.
    grid.UpdateRow(before);
    grid.UpdateRow(grid.Row());
}

StringGridModel& TFormMain::SequenceWindowView::SequenceGrid() {
    return SequenceGridOf(form_).Model();
}

void TFormMain::SequenceWindowView::EnableControls() {
    form_.EnableControls();
}

// ---------------------------------------------------------------- operations

void TFormMain::ReportValueOutOfLimits(const LimitRefusal& refusal) {
    const QString unit = refusal.unit.isEmpty() ? QString() : u' ' + refusal.unit;
    QString parameter = u'[' + refusal.command + u']';
    if (!refusal.description.isEmpty())
        parameter += u' ' + refusal.description;
    const QString text =
        TranslateString(Msg::ValueOutOfLimitsNotSent) + QStringLiteral("\n\n") + parameter + u'\n' +
        TranslateString(Msg::RefusedValueIs) + RefusalNumberText(refusal.value, refusal.digits) +
        unit + u'\n' + TranslateString(Msg::RefusedLimitsAre) +
        RefusalNumberText(refusal.minimum, refusal.digits) + QStringLiteral(" .. ") +
        RefusalNumberText(refusal.maximum, refusal.digits) + unit;
    ShowMessage(text, TMsgDlgType::mtError);
}

void TFormMain::AddSequenceRecord(QObject*, int ID, double ActualValue) {
    SequenceRules.AddSequenceRecord(ID, ActualValue);
}

void TFormMain::RevertToPreviousValueSequence(int ARow) {
    SequenceRules.RevertToPreviousValueSequence(ARow);
}

void TFormMain::FillSGSequence() {
    SequenceRules.FillSGSequence();
    SequenceGridOf(*this).viewport()->update();
}

void TFormMain::UpdateSequenceControlsColor(int ActualRow) {
    SequenceRules.UpdateSequenceControlsColor(ActualRow);
}

void TFormMain::SGSequenceSelectCell(int Row) {
    SequenceRules.SGSequenceSelectCell(Row);
}

// Each cell of an entry's row in the entry's status colour, the selected row
// in the selected colour; the ID of a row without an entry is not shown.
void TFormMain::SGSequenceDrawCell(QPainter* Canvas, int ACol, int ARow, const QRect& Rect) {
    const TStringGrid& grid = SequenceGridOf(*this);
    quint32 color = 0;
    if (!SequenceRowColor(Sequence, ARow, grid.Row(), color))
        return; // the title row is the grid's own
    Canvas->fillRect(Rect, ToQColor(color));
    if (ACol == 0 && Sequence[ARow].CommandID <= 0)
        return;
    Canvas->setPen(Qt::black);
    if (ACol == 1) {
        // Command words have eight capitals; a touch of tighter spacing keeps
        // the widest of them inside their column.
        QFont tight = Canvas->font();
        tight.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
        Canvas->setFont(tight);
    }
    Canvas->drawText(Rect.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     grid.Cells(ACol, ARow));
}

// ---------------------------------------------------------------- buttons

// A transmission waits in a local event loop, where the buttons still work: a
// second request started from there would interleave its frames and answers
// with the first, so it does nothing.
void TFormMain::BSequenceTransmitClick(QObject* Sender) {
    const RequestScope request(*this);
    if (!request.Claimed())
        return;
    const bool alone = Sender == FindComponent(QStringLiteral("BSequenceTransmit"));
    // What the unit holds is kept before anything is written to it.
    if (SelectedEntryWouldBeSent(*this))
        RestorePoints().BeforeTransmission();
    StoreReadBack readBack;
    const TransmitOutcome outcome = TransmitSelectedEntry(*this, readBack);
    if (outcome == TransmitOutcome::NothingToSend || outcome == TransmitOutcome::Refused || !alone)
        return;
    if (outcome != TransmitOutcome::Answered) {
        EnableControls();
        ReportUnanswered(*this, outcome);
        return;
    }
    const WaitResult stored = SaveCPUParameters();
    EnableControls();
    if (stored == WaitResult::LinkLost)
        return ReportStoreLinkLost();
    ReadBackAfterStore(readBack);
}

// Every entry still to be sent, in list order, each only after the GCU has
// answered the one before. A run the GCU stops answering ends at that entry;
// what was answered is still stored. A lost link ends it too, with nothing
// more sent. A value outside its command's limits stops the run before
// anything is sent (or, should one appear meanwhile, at that entry), and then
// no store is sent. What was stored is read back and checked.
void TFormMain::BSequenceTransmitAllClick(QObject*) {
    const RequestScope request(*this);
    if (!request.Claimed())
        return;
    if (const std::optional<RefusedEntry> refused = SequenceRules.FirstRefusedPendingEntry()) {
        SequenceRules.SelectGridRow(refused->row);
        ReportValueOutOfLimits(refused->refusal);
        return;
    }
    // What the unit holds is kept before anything is written to it.
    if (GetSequenceFlags(Sequence).pending)
        RestorePoints().BeforeTransmission();
    EntryRun run(*this);
    int answered = 0;
    StoreReadBack readBack;
    TransmitOutcome stop = TransmitOutcome::Answered;
    for (int i = 1; i <= SequenceCount && Sequence[i].CommandID > 0; ++i) {
        if (!IsPendingStatus(Sequence[i].Status))
            continue;
        SequenceRules.SelectGridRow(i);
        const TransmitOutcome outcome = TransmitSelectedEntry(*this, readBack, &run);
        if (outcome == TransmitOutcome::Refused) {
            EnableControls();
            return;
        }
        if (outcome == TransmitOutcome::NoAnswer || outcome == TransmitOutcome::LinkLost) {
            stop = outcome;
            break;
        }
        if (outcome == TransmitOutcome::Answered)
            ++answered;
    }
    SequenceRules.SelectGridRow(1);
    EnableControls();
    const bool stopped = stop != TransmitOutcome::Answered;
    const bool store = stop != TransmitOutcome::LinkLost && (!stopped || answered > 0);
    const WaitResult stored = store ? SaveCPUParameters() : WaitResult::Completed;
    run.End();
    if (stopped)
        ReportUnanswered(*this, stop);
    if (store && stored == WaitResult::LinkLost)
        ReportStoreLinkLost();
    else if (store)
        ReadBackAfterStore(readBack, stop == TransmitOutcome::NoAnswer);
}

void TFormMain::BSequenceDiscardClick(QObject*) {
    SequenceRules.DiscardSelected();
}

void TFormMain::BSequenceDiscardAllClick(QObject*) {
    SequenceRules.DiscardAll();
    EnableControls();
}

void TFormMain::BSequenceEraseClick(QObject*) {
    if (AskYesNo(TranslateString(Msg::Erase)))
        SequenceRules.EraseSelected();
    EnableControls();
}

void TFormMain::BSequenceEraseAllClick(QObject*) {
    if (AskYesNo(TranslateString(Msg::Erase)))
        SequenceRules.EraseAll();
    EnableControls();
}

bool TFormMain::ConfirmCloseWithPendingChanges() {
    if (!GetSequenceFlags(Sequence).pending)
        return true;
    return AskYesNo(TranslateString(Msg::CloseWithPendingChanges));
}

// ---------------------------------------------------------------- wiring

void TFormMain::WireSequenceHandlers() {
    SequenceRules.rpmFactor = [this] { return RPMFactorGLOB; };
    AttachHandler(QStringLiteral("BSequenceTransmit"), &TFormMain::BSequenceTransmitClick);
    AttachHandler(QStringLiteral("BSequenceTransmitAll"), &TFormMain::BSequenceTransmitAllClick);
    AttachHandler(QStringLiteral("BSequenceDiscard"), &TFormMain::BSequenceDiscardClick);
    AttachHandler(QStringLiteral("BSequenceDiscardAll"), &TFormMain::BSequenceDiscardAllClick);
    AttachHandler(QStringLiteral("BSequenceErase"), &TFormMain::BSequenceEraseClick);
    AttachHandler(QStringLiteral("BSequenceEraseAll"), &TFormMain::BSequenceEraseAllClick);

    TStringGrid& grid = SequenceGridOf(*this);
    // The user picked a row; the program's own moves are not a pick.
    connect(&grid, &TStringGrid::SelectCell, this, [this](int, int row, bool*) {
        if (!SequenceWindow.movingSelection)
            RunReported([this, row] { SequenceRules.GridSelectCell(row); });
    });
    // Painting reports nothing: a cell that cannot be coloured keeps the grid's look.
    connect(&grid, &TStringGrid::DrawCell, this,
            [this](QPainter* canvas, int col, int row, const QRect& rect, bool) {
                try {
                    SGSequenceDrawCell(canvas, col, row, rect);
                } catch (...) {
                }
            });
}
