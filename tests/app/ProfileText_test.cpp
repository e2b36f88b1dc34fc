#include "app/ProfileText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

using namespace kerrion;

TEST(ProfileText, IntegerReadsLeadingDigitsOnly)
{
    EXPECT_EQ(ParseProfileInt("42"), 42);
    EXPECT_EQ(ParseProfileInt("  \t42abc"), 42);
    EXPECT_EQ(ParseProfileInt("-7"), -7);
    EXPECT_EQ(ParseProfileInt("+5"), 5);
    EXPECT_EQ(ParseProfileInt("3.9"), 3);
    EXPECT_EQ(ParseProfileInt("abc"), 0);
    EXPECT_EQ(ParseProfileInt(""), 0);
    EXPECT_EQ(ParseProfileInt("- 5"), 0);
}

TEST(ProfileText, IntegerSaturatesBeyondTheRangeOfInt)
{
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    EXPECT_EQ(ParseProfileInt("2147483647"), kMax);
    EXPECT_EQ(ParseProfileInt("2147483648"), kMax);
    EXPECT_EQ(ParseProfileInt("99999999999999999999999999"), kMax);
    EXPECT_EQ(ParseProfileInt("-2147483648"), kMin);
    EXPECT_EQ(ParseProfileInt("-2147483649"), kMin);
    EXPECT_EQ(ParseProfileInt("-99999999999999999999999999"), kMin);
}

TEST(ProfileText, DecimalReadsMantissaAndExponent)
{
    EXPECT_DOUBLE_EQ(ParseProfileDouble("-20.0"), -20.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble(" 1.8 "), 1.8);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("1.5e2x"), 150.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("2E-1"), 0.2);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("1e"), 1.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("1e+"), 1.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("-5."), -5.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("12,5"), 12.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(ParseProfileDouble("."), 0.0);
}

TEST(ProfileText, DecimalNeverYieldsInfinityOrNan)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    EXPECT_EQ(ParseProfileDouble("1e999"), kMax);
    EXPECT_EQ(ParseProfileDouble("-1e999"), -kMax);
    EXPECT_EQ(ParseProfileDouble(std::string(400, '9')), kMax);
    EXPECT_EQ(ParseProfileDouble("1e-999"), 0.0);
    EXPECT_EQ(ParseProfileDouble("inf"), 0.0);
    EXPECT_EQ(ParseProfileDouble("nan"), 0.0);
    EXPECT_EQ(ParseProfileDouble("0x10"), 0.0);
}

TEST(ProfileText, ListSkipsEmptyPieces)
{
    using Pieces = std::vector<std::string_view>;
    EXPECT_EQ(SplitProfileList("1,,2"), (Pieces { "1", "2" }));
    EXPECT_EQ(SplitProfileList(",a,"), (Pieces { "a" }));
    EXPECT_EQ(SplitProfileList("a, b"), (Pieces { "a", " b" }));
    EXPECT_TRUE(SplitProfileList("").empty());
    EXPECT_TRUE(SplitProfileList(",,,").empty());
}

TEST(ProfileText, FixedFormatMatchesPrintf)
{
    EXPECT_EQ(FormatFixed(-20.0, 6), "-20.000000");
    EXPECT_EQ(FormatFixed(0.0, 6), "0.000000");
    EXPECT_EQ(FormatFixed(60.0, 1), "60.0");
    EXPECT_EQ(FormatFixed(-3.25, 6), "-3.250000");
    char expected[400];
    std::snprintf(expected, sizeof expected, "%lf", 1e300);
    EXPECT_EQ(FormatFixed(1e300, 6), expected);
    EXPECT_EQ(FormatShortest(1.8), "1.8");
    EXPECT_EQ(FormatShortest(88.0), "88");
}
