// Change capture: every edit of a control that shows a parameter goes to the
// working copy, which makes it a pending change of the change sequence and
// runs the rules that follow from it; text that is not a number is refused
// here, and what became other than typed is said in the window.
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QScopedValueRollback>
#include <optional>

namespace {

// The text a spin edit or edit showed the last time it held a number.
const char* const LastValidTextProperty = "qvLastValidText";

int CommandIdOf(const QObject* control) {
    const TComponent* props = AsComponent(const_cast<QObject*>(control));
    return props ? props->HelpContext() : 0;
}

QString NumberText(const QObject* control) {
    if (auto* spin = qobject_cast<const TSpinEdit*>(control))
        return spin->Text();
    if (auto* edit = qobject_cast<const TEdit*>(control))
        return edit->Text();
    return QString();
}

void SetNumberText(QObject* control, const QString& text) {
    if (auto* spin = qobject_cast<TSpinEdit*>(control))
        spin->SetText(text);
    else if (auto* edit = qobject_cast<TEdit*>(control))
        edit->SetText(text);
}

std::optional<double> ParseDisplayNumber(const QString& text) {
    try {
        return DisplayTextToFloat(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

QString LastValidText(const TFormMain& form, const QObject* control) {
    const QVariant remembered = control->property(LastValidTextProperty);
    if (remembered.isValid())
        return remembered.toString();
    // Not changed since the binding wrote it: the value the command row holds.
    const int id = CommandIdOf(control);
    if (!CommandTable::IsValidId(id))
        return QStringLiteral("0");
    const TCommandRecord& row = form.Commands[id];
    if (qobject_cast<const TSpinEdit*>(control))
        return QString::number(RoundHalfToEvenInt(row.ActualValueSW));
    return RealToStrDec(row.ActualValueSW, std::max(0, row.DigitsValueSW));
}

// The control shows its last valid value again, without a capture, and the
// user learns why.
void RefuseNotANumber(TFormMain& form, QObject* control) {
    {
        const QScopedValueRollback<bool> silent(form.SilentControlsEventsGLOB, true);
        SetNumberText(control, LastValidText(form, control));
    }
    ShowMessage(form.TranslateString(Msg::NotANumber), TMsgDlgType::mtWarning);
}

// The number a spin edit or edit shows, remembered as its last valid value.
// Text that is not a number is refused unless the program is writing
// silently. (The user's keystrokes reach this only as the finished text.)
std::optional<double> ReadNumber(TFormMain& form, QObject* control) {
    const QString text = NumberText(control);
    if (const std::optional<double> value = ParseDisplayNumber(text)) {
        control->setProperty(LastValidTextProperty, text);
        return value;
    }
    if (!form.SilentControlsEventsGLOB)
        RefuseNotANumber(form, control);
    return std::nullopt;
}

// What the user typed when the control held the text to its limits.
std::optional<double> TypedBeyondLimits(QObject* control) {
    if (auto* spin = qobject_cast<TSpinEdit*>(control))
        return spin->TakeTypedBeyondLimits();
    if (auto* edit = qobject_cast<TEdit*>(control))
        return edit->TakeTypedBeyondLimits();
    return std::nullopt;
}

} // namespace

// A control's new value goes to the working copy, which captures it, runs the
// rules that follow from it and shows every value they change; what became
// other than typed is said in the window.
void TFormMain::SpinEditChange(QObject* Sender) {
    const std::optional<double> value = ReadNumber(*this, Sender);
    if (SilentControlsEventsGLOB || !value)
        return;
    Session.Working().Edit(CommandIdOf(Sender), *value, TypedBeyondLimits(Sender));
    ShowEditNotices();
}

void TFormMain::EditChange(QObject* Sender) {
    SpinEditChange(Sender);
}

void TFormMain::RadioGroupClick(QObject* Sender) {
    if (SilentControlsEventsGLOB)
        return;
    Session.Working().Edit(CommandIdOf(Sender), qobject_cast<TRadioGroup*>(Sender)->ItemIndex());
    ShowEditNotices();
}

void TFormMain::CheckBoxClick(QObject* Sender) {
    if (SilentControlsEventsGLOB)
        return;
    Session.Working().Edit(CommandIdOf(Sender),
                           qobject_cast<TCheckBox*>(Sender)->Checked() ? 1.0 : 0.0);
    ShowEditNotices();
}

// At most one of the two gearbox boxes is checked: the working copy clears
// the other one when one is checked.
void TFormMain::CBFunctionStrategiesBikeGearboxClick(QObject* Sender) {
    CheckBoxClick(Sender);
}

void TFormMain::CBFunctionStrategiesKartGearboxClick(QObject* Sender) {
    CheckBoxClick(Sender);
}

// ---------------------------------------------------------------- wiring

void TFormMain::WireEditingHandlers() {
    BoundControlHandlers.spinEditChange = &TFormMain::SpinEditChange;
    BoundControlHandlers.editChange = &TFormMain::EditChange;
    BoundControlHandlers.radioGroupClick = &TFormMain::RadioGroupClick;
    BoundControlHandlers.checkBoxClick = &TFormMain::CheckBoxClick;

    AttachHandler(QStringLiteral("CBFunctionStrategiesBikeGearbox"),
                  &TFormMain::CBFunctionStrategiesBikeGearboxClick);
    AttachHandler(QStringLiteral("CBFunctionStrategiesKartGearbox"),
                  &TFormMain::CBFunctionStrategiesKartGearboxClick);

    AttachHandler(QStringLiteral("SEUpShiftActuationPreLoadActuationTime"),
                  &TFormMain::SEUpShiftActuationPreLoadActuationTimeChange);
    AttachHandler(QStringLiteral("SEUpShiftEngineCutMainCutEngineCutTimeout"),
                  &TFormMain::SEUpShiftEngineCutMainCutEngineCutTimeoutChange);
    AttachHandler(QStringLiteral("SEUpShiftActuationMainLoadActuationTimeout"),
                  &TFormMain::SEUpShiftActuationMainLoadActuationTimeoutChange);
    AttachHandler(QStringLiteral("SERecoveryUpShiftPreLoadActuationTime"),
                  &TFormMain::SERecoveryUpShiftPreLoadActuationTimeChange);
    AttachHandler(QStringLiteral("SERecoveryUpShiftEngineCutEngineCutTime"),
                  &TFormMain::SERecoveryUpShiftEngineCutEngineCutTimeChange);
    AttachHandler(QStringLiteral("SERecoveryUpShiftActuationActuationTime"),
                  &TFormMain::SERecoveryUpShiftActuationActuationTimeChange);

    AttachSpinButtonHandlers(QStringLiteral("SBERatiosRpmRPMLimiter"),
                             &TFormMain::SBERatiosRpmRPMLimiterUpClick,
                             &TFormMain::SBERatiosRpmRPMLimiterDownClick);
    AttachSpinButtonHandlers(QStringLiteral("SBERatiosRpmRPMRecovery"),
                             &TFormMain::SBERatiosRpmRPMRecoveryUpClick,
                             &TFormMain::SBERatiosRpmRPMRecoveryDownClick);
    AttachSpinButtonHandlers(QStringLiteral("SBSEInputsOutputsMinimumBatteryVoltage"),
                             &TFormMain::SBSEInputsOutputsMinimumBatteryVoltageUpClick,
                             &TFormMain::SBSEInputsOutputsMinimumBatteryVoltageDownClick);
    AttachHandler(TimerCalculateBarrelDegrees, &TFormMain::TimerCalculateBarrelDegreesTimer);
}

void TFormMain::NumberFieldChange(QObject* Sender) {
    ReadNumber(*this, Sender);
}

// Spin edits always hold numbers; of the edits only the bound ones do (the
// command line of the Commands page holds any text).
bool TFormMain::FinishTyping() {
    bool numbers = true;
    for (QObject* component : ComponentList()) {
        if (auto* spin = qobject_cast<TSpinEdit*>(component); spin && spin->Typing()) {
            numbers = spin->FinishTyping() && numbers;
        } else if (auto* edit = qobject_cast<TEdit*>(component); edit && edit->Typing()) {
            const bool number = edit->FinishTyping();
            if (CommandTable::IsValidId(edit->HelpContext()) && edit->Tag() != 10)
                numbers = number && numbers;
        }
    }
    return numbers;
}
