#include "display/DrawFace.h"

#include "display/MeterFaceSurface.h"
#include "display/RenderTestSupport.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/NeedleScale.h"
#include "display/geometry/ScaleLaw.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kerrion;
using namespace kerrion::test;

namespace {

constexpr ColorRef kSurround = MakeColor(35, 35, 35);
constexpr ColorRef kBlack = MakeColor(0, 0, 0);

class DrawFaceTest : public ::testing::Test {
protected:
    QImage Draw(double s, NeedleType type = NeedleType::kVu)
    {
        MeterFaceSurface face(settings.Meter.Size_w, settings.Meter.Size_h);
        DrawFace(face, colors, s, settings, type);
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

// Each type's law puts its reference and its ends where the printed scale has them, and the
// face draws every mark on the ray the law gives it: left of the reference in the left colour,
// from it on in the right colour; the top segment carries a red band where the type has one.
TEST_F(DrawFaceTest, EveryTypeDrawsItsMarksWhereItsLawPutsThem)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        NeedleType type;
        const char* reference;           // label of the reference mark
        double referencePos;             // where a reading of 0 dB stands
        double lowDb, lowPos;            // the left end of the printed scale
        double highDb, highPos, overPos; // its right end, and where +40 dB rests
        bool redBand;
    } rows[] = {
        { NeedleType::kVu, "0", 57.36, -20, 1.9, 3, 88, 90, true },
        { NeedleType::kVuIec, "0", 57.36, -20, 1.9, 3, 88, 90, true },
        { NeedleType::kPpmDin, "0", 74.25, -50, 0, 5, 88, 88, true },
        { NeedleType::kPpmNordic, "TEST", 66, -36, 0, 12, 88, 88, true },
        { NeedleType::kPpmBbc, "4", 44, -14, 0, 12, 88, 88, false },
        { NeedleType::kPpmEbu, "TEST", 44, -12, 0, 12, 88, 88, true },
    };
    for (const auto& row : rows) {
        const int name = static_cast<int>(row.type); // the enum's order: vu, vu-iec, din, ...
        EXPECT_NEAR(NeedleDbToScalePos(row.type, 0), row.referencePos, 0.01) << name;
        EXPECT_NEAR(NeedleDbToScalePos(row.type, row.lowDb), row.lowPos, 0.01) << name;
        EXPECT_NEAR(NeedleDbToScalePos(row.type, row.highDb), row.highPos, 0.01) << name;
        EXPECT_EQ(NeedleDbToScalePos(row.type, 40), row.overPos) << name;
        EXPECT_EQ(NeedleDbToScalePos(row.type, -90), 0.0) << name;
        EXPECT_EQ(NeedleDbToScalePos(row.type, nan), 0.0) << name;

        const FaceScale scale = FaceScaleOf(row.type, settings.Meter.ScaleVU);
        const std::vector<FaceMark>& marks = scale.marks;
        EXPECT_EQ(marks[scale.referenceMark].label, row.reference) << name;
        EXPECT_NEAR(marks[scale.referenceMark].pos, row.referencePos, 0.05) << name;
        const QImage img = Draw(1.0, row.type);
        for (size_t i = 0; i < marks.size(); ++i) {
            const int colour = i < scale.referenceMark ? kColorScaleL : kColorScaleR;
            EXPECT_EQ(ColorAt(img, OnArc(marks[i].pos, 1620, 1.0)), colors[colour])
                << name << " mark " << i;
            if (i > 0) { // between two marks the face is bare
                const double between = (marks[i - 1].pos + marks[i].pos) / 2;
                EXPECT_EQ(ColorAt(img, OnArc(between, 1620, 1.0)), colors[kColorMeterBg])
                    << name << " before mark " << i;
            }
        }
        const double top = (marks[marks.size() - 2].pos + marks.back().pos) / 2;
        EXPECT_EQ(
            ColorAt(img, OnArc(top, 1606, 1.0)), colors[row.redBand ? kColorScaleR : kColorMeterBg])
            << name;
        EXPECT_EQ(ColorAt(img, OnArc((marks[0].pos + marks[1].pos) / 2, 1606, 1.0)),
            colors[kColorMeterBg])
            << name;
    }
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
