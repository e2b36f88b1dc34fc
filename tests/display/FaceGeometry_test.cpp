#include "display/GeometryPrint.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/LevelReading.h"
#include "display/geometry/ScaleLaw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kerrion;

namespace {

constexpr ScaleTable kDefaultTable
    = { 0, 1.9, 12.9, 20.5, 23.9, 27.7, 32.2, 37.2, 43.0, 49.7, 53.5, 57.4, 61.7, 66.3, 76.5, 88 };

PointI ArcAt(double pos, double r) { return ArcPoint(ScalePosToAngle(pos), r); }

TEST(FaceGeometry, ArcPointsAtTheEndsOfTheScale)
{
    EXPECT_EQ(ArcAt(44, 1600), (PointI { 680, 280 }));
    const int radii[] = { 1550, 1580, 1600, 1700 };
    const PointI left[] = { { 203, 406 }, { 180, 382 }, { 164, 366 }, { 88, 287 } };
    const PointI right[] = { { 1157, 406 }, { 1180, 382 }, { 1196, 366 }, { 1272, 287 } };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ArcAt(0, radii[i]), left[i]) << radii[i];
        EXPECT_EQ(ArcAt(88, radii[i]), right[i]) << radii[i];
    }
}

TEST(FaceGeometry, RayAndTopEdgeFollowTheNeedle)
{
    const PointD tip = RayPoint(ScalePosToAngle(44), 750);
    EXPECT_NEAR(tip.x, 680.0, 1e-3);
    EXPECT_NEAR(tip.y, 150.0, 1e-6);
    const PointD left = RayPoint(ScalePosToAngle(0), 100);
    EXPECT_LT(left.x, 680.0);
    EXPECT_LT(left.y, 900.0);
    EXPECT_NEAR(TopEdgeX(ScalePosToAngle(44)), 680.0, 2e-3);
    // 46 degrees: the ray rises 900 units over 900 / tan(46 deg) units to the right.
    EXPECT_NEAR(
        TopEdgeX(ScalePosToAngle(88)), 680.0 + 900.0 / std::tan(46.0 * 3.14159 / 180.0), 1e-9);
}

TEST(FaceGeometry, SwordTruncationsWidenTheBladeToTheRight)
{
    const auto c = NeedleSword(ScalePosToAngle(44), 1.0);
    EXPECT_EQ(c[0], (PointI { 664, 900 }));
    EXPECT_EQ(c[7], (PointI { 697, 900 }));
    EXPECT_EQ(c[3], (PointI { 680, 151 }));
    EXPECT_EQ(c[4], (PointI { 681, 151 }));
    // 34 units wide to 160 units out, 14 at 685.
    EXPECT_EQ(c[6].x - c[1].x, 33);
    EXPECT_EQ(c[1].y, 900 - 159);
    EXPECT_EQ(c[5].x - c[2].x, 13);
}

TEST(FaceGeometry, BarNeedleStopsItsRoundEndAtTheNeedleLength)
{
    const LineShape bar = NeedleBar(ScalePosToAngle(44), 4, 0.5);
    EXPECT_EQ(bar.width, 30);
    EXPECT_EQ(bar.from, (PointI { 340, 450 }));
    EXPECT_EQ(bar.to, (PointI { 340, 91 }));
    const int widths[] = { 5, 10, 20, 40, 60 };
    for (int t = 0; t < 5; ++t)
        EXPECT_EQ(NeedleBar(ScalePosToAngle(44), t, 1.0).width, widths[t]);
    EXPECT_EQ(NeedleBar(0.5, 0, 0.1).width, 0);
    // An unknown thickness from a hand-edited file is held to the table.
    EXPECT_EQ(NeedleBar(1.0, 9, 1.0).width, 60);
    EXPECT_EQ(NeedleBar(1.0, -1, 1.0).width, 5);
}

TEST(FaceGeometry, ScaleMarksFollowTheTable)
{
    const ScaleMarksShape m = ScaleMarks(kDefaultTable, 1.0);
    const char* labels[]
        = { "", "-20", "10", "7", "", "5", "", "3", "2", "1", "", "0", "", "1", "2", "3" };
    for (int i = 0; i < kScaleMarkCount; ++i) {
        const ScaleMark& mark = m.marks[static_cast<size_t>(i)];
        EXPECT_EQ(mark.label, labels[i]) << i;
        EXPECT_EQ(mark.isLong, i != 4 && i != 6 && i != 10 && i != 12) << i;
        EXPECT_EQ(mark.rightSide, i >= 11) << i;
        EXPECT_EQ(mark.tick.from, (PointI { 680, 900 }));
        EXPECT_EQ(
            mark.tick.to, ArcAt(kDefaultTable[static_cast<size_t>(i)], mark.isLong ? 1700 : 1640));
        EXPECT_EQ(mark.labelAnchor, ArcAt(kDefaultTable[static_cast<size_t>(i)], 1700));
    }
    EXPECT_EQ(m.leftArc.box, (BoxI { -920, 280, 2280, 3480 }));
    EXPECT_EQ(m.leftArc.start, ArcAt(57.4, 1600));
    EXPECT_EQ(m.leftArc.end, (PointI { 164, 366 }));
    EXPECT_EQ(m.rightArc.start, (PointI { 1196, 366 }));
    EXPECT_EQ(m.rightArc.end, m.leftArc.start);
    EXPECT_EQ(m.tickExclusion, m.leftArc.box);

    // A hand-edited table moves the marks; scaled points are truncated toward zero.
    ScaleTable moved = kDefaultTable;
    moved[11] = 44;
    const ScaleMarksShape half = ScaleMarks(moved, 0.5);
    EXPECT_EQ(half.leftArc.start, (PointI { 340, 140 }));
    EXPECT_EQ(half.leftArc.box, (BoxI { -460, 140, 1140, 1740 }));
    EXPECT_EQ(half.marks[0].labelAnchor, (PointI { 44, 143 }));
}

TEST(FaceGeometry, RedBandRunsFromZeroToPlusThree)
{
    const RegionExpr band = RedBand(kDefaultTable, 1.0);
    for (double pos : { 58.0, 66.3, 80.0, 87.5 }) {
        const PointI p = ArcAt(pos, 1605);
        EXPECT_TRUE(band.Contains(p.x, p.y)) << pos;
    }
    for (double pos : { 10.0, 57.0, 89.0 }) {
        const PointI p = ArcAt(pos, 1605);
        EXPECT_FALSE(band.Contains(p.x, p.y)) << pos;
    }
    const PointI inside = ArcAt(70, 1590);
    const PointI outside = ArcAt(70, 1620);
    EXPECT_FALSE(band.Contains(inside.x, inside.y));
    EXPECT_FALSE(band.Contains(outside.x, outside.y));
}

TEST(FaceGeometry, PeakBarGrowsFromTheLeftEnd)
{
    const RegionExpr bar = PeakBar(40.0, 1.0);
    for (double pos : { 0.5, 20.0, 39.5 }) {
        const PointI p = ArcAt(pos, 1565);
        EXPECT_TRUE(bar.Contains(p.x, p.y)) << pos;
    }
    const PointI beyond = ArcAt(41, 1565);
    EXPECT_FALSE(bar.Contains(beyond.x, beyond.y));
    const PointI below = ArcAt(20, 1540);
    EXPECT_FALSE(bar.Contains(below.x, below.y));

    const PointI mid = ArcAt(20, 1565);
    EXPECT_FALSE(PeakBar(0.0, 1.0).Contains(mid.x, mid.y));
    EXPECT_FALSE(PeakBar(-30.0, 1.0).Contains(mid.x, mid.y));
    const PointI end = ArcAt(87.5, 1565);
    EXPECT_TRUE(PeakBar(200.0, 1.0).Contains(end.x, end.y));
}

TEST(FaceGeometry, HoldTickThresholdDotAndLamp)
{
    const LineShape tick = HoldTick(88.0, 1.0);
    EXPECT_EQ(tick.from, (PointI { 1157, 406 }));
    EXPECT_EQ(tick.to, (PointI { 1180, 382 }));
    EXPECT_EQ(tick.width, 3);
    EXPECT_EQ(HoldTick(120.0, 0.5).from, (PointI { 578, 203 }));
    EXPECT_EQ(HoldTick(120.0, 0.5).width, 3);

    const PointI p = ArcAt(0, 1540);
    EXPECT_EQ(ThresholdDot(-5.0, 1.0), (BoxI { p.x, p.y, p.x + 10, p.y + 10 }));
    // A threshold of +3 dBFS lies past the scale: its dot is drawn at 88.
    EXPECT_EQ(ThresholdDot(PeakDbToScalePos(3.0), 1.0), ThresholdDot(88.0, 1.0));
    EXPECT_EQ(ThresholdDot(88.0, 0.3).Width(), 3);

    EXPECT_EQ(LampBox(1.0), (BoxI { 980, 650, 1030, 700 }));
    EXPECT_EQ(LampBox(0.3), (BoxI { 294, 195, 309, 210 }));
}

TEST(FaceGeometry, NeedleClipKeepsTheInteriorOrTheUpperBand)
{
    const RegionExpr interior = NeedleClip(false, 816, 460, 0.6);
    EXPECT_TRUE(interior.Contains(5, 5));
    EXPECT_TRUE(interior.Contains(810, 454));
    EXPECT_FALSE(interior.Contains(4, 100));
    EXPECT_FALSE(interior.Contains(100, 455));

    const RegionExpr upper = NeedleClip(true, 1360, 768, 1.0);
    EXPECT_FALSE(upper.Contains(680, 460));
    EXPECT_TRUE(upper.Contains(680, 440));
    EXPECT_TRUE(upper.Contains(2, 2));
    EXPECT_FALSE(upper.Contains(680, 700));
}

TEST(FaceGeometry, SweepRegionCoversTheNeedleLampAndDiagnostics)
{
    for (double pos : { 0.0, 90.0 }) {
        const auto sword = NeedleSword(ScalePosToAngle(pos), 1.0);
        const RegionExpr region = NeedleSweepRegion(0, 0, false, false, 1.0);
        // The blade from 685 units out to the tip; nearer the pivot it leaves the face.
        for (size_t i = 2; i < 6; ++i)
            EXPECT_TRUE(region.Contains(sword[i].x, sword[i].y)) << pos << " corner " << i;
    }
    const RegionExpr bar = NeedleSweepRegion(1, 4, false, false, 1.0);
    const LineShape tip = NeedleBar(ScalePosToAngle(0.0), 4, 1.0);
    EXPECT_TRUE(bar.Contains(tip.to.x, tip.to.y));
    EXPECT_TRUE(bar.Contains(1005, 675));  // lamp
    EXPECT_FALSE(bar.Contains(1200, 700)); // diagnostics off
    EXPECT_FALSE(bar.Contains(680, 50));   // above the sweep
    EXPECT_FALSE(bar.Contains(100, 760));  // below the 140 degree line
    EXPECT_TRUE(bar.Contains(680, 760));   // under the pivot's sweep

    EXPECT_TRUE(NeedleSweepRegion(1, 1, false, true, 1.0).Contains(1362, 700));
    const RegionExpr upper = NeedleSweepRegion(1, 1, true, false, 1.0);
    EXPECT_FALSE(upper.Contains(680, 600));
    EXPECT_TRUE(upper.Contains(680, 200));
    EXPECT_TRUE(upper.Contains(1005, 675));
}

TEST(FaceGeometry, AnchorsFrameAndLogo)
{
    EXPECT_EQ(NameAnchor(0, 0.6).point, (PointI { 60, 60 }));
    EXPECT_EQ(NameAnchor(1, 1.0).h, HAlign::Centre);
    EXPECT_EQ(NameAnchor(2, 1.0).h, HAlign::Right);
    EXPECT_EQ(NameAnchor(2, 1.0).v, VAlign::Baseline);
    EXPECT_EQ(NameAnchor(3, 1.0).point, (PointI { 680, 700 }));
    EXPECT_EQ(NameAnchor(3, 1.0).v, VAlign::Bottom);
    EXPECT_FALSE(NameAnchor(4, 1.0).valid);
    EXPECT_FALSE(NameAnchor(-1, 1.0).valid);

    const FaceFrame frame = FrameShape(1360, 768, 0.6);
    EXPECT_EQ(frame.outline, (BoxI { 0, 0, 816, 460 }));
    EXPECT_EQ(frame.background, (BoxI { 5, 5, 811, 455 }));
    EXPECT_EQ(frame.cornerSize, 10);

    EXPECT_EQ(DiagnosticRect(0.5), (BoxI { 550, 300, 680, 384 }));
    EXPECT_EQ(LogoRect(30, 30, 768, 643, 94, 1.0), (BoxI { 30, 691, 351, 738 }));
    EXPECT_EQ(LogoRect(30, 30, 768, 643, 94, 0.3), (BoxI { 9, 207, 105, 221 }));
    EXPECT_EQ(DisplayOffAnchor(816, 460), (PointI { 616, 410 }));
    EXPECT_EQ(FontPixelHeight(0.3, 60), 18);
    EXPECT_EQ(FontPixelHeight(0.01, 20), 1);
}

TEST(RegionExpr, FillRulesAndOperations)
{
    // A five-pointed star: its centre is outside with the odd-even rule, inside with winding.
    std::vector<PointI> star = { { 50, 0 }, { 79, 90 }, { 2, 35 }, { 98, 35 }, { 21, 90 } };
    EXPECT_FALSE(RegionExpr::Polygon(star, FillRule::OddEven).Contains(50, 45));
    EXPECT_TRUE(RegionExpr::Polygon(star, FillRule::Winding).Contains(50, 45));
    EXPECT_TRUE(RegionExpr::Polygon(star, FillRule::OddEven).Contains(50, 10));

    const RegionExpr a = RegionExpr::Rect({ 0, 0, 10, 10 });
    const RegionExpr b = RegionExpr::Ellipse({ 5, 0, 15, 10 });
    EXPECT_TRUE(RegionExpr::Unite(a, b).Contains(13, 5));
    EXPECT_FALSE(RegionExpr::Intersect(a, b).Contains(2, 5));
    EXPECT_TRUE(RegionExpr::Intersect(a, b).Contains(9, 5));
    EXPECT_TRUE(RegionExpr::Subtract(a, b).Contains(2, 5));
    EXPECT_FALSE(RegionExpr::Subtract(a, b).Contains(9, 5));
    EXPECT_FALSE(a.Contains(10, 5));
    EXPECT_FALSE(RegionExpr().Contains(0, 0));
    EXPECT_FALSE(RegionExpr::Ellipse({ 3, 3, 3, 9 }).Contains(3, 5));
}

// Keys set by hand are held to what the drawing and the needles can take: a VU mark past the
// needle's travel (134 degrees lies along the face's top edge, where the red band's corner would
// be infinitely far) is drawn at the end of the travel; a Refresh so large that the needles
// would freeze still leaves four readings a second.
TEST(FaceGeometry, HandSetKeysAreHeldToWhatTheDrawingTakes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double mark;  // Meter/ScaleVU's last and 0 VU marks as set by hand
        double drawn; // where the face draws them
    } marks[] = { { 134.0, 90.0 }, { 200.0, 90.0 }, { 1e300, 90.0 }, { -500.0, 0.0 }, { nan, 0.0 },
        { 88.0, 88.0 }, { 57.4, 57.4 } };
    for (const auto& row : marks) {
        ScaleTable set = kDefaultTable;
        ScaleTable held = kDefaultTable;
        set[15] = set[11] = row.mark;
        held[15] = held[11] = row.drawn;
        EXPECT_EQ(ClampMarkPos(row.mark), row.drawn) << row.mark;
        const RegionExpr band = RedBand(set, 1.5);
        ASSERT_EQ(band.Operands().size(), 2u);
        EXPECT_EQ(band.Operands()[1].Points(), RedBand(held, 1.5).Operands()[1].Points())
            << row.mark;
        for (const PointI& corner : band.Operands()[1].Points())
            EXPECT_LT(std::abs(corner.x), 100000) << row.mark;
        EXPECT_EQ(ScaleMarks(set, 1.5).marks[15].tick.to, ScaleMarks(held, 1.5).marks[15].tick.to)
            << row.mark;
    }

    const struct {
        int refresh;            // Meter/Refresh as set by hand
        double blocksPerSecond; // of the run (0: not known yet)
        int64_t interval;       // blocks from one reading to the next
    } readings[] = { { 1, 750.0, 1 }, { 3, 750.0, 3 }, { 0, 750.0, 1 }, { -7, 0.0, 1 },
        { 2000000000, 750.0, 187 }, { 2000000000, 11.7, 2 }, { 100, 2.93, 1 }, { 187, 750.0, 187 },
        { 2000000000, 0.0, 2000000000 } };
    for (const auto& row : readings)
        EXPECT_EQ(ReadingInterval(row.refresh, row.blocksPerSecond), row.interval)
            << row.refresh << " at " << row.blocksPerSecond << " blocks/s";
}

} // namespace
