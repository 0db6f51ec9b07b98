#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <gtest/gtest.h>
#include <limits>

TEST(Rounding, halvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfToEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfToEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfToEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfToEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfToEven(2.51), 3.0);
    EXPECT_EQ(RoundHalfToEvenInt(12.5), 12);
}

// Any double, from a file or a dump, turns into an int without undefined
// behaviour: the nearest end of the range, or 0 for NaN.
TEST(Rounding, toIntHoldsValuesBeyondTheRangeAtItsEnds) {
    constexpr int max = std::numeric_limits<int>::max();
    constexpr int min = std::numeric_limits<int>::min();
    EXPECT_EQ(RoundHalfToEvenInt(1e308), max);
    EXPECT_EQ(RoundHalfToEvenInt(std::numeric_limits<double>::infinity()), max);
    EXPECT_EQ(RoundHalfToEvenInt(2147483647.4), max);
    EXPECT_EQ(RoundHalfToEvenInt(2147483648.0), max);
    EXPECT_EQ(RoundHalfToEvenInt(-1e308), min);
    EXPECT_EQ(RoundHalfToEvenInt(-2147483649.0), min);
    EXPECT_EQ(RoundHalfToEvenInt(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundHalfToEvenInt(-2147483647.6), -2147483648);
}

TEST(RealToFixedDec, positiveHalvesRoundUpNegativeHalvesTowardsZero) {
    EXPECT_DOUBLE_EQ(RealToFixedDec(2.5, 0), 3.0);
    EXPECT_DOUBLE_EQ(RealToFixedDec(-2.5, 0), -2.0);
    EXPECT_DOUBLE_EQ(RealToFixedDec(1.005, 2), 1.01);
    // The nudge lifts binary values that sit just below the half.
    EXPECT_DOUBLE_EQ(RealToFixedDec(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(RealToFixedDec(4.41 * 1000, 0), 4410.0);
    EXPECT_DOUBLE_EQ(RealToFixedDec(1.23456789, 7), 1.23457); // capped at five decimals
}

TEST(RealToFixedDec, negativeDecimalsRaiseConversionError) {
    EXPECT_THROW(RealToFixedDec(1.0, -1), EConvertError);
    EXPECT_THROW(RealToStrDec(1.0, -1), EConvertError);
}

TEST(RealToStrDec, usesDecimalCommaWithExactDecimals) {
    EXPECT_EQ(RealToStrDec(12.345, 1), QStringLiteral("12,3"));
    EXPECT_EQ(RealToStrDec(7, 0), QStringLiteral("7"));
    EXPECT_EQ(RealToStrDec(0.5, 2), QStringLiteral("0,50"));
    EXPECT_EQ(RealToStrDec(2.675, 2), QStringLiteral("2,68"));
    EXPECT_EQ(RealToStrDec(-2.5, 0), QStringLiteral("-3"));
}

TEST(RealToStrDec, negativeValueRoundingToZeroKeepsItsSign) {
    EXPECT_EQ(RealToStrDec(-0.001, 2), QStringLiteral("-0,00"));
    EXPECT_EQ(RealToStrDec(0.001, 2), QStringLiteral("0,00"));
}

TEST(DotAndComma, onlyTheFirstSeparatorChanges) {
    EXPECT_EQ(StrDotToComma(QStringLiteral("1.234.5")), QStringLiteral("1,234.5"));
    EXPECT_EQ(StrCommaToDot(QStringLiteral("1,5,6")), QStringLiteral("1.5,6"));
    EXPECT_EQ(StrDotToComma(QStringLiteral("15")), QStringLiteral("15"));
}

TEST(StrIsOnlyNumbers, acceptsDigitsSignsSeparatorsAndComparisons) {
    EXPECT_TRUE(StrIsOnlyNumbers(QString()));
    EXPECT_TRUE(StrIsOnlyNumbers(QStringLiteral("43")));
    EXPECT_TRUE(StrIsOnlyNumbers(QStringLiteral("-1,5<=>+.")));
    EXPECT_FALSE(StrIsOnlyNumbers(QStringLiteral("4 3")));
    EXPECT_FALSE(StrIsOnlyNumbers(QStringLiteral("4a")));
}

TEST(StrLeaveOnlyNumbersDotComma, dropsSignsBlanksAndLetters) {
    EXPECT_EQ(StrLeaveOnlyNumbersDotComma(QStringLiteral("-12.5 mV")), QStringLiteral("12.5"));
    EXPECT_EQ(StrLeaveOnlyNumbersDotComma(QStringLiteral("2,35\r\n")), QStringLiteral("2,35"));
    EXPECT_EQ(StrLeaveOnlyNumbersDotComma(QStringLiteral("ERR")), QString());
}

TEST(StrCountOccurrences, countsWithoutOverlapAndOptionallyIgnoresCase) {
    EXPECT_EQ(StrCountOccurrences(QStringLiteral("aa"), QStringLiteral("aaaa"), false), 2);
    EXPECT_EQ(StrCountOccurrences(QStringLiteral("aa"), QStringLiteral("aaa"), false), 1);
    EXPECT_EQ(StrCountOccurrences(QStringLiteral(";"), QStringLiteral("a;b;;c"), false), 3);
    EXPECT_EQ(StrCountOccurrences(QStringLiteral("A"), QStringLiteral("aAa"), false), 1);
    EXPECT_EQ(StrCountOccurrences(QStringLiteral("A"), QStringLiteral("aAa"), true), 3);
    EXPECT_EQ(StrCountOccurrences(QString(), QStringLiteral("abc"), false), 0);
    EXPECT_EQ(StrCountOccurrences(QStringLiteral("a"), QString(), false), 0);
}

TEST(StrAlignFill, fillsOnTheNamedSideAndCuts) {
    EXPECT_EQ(StrAlignFill(QStringLiteral("7"), 3, QStringLiteral("R"), QStringLiteral("0")),
              QStringLiteral("007"));
    EXPECT_EQ(StrAlignFill(QStringLiteral("ab"), 5, QStringLiteral("C"), QStringLiteral(" ")),
              QStringLiteral(" ab  "));
    EXPECT_EQ(StrAlignFill(QStringLiteral("abcdef"), 3, QStringLiteral("L"), QStringLiteral(" ")),
              QStringLiteral("abc"));
    EXPECT_EQ(StrAlignFill(QStringLiteral("x"), 3, QStringLiteral("l"), QStringLiteral("-")),
              QStringLiteral("x--"));
    // A fill text of two characters is added whole until the length is reached.
    EXPECT_EQ(StrAlignFill(QStringLiteral("x"), 4, QStringLiteral("R"), QStringLiteral("ab")),
              QStringLiteral("ababx"));
}

TEST(SplitStringInStrings, keepsInnerEmptyItemsAndDropsTrailingOne) {
    QStringList items{QStringLiteral("stale")};
    SplitStringInStrings(u'&', QStringLiteral("a&b"), items);
    EXPECT_EQ(items, (QStringList{"a", "b"}));
    SplitStringInStrings(u'&', QStringLiteral("a&&b"), items);
    EXPECT_EQ(items, (QStringList{"a", "", "b"}));
    SplitStringInStrings(u'&', QStringLiteral("&a"), items);
    EXPECT_EQ(items, (QStringList{"", "a"}));
    SplitStringInStrings(u'&', QStringLiteral("a&b&"), items);
    EXPECT_EQ(items, (QStringList{"a", "b"}));
    SplitStringInStrings(u'&', QString(), items);
    EXPECT_TRUE(items.isEmpty());
}

TEST(DisplayNumbers, parseCommaTextAndRejectEverythingElse) {
    EXPECT_DOUBLE_EQ(DisplayTextToFloat(QStringLiteral("1,5")), 1.5);
    EXPECT_DOUBLE_EQ(DisplayTextToFloat(QStringLiteral("-0,25")), -0.25);
    EXPECT_DOUBLE_EQ(DisplayTextToFloat(QStringLiteral("12")), 12.0);
    EXPECT_THROW(DisplayTextToFloat(QStringLiteral("1.5")), EConvertError);
    EXPECT_THROW(DisplayTextToFloat(QString()), EConvertError);
    EXPECT_THROW(DisplayTextToFloat(QStringLiteral("1,2,3")), EConvertError);
    EXPECT_THROW(DisplayTextToFloat(QStringLiteral("nan")), EConvertError);
    EXPECT_EQ(DisplayTextToInt(QStringLiteral("-42")), -42);
    EXPECT_THROW(DisplayTextToInt(QStringLiteral("2,0")), EConvertError);
    EXPECT_THROW(DisplayTextToInt(QStringLiteral("99999999999")), EConvertError);
}

TEST(DisplayNumbers, conversionErrorNamesTheText) {
    try {
        DisplayTextToFloat(QStringLiteral("abc"));
        FAIL() << "no error raised";
    } catch (const EConvertError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("'abc'")));
    }
}

TEST(DisplayNumbers, generalFormatDropsTrailingZeros) {
    EXPECT_EQ(FloatToDisplayText(0.5), QStringLiteral("0,5"));
    EXPECT_EQ(FloatToDisplayText(1000), QStringLiteral("1000"));
    EXPECT_EQ(FloatToDisplayText(-3.25), QStringLiteral("-3,25"));
    EXPECT_EQ(FloatToDisplayText(0.1 + 0.2), QStringLiteral("0,3"));
    EXPECT_EQ(FloatToDisplayText(1.5e-7), QStringLiteral("1,5E-7"));
    EXPECT_EQ(FloatToPointText(12.5, 1), QStringLiteral("12.5"));
}

TEST(Cp1252, roundTripsEveryByteAndMapsTheHighRange) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(ToCp1252(FromCp1252(all)), all);
    EXPECT_EQ(FromCp1252(QByteArray("\xB0"
                                    "C")),
              QStringLiteral("\u00B0C"));
    EXPECT_EQ(FromCp1252(QByteArray("\x80")), QStringLiteral("\u20AC"));
    EXPECT_EQ(ToCp1252(QStringLiteral("\u20AC")), QByteArray("\x80"));
    EXPECT_EQ(ToCp1252(QStringLiteral("\u4E2D")), QByteArray("?")); // not in the code page
}

TEST(Cp1252, aCharacterOutsideTheBasicPlaneIsOneQuestionMark_aLoneSurrogateToo) {
    EXPECT_EQ(ToCp1252(QString::fromUtf8("a\xF0\x9F\x98\x80"
                                         "b")),
              QByteArray("a?b"));
    QString lone = QStringLiteral("x");
    lone.append(QChar(char16_t(0xD83D))); // a high surrogate with no low one after it
    lone.append(u'y');
    EXPECT_EQ(ToCp1252(lone), QByteArray("x?y"));
}

// Places are filled once each, whatever the values hold; places without a
// value stay; the English comes from the texts built into the program.
TEST(DetailPhrase, placesFilledOnce_englishFromTheBuiltInTexts) {
    struct Case {
        const char* text;
        QStringList values;
        const char* filled;
    };
    const Case cases[] = {
        {"%1 of %2", {"a", "b"}, "a of b"},      {"%2 before %1", {"x%2", "y"}, "y before x%2"},
        {"%1, %1 and %3", {"v"}, "v, v and %3"}, {"100% sure: %1", {"yes"}, "100% sure: yes"},
        {"no places", {"ignored"}, "no places"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillPhrase(QString::fromUtf8(c.text), c.values), QString::fromUtf8(c.filled))
            << c.text;
    EXPECT_EQ(EnglishText({184, {"ride.csv"}}), "ride.csv is not a live recording");
    EXPECT_TRUE(BuiltInMessageText(9999).isEmpty());
}
