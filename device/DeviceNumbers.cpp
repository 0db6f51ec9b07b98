#include "device/DeviceNumbers.h"

#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <cmath>
#include <limits>

namespace {
constexpr double IntMin = static_cast<double>(std::numeric_limits<int>::min());
constexpr double IntMax = static_cast<double>(std::numeric_limits<int>::max());
} // namespace

double WireNumber(const QString& field) {
    return DisplayTextToFloat(StrDotToComma(field));
}

int RoundToIntClamped(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = RoundHalfToEven(value);
    if (rounded <= IntMin)
        return std::numeric_limits<int>::min();
    if (rounded >= IntMax)
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

int RoundToIntChecked(double value) {
    const double rounded = RoundHalfToEven(value);
    if (!(rounded >= IntMin && rounded <= IntMax))
        throw EConvertError(QStringLiteral("%1 is out of range").arg(value));
    return static_cast<int>(rounded);
}
