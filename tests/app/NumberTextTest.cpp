#include "app/uNumberText.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace kalvex;

// The same numbers read and write in the locale the test runs under.
TEST(NumberTextTest, FollowsTheLocaleBothWays) {
    const QString Sep = QLocale().decimalPoint();
    EXPECT_EQ(NumberText(0.1), "0" + Sep + "100");
    EXPECT_EQ(NumberText(-2.0), "-2" + Sep + "000");
    EXPECT_EQ(*ParseNumber(" 0" + Sep + "05 "), 0.05);
    EXPECT_FALSE(ParseNumber("abc").has_value());
    EXPECT_FALSE(ParseNumber("").has_value());
    // The other separator is not a number in this locale.
    const QString Other = Sep == "," ? "0.5" : "0,5";
    EXPECT_FALSE(ParseNumber(Other).has_value());
    EXPECT_EQ(*ParseInteger("21"), 21);
    EXPECT_FALSE(ParseInteger("2.5").has_value());
}
