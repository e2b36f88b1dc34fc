// Needle type keys: every type survives a round trip through its key; anything else is the VU.

#include "meter/NeedleType.h"

#include <gtest/gtest.h>

using kerrion::NeedleType;

TEST(NeedleType, KeysRoundTripAndUnknownKeysAreTheVu)
{
    for (NeedleType type : kerrion::kNeedleTypes)
        EXPECT_EQ(kerrion::ParseNeedleType(kerrion::NeedleTypeName(type)), type);
    EXPECT_STREQ(kerrion::NeedleTypeName(NeedleType::kPpmNordic), "ppm-nordic");
    EXPECT_EQ(kerrion::ParseNeedleType("PPM-BBC"), NeedleType::kPpmBbc);
    for (const char* other : { "", "ppm", "vu-iec ", "ppm-din2" })
        EXPECT_EQ(kerrion::ParseNeedleType(other), NeedleType::kVu) << other;
}
