#include "display/GeometryPrint.h"
#include "display/geometry/MeterLayout.h"

#include <gtest/gtest.h>

using namespace kerrion;

namespace {

TEST(MeterLayout, FourMetersOnAFullHdMonitor)
{
    const MeterLayout l = ComputeLayout(1920, 1080, 4);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.columns, 2);
    EXPECT_EQ(l.w, 816);
    EXPECT_DOUBLE_EQ(l.s, 0.6);
    EXPECT_EQ(l.h, 460);
    EXPECT_EQ(MeterOrigin(l, 0), (PointI { 115, 81 }));
    EXPECT_EQ(MeterOrigin(l, 1), (PointI { 1007, 81 }));
    EXPECT_EQ(MeterOrigin(l, 2), (PointI { 115, 595 }));
    EXPECT_EQ(MeterOrigin(l, 3), (PointI { 1007, 595 }));
}

TEST(MeterLayout, EightMetersUseFourColumns)
{
    const MeterLayout l = ComputeLayout(1920, 1080, 8);
    EXPECT_EQ(l.columns, 4);
    EXPECT_EQ(l.w, 408);
    EXPECT_DOUBLE_EQ(l.s, 0.3);
    EXPECT_EQ(l.h, 230);
    EXPECT_EQ(MeterOrigin(l, 0), (PointI { 67, 108 }));
    EXPECT_EQ(MeterOrigin(l, 4).y, 108 + 230 + 108);
}

TEST(MeterLayout, PortraitMonitorStacksOneColumn)
{
    const MeterLayout l = ComputeLayout(1080, 1920, 4);
    EXPECT_EQ(l.columns, 1);
    EXPECT_EQ(l.w, 612);
    EXPECT_DOUBLE_EQ(l.s, 0.45);
    EXPECT_EQ(l.h, 345);
    const int ys[] = { 96, 479, 862, 1245 };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(MeterOrigin(l, i), (PointI { 216, ys[i] })) << i;
    EXPECT_EQ(ComputeLayout(1080, 1920, 6).columns, 2);
}

TEST(MeterLayout, SingleMeterFillsTheAreaAndTooManyLayNothing)
{
    const MeterLayout one = ComputeLayout(1360, 768, 1);
    EXPECT_EQ(one.w, 1360);
    EXPECT_EQ(one.h, 768);
    EXPECT_EQ(one.s, 1.0);
    EXPECT_EQ(MeterOrigin(one, 0), (PointI { 0, 0 }));
    EXPECT_EQ(ComputeLayout(1920, 1080, 0).columns, 2);
    EXPECT_EQ(ComputeLayout(1920, 1080, -3).columns, 2);
    EXPECT_FALSE(ComputeLayout(1920, 1080, 9).valid);
    EXPECT_EQ(MeterOrigin(ComputeLayout(1920, 1080, 9), 2), (PointI { 0, 0 }));
}

} // namespace
