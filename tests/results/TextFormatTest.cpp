#include "results/uTextFormat.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kalvex;

TEST(FormatNumber, FixedThreeDecimals) {
    EXPECT_EQ(FormatNumber(0.0), "0.000");
    EXPECT_EQ(FormatNumber(1.0), "1.000");
    EXPECT_EQ(FormatNumber(0.1), "0.100");
    EXPECT_EQ(FormatNumber(-2.5), "-2.500");
    EXPECT_EQ(FormatNumber(0.0001), "0.000");
    EXPECT_EQ(FormatNumber(-0.0001), "0.000");
    EXPECT_EQ(FormatNumber(0.0123456), "0.012");
    EXPECT_EQ(FormatNumber(1.0, ','), "1,000");
}

TEST(FormatNumber, RoundsToSixSignificantDigitsFirst) {
    // 1234.5678 has six significant digits 1234.57, so the third decimal is 0.
    EXPECT_EQ(FormatNumber(1234.5678), "1234.570");
    EXPECT_EQ(FormatNumber(99999.96), "100000.000");
    EXPECT_EQ(FormatNumber(999999.0), "999999.000");
}

TEST(FormatNumber, ExponentPastSixIntegerDigits) {
    EXPECT_EQ(FormatNumber(1234567.0), "1.23457E+006");
    EXPECT_EQ(FormatNumber(-1e10, ','), "-1,00000E+010");
    EXPECT_EQ(FormatNumber(999999.6), "1.00000E+006");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(Cp1251, CyrillicAsciiAndUnknown) {
    EXPECT_EQ(Utf8ToCp1251("abc 1:"), "abc 1:");
    EXPECT_EQ(Utf8ToCp1251("А"), "\xC0");
    EXPECT_EQ(Utf8ToCp1251("я"), "\xFF");
    EXPECT_EQ(Utf8ToCp1251("Ёё"), "\xA8\xB8");
    EXPECT_EQ(Utf8ToCp1251("№"), "\xB9");
    EXPECT_EQ(Utf8ToCp1251("€"), "\x88");
    EXPECT_EQ(Utf8ToCp1251("中"), "?");
    // A broken sequence costs one byte and decoding goes on.
    EXPECT_EQ(Utf8ToCp1251(std::string("\xD0") + "a"), "?a");
    EXPECT_EQ(Utf8ToCp1251("Комментарии к результатам моделирования:").size(), 40u);
}
