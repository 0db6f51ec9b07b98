// Derived values and coupled limits in the window. The rules themselves (the
// RPM factor, gear ratios and down-shift limits, the coupled timings and the
// spin-button steps) belong to the working copy; the window shows what they
// leave, and the displays that only follow from values: the barrel degrees and
// the RPM controls' step and limits.
#include "model/DerivedValues.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

namespace {

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

QString Name(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

// An RPM row's controls follow the factor: a spin edit steps by it and holds
// the RPM limits it gives, an edit holds those limits to typing.
void TFormMain::ShowRPMSteps() {
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = Commands[id];
        if (!IsRPMParameter(row))
            continue;
        for (const QString& name : {row.SenderName1, row.SenderName2}) {
            if (name.isEmpty())
                continue;
            if (auto* spin = Find<TSpinEdit>(name)) {
                spin->SetMinValue(RoundHalfToEvenInt(row.MinValueSW));
                spin->SetMaxValue(RoundHalfToEvenInt(row.MaxValueSW));
                spin->SetIncrement(RPMFactorGLOB);
            } else if (auto* edit = Find<TEdit>(name)) {
                edit->SetLimits(DisplayLimitsOf(row));
            }
        }
    }
}

// The rules of the working copy, run on the values shown.
void TFormMain::SetRPMFactor() {
    Session.Working().Reconcile();
}

void TFormMain::CalculateRatioRPM() {
    Session.Working().Reconcile();
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
    Session.Working().Step(WorkingIds::RPMLimiter, true);
}

void TFormMain::SBERatiosRpmRPMLimiterDownClick(QObject*) {
    Session.Working().Step(WorkingIds::RPMLimiter, false);
}

void TFormMain::SBERatiosRpmRPMRecoveryUpClick(QObject*) {
    Session.Working().Step(WorkingIds::RPMRecovery, true);
}

void TFormMain::SBERatiosRpmRPMRecoveryDownClick(QObject*) {
    Session.Working().Step(WorkingIds::RPMRecovery, false);
}

void TFormMain::SBSEInputsOutputsMinimumBatteryVoltageUpClick(QObject*) {
    Session.Working().Step(WorkingIds::MinimumBatteryVoltage, true);
}

void TFormMain::SBSEInputsOutputsMinimumBatteryVoltageDownClick(QObject*) {
    Session.Working().Step(WorkingIds::MinimumBatteryVoltage, false);
}

// ---------------------------------------------------------------- coupled timings

// Each timing control's change goes to the working copy, which keeps the
// actuation timeout at least pre-load plus engine cut and shows what it changed.
void TFormMain::SEUpShiftActuationPreLoadActuationTimeChange(QObject* Sender) {
    SpinEditChange(Sender);
}

void TFormMain::SEUpShiftEngineCutMainCutEngineCutTimeoutChange(QObject* Sender) {
    SpinEditChange(Sender);
}

void TFormMain::SEUpShiftActuationMainLoadActuationTimeoutChange(QObject* Sender) {
    SpinEditChange(Sender);
}

void TFormMain::SERecoveryUpShiftPreLoadActuationTimeChange(QObject* Sender) {
    SpinEditChange(Sender);
}

void TFormMain::SERecoveryUpShiftEngineCutEngineCutTimeChange(QObject* Sender) {
    SpinEditChange(Sender);
}

void TFormMain::SERecoveryUpShiftActuationActuationTimeChange(QObject* Sender) {
    SpinEditChange(Sender);
}
