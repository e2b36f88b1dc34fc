#include "display/geometry/FaceGeometry.h"

#include "display/geometry/NeedleScale.h"
#include "display/geometry/ScaleLaw.h"

#include <algorithm>
#include <cmath>

namespace kerrion {

namespace {

constexpr int kArcCentreDrop = 980; // face units from the pivot down to the arc centre
constexpr int kSweepRadius = 800;   // face units about the pivot
constexpr int kNeedleClipRadius = 1430;
constexpr int kRegionClipRadius = 1400;
constexpr int kSwordHalfWidth = 20; // face units; the sword's reach beside its ray
constexpr int kHoldTickWidth = 3;   // pixels, not scaled

BoxI ScaleBox(int left, int top, int right, int bottom, double s)
{
    return { Px(left, s), Px(top, s), Px(right, s), Px(bottom, s) };
}

// Box of the circle of radius r about the arc centre.
BoxI ArcCircleBox(int r, double s)
{
    return ScaleBox(kPivotX - r, kArcCentreY - r, kPivotX + r, kArcCentreY + r, s);
}

PointI ScalePoint(PointI p, double s) { return { Px(p.x, s), Px(p.y, s) }; }

PointI PivotPx(double s) { return { Px(kPivotX, s), Px(kPivotY, s) }; }

// A ring about the arc centre between two radii.
RegionExpr Ring(int inner, int outer, double s)
{
    return RegionExpr::Subtract(
        RegionExpr::Ellipse(ArcCircleBox(outer, s)), RegionExpr::Ellipse(ArcCircleBox(inner, s)));
}

RegionExpr Triangle(PointI a, PointI b, PointI c)
{
    return RegionExpr::Polygon({ a, b, c }, FillRule::OddEven);
}

} // namespace

int FontPixelHeight(double s, int designHeight) { return std::max(1, Px(designHeight, s)); }

PointD RayPoint(double angle, double r)
{
    return { kPivotX + r * std::cos(angle), kPivotY - r * std::sin(angle) };
}

PointI ArcPoint(double angle, double r)
{
    const double b = -2.0 * kArcCentreDrop * std::cos(angle + kHalfPi);
    const double c = static_cast<double>(kArcCentreDrop) * kArcCentreDrop - r * r;
    const double d = (std::sqrt(b * b - 4.0 * c) - b) * 0.5;
    const int x = static_cast<int>(std::cos(angle) * d) + kPivotX;
    const int y = static_cast<int>(kPivotY - static_cast<int>(std::sin(angle) * d));
    return { x, y };
}

double TopEdgeX(double angle) { return kPivotX + kPivotY * std::cos(angle) / std::sin(angle); }

FaceFrame FrameShape(int sizeW, int sizeH, double s)
{
    const int w = Px(sizeW, s);
    const int h = Px(sizeH, s);
    return { { 0, 0, w, h }, 10, { kFrameInset, kFrameInset, w - kFrameInset, h - kFrameInset } };
}

ScaleMarksShape ScaleMarks(const FaceScale& scale, double s)
{
    std::vector<double> angles;
    for (const FaceMark& mark : scale.marks)
        angles.push_back(ScalePosToAngle(ClampMarkPos(mark.pos)));
    const auto onScale = [&](size_t i) { return ScalePoint(ArcPoint(angles[i], kScaleRadius), s); };

    ScaleMarksShape shape;
    const BoxI scaleBox = ArcCircleBox(kScaleRadius, s);
    const size_t ref = scale.referenceMark;
    shape.leftArc = { scaleBox, onScale(ref), onScale(0) };
    shape.rightArc = { scaleBox, onScale(angles.size() - 1), onScale(ref) };
    shape.tickExclusion = scaleBox;
    for (size_t i = 0; i < scale.marks.size(); ++i) {
        ScaleMark mark;
        mark.isLong = scale.marks[i].isLong;
        mark.rightSide = i >= ref;
        const int reach = mark.isLong ? kLongTickRadius : kShortTickRadius;
        mark.tick = { PivotPx(s), ScalePoint(ArcPoint(angles[i], reach), s), 0 };
        mark.labelAnchor = ScalePoint(ArcPoint(angles[i], kLongTickRadius), s);
        mark.label = scale.marks[i].label;
        shape.marks.push_back(std::move(mark));
    }
    return shape;
}

ScaleMarksShape ScaleMarks(const ScaleTable& table, double s)
{
    return ScaleMarks(FaceScaleOf(NeedleType::kVu, table), s);
}

RegionExpr RedBand(const FaceScale& scale, double s)
{
    if (!scale.hasRedBand || scale.marks.empty())
        return {};
    const auto topPoint = [s](double angle) {
        const double cotangent = std::cos(angle) / std::sin(angle);
        return PointI { Px(kPivotX, s) + static_cast<int>(kPivotY * s * cotangent), 0 };
    };
    // A mark past the needle's travel (134 degrees points along the top edge) would put the
    // band's corner at an infinite distance.
    const double from = ScalePosToAngle(ClampMarkPos(scale.redFromPos));
    const double to = ScalePosToAngle(ClampMarkPos(scale.marks.back().pos));
    return RegionExpr::Intersect(Ring(kScaleRadius, kRedBandOuterRadius, s),
        Triangle(PivotPx(s), topPoint(from), topPoint(to)));
}

RegionExpr RedBand(const ScaleTable& table, double s)
{
    return RedBand(FaceScaleOf(NeedleType::kVu, table), s);
}

LineShape NeedleBar(double angle, int thick, double s)
{
    thick = std::clamp(thick, 0, kNeedleThickCount - 1);
    const int w
        = static_cast<int>(static_cast<unsigned>(kNeedleWidths[static_cast<size_t>(thick)] * s));
    const int h = w / 2;
    const PointI pivot = PivotPx(s);
    const double reach = kNeedleLength * s - h;
    const PointI tip = { pivot.x + static_cast<int>(reach * std::cos(angle)),
        static_cast<int>(kPivotY * s - static_cast<int>(reach * std::sin(angle))) };
    return { pivot, tip, w };
}

std::array<PointI, 8> NeedleSword(double angle, double s)
{
    const double u = angle + kHalfPi;
    const double v = angle - kHalfPi;
    const auto rayX
        = [&](double r) { return Px(kPivotX, s) - static_cast<int>(s * -r * std::cos(angle)); };
    const auto rayY = [&](double r) {
        return static_cast<int>(kPivotY * s - static_cast<int>(s * r * std::sin(angle)));
    };
    // A corner beside the ray point at r, half-width hw units to the side given by side angle.
    const auto beside = [&](double r, double hw, double side) {
        return PointI { rayX(r) - static_cast<int>(s * -hw * std::cos(side)),
            rayY(r) - static_cast<int>(s * hw * std::sin(side)) };
    };
    const auto atPivot = [&](double side) {
        return PointI { rayX(0) - static_cast<int>(s * -17.0 * std::cos(side)),
            static_cast<int>(kPivotY * s - static_cast<int>(s * 17.0 * std::sin(side))) };
    };
    const auto atTip = [&](double side) {
        return PointI { rayX(kNeedleLength) + static_cast<int>(s * std::cos(side)),
            rayY(kNeedleLength) - static_cast<int>(s * std::sin(side)) };
    };
    return { atPivot(u), beside(160, 17, u), beside(685, 7, u), atTip(u), atTip(v),
        beside(685, 7, v), beside(160, 17, v), atPivot(v) };
}

RegionExpr NeedleClip(bool onlyUpper, int width, int height, double s)
{
    if (!onlyUpper)
        return RegionExpr::Rect(
            { kFrameInset, kFrameInset, width - kFrameInset, height - kFrameInset });
    return RegionExpr::Subtract(RegionExpr::Rect({ 0, 0, width, height }),
        RegionExpr::Ellipse(ArcCircleBox(kNeedleClipRadius, s)));
}

RegionExpr PeakBarRing(double s) { return Ring(kPeakBarInnerRadius, kPeakBarOuterRadius, s); }

RegionExpr PeakBarSector(double peakPos, double s)
{
    const auto topPoint = [s](double angle) {
        const int x = static_cast<int>(kPivotY * std::cos(angle) / std::sin(angle)) + kPivotX;
        return PointI { Px(x, s), 0 };
    };
    const double start = ScalePosToAngle(0.0);
    const double end = ScalePosToAngle(ClampPeakPos(peakPos));
    return Triangle(PivotPx(s), topPoint(start), topPoint(end));
}

RegionExpr PeakBar(double peakPos, double s)
{
    return RegionExpr::Intersect(PeakBarRing(s), PeakBarSector(peakPos, s));
}

LineShape HoldTick(double heldPos, double s)
{
    const double pos = std::isnan(heldPos) ? 0.0 : std::min(heldPos, kPeakPosMax);
    const double angle = ScalePosToAngle(pos);
    return { ScalePoint(ArcPoint(angle, kPeakBarInnerRadius), s),
        ScalePoint(ArcPoint(angle, kPeakBarOuterRadius), s), kHoldTickWidth };
}

BoxI ThresholdDot(double thresholdPos, double s)
{
    const PointI p = ArcPoint(ScalePosToAngle(ClampPeakPos(thresholdPos)), kThresholdDotRadius);
    const int x = Px(p.x, s);
    const int y = Px(p.y, s);
    const int size = Px(10, s);
    return { x, y, x + size, y + size };
}

BoxI LampBox(double s)
{
    const int x = Px(980, s);
    const int y = Px(650, s);
    const int size = Px(50, s);
    return { x, y, x + size, y + size };
}

RegionExpr NeedleSweepRegion(int needleType, int thick, bool onlyUpper, bool diagnostic, double s)
{
    const int hw = needleType == 0
        ? kSwordHalfWidth
        : kNeedleWidths[static_cast<size_t>(std::clamp(thick, 0, kNeedleThickCount - 1))] / 2;
    const int cx40 = static_cast<int>(kSweepRadius * std::cos(DegToRad(40)));
    const int cx140 = static_cast<int>(kSweepRadius * std::cos(DegToRad(140)));
    const int sy40 = static_cast<int>(kSweepRadius * std::sin(DegToRad(40)));
    const int sy140 = static_cast<int>(kSweepRadius * std::sin(DegToRad(140)));
    const auto at = [s](int x, int y) { return PointI { Px(x, s), Px(y, s) }; };

    RegionExpr region = RegionExpr::Intersect(
        RegionExpr::Ellipse(ScaleBox(kPivotX - kSweepRadius, kPivotY - kSweepRadius,
            kPivotX + kSweepRadius, kPivotY + kSweepRadius, s)),
        RegionExpr::Rect(
            { Px(kPivotX + cx140, s), Px(100, s), Px(kPivotX + cx40, s), Px(kFaceHeight, s) }));
    // Below the 40 and 140 degree lines nothing moves; the lines sit one half needle outward.
    region = RegionExpr::Subtract(std::move(region),
        Triangle(at(kPivotX - hw, kPivotY + hw), at(kPivotX + cx140 - hw, kPivotY + hw),
            at(kPivotX + cx140 - hw, kPivotY - sy140 + hw)));
    region = RegionExpr::Subtract(std::move(region),
        Triangle(at(kPivotX + hw, kPivotY + hw), at(kPivotX + hw + cx40, kPivotY + hw),
            at(kPivotX + hw + cx40, kPivotY - sy40 + hw)));
    if (onlyUpper)
        region = RegionExpr::Subtract(
            std::move(region), RegionExpr::Ellipse(ArcCircleBox(kRegionClipRadius, s)));
    region = RegionExpr::Unite(std::move(region), RegionExpr::Ellipse(LampBox(s)));
    if (diagnostic)
        region = RegionExpr::Unite(
            std::move(region), RegionExpr::Rect(ScaleBox(1100, 600, 1366, kFaceHeight, s)));
    return region;
}

TextAnchor NameAnchor(int namePos, double s)
{
    switch (namePos) {
    case 0:
        return { true, { Px(100, s), Px(100, s) }, HAlign::Left, VAlign::Baseline };
    case 1:
        return { true, { Px(680, s), Px(100, s) }, HAlign::Centre, VAlign::Baseline };
    case 2:
        return { true, { Px(1260, s), Px(100, s) }, HAlign::Right, VAlign::Baseline };
    case 3:
        return { true, { Px(680, s), Px(700, s) }, HAlign::Centre, VAlign::Bottom };
    default:
        return {};
    }
}

BoxI DiagnosticRect(double s) { return ScaleBox(1100, 600, kFaceWidth, kFaceHeight, s); }

BoxI LogoRect(int logoX, int logoY, int sizeH, int imageW, int imageH, double s)
{
    const int x = Px(logoX, s);
    const int y = Px(sizeH - logoY - imageH / 2, s);
    return { x, y, x + Px(imageW / 2, s), y + Px(imageH / 2, s) };
}

PointI DisplayOffAnchor(int width, int height) { return { width - 200, height - 50 }; }

} // namespace kerrion
