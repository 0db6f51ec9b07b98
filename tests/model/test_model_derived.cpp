// Derived values without a widget: RPM factor, re-expressed RPM values, gear
// ratios, down-shift limits, barrel degrees, spin-button steps and the coupled
// timing rule.
#include "model/CommandTable.h"
#include "model/DerivedValues.h"

#include <gtest/gtest.h>

namespace {

TCommandRecord RpmRow(double displayValue) {
    TCommandRecord row;
    row.MeasureUnitFW = "Hz";
    row.MeasureUnitSW = "RPM";
    row.ActualValueSW = displayValue;
    return row;
}

} // namespace

TEST(RPMFactor, followsDivisorAndTimesTwo) {
    EXPECT_EQ(RPMFactorFor(1, 0), 60);
    EXPECT_EQ(RPMFactorFor(2, 0), 30);
    EXPECT_EQ(RPMFactorFor(2, 1), 60);
    EXPECT_EQ(RPMFactorFor(0, 0), 60);
    EXPECT_EQ(RPMFactorFor(0, 1), 120);
    EXPECT_EQ(RPMFactorFor(4, 0), 15);
    EXPECT_EQ(RPMFactorFor(3, 1), 40);
    // A divisor so large that the factor would round to 0 keeps a factor of 1.
    EXPECT_EQ(RPMFactorFor(500, 0), 1);
}

TEST(RPMFactor, onlyHzShownAsRPMIsAnRPMParameter) {
    EXPECT_TRUE(IsRPMParameter(RpmRow(0)));
    TCommandRecord millivolts = RpmRow(0);
    millivolts.MeasureUnitFW = "V";
    EXPECT_FALSE(IsRPMParameter(millivolts));
}

TEST(RPMFactor, reexpressedValueSnapsToWhatTheFirmwareValueSays) {
    TCommandRecord row = RpmRow(12010);
    EXPECT_TRUE(ReexpressRPMParameter(row, 60));
    EXPECT_EQ(row.ActualValueSW, 12000);
    EXPECT_EQ(row.ActualValueFW, 200);
    EXPECT_EQ(row.FWtoSWFactor, 60);
    EXPECT_EQ(row.StepValueSW, 60);

    row = RpmRow(12040);
    EXPECT_TRUE(ReexpressRPMParameter(row, 60));
    EXPECT_EQ(row.ActualValueSW, 12060);
    EXPECT_EQ(row.ActualValueFW, 201);

    row = RpmRow(100);
    EXPECT_FALSE(ReexpressRPMParameter(row, 60));
    EXPECT_EQ(row.ActualValueSW, 100);

    row = RpmRow(20); // firmware value 0
    EXPECT_TRUE(ReexpressRPMParameter(row, 60));
    EXPECT_EQ(row.ActualValueSW, 0);

    row = RpmRow(13500); // a new factor keeps a value it can express
    EXPECT_FALSE(ReexpressRPMParameter(row, 30));
    EXPECT_EQ(row.ActualValueFW, 450);
}

TEST(GearRatios, ratioWithTwoDecimalsOnlyForTwoToothCounts) {
    EXPECT_EQ(GearRatioText(12, 30), QStringLiteral("2,50"));
    EXPECT_EQ(GearRatioText(17, 32), QStringLiteral("1,88"));
    EXPECT_FALSE(GearRatioText(0, 30));
    EXPECT_FALSE(GearRatioText(12, 0));
}

TEST(GearRatios, downShiftLimitIsCutToAWholeMultipleOfTheFactor) {
    EXPECT_EQ(DownShiftLimit(6500, 1.5, 1.2, 60), 5160);
    EXPECT_EQ(DownShiftLimit(6500, 1.5, 1.2, 30), 5190);
    EXPECT_EQ(DownShiftLimit(6000, 1.0, 1.0, 60), 6000);
    EXPECT_FALSE(DownShiftLimit(6500, 0, 1.2, 60));
}

TEST(BarrelDegrees, millivoltsOverTheSensorRange) {
    EXPECT_EQ(BarrelDegrees(1000, 500, 4500), 90);
    EXPECT_EQ(BarrelDegrees(4500, 500, 4500), 405); // the minimum is not subtracted
    EXPECT_FALSE(BarrelDegrees(1000, 4500, 4500));
    EXPECT_FALSE(BarrelDegrees(1000, 4500, 500));
}

TEST(SpinButtons, rpmStepStaysWithinTheFirmwareLimits) {
    TCommandRecord limiter;
    limiter.MinValueFW = 50;
    limiter.MaxValueFW = 350;
    limiter.StepValueFW = 1;
    limiter.ActualValueFW = 349;
    EXPECT_EQ(RPMSpinStep(limiter, true), 350);
    limiter.ActualValueFW = 350;
    EXPECT_FALSE(RPMSpinStep(limiter, true));
    EXPECT_EQ(RPMSpinStep(limiter, false), 349);
    limiter.ActualValueFW = 50;
    EXPECT_FALSE(RPMSpinStep(limiter, false));
}

TEST(SpinButtons, decimalStepComparesBeforeRoundingAndRoundsToTheDigits) {
    TCommandRecord battery;
    battery.MinValueFW = 6;
    battery.MaxValueFW = 16;
    battery.StepValueFW = 0.1;
    battery.DigitsValueFW = 1;
    battery.ActualValueFW = 10.5;
    EXPECT_DOUBLE_EQ(*DecimalSpinStep(battery, true), 10.6);
    battery.ActualValueFW = 15.9;
    EXPECT_DOUBLE_EQ(*DecimalSpinStep(battery, true), 16.0);
    battery.ActualValueFW = 16.0;
    EXPECT_FALSE(DecimalSpinStep(battery, true));
    battery.ActualValueFW = 6.0;
    EXPECT_FALSE(DecimalSpinStep(battery, false));
}

TEST(CoupledTimings, timeoutFollowsUnlessAtItsMaximumThenTheCutGivesWay) {
    // M >= A + C holds: nothing to do.
    TimingCorrection none = CoupledTimingCorrection({180, 150, 350, 400}, TimingRole::Preload);
    EXPECT_FALSE(none.cut);
    EXPECT_FALSE(none.timeout);
    // A raised: M grows to A + C.
    TimingCorrection grow = CoupledTimingCorrection({200, 150, 300, 400}, TimingRole::Preload);
    EXPECT_EQ(grow.timeout, 350);
    EXPECT_FALSE(grow.cut);
    // M at its maximum: C goes down one step.
    TimingCorrection cut = CoupledTimingCorrection({200, 150, 300, 300}, TimingRole::Cut);
    EXPECT_EQ(cut.cut, 149);
    EXPECT_FALSE(cut.timeout);
    // M lowered: C becomes what is left after A.
    TimingCorrection shorter = CoupledTimingCorrection({180, 150, 250, 400}, TimingRole::Timeout);
    EXPECT_EQ(shorter.cut, 70);
    EXPECT_FALSE(shorter.timeout);
}
