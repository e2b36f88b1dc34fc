#include "RenderOptions.h"

#include <gtest/gtest.h>

namespace {

RenderOptionsResult Parse(std::vector<std::string> args) { return ParseRenderOptions(args); }

TEST(RenderOptions, DefaultsRenderMeterOneAtFullSize)
{
    const RenderOptionsResult r = Parse({ "--out", "a.png" });
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.meter, 1);
    EXPECT_EQ(r.options.scale, 1.0);
    EXPECT_EQ(r.options.layoutWidth, 0);
    EXPECT_FALSE(r.options.holdDbfs.has_value());
    EXPECT_FALSE(r.options.lamp);
    EXPECT_EQ(r.options.out, "a.png");
}

TEST(RenderOptions, EveryOptionInBothSpellings)
{
    const RenderOptionsResult r = Parse({ "--ini=k.ini", "--meter", "3", "--layout=1920x1080",
        "--scale", "0.6", "--vu", "-3.5", "--peak=-6", "--hold", "-1", "--lamp", "--display-off",
        "--meter-type", "PPM-Din", "--out", "x.png" });
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(*r.options.iniFile, "k.ini");
    EXPECT_EQ(r.options.meter, 3);
    EXPECT_EQ(r.options.layoutWidth, 1920);
    EXPECT_EQ(r.options.layoutHeight, 1080);
    EXPECT_EQ(r.options.scale, 0.6);
    EXPECT_EQ(r.options.vuDb, -3.5);
    EXPECT_EQ(r.options.peakDbfs, -6.0);
    EXPECT_EQ(*r.options.holdDbfs, -1.0);
    EXPECT_TRUE(r.options.lamp);
    EXPECT_TRUE(r.options.displayOff);
    EXPECT_EQ(*r.options.meterType, "ppm-din");
}

TEST(RenderOptions, BadValuesAreRefused)
{
    EXPECT_NE(Parse({ "--meter", "9", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({ "--meter", "1x", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({ "--scale", "0", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({ "--scale", "nan", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({ "--layout", "1920", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({ "--layout", "0x10", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({ "--vu" }).error, "");
    EXPECT_EQ(Parse({ "--meter-type", "ppm", "--out", "a.png" }).error,
        "--meter-type takes vu, vu-iec, ppm-din, ppm-nordic, ppm-bbc, ppm-ebu, not \"ppm\"");
    EXPECT_NE(Parse({ "--frobnicate", "1", "--out", "a.png" }).error, "");
    EXPECT_NE(Parse({}).error, ""); // no output file
    EXPECT_EQ(Parse({ "--help" }).error, "");
}

} // namespace
