#include "model/DerivedValues.h"

#include "model/CommandTable.h"
#include "model/ParameterLimits.h"
#include "util/UnitUtils.h"

#include <cmath>
#include <limits>

namespace {

// Rounds to a 64-bit integer; nothing for values beyond its range or NaN.
std::optional<qint64> RoundToInt64(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = RoundHalfToEven(value);
    constexpr double limit = 9.2e18; // inside the range of qint64
    if (rounded > limit || rounded < -limit)
        return std::nullopt;
    return static_cast<qint64>(rounded);
}

} // namespace

int RPMFactorFor(double divisor, double times2) {
    int factor = 60;
    if (divisor > 0)
        factor = std::max(1, RoundHalfToEvenInt(60.0 / divisor));
    if (times2 == 1)
        factor *= 2;
    return factor;
}

int RPMFactorOfTable(const CommandTable& table) {
    return RPMFactorFor(table[RPMDivisorId].ActualValueSW, table[RPMTimes2Id].ActualValueSW);
}

bool IsRPMParameter(const TCommandRecord& row) {
    return row.MeasureUnitFW == QLatin1String("Hz") && row.MeasureUnitSW == QLatin1String("RPM");
}

void SetRPMScale(TCommandRecord& row, int factor) {
    row.FWtoSWFactor = factor;
    row.StepValueSW = factor;
    // The display limits say what the GCU's limits are in RPM at this factor.
    row.MinValueSW = row.MinValueFW * factor;
    row.MaxValueSW = row.MaxValueFW * factor;
}

bool ReexpressRPMParameter(TCommandRecord& row, int factor) {
    SetRPMScale(row, factor);
    row.ActualValueFW = RoundHalfToEven(row.ActualValueSW / factor);
    // The display value snaps to a whole multiple of the firmware value, so
    // that it says what the GCU will hold.
    const double oldValue = RoundHalfToEven(row.ActualValueSW);
    double newValue = 0;
    if (row.ActualValueFW != 0)
        newValue =
            RoundHalfToEven(RoundHalfToEven(oldValue / row.ActualValueFW) * row.ActualValueFW);
    if (newValue == oldValue)
        return false;
    row.ActualValueSW = newValue;
    return true;
}

std::optional<QString> GearRatioText(int primaryTeeth, int secondaryTeeth) {
    if (primaryTeeth <= 0 || secondaryTeeth <= 0)
        return std::nullopt;
    return RealToStrDec(double(secondaryTeeth) / double(primaryTeeth), 2);
}

std::optional<qint64> DownShiftLimit(int limiter, double ratioBelow, double ratio, int factor) {
    if (ratioBelow == 0 || factor <= 0)
        return std::nullopt;
    const std::optional<qint64> rpm = RoundToInt64(limiter / ratioBelow * ratio);
    if (!rpm)
        return std::nullopt;
    return *rpm / factor * factor;
}

std::optional<qint64> BarrelDegrees(int millivolts, int sensorMinimum, int sensorMaximum) {
    if (sensorMaximum <= sensorMinimum)
        return std::nullopt;
    const double degreesPerMillivolt = 360.0 / (double(sensorMaximum) - double(sensorMinimum));
    return RoundToInt64(millivolts * degreesPerMillivolt);
}

std::optional<int> RPMSpinStep(const TCommandRecord& row, bool up) {
    const double stepped =
        up ? row.ActualValueFW + row.StepValueFW : row.ActualValueFW - row.StepValueFW;
    const std::optional<qint64> next = RoundToInt64(stepped);
    const std::optional<qint64> minimum = RoundToInt64(row.MinValueFW);
    const std::optional<qint64> maximum = RoundToInt64(row.MaxValueFW);
    if (!next || !minimum || !maximum)
        return std::nullopt;
    if (up ? *next > *maximum : *next < *minimum)
        return std::nullopt;
    if (*next > std::numeric_limits<int>::max() || *next < std::numeric_limits<int>::min())
        return std::nullopt;
    return int(*next);
}

std::optional<double> DecimalSpinStep(const TCommandRecord& row, bool up) {
    const double stepped =
        up ? row.ActualValueFW + row.StepValueFW : row.ActualValueFW - row.StepValueFW;
    const double next = RealToFixedDec(stepped, std::max(0, row.DigitsValueFW));
    // Compared as the GCU would be sent it: a step onto a limit is taken.
    if (CheckFirmwareLimits(row, next))
        return std::nullopt;
    return next;
}

TimingCorrection CoupledTimingCorrection(const TimingGroup& group, TimingRole changed) {
    TimingCorrection correction;
    if (group.timeout >= group.preload + group.cut)
        return correction;
    if (changed == TimingRole::Timeout) {
        correction.cut = group.timeout - group.preload;
    } else if (group.timeout == group.timeoutMax) {
        // The timeout cannot grow: the cut gives way, one step per change.
        correction.cut = group.cut - 1;
    } else {
        correction.timeout = group.preload + group.cut;
    }
    return correction;
}
