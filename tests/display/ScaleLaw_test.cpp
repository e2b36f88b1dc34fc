#include "display/geometry/ScaleLaw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kerrion;

namespace {

constexpr double kDegree = 3.14159 / 180.0;

TEST(ScaleLaw, VuLawHitsThePrintedMarks)
{
    EXPECT_NEAR(VuDbToScalePos(-20.0), 1.9, 1e-9);
    EXPECT_NEAR(VuDbToScalePos(0.0), 57.36, 0.005);
    EXPECT_NEAR(VuDbToScalePos(3.0), 88.0, 1e-9);
    // The default table follows the law to within a fifth of a degree at every mark.
    const double marks[] = { -20, -10, -7, -6, -5, -4, -3, -2, -1, -0.5, 0, 0.5, 1, 2, 3 };
    const double table[]
        = { 1.9, 12.9, 20.5, 23.9, 27.7, 32.2, 37.2, 43.0, 49.7, 53.5, 57.4, 61.7, 66.3, 76.5, 88 };
    for (size_t i = 0; i < std::size(marks); ++i)
        EXPECT_NEAR(VuDbToScalePos(marks[i]), table[i], 0.2) << marks[i] << " VU";
}

TEST(ScaleLaw, VuLawClampsToZeroAndNinety)
{
    EXPECT_EQ(VuDbToScalePos(10.0), 90.0);
    EXPECT_EQ(VuDbToScalePos(-40.0), 0.0);
    EXPECT_EQ(VuDbToScalePos(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(VuDbToScalePos(std::numeric_limits<double>::infinity()), 90.0);
    EXPECT_EQ(VuDbToScalePos(std::nan("")), 0.0);
    // Just past +3 VU the needle is still free; the law is monotonic.
    EXPECT_GT(VuDbToScalePos(3.1), 88.0);
    EXPECT_LT(VuDbToScalePos(3.1), 90.0);
    EXPECT_LT(VuDbToScalePos(-1.0), VuDbToScalePos(-0.9));
}

TEST(ScaleLaw, PeakLawIsLinearInAmplitudeAndUnclamped)
{
    EXPECT_NEAR(PeakDbToScalePos(0.0), 88.0, 1e-9);
    EXPECT_NEAR(PeakDbToScalePos(-20.0), 1.9, 1e-9);
    EXPECT_NEAR(PeakDbToScalePos(-6.0), 40.28, 0.01);
    EXPECT_NEAR(PeakDbToScalePos(-1.0), 77.60, 0.01);
    EXPECT_NEAR(PeakDbToScalePos(-3.0), 60.06, 0.01);
    EXPECT_NEAR(PeakDbToScalePos(-20.9), 0.5, 0.5);
    EXPECT_GT(PeakDbToScalePos(3.0), 88.0);
    EXPECT_LT(PeakDbToScalePos(-96.0), 0.0);
}

TEST(ScaleLaw, PeakClampKeepsZeroToEightyEight)
{
    EXPECT_EQ(ClampPeakPos(PeakDbToScalePos(-96.0)), 0.0);
    EXPECT_EQ(ClampPeakPos(PeakDbToScalePos(3.0)), 88.0);
    EXPECT_EQ(ClampPeakPos(42.5), 42.5);
    EXPECT_EQ(ClampPeakPos(std::nan("")), 0.0);
}

TEST(ScaleLaw, AnglesUseTheMetersPi)
{
    EXPECT_DOUBLE_EQ(ScalePosToAngle(0.0), 134.0 * kDegree);
    EXPECT_DOUBLE_EQ(ScalePosToAngle(88.0), 46.0 * kDegree);
    EXPECT_DOUBLE_EQ(ScalePosToAngle(90.0), 44.0 * kDegree);
    EXPECT_DOUBLE_EQ(ScalePosToAngle(44.0), 1.570795);
    EXPECT_DOUBLE_EQ(ScalePosToAngle(std::nan("")), ScalePosToAngle(0.0));
    EXPECT_DOUBLE_EQ(DegToRad(180.0), 3.14159);
}

} // namespace
