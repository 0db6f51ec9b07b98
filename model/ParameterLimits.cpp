#include "model/ParameterLimits.h"

#include "model/CommandTable.h"
#include "model/UnitValues.h"
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

QVector<LimitRefusal> UnitValuesOutsideLimits(const CommandTable& table, const UnitValues& unit,
                                              const std::function<bool(int id)>& shown) {
    QVector<LimitRefusal> outside;
    for (auto it = unit.fw.cbegin(); it != unit.fw.cend(); ++it) {
        if (!CommandTable::IsValidId(it.key()) || (shown && !shown(it.key())))
            continue;
        if (const std::optional<LimitRefusal> refusal =
                CheckFirmwareLimits(table[it.key()], it.value()))
            outside.append(*refusal);
    }
    return outside;
}

OutsideLimitsText OutsideLimitsDisplayText(const CommandTable& table, const LimitRefusal& outside,
                                           int rpmFactor) {
    const int id = outside.commandId;
    const int digits = table[id].DigitsValueSW;
    // A value no scaling can hold is shown as the unit sent it.
    const auto shown = [&](double fw) {
        try {
            const double sw = FWValueToSWValue(table, id, fw, rpmFactor);
            if (std::isfinite(sw))
                return RefusalNumberText(sw, digits);
        } catch (const EConvertError&) {
        }
        return RefusalNumberText(fw, outside.digits);
    };
    return {shown(outside.value), shown(outside.minimum), shown(outside.maximum)};
}

QStringList OutsideLimitsLines(const CommandTable& table, const QVector<LimitRefusal>& outside,
                               int rpmFactor) {
    QStringList lines;
    for (const LimitRefusal& value : outside) {
        const OutsideLimitsText text = OutsideLimitsDisplayText(table, value, rpmFactor);
        lines << QStringLiteral("%1 - %2: %3 (%4 .. %5)")
                     .arg(value.command, value.description, text.value, text.minimum, text.maximum);
    }
    return lines;
}
