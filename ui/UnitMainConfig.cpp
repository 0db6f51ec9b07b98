// The configuration: "Get Config." downloads the GCU's whole parameter set and
// shows it in the bound controls (hiding what the PCB version lacks); "Apply
// Config." turns values loaded from a file into ordinary pending changes;
// SaveCPUParameters tells the GCU to store its parameters.
#include "device/ConfigDump.h"
#include "model/ParameterLimits.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QApplication>
#include <QSet>

namespace {
// Change capture stays silenced while the program writes values, and is on
// again afterwards on every way out.
class SilentControlsScope {
  public:
    explicit SilentControlsScope(bool& silent) : silent_(silent) { silent_ = true; }
    ~SilentControlsScope() { silent_ = false; }
    SilentControlsScope(const SilentControlsScope&) = delete;
    SilentControlsScope& operator=(const SilentControlsScope&) = delete;

  private:
    bool& silent_;
};

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
    const RequestScope request(*this);
    if (!request.Claimed())
        return;
    if (!Sequence.IsEmpty()) {
        if (!AskYesNo(TranslateString(Msg::GetConfigClearsSequence)))
            return;
        DiscardSequenceForDownload();
    }
    // The dump is applied by the receive handler the moment it is complete;
    // the wait ends then, or when the download's time limit passes.
    const WaitResult result =
        Exchange().RequestConfigDump(MaxDumpLength(ExpectedDumpFieldCount(Commands)));
    SyncLinkGlobals();
    switch (result) {
    case WaitResult::Completed:
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
    SequenceRules.ClearForConfigurationDownload();
    bar.SetPosition(0);
}

// A complete dump, applied whole or not at all.
void TFormMain::GetConfig(const QString& AString) {
    if (!AString.contains(u'#'))
        return;
    auto& bar = Control<TProgressBar>(QStringLiteral("PBOperations"));
    bar.SetMin(0);
    bar.SetMax(CommandCount);
    const ConfigDumpResult result =
        ApplyConfigDump(AString, Commands, RPMFactorGLOB, PCBVersionGLOB, PCBForceVersionGLOB);
    bar.SetPosition(0);
    if (!result.ok) {
        ShowMessage(TranslateString(Msg::MalformedConfiguration) + u' ' +
                        (result.problem ? PhraseText(*result.problem) : result.error),
                    TMsgDlgType::mtError);
        return;
    }
    if (result.pcbVersionText)
        Control<TEdit>(QStringLiteral("EPCBVersion")).SetText(*result.pcbVersionText);
    PCBVersionGLOB = result.pcbVersion;
    Control<TLabel>(QStringLiteral("LSystemInfoReboots"))
        .SetCaption(QString::number(result.reboots));
    // What the unit holds now, kept apart from the working values.
    const UnitReading reading = ReadingOfDump(Commands, result);
    // Values outside their limits are shown as the unit holds them, marked.
    const QVector<LimitRefusal> outside =
        UnitValuesOutsideLimits(Commands, reading.values, [this](int id) {
            return IsCommandVisibleOnPcb(Commands, id, PCBVersionGLOB);
        });
    outsideLimits_.clear();
    for (const LimitRefusal& value : outside)
        outsideLimits_.insert(value.commandId, value);
    ShowConfigurationInControls();
    ShowDerivedValuesAfterDownload();
    RestorePoints().Downloaded(reading);
    if (outside.isEmpty()) {
        ShowMessage(TranslateString(Msg::ConfigRead));
    } else {
        ShowMessage(TranslateString(Msg::ConfigRead) + QStringLiteral("\n\n") +
                        TranslateString(Msg::ValuesOutsideLimits) + u'\n' +
                        MessageList(OutsideLimitsLines(Commands, outside, RPMFactorGLOB)),
                    TMsgDlgType::mtWarning);
    }
    EnableControls();
}

QString TFormMain::OutsideLimitsHint(int id) const {
    const auto found = outsideLimits_.constFind(id);
    if (found == outsideLimits_.constEnd())
        return QString();
    const OutsideLimitsText text = OutsideLimitsDisplayText(Commands, *found, RPMFactorGLOB);
    return TranslateString(Msg::ValueOutsideLimitsHint).arg(text.value, text.minimum, text.maximum);
}

// The values that follow from the new ones; the barrel degrees a moment later.
void TFormMain::ShowDerivedValuesAfterDownload() {
    SetRPMFactor();
    CalculateRatioRPM();
    TimerCalculateBarrelDegrees->SetEnabled(true);
}

void TFormMain::ShowConfigurationInControls() {
    SilentControlsScope silent(SilentControlsEventsGLOB);
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
void TFormMain::BApplyConfigClick(QObject*) {
    QVector<LeftOutRecord> leftOut;
    try {
        leftOut = DiscardUnfitLoadedEntries();
        ApplyLoadedEntries();
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
    for (int i = 1; i <= SequenceCount && Sequence[i].CommandID > 0; ++i) {
        const TSequenceRecord& entry = Sequence[i];
        if (entry.Status != StatusLetter::Loaded)
            continue;
        if (const auto fault = LoadedEntryFault(Commands, entry, bound)) {
            leftOut.append(LeftOutRecord{i, entry.CommandID, entry.Command, *fault});
            SequenceRules.SelectGridRow(i);
            SequenceRules.DiscardSelected();
        }
    }
    return leftOut;
}

void TFormMain::EndApplyConfig() {
    Control<TStringGrid>(QStringLiteral("SGSequence")).SetRow(1);
    EnableControls();
}

// Passes over the loaded entries until one finds nothing to do. An entry whose
// control is missing, of another kind, or does not take the value after one
// write is left as it is, so the passes always end.
void TFormMain::ApplyLoadedEntries() {
    const auto key = [](const TSequenceRecord& entry) {
        return QString::number(entry.CommandID) + u':' + entry.SenderName1;
    };
    QSet<QString> written;
    QSet<QString> leftAsIs;
    bool foundSomething = true;
    while (foundSomething) {
        foundSomething = false;
        for (int i = SequenceCount; i >= 1; --i) {
            TSequenceRecord& entry = Sequence[i];
            if (entry.Status != StatusLetter::Loaded || entry.SenderName1.isEmpty() ||
                leftAsIs.contains(key(entry)))
                continue;
            const QString entryKey = key(entry);
            switch (ApplyLoadedEntry(entry, !written.contains(entryKey))) {
            case LoadedEntryStep::MarkedModified:
                foundSomething = true;
                break;
            case LoadedEntryStep::Written:
                written.insert(entryKey);
                foundSomething = true;
                break;
            case LoadedEntryStep::LeftAsIs:
                leftAsIs.insert(entryKey);
                break;
            }
        }
    }
}

// One loaded entry: when its control already shows the value the entry turns
// "M", otherwise the value is written (its change capture does the rest).
TFormMain::LoadedEntryStep TFormMain::ApplyLoadedEntry(TSequenceRecord& entry, bool mayWrite) {
    QObject* control = FindComponent(entry.SenderName1);
    const double value = entry.ActualValueSW;
    const int rounded = RoundHalfToEvenInt(value);
    const QString name = entry.SenderName1;
    const TColor modified = GetStatusColor(StatusLetter::Modified, false);
    const auto markModified = [&](const char* type) {
        entry.Status = StatusLetter::Modified;
        SetControlColor(QLatin1String(type), name, modified);
        return LoadedEntryStep::MarkedModified;
    };
    if (auto* spin = qobject_cast<TSpinEdit*>(control)) {
        if (spin->Value() == rounded)
            return markModified("TSpinEdit");
        if (!mayWrite)
            return LoadedEntryStep::LeftAsIs;
        spin->SetValue(rounded);
        return LoadedEntryStep::Written;
    }
    if (auto* edit = qobject_cast<TEdit*>(control);
        edit && CommandTable::IsValidId(entry.CommandID)) {
        const QString text = RealToStrDec(value, Commands[entry.CommandID].DigitsValueSW);
        if (edit->Text() == text)
            return markModified("TEdit");
        if (!mayWrite)
            return LoadedEntryStep::LeftAsIs;
        edit->SetText(text);
        return LoadedEntryStep::Written;
    }
    if (auto* radio = qobject_cast<TRadioGroup*>(control)) {
        if (radio->ItemIndex() == rounded)
            return markModified("TRadioGroup");
        if (!mayWrite)
            return LoadedEntryStep::LeftAsIs;
        SetControlColor(QStringLiteral("TRadioGroup"), name, modified);
        radio->SetItemIndex(rounded);
        return LoadedEntryStep::Written;
    }
    if (auto* check = qobject_cast<TCheckBox*>(control)) {
        const bool flag = rounded == 1;
        if (check->Checked() == flag) {
            const bool grayed = check->State() == TCheckBoxState::cbGrayed;
            markModified("TCheckBox");
            if (grayed)
                check->SetChecked(flag);
            return LoadedEntryStep::MarkedModified;
        }
        if (!mayWrite)
            return LoadedEntryStep::LeftAsIs;
        check->SetChecked(flag);
        return LoadedEntryStep::Written;
    }
    return LoadedEntryStep::LeftAsIs;
}

// ---------------------------------------------------------------- storing

WaitResult TFormMain::SaveCPUParameters() {
    const WaitResult result = Exchange().StoreParameters();
    SyncLinkGlobals();
    if (result != WaitResult::LinkLost)
        QApplication::beep();
    return result;
}

// The store never reached the GCU, or its answer never came back: the values
// sent are not known to be stored.
void TFormMain::ReportStoreLinkLost() {
    ShowMessage(TranslateString(Msg::LinkLost) + u'\n' + TranslateString(Msg::ReadBackNotVerified),
                TMsgDlgType::mtError);
}
