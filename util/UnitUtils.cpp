#include "util/UnitUtils.h"

#include "util/Exceptions.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {

// 10 to the power of Decimals, capped at 100000 as the divisor text "100000"
// allows; a negative count has no divisor.
long double DecimalDivisor(int decimals) {
    if (decimals < 0)
        throw EConvertError(QStringLiteral("'' is not a valid integer value"));
    static const long double divisors[] = {1.0L, 10.0L, 100.0L, 1000.0L, 10000.0L, 100000.0L};
    return divisors[decimals > 5 ? 5 : decimals];
}

constexpr long double RoundingNudge = 0.00000001L;

QString ReplaceFirst(const QString& text, QChar from, QChar to) {
    QString result = text;
    const qsizetype at = result.indexOf(from);
    if (at >= 0)
        result[at] = to;
    return result;
}

// Characters 0x80..0x9F of Windows-1252; 0 marks the five unassigned codes.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString InvalidFloatText(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

} // namespace

double RoundHalfToEven(double value) {
    return std::nearbyint(value); // default rounding mode: to nearest, ties to even
}

int RoundHalfToEvenInt(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = RoundHalfToEven(value);
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

double RealToFixedDec(double value, int decimals) {
    const long double divisor = DecimalDivisor(decimals);
    const long double v = static_cast<long double>(value) + RoundingNudge;
    const long double scaled =
        v > 0 ? std::trunc(v * divisor + 0.5L) : std::trunc(v * divisor - 0.5L);
    return static_cast<double>(scaled / divisor);
}

QString RealToStrDec(double value, int decimals) {
    const long double divisor = DecimalDivisor(decimals);
    const bool negative = value < 0;
    long double v = std::fabs(static_cast<long double>(value)) + RoundingNudge;
    v = std::trunc(v * divisor + 0.5L) / divisor;
    QString text = FloatToFixedDisplayText(static_cast<double>(v), decimals);
    return negative ? QStringLiteral("-") + text : text;
}

QString StrDotToComma(const QString& text) {
    return ReplaceFirst(text, u'.', u',');
}

QString StrCommaToDot(const QString& text) {
    return ReplaceFirst(text, u',', u'.');
}

bool StrIsOnlyNumbers(const QString& text) {
    static const QString allowed = QStringLiteral("0123456789+,-.<=>");
    for (const QChar c : text) {
        if (!allowed.contains(c))
            return false;
    }
    return true;
}

QString StrLeaveOnlyNumbersDotComma(const QString& text) {
    QString result;
    for (const QChar c : text) {
        if ((c >= u'0' && c <= u'9') || c == u'.' || c == u',')
            result += c;
    }
    return result;
}

int StrCountOccurrences(const QString& substring, const QString& text, bool ignoreUppercase) {
    if (substring.isEmpty() || text.isEmpty())
        return 0;
    const QString needle = ignoreUppercase ? substring.toLower() : substring;
    const QString haystack = ignoreUppercase ? text.toLower() : text;
    int count = 0;
    qsizetype from = 0;
    while ((from = haystack.indexOf(needle, from)) >= 0) {
        ++count;
        from += needle.size();
    }
    return count;
}

QString StrAlignFill(const QString& text, int size, const QString& alignment,
                     const QString& fillChar) {
    QString result = text.left(size < 0 ? 0 : size);
    const QString side = alignment.toUpper();
    if (fillChar.isEmpty())
        return result;
    if (side == u"L") {
        while (result.size() < size)
            result += fillChar;
    } else if (side == u"R") {
        while (result.size() < size)
            result = fillChar + result;
    } else if (side == u"C") {
        const int half = (size - static_cast<int>(text.size())) / 2;
        result = StrAlignFill(result, half + static_cast<int>(text.size()), QStringLiteral("R"),
                              fillChar);
        result = StrAlignFill(result, size, QStringLiteral("L"), fillChar);
    }
    return result;
}

void SplitStringInStrings(QChar delimiter, const QString& text, QStringList& items) {
    items.clear();
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == delimiter) {
            items.append(current);
            current.clear();
            continue;
        }
        current += text[i];
        if (i == text.size() - 1)
            items.append(current);
    }
}

double DisplayTextToFloat(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[+-]?(\\d+(,\\d*)?|,\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!pattern.match(text).hasMatch())
        throw EConvertError(InvalidFloatText(text));
    QString point = text.trimmed();
    point.replace(u',', u'.');
    bool ok = false;
    const double value = point.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw EConvertError(InvalidFloatText(text));
    return value;
}

int DisplayTextToInt(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    bool ok = false;
    const int value = pattern.match(text).hasMatch() ? text.trimmed().toInt(&ok) : 0;
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

QString FloatToDisplayText(double value) {
    if (value == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    const qsizetype exponentAt = text.indexOf(u'e');
    if (exponentAt >= 0) {
        // "1.5e-07" -> "1,5E-7", the conventional general-format exponent.
        QString mantissa = text.left(exponentAt);
        const int exponent = text.mid(exponentAt + 1).toInt();
        text = mantissa + QStringLiteral("E") +
               (exponent < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
               QString::number(std::abs(exponent));
    }
    return text.replace(u'.', u',');
}

QString FloatToFixedDisplayText(double value, int decimals) {
    return QString::number(value, 'f', decimals < 0 ? 0 : decimals).replace(u'.', u',');
}

QString FloatToPointText(double value, int decimals) {
    return QString::number(value, 'f', decimals < 0 ? 0 : decimals);
}

QByteArray ToCp1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character outside the basic plane (a surrogate pair) is one
        // character the code page lacks: one "?".
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bytes.append('?');
            ++i;
            continue;
        }
        const char16_t code = text[i].unicode();
        const bool unassignedHigh = code >= 0x80 && code < 0xA0 && Cp1252High[code - 0x80] == 0;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF) || unassignedHigh) {
            bytes.append(static_cast<char>(code));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if (Cp1252High[i] != 0 && Cp1252High[i] == code) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        bytes.append(mapped);
    }
    return bytes;
}

QString FromCp1252(const char* data, int size) {
    QString text;
    text.reserve(size);
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte >= 0x80 && byte < 0xA0) {
            const char16_t mapped = Cp1252High[byte - 0x80];
            text += QChar(mapped != 0 ? mapped : char16_t(byte));
        } else {
            text += QChar(char16_t(byte));
        }
    }
    return text;
}

QString FromCp1252(const QByteArray& bytes) {
    return FromCp1252(bytes.constData(), static_cast<int>(bytes.size()));
}
