#pragma once
// Numbers in the GCU's text: point decimals read in the display number format,
// and rounding that stays defined for any value a device may send.
#include <QString>

// The first "." made a comma, then parsed; raises EConvertError when not a number.
double WireNumber(const QString& field);
// Nearest integer, halves to even, limited to the int range (NaN gives 0).
int RoundToIntClamped(double value);
// Nearest integer, halves to even; raises EConvertError outside the int range.
int RoundToIntChecked(double value);
