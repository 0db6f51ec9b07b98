// The configuration: "Get Config." downloads the GCU's whole parameter set and
// shows it in the bound controls (hiding what the PCB version lacks); "Apply
// Config." turns values loaded from a file into ordinary pending changes;
// SaveCPUParameters tells the GCU to store its parameters.
#include "device/ConfigDump.h"
#include "model/ParameterLimits.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QApplication>
#include <QScopedValueRollback>

namespace {
class HourglassScope {
  public:
    HourglassScope() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassScope() { QApplication::restoreOverrideCursor(); }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;
};

bool IsDumpControlId(int helpContext) {
    return helpContext >= 1 && helpContext < 1000;
}
} // namespace

// ---------------------------------------------------------------- Get Config.

void TFormMain::BCommunicationGetConfigClick(QObject*) {
    if (!Control<TButton>(QStringLiteral("BCommunicationGetConfig")).isEnabled())
        return;
    const RequestScope request(Session);
    if (!request.Claimed())
        return;
    if (!Sequence.IsEmpty()) {
        if (!AskYesNo(TranslateString(Msg::GetConfigClearsSequence)))
            return;
        DiscardSequenceForDownload();
    }
    // The dump comes back to this request whole, or the wait says why not.
    const LinkExchange::DumpAnswer answer = Session.RequestDump();
    switch (answer.result) {
    case WaitResult::Completed:
        GetConfig(answer.dump);
        return;
    case WaitResult::TimedOut:
        return ShowMessage(TranslateString(Msg::NoAnswer), TMsgDlgType::mtError);
    case WaitResult::Unusable:
        return ShowMessage(TranslateString(Msg::MalformedConfiguration), TMsgDlgType::mtError);
    case WaitResult::LinkLost:
        return ShowMessage(TranslateString(Msg::LinkLost), TMsgDlgType::mtError);
    }
}

void TFormMain::DiscardSequenceForDownload() {
    HourglassScope busy;
    auto& bar = Control<TProgressBar>(QStringLiteral("PBOperations"));
    bar.SetMin(0);
    bar.SetMax(SequenceCount);
    bar.SetPosition(SequenceCount);
    bar.repaint();
    // The edits go back first: should the download fail, no control keeps a
    // value that is in no list and not in the unit.
    Session.Working().EraseAll();
    bar.SetPosition(0);
}

// A complete dump, taken whole or not at all: the working copy takes the
// unit's values, every bound control shows its row and whether the PCB
// version has it, and the barrel degrees follow a moment later.
bool TFormMain::GetConfig(const QString& AString) {
    if (!AString.contains(u'#'))
        return false;
    auto& bar = Control<TProgressBar>(QStringLiteral("PBOperations"));
    bar.SetMin(0);
    bar.SetMax(CommandCount);
    const ReadOutcome outcome = Session.TakeDownloadedDump(AString);
    bar.SetPosition(0);
    if (!outcome.Ok()) {
        ShowMessage(TranslateString(Msg::MalformedConfiguration) + u' ' +
                        (outcome.malformedPhrase ? PhraseText(*outcome.malformedPhrase)
                                                 : outcome.malformed),
                    TMsgDlgType::mtError);
        return false;
    }
    Control<TEdit>(QStringLiteral("EPCBVersion")).SetText(outcome.reading->pcbText);
    Control<TLabel>(QStringLiteral("LSystemInfoReboots"))
        .SetCaption(QString::number(outcome.reading->reboots));
    // Values outside their limits are shown as the unit holds them, marked.
    const QVector<LimitRefusal> outside =
        UnitValuesOutsideLimits(Commands, outcome.reading->values, [this](int id) {
            return IsCommandVisibleOnPcb(Commands, id, PCBVersionGLOB);
        });
    outsideLimits_.clear();
    for (const LimitRefusal& value : outside)
        outsideLimits_.insert(value.commandId, value);
    ShowConfigurationInControls();
    TimerCalculateBarrelDegrees->SetEnabled(true);
    if (outside.isEmpty()) {
        ShowMessage(TranslateString(Msg::ConfigRead));
    } else {
        ShowMessage(TranslateString(Msg::ConfigRead) + QStringLiteral("\n\n") +
                        TranslateString(Msg::ValuesOutsideLimits) + u'\n' +
                        MessageList(OutsideLimitsLines(Commands, outside, RPMFactorGLOB)),
                    TMsgDlgType::mtWarning);
    }
    EnableControls();
    return true;
}

QString TFormMain::OutsideLimitsHint(int id) const {
    const auto found = outsideLimits_.constFind(id);
    if (found == outsideLimits_.constEnd())
        return QString();
    const OutsideLimitsText text = OutsideLimitsDisplayText(Commands, *found, RPMFactorGLOB);
    return TranslateString(Msg::ValueOutsideLimitsHint).arg(text.value, text.minimum, text.maximum);
}

void TFormMain::ShowConfigurationInControls() {
    const QScopedValueRollback<bool> silent(SilentControlsEventsGLOB, true);
    for (QObject* component : ComponentList()) {
        const TControl* control = AsControl(component);
        if (control && IsDumpControlId(control->HelpContext()))
            ShowCommandInControl(component, control->HelpContext());
    }
}

// Value and colour of command Id's row, and whether the PCB version has it.
// A value outside its limits is shown as the unit holds it (a spin edit
// would hold it to its limits), in the colour and with a hint that say so.
void TFormMain::ShowCommandInControl(QObject* component, int id) {
    auto* widget = qobject_cast<QWidget*>(component);
    const bool visible = IsCommandVisibleOnPcb(Commands, id, PCBVersionGLOB);
    const bool hasRow = CommandTable::IsValidId(id);
    const QString name = component->objectName();
    const bool outside = hasRow && outsideLimits_.contains(id);
    TColor color = hasRow ? GetStatusColor(Commands[id].Status, false) : clWhite;
    if (outside)
        color = OutsideLimitsColor;
    TControl* control = AsControl(component);
    const bool bound = qobject_cast<TSpinEdit*>(component) || qobject_cast<TEdit*>(component) ||
                       qobject_cast<TRadioGroup*>(component) || qobject_cast<TCheckBox*>(component);
    if (hasRow && bound && control) {
        const QString note = OutsideLimitsHint(id);
        control->SetHint(CommandHint(id, Commands[id]) +
                         (note.isEmpty() ? QString() : u'\n' + note));
    }
    if (auto* spin = qobject_cast<TSpinEdit*>(component)) {
        if (outside)
            spin->SetText(SpinTextForValue(Commands[id]));
        else if (hasRow)
            spin->SetValue(RoundedDisplayValue(Commands[id]));
        SetControlColor(QStringLiteral("TSpinEdit"), name, color);
    } else if (auto* edit = qobject_cast<TEdit*>(component)) {
        if (hasRow)
            edit->SetText(EditTextForValue(Commands[id]));
        SetControlColor(QStringLiteral("TEdit"), name, color);
    } else if (auto* radio = qobject_cast<TRadioGroup*>(component)) {
        if (hasRow)
            radio->SetItemIndex(RoundedDisplayValue(Commands[id]));
        SetControlColor(QStringLiteral("TRadioGroup"), name, color);
    } else if (auto* check = qobject_cast<TCheckBox*>(component)) {
        if (hasRow)
            check->SetChecked(CheckBoxSetForValue(Commands[id]));
        if (auto* marker = Find<TShape>(QStringLiteral("S") + name)) {
            marker->SetBrushColor(color);
            marker->setVisible(color != clWhite && visible);
        }
        check->update();
    } else if (!qobject_cast<TLabel*>(component) && !qobject_cast<TSpinButton*>(component) &&
               !qobject_cast<TGroupBox*>(component) && !qobject_cast<TButton*>(component)) {
        return;
    }
    widget->setVisible(visible);
}

// ---------------------------------------------------------------- Apply Config.

// Loaded entries are checked again as a load checks them (the command table
// may have been loaded anew since): one that does not fit is discarded, so it
// is neither applied nor sent, and reported with the other records left out.
// The others go into their controls as edits do.
void TFormMain::BApplyConfigClick(QObject*) {
    QVector<LeftOutRecord> leftOut;
    try {
        leftOut = DiscardUnfitLoadedEntries();
        Session.Working().ApplyLoadedEntries();
        Session.LoadedEntriesApplied();
    } catch (...) {
        EndApplyConfig();
        throw;
    }
    EndApplyConfig();
    ReportLeftOutRecords(leftOut);
}

QVector<LeftOutRecord> TFormMain::DiscardUnfitLoadedEntries() {
    QVector<LeftOutRecord> leftOut;
    const BoundControlLookup bound = BoundControls();
    const int rpmFactor = Session.Working().TargetRpmFactor();
    for (int i = 1; i <= SequenceCount && Sequence[i].CommandID > 0; ++i) {
        const TSequenceRecord& entry = Sequence[i];
        if (entry.Status != StatusLetter::Loaded)
            continue;
        if (const auto fault = LoadedEntryFault(Commands, entry, bound, rpmFactor)) {
            leftOut.append(LeftOutRecord{i, entry.CommandID, entry.Command, *fault});
            SequenceRules.SelectGridRow(i);
            Session.Working().DiscardSelected();
        }
    }
    return leftOut;
}

void TFormMain::EndApplyConfig() {
    Control<TStringGrid>(QStringLiteral("SGSequence")).SetRow(1);
    EnableControls();
}

// ---------------------------------------------------------------- storing

// The store as the session gives it: "[SAVEPRMT 0]", then a moment for the
// GCU to answer; the exclamation sound follows the store (storeSent).
WaitResult TFormMain::SaveCPUParameters() {
    try {
        const WaitResult result = Exchange().StoreParameters();
        if (result != WaitResult::LinkLost)
            QApplication::beep();
        return result;
    } catch (const QvException&) {
        return WaitResult::LinkLost;
    }
}
