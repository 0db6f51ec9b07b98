// Binding of the command table to the window's controls, and the controls'
// state that follows from it: status colours and the enabled buttons.
#include "ui/LivePlots.h"
#include "ui/UnitMain.h"

#include "util/UnitUtils.h"

namespace {

const QString MarkerPrefix = QStringLiteral("S");

// The page a control lies on: the parent at which the walk up from the
// control stops because it is a page. nullptr when it lies on no page.
const TTabSheet* PageOf(const QObject* control) {
    for (const QObject* parent = control->parent(); parent; parent = parent->parent()) {
        if (auto* page = qobject_cast<const TTabSheet*>(parent))
            return page;
    }
    return nullptr;
}

// The row learns which control shows it and on which page (1 = Main Setting);
// a second control of the same command becomes its second sender.
void RecordSender(TCommandRecord& row, const QObject* control) {
    const TTabSheet* page = PageOf(control);
    const int pageIndex = page ? page->TabIndex() + 1 : 0;
    const QString name = ShortText(control->objectName(), CommandTextCapacity::SenderName);
    row.SenderType = ShortText(TFormMain::ClassName(control), CommandTextCapacity::SenderType);
    if (row.SenderName1.isEmpty()) {
        row.SenderName1 = name;
        row.ActivePageIndex1 = pageIndex;
    } else {
        row.SenderName2 = name;
        row.ActivePageIndex2 = pageIndex;
    }
}

} // namespace

// A typed value is held to the row's display limits; a row whose two limits
// are equal has none (as a spin edit's).
std::optional<EditLimits> DisplayLimitsOf(const TCommandRecord& row) {
    if (row.MinValueSW == row.MaxValueSW)
        return std::nullopt;
    return EditLimits{row.MinValueSW, row.MaxValueSW, std::max(0, row.DigitsValueSW)};
}

namespace {

// The value a control shows until one is read from the GCU.
// Returns false for controls that are not bound.
bool ShowDefaultValue(QObject* component, const TCommandRecord& row) {
    if (auto* spin = qobject_cast<TSpinEdit*>(component)) {
        spin->SetMinValue(RoundHalfToEvenInt(row.MinValueSW));
        spin->SetMaxValue(RoundHalfToEvenInt(row.MaxValueSW));
        spin->SetValue(RoundHalfToEvenInt(row.DefaultValueSW));
        return true;
    }
    if (auto* edit = qobject_cast<TEdit*>(component)) {
        // Barrel-degree displays (tag 10) are derived, not bound.
        if (edit->Tag() == 10)
            return false;
        edit->SetLimits(DisplayLimitsOf(row));
        edit->SetText(RealToStrDec(row.DefaultValueSW, row.DigitsValueSW));
        return true;
    }
    if (auto* radio = qobject_cast<TRadioGroup*>(component)) {
        radio->SetItemIndex(RoundHalfToEvenInt(row.DefaultValueSW));
        return true;
    }
    if (auto* check = qobject_cast<TCheckBox*>(component)) {
        // A check box does not show a default: grayed until a value is read.
        check->SetState(TCheckBoxState::cbGrayed);
        return true;
    }
    return false;
}

// Bound controls without a handler of their own get the generic one of their kind.
void AttachBoundControlHandler(TFormMain& form, QObject* component) {
    TComponent* props = AsComponent(component);
    if (props->HandlerAttached())
        return;
    TFormMain::Handler handler = nullptr;
    if (qobject_cast<TSpinEdit*>(component))
        handler = form.BoundControlHandlers.spinEditChange;
    else if (qobject_cast<TEdit*>(component))
        handler = form.BoundControlHandlers.editChange;
    else if (qobject_cast<TRadioGroup*>(component))
        handler = form.BoundControlHandlers.radioGroupClick;
    else if (qobject_cast<TCheckBox*>(component))
        handler = form.BoundControlHandlers.checkBoxClick;
    if (handler)
        form.AttachHandler(component, handler);
}

} // namespace

void TFormMain::AssignCommandsToControls() {
    for (QObject* component : ComponentList()) {
        TControl* control = AsControl(component);
        const int id = control ? control->HelpContext() : 0;
        if (!CommandTable::IsValidId(id))
            continue;
        TCommandRecord& row = Commands[id];
        if (!ShowDefaultValue(component, row))
            continue;
        AttachBoundControlHandler(*this, component);
        control->SetHint(CommandHint(id, row));
        control->SetShowHint(true);
        SetControlColor(ClassName(component), component->objectName(), GetStatusColor("", false));
        RecordSender(row, component);
    }
}

QString TFormMain::CommandHint(int id, const TCommandRecord& row) {
    return QString::number(id) + QStringLiteral(" [") + row.Command + QStringLiteral("] ") +
           row.Description;
}

TColor TFormMain::GetStatusColor(const QString& Status, bool ActiveControl) {
    return ::GetStatusColor(Status, ActiveControl);
}

void TFormMain::SetControlColor(const QString& ControlType, const QString& ControlName,
                                TColor AColor) {
    if (ControlType == QLatin1String("TSpinEdit") || ControlType == QLatin1String("TEdit") ||
        ControlType == QLatin1String("TRadioGroup")) {
        if (TControl* control = AsControl(FindComponent(ControlName)))
            control->SetColor(AColor);
        return;
    }
    if (ControlType != QLatin1String("TCheckBox"))
        return;
    // A check box cannot show a background: its marker shows the colour, and
    // white (a value read from the GCU) needs no marker at all.
    auto* marker = Find<TShape>(MarkerPrefix + ControlName);
    if (marker && marker->BrushColor() == AColor && marker->isHidden() == (AColor == clWhite))
        return; // already shows it
    if (marker) {
        marker->SetBrushColor(AColor);
        marker->setVisible(AColor != clWhite);
    }
    if (auto* check = Find<TCheckBox>(ControlName))
        check->update();
}

void TFormMain::EnableControls() {
    const bool live = Control<TCheckBox>(QStringLiteral("CBLiveActive")).Checked();
    const EnableStates states =
        GetEnableStates(GetSequenceFlags(Sequence), live, SerialConnectedGLOB, PCBVersionGLOB);
    const auto enable = [this](const QString& name, bool enabled) {
        if (auto* widget = qobject_cast<QWidget*>(FindComponent(name)))
            widget->setEnabled(enabled);
        else
            throw std::logic_error("no control " + name.toStdString());
    };
    enable(QStringLiteral("BSequenceTransmit"), states.sequenceTransmit);
    enable(QStringLiteral("BSequenceTransmitAll"), states.sequenceTransmitAll);
    enable(QStringLiteral("BSequenceDiscard"), states.sequenceDiscard);
    enable(QStringLiteral("BSequenceDiscardAll"), states.sequenceDiscardAll);
    enable(QStringLiteral("BSequenceErase"), states.sequenceErase);
    enable(QStringLiteral("BSequenceEraseAll"), states.sequenceEraseAll);
    enable(QStringLiteral("BSequenceSave"), states.sequenceSave);
    enable(QStringLiteral("BSequenceLoad"), states.sequenceLoad);
    enable(QStringLiteral("BApplyConfig"), states.applyConfig);
    enable(QStringLiteral("BSaveConfig"), states.saveConfig);
    enable(QStringLiteral("BCommunicationGetConfig"), states.communicationGetConfig);
    enable(QStringLiteral("CBLiveActive"), states.liveActive);
    enable(QStringLiteral("BRecoveryFirmwareUpdate"), states.recoveryFirmwareUpdate);
    for (const char* gear : {"R", "N", "1", "2", "3", "4", "5", "6"}) {
        enable(QStringLiteral("BGearDetectionBarrelPosition%1Set").arg(QLatin1String(gear)),
               states.barrelPositionSet);
    }
    for (int i = 1; i <= 6; ++i) {
        enable(QStringLiteral("SERatiosRpm%1P").arg(i), states.ratioToothCounts);
        enable(QStringLiteral("SERatiosRpm%1S").arg(i), states.ratioToothCounts);
        enable(QStringLiteral("ERatiosRpm%1R").arg(i), states.ratioDisplays);
        enable(QStringLiteral("ERatiosRpm%1L").arg(i), states.ratioDisplays);
    }
    if (livePlots_)
        livePlots_->UpdateControls();
}
