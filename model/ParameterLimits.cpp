#include "model/ParameterLimits.h"

#include "model/CommandTable.h"
#include "util/UnitUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// Frames carry at most five decimals (the rounding helpers stop there).
int FrameDigits(int digits) {
    return std::clamp(digits, 0, 5);
}

// Beyond this a value has no exact text with five decimals in a double.
constexpr double LargestWritable = 1e12;

} // namespace

std::optional<long long> FirmwareValueUnits(double value, int digits) {
    if (!std::isfinite(value) || std::fabs(value) > LargestWritable)
        return std::nullopt;
    const int d = FrameDigits(digits);
    return std::llround(RealToFixedDec(value, d) * std::pow(10.0, d));
}

std::optional<LimitRefusal> CheckFirmwareLimits(const TCommandRecord& row, double firmwareValue) {
    const std::optional<long long> value = FirmwareValueUnits(firmwareValue, row.DigitsValueFW);
    const std::optional<long long> minimum = FirmwareValueUnits(row.MinValueFW, row.DigitsValueFW);
    const std::optional<long long> maximum = FirmwareValueUnits(row.MaxValueFW, row.DigitsValueFW);
    if (value && minimum && maximum && *value >= *minimum && *value <= *maximum)
        return std::nullopt;
    LimitRefusal refusal;
    refusal.commandId = row.ID;
    refusal.command = row.Command;
    refusal.description = row.Description;
    refusal.unit = row.MeasureUnitFW;
    refusal.value = firmwareValue;
    refusal.minimum = row.MinValueFW;
    refusal.maximum = row.MaxValueFW;
    refusal.digits = FrameDigits(row.DigitsValueFW);
    return refusal;
}

EValueOutOfLimits::EValueOutOfLimits(const LimitRefusal& refusal)
    : QvException(QStringLiteral("%1 (%2): %3 is outside its limits %4 .. %5")
                      .arg(refusal.command, refusal.description,
                           RefusalNumberText(refusal.value, refusal.digits),
                           RefusalNumberText(refusal.minimum, refusal.digits),
                           RefusalNumberText(refusal.maximum, refusal.digits))),
      refusal_(refusal) {}

QString ParameterWriteText(const QString& word, const TCommandRecord& row, double firmwareValue) {
    if (const std::optional<LimitRefusal> refusal = CheckFirmwareLimits(row, firmwareValue))
        throw EValueOutOfLimits(*refusal);
    const QString value = StrCommaToDot(RealToStrDec(firmwareValue, row.DigitsValueFW));
    return QLatin1Char('[') + word + QLatin1Char(' ') + value + QLatin1String("]\r\n");
}

QString RefusalNumberText(double value, int digits) {
    if (!std::isfinite(value) || std::fabs(value) > LargestWritable)
        return FloatToDisplayText(value);
    return RealToStrDec(value, FrameDigits(digits));
}
