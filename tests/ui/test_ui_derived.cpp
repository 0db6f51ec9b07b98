// Derived values in the window: the RPM factor and the RPM values it
// re-expresses, ratios and down-shift limits, barrel degrees and their timer,
// the three spin buttons at their limits, and the two coupled timing groups.
#include "ui/test_ui_editing_window.h"
#include "util/UnitUtils.h"

#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

class Derived : public EditingWindow {
  protected:
    void Up(const char* spinButton) { form->Control<TSpinButton>(spinButton).UpButton()->click(); }
    void Down(const char* spinButton) {
        form->Control<TSpinButton>(spinButton).DownButton()->click();
    }
    QString Notice() const { return form->Control<TLabel>("LEditNotice").Caption(); }
};

} // namespace

// ------------------------------------------------------------------ RPM factor and ratios

TEST_F(Derived, rpmFactorFollowsDivisorAndTimesTwo_andNewGcuValuesAreChangesToSend) {
    EXPECT_EQ(form->RPMFactorGLOB, 60);
    UnitHolds(161, 4200); // 70 units of 60 RPM
    Spin("SERatiosRpmDivisor").SetValue(2);
    EXPECT_EQ(form->RPMFactorGLOB, 30);
    // 4200 RPM are 140 units of 30 RPM: the display stays, the GCU value
    // changes, and that is a change to send with the divisor.
    EXPECT_EQ(Edit("ERatiosRpmRPMRecovery").Text(), "4200");
    EXPECT_EQ(form->Commands[161].ActualValueSW, 4200);
    EXPECT_EQ(form->Commands[161].ActualValueFW, 140);
    ASSERT_NE(EntryOf(161), nullptr);
    EXPECT_EQ(EntryOf(161)->ActualValueFW, 140);
    EXPECT_EQ(EntryOf(161)->PreviousValueFW, 70);
    ASSERT_NE(EntryOf(46), nullptr);
    EXPECT_EQ(form->Commands[98].FWtoSWFactor, 30);
    EXPECT_EQ(form->Commands[98].StepValueSW, 30);

    Check("CBRatiosRpmX2").SetChecked(true);
    EXPECT_EQ(form->RPMFactorGLOB, 60);
    Spin("SERatiosRpmDivisor").SetValue(4);
    EXPECT_EQ(form->RPMFactorGLOB, 30);
    Check("CBRatiosRpmX2").SetChecked(false);
    EXPECT_EQ(form->RPMFactorGLOB, 15);
    Spin("SERatiosRpmDivisor").SetValue(1);
    EXPECT_EQ(form->RPMFactorGLOB, 60);
    // Back at the factor the unit holds its values at: nothing left to send
    // for the recovery RPM.
    EXPECT_EQ(EntryOf(161), nullptr);
}

// The gear tolerance is shown in millivolts and held by the GCU in hundredths
// of a volt: a value between two of its steps becomes the nearest one, which
// is what is sent, and the window says so.
TEST_F(Derived, typedValueBetweenTheGcusSteps_becomesTheNearestStep_andIsSaidSo) {
    auto& tolerance = Spin("SEGearDetectionRecognitionToleranceMillivolts");
    tolerance.SetValue(123);
    EXPECT_EQ(tolerance.Value(), 120);
    ASSERT_NE(EntryOf(62), nullptr);
    EXPECT_EQ(EntryOf(62)->ActualValueSW, 120);
    EXPECT_DOUBLE_EQ(EntryOf(62)->ActualValueFW, 0.12);
    EXPECT_TRUE(Notice().contains("GEARTOLR")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("123")) << Notice().toStdString();
}

TEST_F(Derived, ratiosAndDownShiftLimit_cutToTheFactor_areCapturedAsChanges) {
    UnitHolds(98, 6500);
    UnitHolds(129, 20);
    UnitHolds(131, 20);
    UnitHolds(132, 24);
    Spin("SERatiosRpm1S").SetValue(30);
    EXPECT_EQ(Edit("ERatiosRpm1R").Text(), "1,50");
    EXPECT_EQ(Edit("ERatiosRpm2R").Text(), "1,20");
    EXPECT_EQ(Edit("ERatiosRpm2L").Text(), "5160"); // 5200 cut to a multiple of 60
    ASSERT_NE(EntryOf(56), nullptr);
    EXPECT_EQ(EntryOf(56)->ActualValueSW, 5160);
    EXPECT_EQ(EntryOf(56)->ActualValueFW, 86);
    ASSERT_NE(EntryOf(17), nullptr);
    EXPECT_DOUBLE_EQ(EntryOf(17)->ActualValueSW, 1.5);
    EXPECT_TRUE(Edit("ERatiosRpm1L").Text().isEmpty()); // gear 1 has no limit
}

// ------------------------------------------------------------------ barrel degrees

TEST_F(Derived, barrelDegreesOverTheSensorRange_keptWhenTheRangeIsEmpty) {
    // Shipped range 500..4500 mV: 1000 mV is 90 degrees.
    EXPECT_EQ(Edit("EGearDetectionBarrelPosition1Barrel").Text(), "90");
    Spin("SEGearDetectionSensorTypeMaximum").SetValue(500);
    EXPECT_EQ(Edit("EGearDetectionBarrelPosition1Barrel").Text(), "90");
    Spin("SEGearDetectionSensorTypeMaximum").SetValue(2500);
    EXPECT_EQ(Edit("EGearDetectionBarrelPosition1Barrel").Text(), "180");
    // The degree displays are not parameters: nothing of them is captured.
    for (int i = 1; i <= EntryCount(); ++i)
        EXPECT_EQ(Entry(i).CommandID, 144);
}

TEST_F(Derived, barrelTimer_recomputesOnceAndSwitchesItselfOff) {
    form->SilentControlsEventsGLOB = true; // as a download writes
    Spin("SEGearDetectionBarrelPosition2Millivolts").SetValue(2000);
    form->SilentControlsEventsGLOB = false;
    auto& degrees = Edit("EGearDetectionBarrelPosition2Barrel");
    EXPECT_EQ(degrees.Text(), "144");
    form->TimerCalculateBarrelDegrees->SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return degrees.Text() == "180"; }, 10000));
    EXPECT_FALSE(form->TimerCalculateBarrelDegrees->Enabled());
}

// ------------------------------------------------------------------ spin buttons

TEST_F(Derived, rpmSpinButtons_stepWithinFirmwareLimits_limiterRecomputesLimits) {
    auto& limiter = Edit("ERatiosRpmRPMLimiter");
    form->Commands[98].ActualValueFW = 350; // the firmware maximum
    const QString atMaximum = limiter.Text();
    Up("SBERatiosRpmRPMLimiter");
    EXPECT_EQ(limiter.Text(), atMaximum);
    EXPECT_EQ(EntryCount(), 0);

    Down("SBERatiosRpmRPMLimiter");
    EXPECT_EQ(form->Commands[98].ActualValueFW, 349);
    EXPECT_EQ(limiter.Text(), "20940");
    ASSERT_NE(EntryOf(98), nullptr);
    EXPECT_EQ(EntryOf(98)->ActualValueSW, 20940);
    // 20940 / 2.62 x 1.88 = 15026, cut to 15000.
    EXPECT_EQ(Edit("ERatiosRpm2L").Text(), "15000");

    auto& recovery = Edit("ERatiosRpmRPMRecovery");
    form->Commands[161].ActualValueFW = 20; // the firmware minimum
    Down("SBERatiosRpmRPMRecovery");
    EXPECT_EQ(EntryOf(161), nullptr);
    Up("SBERatiosRpmRPMRecovery");
    EXPECT_EQ(recovery.Text(), "1260");
    ASSERT_NE(EntryOf(161), nullptr);
    EXPECT_EQ(EntryOf(161)->ActualValueFW, 21);
}

TEST_F(Derived, batterySpinButton_stepsByATenthWithinItsLimits) {
    auto& battery = Edit("EInputsOutputsMinimumBatteryVoltage");
    EXPECT_EQ(battery.Text(), "10,5");
    Up("SBSEInputsOutputsMinimumBatteryVoltage");
    EXPECT_EQ(battery.Text(), "10,6");
    ASSERT_NE(EntryOf(1), nullptr);
    EXPECT_DOUBLE_EQ(EntryOf(1)->ActualValueFW, 10.6);

    form->Commands[1].ActualValueFW = 15.9;
    Up("SBSEInputsOutputsMinimumBatteryVoltage");
    EXPECT_EQ(battery.Text(), "16,0");
    Up("SBSEInputsOutputsMinimumBatteryVoltage");
    EXPECT_EQ(battery.Text(), "16,0");
    EXPECT_DOUBLE_EQ(form->Commands[1].ActualValueFW, 16.0);

    form->Commands[1].ActualValueFW = 6.0;
    battery.SetText("6,0");
    Down("SBSEInputsOutputsMinimumBatteryVoltage");
    EXPECT_EQ(battery.Text(), "6,0");
}

// ------------------------------------------------------------------ coupled timings

TEST_F(Derived, upShiftPreloadRaised_timeoutFollows_andCopyTimeoutAndPreloadAreCaptured) {
    UnitHolds(5, 300); // maximum 400
    UnitHolds(7, 150);
    UnitHolds(25, 180);
    Spin("SEUpShiftActuationPreLoadActuationTime").SetValue(200);
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationTimeout").Value(), 350);
    EXPECT_EQ(Spin("SEUpShiftEngineCutMainCutEngineCutTimeout").Value(), 150);
    EXPECT_EQ(Spin("SEUpShiftHSAStrategyMainSettingsActuationPreload").Value(), 200);
    ASSERT_EQ(EntryCount(), 3);
    EXPECT_EQ(Entry(1).CommandID, 25);
    EXPECT_EQ(Entry(2).CommandID, 5);
    EXPECT_EQ(Entry(2).ActualValueSW, 350);
    EXPECT_EQ(Entry(3).CommandID, 33);
    EXPECT_EQ(Entry(3).ActualValueSW, 200);
}

TEST_F(Derived, upShiftTimeoutAtItsMaximum_cutIsLoweredToWhatIsLeft_andSaidSo) {
    auto& timeout = Spin("SEUpShiftActuationMainLoadActuationTimeout");
    auto& cut = Spin("SEUpShiftEngineCutMainCutEngineCutTimeout");
    form->Commands[5].MaxValueSW = 300;
    UnitHolds(5, 300);
    UnitHolds(7, 150);
    UnitHolds(25, 180);
    Spin("SEUpShiftActuationPreLoadActuationTime").SetValue(200);
    EXPECT_EQ(cut.Value(), 100);
    EXPECT_EQ(timeout.Value(), 300);
    ASSERT_NE(EntryOf(7), nullptr);
    EXPECT_EQ(EntryOf(7)->ActualValueSW, 100);
    EXPECT_EQ(EntryOf(5), nullptr);
    // The cut did not change by the user's hand: the window says which value,
    // from what to what, and why.
    EXPECT_TRUE(Notice().contains("UPCUTTMO")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("150")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("100")) << Notice().toStdString();
    EXPECT_TRUE(Notice().contains("UPPRLTIM")) << Notice().toStdString();
}

TEST_F(Derived, upShiftTimeoutLowered_cutBecomesWhatIsLeft) {
    UnitHolds(5, 300);
    UnitHolds(7, 100);
    UnitHolds(25, 180);
    Spin("SEUpShiftActuationMainLoadActuationTimeout").SetValue(250);
    EXPECT_EQ(Spin("SEUpShiftEngineCutMainCutEngineCutTimeout").Value(), 70);
    ASSERT_NE(EntryOf(7), nullptr);
    EXPECT_EQ(EntryOf(7)->ActualValueSW, 70);
}

TEST_F(Derived, recoveryGroup_keepsItsOwnRule_withoutPreloadCopy) {
    const int upShiftPreload = Spin("SEUpShiftHSAStrategyMainSettingsActuationPreload").Value();
    const int upShiftTimeout = Spin("SEUpShiftActuationMainLoadActuationTimeout").Value();
    UnitHolds(43, 150);
    UnitHolds(32, 90);
    Spin("SERecoveryUpShiftPreLoadActuationTime").SetValue(100);
    EXPECT_EQ(Spin("SERecoveryUpShiftActuationActuationTime").Value(), 190);
    Spin("SERecoveryUpShiftEngineCutEngineCutTime").SetValue(130);
    EXPECT_EQ(Spin("SERecoveryUpShiftActuationActuationTime").Value(), 230);
    EXPECT_EQ(Spin("SEUpShiftHSAStrategyMainSettingsActuationPreload").Value(), upShiftPreload);
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationTimeout").Value(), upShiftTimeout);
    EXPECT_NE(EntryOf(43), nullptr);
    EXPECT_EQ(EntryOf(33), nullptr);
}

// What the unit holds is shown as it holds it, the rule broken or not: only
// an edit runs a rule.
TEST_F(Derived, unitHoldingTimingsThatBreakTheRule_isShownAsItHoldsThem) {
    UnitHolds(5, 200);
    UnitHolds(7, 150);
    UnitHolds(25, 100);
    EXPECT_EQ(Spin("SEUpShiftActuationMainLoadActuationTimeout").Value(), 200);
    EXPECT_EQ(Spin("SEUpShiftEngineCutMainCutEngineCutTimeout").Value(), 150);
    EXPECT_EQ(Spin("SEUpShiftActuationPreLoadActuationTime").Value(), 100);
    EXPECT_EQ(EntryCount(), 0);
    EXPECT_EQ(form->Commands[5].ActualValueFW, 200);
}
