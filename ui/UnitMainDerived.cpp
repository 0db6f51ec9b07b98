// Derived values and coupled limits: the RPM factor, gear ratios and down-shift
// limits, barrel degrees, the three spin buttons and the coupled timings. A
// value written into a bound control is captured by that control's own change
// notification, which is how derived values reach the change sequence.
#include "model/DerivedValues.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

namespace {

constexpr int RPMLimiterId = 98;
constexpr int RPMRecoveryId = 161;
constexpr int MinimumBatteryVoltageId = 1;

// Millivolt spin edit and its degree display.
struct BarrelDegreePair {
    const char* millivolts;
    const char* degrees;
};
constexpr BarrelDegreePair BarrelDegreePairs[] = {
    {"SEGearDetectionBarrelPositionRMillivolts", "EGearDetectionBarrelPositionRBarrel"},
    {"SEGearDetectionBarrelPositionNMillivolts", "EGearDetectionBarrelPositionNBarrel"},
    {"SEGearDetectionBarrelPosition1Millivolts", "EGearDetectionBarrelPosition1Barrel"},
    {"SEGearDetectionBarrelPosition2Millivolts", "EGearDetectionBarrelPosition2Barrel"},
    {"SEGearDetectionBarrelPosition3Millivolts", "EGearDetectionBarrelPosition3Barrel"},
    {"SEGearDetectionBarrelPosition4Millivolts", "EGearDetectionBarrelPosition4Barrel"},
    {"SEGearDetectionBarrelPosition5Millivolts", "EGearDetectionBarrelPosition5Barrel"},
    {"SEGearDetectionBarrelPosition6Millivolts", "EGearDetectionBarrelPosition6Barrel"},
    {"SEGearDetectionRecognitionToleranceMillivolts", "EGearDetectionRecognitionToleranceBarrel"},
    {"SEUpShiftActuationPreLoadExitTravelMillivolts", "EUpShiftActuationPreLoadExitTravelBarrel"},
    {"SEUpShiftEngineCutMainCutExitTravelMillivolts", "EUpShiftEngineCutMainCutExitTravelBarrel"},
    {"SEUpShiftHSAStrategyMainSettingsRetryTravelMillivolts",
     "EUpShiftHSAStrategyMainSettingsRetryTravelBarrel"},
    {"SEDownShiftActuationPreLoadExitTravelMillivolts",
     "EDownShiftActuationPreLoadExitTravelBarrel"},
    {"SEDownShiftActuationMainLoadExitTravelMillivolts",
     "EDownShiftActuationMainLoadExitTravelBarrel"},
    {"SEDownShiftHSAStrategyMainSettingsRetryTravelMillivolts",
     "EDownShiftHSAStrategyMainSettingsRetryTravelBarrel"},
    {"SEDownShiftBlipperMainCutExitTravelMillivolts", "EDownShiftBlipperMainCutExitTravelBarrel"},
};

// The three spin edits of a coupled timing group; the up-shift pre-load time
// is shown once more in the HSA strategy.
struct TimingControls {
    const char* preload;
    const char* cut;
    const char* timeout;
    const char* preloadCopy; // nullptr = none
};
constexpr TimingControls UpShiftTiming = {"SEUpShiftActuationPreLoadActuationTime",
                                          "SEUpShiftEngineCutMainCutEngineCutTimeout",
                                          "SEUpShiftActuationMainLoadActuationTimeout",
                                          "SEUpShiftHSAStrategyMainSettingsActuationPreload"};
constexpr TimingControls RecoveryUpShiftTiming = {
    "SERecoveryUpShiftPreLoadActuationTime", "SERecoveryUpShiftEngineCutEngineCutTime",
    "SERecoveryUpShiftActuationActuationTime", nullptr};

QString Name(const char* name) {
    return QString::fromLatin1(name);
}

QString GearControl(const char* prefix, int gear, char suffix) {
    return QString::fromLatin1(prefix) + QString::number(gear) + QLatin1Char(suffix);
}

// An RPM row's control follows the factor: a spin edit steps by it, and a
// snapped display value is shown.
void ShowRPMValue(TFormMain& form, const TCommandRecord& row, const QString& name,
                  bool valueChanged) {
    if (row.SenderType == QLatin1String("TSpinEdit")) {
        auto& spin = form.Control<TSpinEdit>(name);
        spin.SetMinValue(RoundHalfToEvenInt(row.MinValueSW));
        spin.SetMaxValue(RoundHalfToEvenInt(row.MaxValueSW));
        if (valueChanged)
            spin.SetValue(RoundHalfToEvenInt(row.ActualValueSW));
        spin.SetIncrement(form.RPMFactorGLOB);
    } else if (row.SenderType == QLatin1String("TEdit")) {
        auto& edit = form.Control<TEdit>(name);
        edit.SetLimits(DisplayLimitsOf(row));
        if (valueChanged)
            edit.SetText(RealToStrDec(row.ActualValueSW, row.DigitsValueSW));
    }
}

void SetAnyText(TFormMain& form, const QString& name, const QString& text) {
    if (auto* spin = form.Find<TSpinEdit>(name))
        spin->SetText(text);
    else if (auto* edit = form.Find<TEdit>(name))
        edit->SetText(text);
}

// The ratio of a gear as a number, when its text holds one.
std::optional<double> RatioOf(const TEdit& ratio) {
    const QString text = ratio.Text();
    if (text.isEmpty() || !StrIsOnlyNumbers(text))
        return std::nullopt;
    return DisplayTextToFloat(text);
}

// One step of an RPM spin button; false when the step would leave the
// command's firmware limits and nothing changed.
bool StepRPMEdit(TFormMain& form, int id, const char* editName, bool up) {
    TCommandRecord& row = form.Commands[id];
    const std::optional<int> next = RPMSpinStep(row, up);
    if (!next)
        return false;
    row.ActualValueFW = *next;
    const qint64 display = qint64(form.RPMFactorGLOB) * *next;
    form.Control<TEdit>(Name(editName)).SetText(QString::number(display));
    return true;
}

void StepMinimumBatteryVoltage(TFormMain& form, bool up) {
    TCommandRecord& row = form.Commands[MinimumBatteryVoltageId];
    const std::optional<double> next = DecimalSpinStep(row, up);
    if (!next)
        return;
    row.ActualValueFW = *next;
    form.Control<TEdit>(QStringLiteral("EInputsOutputsMinimumBatteryVoltage"))
        .SetText(RealToStrDec(row.ActualValueFW * row.FWtoSWFactor, row.DigitsValueSW));
}

bool ShowsANumber(const TSpinEdit& spin) {
    bool ok = false;
    spin.Text().trimmed().toInt(&ok);
    return ok;
}

// The rule of a timing group after Changed changed; each write raises the
// written control's own notification, which applies the rule in turn. Runs
// also while capture is silenced; the capture itself is the last step.
void KeepTimingCoupled(TFormMain& form, const TimingControls& group, TimingRole changed,
                       QObject* sender) {
    auto& preload = form.Control<TSpinEdit>(Name(group.preload));
    auto& cut = form.Control<TSpinEdit>(Name(group.cut));
    auto& timeout = form.Control<TSpinEdit>(Name(group.timeout));
    // A field that holds no number yet is left to the capture, which refuses it.
    if (ShowsANumber(*qobject_cast<TSpinEdit*>(sender))) {
        if (changed == TimingRole::Preload && group.preloadCopy) {
            auto& copy = form.Control<TSpinEdit>(Name(group.preloadCopy));
            if (copy.Value() != preload.Value())
                copy.SetValue(preload.Value());
        }
        const TimingCorrection correction = CoupledTimingCorrection(
            {preload.Value(), cut.Value(), timeout.Value(), timeout.MaxValue()}, changed);
        if (correction.cut)
            cut.SetValue(*correction.cut);
        if (correction.timeout)
            timeout.SetValue(*correction.timeout);
    }
    form.SpinEditChange(sender);
}

} // namespace

void TFormMain::SetRPMFactor() {
    RPMFactorGLOB = RPMFactorOfTable(Commands);
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& row = Commands[id];
        if (!IsRPMParameter(row))
            continue;
        const bool changed = ReexpressRPMParameter(row, RPMFactorGLOB);
        if (!row.SenderName1.isEmpty())
            ShowRPMValue(*this, row, row.SenderName1, changed);
        if (!row.SenderName2.isEmpty()) {
            SetAnyText(*this, row.SenderName2, RealToStrDec(row.ActualValueSW, row.DigitsValueSW));
            ShowRPMValue(*this, row, row.SenderName2, changed);
        }
    }
}

void TFormMain::CalculateRatioRPM() {
    for (int gear = 1; gear <= 6; ++gear) {
        const int primary = Control<TSpinEdit>(GearControl("SERatiosRpm", gear, 'P')).Value();
        const int secondary = Control<TSpinEdit>(GearControl("SERatiosRpm", gear, 'S')).Value();
        auto& ratio = Control<TEdit>(GearControl("ERatiosRpm", gear, 'R'));
        if (const std::optional<QString> text = GearRatioText(primary, secondary);
            text && ratio.Text() != *text)
            ratio.SetText(*text);
    }
    for (int gear = 2; gear <= 6; ++gear) {
        const std::optional<double> ratio =
            RatioOf(Control<TEdit>(GearControl("ERatiosRpm", gear, 'R')));
        const std::optional<double> ratioBelow =
            RatioOf(Control<TEdit>(GearControl("ERatiosRpm", gear - 1, 'R')));
        if (!ratio || !ratioBelow)
            continue;
        const int limiter =
            DisplayTextToInt(Control<TEdit>(QStringLiteral("ERatiosRpmRPMLimiter")).Text());
        if (const std::optional<qint64> limit =
                DownShiftLimit(limiter, *ratioBelow, *ratio, RPMFactorGLOB))
            Control<TEdit>(GearControl("ERatiosRpm", gear, 'L')).SetText(QString::number(*limit));
    }
}

void TFormMain::CalculateBarrelDegrees() {
    const int minimum =
        Control<TSpinEdit>(QStringLiteral("SEGearDetectionSensorTypeMinimum")).Value();
    const int maximum =
        Control<TSpinEdit>(QStringLiteral("SEGearDetectionSensorTypeMaximum")).Value();
    if (maximum <= minimum)
        return; // the displays keep their texts
    for (const BarrelDegreePair& pair : BarrelDegreePairs) {
        const int millivolts = Control<TSpinEdit>(Name(pair.millivolts)).Value();
        if (const std::optional<qint64> degrees = BarrelDegrees(millivolts, minimum, maximum))
            Control<TEdit>(Name(pair.degrees)).SetText(QString::number(*degrees));
    }
}

void TFormMain::TimerCalculateBarrelDegreesTimer(QObject*) {
    TimerCalculateBarrelDegrees->SetEnabled(false);
    CalculateBarrelDegrees();
}

// ---------------------------------------------------------------- spin buttons

// A refused step changes nothing, the down-shift limits included.
void TFormMain::SBERatiosRpmRPMLimiterUpClick(QObject*) {
    if (StepRPMEdit(*this, RPMLimiterId, "ERatiosRpmRPMLimiter", true))
        CalculateRatioRPM();
}

void TFormMain::SBERatiosRpmRPMLimiterDownClick(QObject*) {
    if (StepRPMEdit(*this, RPMLimiterId, "ERatiosRpmRPMLimiter", false))
        CalculateRatioRPM();
}

void TFormMain::SBERatiosRpmRPMRecoveryUpClick(QObject*) {
    StepRPMEdit(*this, RPMRecoveryId, "ERatiosRpmRPMRecovery", true);
}

void TFormMain::SBERatiosRpmRPMRecoveryDownClick(QObject*) {
    StepRPMEdit(*this, RPMRecoveryId, "ERatiosRpmRPMRecovery", false);
}

void TFormMain::SBSEInputsOutputsMinimumBatteryVoltageUpClick(QObject*) {
    StepMinimumBatteryVoltage(*this, true);
}

void TFormMain::SBSEInputsOutputsMinimumBatteryVoltageDownClick(QObject*) {
    StepMinimumBatteryVoltage(*this, false);
}

// ---------------------------------------------------------------- coupled timings

void TFormMain::SEUpShiftActuationPreLoadActuationTimeChange(QObject* Sender) {
    KeepTimingCoupled(*this, UpShiftTiming, TimingRole::Preload, Sender);
}

void TFormMain::SEUpShiftEngineCutMainCutEngineCutTimeoutChange(QObject* Sender) {
    KeepTimingCoupled(*this, UpShiftTiming, TimingRole::Cut, Sender);
}

void TFormMain::SEUpShiftActuationMainLoadActuationTimeoutChange(QObject* Sender) {
    KeepTimingCoupled(*this, UpShiftTiming, TimingRole::Timeout, Sender);
}

void TFormMain::SERecoveryUpShiftPreLoadActuationTimeChange(QObject* Sender) {
    KeepTimingCoupled(*this, RecoveryUpShiftTiming, TimingRole::Preload, Sender);
}

void TFormMain::SERecoveryUpShiftEngineCutEngineCutTimeChange(QObject* Sender) {
    KeepTimingCoupled(*this, RecoveryUpShiftTiming, TimingRole::Cut, Sender);
}

void TFormMain::SERecoveryUpShiftActuationActuationTimeChange(QObject* Sender) {
    KeepTimingCoupled(*this, RecoveryUpShiftTiming, TimingRole::Timeout, Sender);
}
