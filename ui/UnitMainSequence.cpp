// The change sequence in the window: the grid with its status colours, the
// selection that highlights an entry's controls and shows their page, and the
// six buttons that transmit, discard and erase entries. The rules themselves
// live in SequenceController; this file does the widget side.
#include "device/ConfigDump.h"
#include "model/ParameterLimits.h"
#include "translation/MessageNumbers.h"
#include "ui/BatchedPainting.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
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
        form_.Session.Waiter().SetBusyIndicator({});
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
        form_.Session.Waiter().SetBusyIndicator(HourglassIndicator());
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

// Each row's value into its controls (held to the row's limits first, but for
// a value the unit holds outside them). The colours of entries are the
// sequence rules' own; a row without an entry that holds what the unit holds
// is shown in the colour of a value read.
void TFormMain::SequenceWindowView::ShowValues(const QVector<int>& ids) {
    const QScopedValueRollback<bool> silent(form_.SilentControlsEventsGLOB, true);
    const ChangeSequence& sequence = form_.Sequence;
    for (const int id : ids) {
        if (!CommandTable::IsValidId(id))
            continue;
        const TCommandRecord& row = form_.Commands[id];
        // A value the unit holds outside its limits stays shown as it is, marked.
        const bool outside =
            form_.outsideLimits_.contains(id) &&
            (row.ActualValueSW < row.MinValueSW || row.ActualValueSW > row.MaxValueSW);
        const bool paint =
            outside || (row.Status == StatusLetter::Read && sequence.FindForCapture(id) == 0);
        const TColor color = outside ? OutsideLimitsColor : GetStatusColor(row.Status, false);
        for (const QString& name : {row.SenderName1, row.SenderName2}) {
            if (name.isEmpty())
                continue;
            QObject* control = form_.FindComponent(name);
            if (auto* spin = qobject_cast<TSpinEdit*>(control)) {
                spin->SetMinValue(RoundHalfToEvenInt(row.MinValueSW));
                spin->SetMaxValue(RoundHalfToEvenInt(row.MaxValueSW));
                if (outside)
                    spin->SetText(SpinTextForValue(row));
                else
                    spin->SetValue(RoundHalfToEvenInt(row.ActualValueSW));
            } else if (auto* edit = qobject_cast<TEdit*>(control)) {
                edit->SetLimits(DisplayLimitsOf(row));
                edit->SetText(RealToStrDec(row.ActualValueSW, std::max(0, row.DigitsValueSW)));
            } else if (auto* radio = qobject_cast<TRadioGroup*>(control)) {
                radio->SetItemIndex(RoundHalfToEvenInt(row.ActualValueSW));
            } else if (auto* check = qobject_cast<TCheckBox*>(control)) {
                check->SetChecked(RoundHalfToEvenInt(row.ActualValueSW) == 1);
            } else {
                continue;
            }
            if (paint)
                form_.SetControlColor(row.SenderType, name, color);
        }
    }
    SequenceGridOf(form_).viewport()->update();
}

void TFormMain::SequenceWindowView::ShowDerivedDisplays() {
    form_.ShowRPMSteps();
    form_.CalculateBarrelDegrees();
    form_.ShowOrigin();
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
    Session.Working().Edit(ID, ActualValue);
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
// with the first, so it does nothing. The session sends, stores, reads back
// and checks; the window shows what that came to.
// Changes made for one unit go to another only once the user has seen which
// unit is connected and chose to go on.
void TFormMain::BSequenceTransmitClick(QObject*) {
    const RequestScope request(Session);
    if (!request.Claimed())
        return;
    TransmitOutcome outcome = Session.Transmit(false);
    EnableControls();
    if (outcome.stop == TransmitOutcome::Stop::OtherUnit && outcome.otherUnit &&
        ConfirmSendingToConnectedUnit(*outcome.otherUnit)) {
        outcome = Session.Transmit(false);
        EnableControls();
    }
    ReportTransmission(outcome);
}

// Every entry still to be sent, in list order, each only after the GCU has
// answered the one before, painted in batches while the run goes on.
void TFormMain::BSequenceTransmitAllClick(QObject*) {
    const RequestScope request(Session);
    if (!request.Claimed())
        return;
    const auto run = [this] {
        EntryRun entries(*this);
        TransmitOutcome outcome = Session.Transmit(true);
        EnableControls();
        return outcome;
    };
    TransmitOutcome outcome = run();
    if (outcome.stop == TransmitOutcome::Stop::OtherUnit && outcome.otherUnit &&
        ConfirmSendingToConnectedUnit(*outcome.otherUnit))
        outcome = run();
    ReportTransmission(outcome);
}

void TFormMain::BSequenceDiscardClick(QObject*) {
    Session.Working().DiscardSelected();
}

void TFormMain::BSequenceDiscardAllClick(QObject*) {
    Session.Working().DiscardAll();
    EnableControls();
}

void TFormMain::BSequenceEraseClick(QObject*) {
    if (AskYesNo(TranslateString(Msg::Erase)))
        Session.Working().EraseSelected();
    EnableControls();
}

void TFormMain::BSequenceEraseAllClick(QObject*) {
    if (AskYesNo(TranslateString(Msg::Erase)))
        Session.Working().EraseAll();
    EnableControls();
}

bool TFormMain::ConfirmCloseWithPendingChanges() {
    if (!GetSequenceFlags(Sequence).pending)
        return true;
    return AskYesNo(TranslateString(Msg::CloseWithPendingChanges));
}

// ---------------------------------------------------------------- wiring

void TFormMain::WireSequenceHandlers() {
    // Where the shown values come from follows the session; the store's
    // exclamation sound follows the store.
    connect(&Session, &UnitSession::originChanged, this, [this] { ShowOrigin(); });
    connect(this, &TFormMain::LanguageSwitched, this, [this] { ShowOrigin(); });
    connect(&Session, &UnitSession::storeSent, this, [] { QApplication::beep(); });
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
