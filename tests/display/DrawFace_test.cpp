#include "display/DrawFace.h"

#include "display/MeterFaceSurface.h"
#include "display/RenderTestSupport.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/ScaleLaw.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

using namespace kerrion;
using namespace kerrion::test;

namespace {

constexpr ColorRef kSurround = MakeColor(35, 35, 35);
constexpr ColorRef kBlack = MakeColor(0, 0, 0);

class DrawFaceTest : public ::testing::Test {
protected:
    QImage Draw(double s)
    {
        MeterFaceSurface face(settings.Meter.Size_w, settings.Meter.Size_h);
        DrawFace(face, colors, s, settings);
        return face.Image();
    }

    PointI OnArc(double pos, double r, double s)
    {
        const PointI p = ArcPoint(ScalePosToAngle(pos), r);
        return { Px(p.x, s), Px(p.y, s) };
    }

    CSettingsRecord settings = DefaultSettings();
    ColorSet colors = DistinctColors();
};

TEST_F(DrawFaceTest, FrameBackgroundAndSurround)
{
    const QImage img = Draw(1.0);
    EXPECT_EQ(img.size(), QSize(1360, 768));
    EXPECT_EQ(ColorAt(img, { 0, 0 }), kSurround); // outside the rounded corner
    EXPECT_EQ(ColorAt(img, { 1359, 767 }), kSurround);
    EXPECT_EQ(ColorAt(img, { 2, 384 }), colors[kColorMeterFrame]);
    EXPECT_EQ(ColorAt(img, { 1357, 384 }), colors[kColorMeterFrame]);
    EXPECT_EQ(ColorAt(img, { 5, 5 }), colors[kColorMeterBg]);
    EXPECT_EQ(ColorAt(img, { 1354, 762 }), colors[kColorMeterBg]);
    EXPECT_EQ(ColorAt(img, { 1355, 384 }), colors[kColorMeterFrame]);
}

TEST_F(DrawFaceTest, ScaledFaceLeavesTheRestOfTheSurfaceAlone)
{
    const QImage img = Draw(0.6); // 816 x 460 of the 1360 x 768 surface
    EXPECT_EQ(ColorAt(img, { 815, 459 }), kSurround);
    EXPECT_EQ(ColorAt(img, { 810, 454 }), colors[kColorMeterBg]);
    EXPECT_EQ(CountColor(img, { 816, 0, 1360, 768 }, kBlack), (1360 - 816) * 768);
    EXPECT_EQ(CountColor(img, { 0, 460, 816, 768 }, kBlack), 816 * (768 - 460));
}

TEST_F(DrawFaceTest, ScaleLineTicksAndRedBandTakeTheirColours)
{
    for (double s : { 1.0, 0.6, 0.3 }) {
        const QImage img = Draw(s);
        // The red band lies between the radii 1600 and 1610: its middle row is always inside.
        EXPECT_EQ(ColorAt(img, OnArc(70, 1606, s)), colors[kColorScaleR]) << s;
        EXPECT_EQ(ColorAt(img, OnArc(80, 1606, s)), colors[kColorScaleR]) << s;
        // Left of 0 VU no band: above the scale line there is background.
        EXPECT_EQ(ColorAt(img, OnArc(30, 1606 + 4 / s, s)), colors[kColorMeterBg]) << s;
        // The long tick at -10 VU, half way out, in the left colour; +2 VU in the right colour.
        EXPECT_EQ(ColorAt(img, OnArc(12.9, 1650, s)), colors[kColorScaleL]) << s;
        EXPECT_EQ(ColorAt(img, OnArc(76.5, 1650, s)), colors[kColorScaleR]) << s;
        // Ticks stop at the scale line: nothing inside the disc below it.
        EXPECT_EQ(ColorAt(img, OnArc(12.9, 1560, s)), colors[kColorMeterBg]) << s;
    }
    const QImage img = Draw(1.0);
    // The scale line itself, 3 pixels wide, at -5 VU (left) and +1 VU (right).
    EXPECT_EQ(ColorAt(img, OnArc(30, 1600, 1.0)), colors[kColorScaleL]);
    EXPECT_EQ(ColorAt(img, OnArc(60, 1600, 1.0)), colors[kColorScaleR]);
    // Labels stand above their tick ends: "10" above the -10 VU mark has label pixels.
    const PointI label = OnArc(12.9, 1700, 1.0);
    EXPECT_GT(CountColor(
                  img, { label.x - 40, label.y - 60, label.x + 40, label.y }, colors[kColorScaleL]),
        50);
    const PointI plusTwo = OnArc(76.5, 1700, 1.0);
    EXPECT_GT(CountColor(img, { plusTwo.x - 40, plusTwo.y - 60, plusTwo.x + 40, plusTwo.y },
                  colors[kColorScaleR]),
        50);
}

TEST_F(DrawFaceTest, WithoutTheVuMeterOnlyFrameBackgroundAndLogo)
{
    settings.Visible.vu = 0;
    const QImage img = Draw(1.0);
    EXPECT_EQ(CountColor(img, { 0, 0, 1360, 768 }, colors[kColorScaleR]), 0);
    EXPECT_EQ(CountColor(img, { 0, 0, 1360, 768 }, colors[kColorScaleL]), 0);
    EXPECT_EQ(ColorAt(img, OnArc(70, 1606, 1.0)), colors[kColorMeterBg]);
}

TEST_F(DrawFaceTest, LogoShowsUnlessItsFileIsEmpty)
{
    const QImage& logo = LogoImage();
    ASSERT_EQ(logo.size(), QSize(643, 94));
    EXPECT_TRUE(logo.hasAlphaChannel());
    const BoxI box = LogoRect(30, 30, 768, 643, 94, 1.0);
    const int area = box.Width() * box.Height();
    const QImage with = Draw(1.0);
    EXPECT_LT(CountColor(with, box, colors[kColorMeterBg]), area * 9 / 10);
    EXPECT_GT(CountColor(with, box, colors[kColorMeterBg]), area / 4); // transparent between
    settings.Logo.file.clear();
    EXPECT_EQ(CountColor(Draw(1.0), box, colors[kColorMeterBg]), area);
}

TEST_F(DrawFaceTest, AHugeHandEditedSizeIsHeldToTheSurfaceLimit)
{
    MeterFaceSurface face(1000000, -5);
    EXPECT_EQ(face.Image().width(), MeterFaceSurface::kMaxSide);
    EXPECT_EQ(face.Image().height(), 1);
}

} // namespace
