#pragma once
// Values that follow from other values, without a widget: the RPM factor and
// the re-expression of RPM parameters with it, gear ratios and down-shift
// limits, barrel degrees, the firmware steps of the spin buttons, and the
// coupled timing rule (actuation timeout never shorter than pre-load plus cut).
#include <QString>
#include <QtGlobal>
#include <optional>

struct TCommandRecord;
class CommandTable;

// The commands the RPM factor follows.
constexpr int RPMDivisorId = 46;
constexpr int RPMTimes2Id = 76;

// Display RPM per firmware unit: 60 / divisor (rounded, halves to even), 60
// when the divisor is not above 0, doubled when "x 2" is 1. Never below 1, so
// that no RPM value is ever divided by zero.
int RPMFactorFor(double divisor, double times2);
// The factor of the table's divisor and "x 2" display values.
int RPMFactorOfTable(const CommandTable& table);

// Commands whose GCU value is a frequency shown as RPM.
bool IsRPMParameter(const TCommandRecord& row);

// An RPM row's scaling, step and display limits at Factor (the GCU's limits
// in RPM); its values are left as they are.
void SetRPMScale(TCommandRecord& row, int factor);
// Re-expresses an RPM row with Factor: its firmware value, scaling, step and
// display limits follow the factor, and its display value snaps to what the
// firmware value can express. Returns true when the display value changed.
bool ReexpressRPMParameter(TCommandRecord& row, int factor);

// Secondary over primary teeth with two decimals in the display format;
// nothing unless both counts are above 0.
std::optional<QString> GearRatioText(int primaryTeeth, int secondaryTeeth);

// The RPM at which a down-shift into a gear is allowed: the limiter carried
// over from the gear below (ratio RatioBelow) into the gear (ratio Ratio), cut
// down to a whole multiple of Factor. Nothing when the ratio below is 0 or the
// result does not fit.
std::optional<qint64> DownShiftLimit(int limiter, double ratioBelow, double ratio, int factor);

// Degrees of the barrel for Millivolts over the sensor range; nothing when the
// maximum is not above the minimum.
std::optional<qint64> BarrelDegrees(int millivolts, int sensorMinimum, int sensorMaximum);

// One step of an RPM spin button: the firmware value rounded after the step,
// nothing when it would leave the row's firmware limits.
std::optional<int> RPMSpinStep(const TCommandRecord& row, bool up);
// One step of a decimal spin button, rounded to the row's firmware digits;
// nothing when that leaves the row's firmware limits.
std::optional<double> DecimalSpinStep(const TCommandRecord& row, bool up);

// The coupled timing group: pre-load time A, engine-cut time C, actuation
// timeout M (with its maximum). M >= A + C is kept.
struct TimingGroup {
    int preload = 0;    // A
    int cut = 0;        // C
    int timeout = 0;    // M
    int timeoutMax = 0; // the largest M its control takes
};
enum class TimingRole { Preload, Cut, Timeout };
// What the rule writes after Changed changed: a new C or a new M (at most one).
struct TimingCorrection {
    std::optional<int> cut;
    std::optional<int> timeout;
};
TimingCorrection CoupledTimingCorrection(const TimingGroup& group, TimingRole changed);
