#pragma once
// Free helpers without state: rounding, number text in the display format
// (decimal comma, fixed), text tests and filters, counting, padding, splitting,
// and the Windows-1252 conversion used wherever 8-bit text crosses a border.
#include <QByteArray>
#include <QString>
#include <QStringList>

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfToEven(double value);
// The same as an int, defined for every double: values beyond the int range
// give its nearest end, NaN gives 0.
int RoundHalfToEvenInt(double value);

// Value rounded to Decimals decimals after a nudge of 1e-8; positive halves round
// up, negative halves towards zero. Negative Decimals raise EConvertError.
double RealToFixedDec(double value, int decimals);
// Value with exactly Decimals decimals in the display format; a negative value
// that rounds to zero keeps its sign ("-0,00").
QString RealToStrDec(double value, int decimals);

// First "." becomes "," / first "," becomes ".".
QString StrDotToComma(const QString& text);
QString StrCommaToDot(const QString& text);

// True when every character is a digit or one of + , - . < = > (empty gives true).
bool StrIsOnlyNumbers(const QString& text);
// Keeps only digits, "." and ",".
QString StrLeaveOnlyNumbersDotComma(const QString& text);
// Non-overlapping occurrences of Substring in Text; 0 when either is empty.
int StrCountOccurrences(const QString& substring, const QString& text, bool ignoreUppercase);
// Cut to Size, then filled with FillChar on the side that Alignment ("L", "R",
// "C") names; for "C" the odd fill goes to the right.
QString StrAlignFill(const QString& text, int size, const QString& alignment,
                     const QString& fillChar);
// Splits at every Delimiter; empty items between delimiters are kept, a trailing
// delimiter adds no item, an empty text gives no item.
void SplitStringInStrings(QChar delimiter, const QString& text, QStringList& items);

// Display number format: decimal comma, no thousands separator, never the locale.
// Parsing accepts an optional sign and surrounding blanks; anything else raises
// EConvertError naming the text.
double DisplayTextToFloat(const QString& text);
int DisplayTextToInt(const QString& text);
// General format with 15 significant digits, trailing zeros dropped, scientific
// only for very large or small magnitudes, decimal comma.
QString FloatToDisplayText(double value);
// Fixed format with Decimals decimals and a decimal comma (no rounding nudge).
QString FloatToFixedDisplayText(double value, int decimals);
// Point text for the GCU: fixed Decimals decimals with a decimal point.
QString FloatToPointText(double value, int decimals);

// Windows-1252 at every 8-bit border (files, records, frames on the wire). A
// character the code page lacks, inside the basic plane or outside it, is one
// "?".
QByteArray ToCp1252(const QString& text);
QString FromCp1252(const QByteArray& bytes);
QString FromCp1252(const char* data, int size);
