#include "platform/text/TextEncoding.h"

#include <gtest/gtest.h>

using namespace kerrion;

TEST(TextEncoding, RecognisesWellFormedUtf8Only)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("ＶＵメーター 𝄞"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));         // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));     // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE3\x83"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\x83\x81"));         // Shift-JIS
}

TEST(TextEncoding, DecodesShiftJisAndMarksWhatIsNotText)
{
    EXPECT_EQ(DecodeShiftJis("\x93\xfa\x96\x7b"), "日本");
    EXPECT_EQ(DecodeShiftJis("CH\x82\x50"), "CH１");
    EXPECT_EQ(DecodeShiftJis("\xb1\xb2"), "ｱｲ");         // half-width katakana
    const std::string broken = DecodeShiftJis("ab\x81"); // lead byte without its trail byte
    EXPECT_EQ(broken, "ab\xEF\xBF\xBD");
    const std::string junk = DecodeShiftJis(std::string("\xff\xfe\x00\x80\xa0", 5));
    EXPECT_TRUE(IsValidUtf8(junk));
}

TEST(TextEncoding, ProfileTextKeepsUtf8AndDecodesTheRest)
{
    EXPECT_EQ(ProfileTextToUtf8("メイン"), "メイン");
    EXPECT_EQ(ProfileTextToUtf8("\x83\x81\x83\x43\x83\x93"), "メイン");
}

TEST(TextEncoding, TruncationNeverSplitsACharacter)
{
    EXPECT_EQ(TruncateUtf8("日本", 4), "日");
    EXPECT_EQ(TruncateUtf8("日本", 6), "日本");
    EXPECT_EQ(TruncateUtf8("日本", 2), "");
    EXPECT_EQ(TruncateUtf8("abc", 2), "ab");
}
