// The number readers every driver plug-in uses for its settings file.

#include "DriverIni.h"

#include <gtest/gtest.h>

using kerrion::driver::IniInteger;
using kerrion::driver::IniNumber;
using kerrion::driver::IniSection;

TEST(DriverIni, NumbersThatAreMissingMalformedOrNotFiniteGiveTheFallback)
{
    const IniSection section { { "rate", "44100.5 Hz" }, { "word", "fast" }, { "nan", "nan" },
        { "inf", "-inf" }, { "huge", "1e400" }, { "empty", "" } };
    EXPECT_DOUBLE_EQ(IniNumber(section, "rate", 1.0), 44100.5);
    for (const char* key : { "word", "nan", "inf", "huge", "empty", "missing" })
        EXPECT_DOUBLE_EQ(IniNumber(section, key, 7.5), 7.5) << key;
}

TEST(DriverIni, IntegersAreCutAndHeldWithinTheirBounds)
{
    const IniSection section { { "frames", "512.9" }, { "big", "1e300" }, { "small", "-1e300" },
        { "negative", "-3.7" }, { "nan", "nan" } };
    EXPECT_EQ(IniInteger(section, "frames", 64, 16, 16384), 512);
    EXPECT_EQ(IniInteger(section, "big", 64, 16, 16384), 16384);
    EXPECT_EQ(IniInteger(section, "small", 64, 16, 16384), 16);
    EXPECT_EQ(IniInteger(section, "negative", 0, -10, 10), -3);
    EXPECT_EQ(IniInteger(section, "nan", 64, 16, 16384), 64);
    EXPECT_EQ(IniInteger(section, "missing", 1, 0, 8), 1);
}
