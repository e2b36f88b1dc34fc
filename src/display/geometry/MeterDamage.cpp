#include "display/geometry/MeterDamage.h"

#include "display/geometry/FaceGeometry.h"
#include "display/geometry/ScaleLaw.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kerrion {

namespace {

// Pixels around every shape: integer truncation of the shapes' corners, the rasteriser's
// rounding of polygon edges and round line caps reach no further.
constexpr double kMargin = 2.0;
constexpr double kArcStep = 0.05; // radians between points set along the peak ring

using Polygon = std::vector<PointD>;

// Per band, the horizontal reach of the shapes within its lines.
class BandSpans {
public:
    explicit BandSpans(const BoxI& bounds)
        : m_bounds(bounds)
        , m_spans(static_cast<std::size_t>(std::max(0, Band(bounds.bottom) + 1)), kNoSpan)
    {
    }

    // Adds the polygon's horizontal hull in every band its lines reach, widened by kMargin.
    void Add(const Polygon& polygon)
    {
        if (polygon.empty())
            return;
        double top = polygon[0].y;
        double bottom = polygon[0].y;
        for (const PointD& p : polygon) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        const int first = Band(top - kMargin);
        const int last = Band(bottom + kMargin);
        for (int band = first; band <= last; ++band) {
            const double y0 = band * kDamageBandLines - kMargin;
            const double y1 = (band + 1) * kDamageBandLines + kMargin;
            double left = 1e9;
            double right = -1e9;
            for (std::size_t i = 0; i < polygon.size(); ++i)
                EdgeReach(polygon[i], polygon[(i + 1) % polygon.size()], y0, y1, left, right);
            if (left <= right)
                Widen(band, left - kMargin, right + kMargin);
        }
    }

    void AddBox(const BoxI& box)
    {
        Add({ { box.left - 0.0, box.top - 0.0 }, { box.right - 0.0, box.top - 0.0 },
            { box.right - 0.0, box.bottom - 0.0 }, { box.left - 0.0, box.bottom - 0.0 } });
    }

    // One box a band, top to bottom; bands one above the other of the same reach are one box,
    // so that the boxes are the rectangles of a region as they stand.
    std::vector<BoxI> Boxes() const
    {
        std::vector<BoxI> boxes;
        for (std::size_t band = 0; band < m_spans.size(); ++band) {
            const Span& span = m_spans[band];
            if (span.first > span.second)
                continue;
            const int top = static_cast<int>(band) * kDamageBandLines;
            BoxI box { static_cast<int>(std::floor(span.first)), top,
                static_cast<int>(std::ceil(span.second)) + 1, top + kDamageBandLines };
            box.left = std::max(box.left, m_bounds.left);
            box.top = std::max(box.top, m_bounds.top);
            box.right = std::min(box.right, m_bounds.right);
            box.bottom = std::min(box.bottom, m_bounds.bottom);
            if (box.left >= box.right || box.top >= box.bottom)
                continue;
            BoxI* above = boxes.empty() ? nullptr : &boxes.back();
            if (above != nullptr && above->bottom == box.top && above->left == box.left
                && above->right == box.right)
                above->bottom = box.bottom;
            else
                boxes.push_back(box);
        }
        return boxes;
    }

private:
    static int Band(double y) { return static_cast<int>(std::floor(y / kDamageBandLines)); }

    // The part of edge a-b between lines y0 and y1 widens [left, right].
    static void EdgeReach(PointD a, PointD b, double y0, double y1, double& left, double& right)
    {
        if (a.y > b.y)
            std::swap(a, b);
        if (b.y < y0 || a.y > y1)
            return;
        const auto xAt = [&](double y) {
            return b.y == a.y ? a.x : a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
        };
        const double xa = a.y < y0 ? xAt(y0) : a.x;
        const double xb = b.y > y1 ? xAt(y1) : b.x;
        left = std::min({ left, xa, xb });
        right = std::max({ right, xa, xb });
    }

    // Bands outside the meter hold nothing to repaint.
    void Widen(int band, double left, double right)
    {
        if (band < 0 || band >= static_cast<int>(m_spans.size()))
            return;
        Span& span = m_spans[static_cast<std::size_t>(band)];
        span.first = std::min(span.first, left);
        span.second = std::max(span.second, right);
    }

    using Span = std::pair<double, double>; // [left, right]; empty while left > right
    static constexpr Span kNoSpan { 1e300, -1e300 };

    BoxI m_bounds;
    std::vector<Span> m_spans; // by band, from the meter's top
};

// A line of `width` pixels with round caps as the rectangle that holds it.
Polygon ThickLine(const LineShape& line)
{
    const double dx = line.to.x - line.from.x;
    const double dy = line.to.y - line.from.y;
    const double length = std::max(1e-9, std::hypot(dx, dy));
    const double half = std::max(1, line.width) / 2.0;
    const double ux = dx / length * half;
    const double uy = dy / length * half;
    const PointD a { line.from.x - ux, line.from.y - uy };
    const PointD b { line.to.x + ux, line.to.y + uy };
    return { { a.x - uy, a.y + ux }, { b.x - uy, b.y + ux }, { b.x + uy, b.y - ux },
        { a.x + uy, a.y - ux } };
}

Polygon Needle(const MovingLook& look, double vuPos)
{
    const double angle = ScalePosToAngle(vuPos);
    if (look.needleType != 0)
        return ThickLine(NeedleBar(angle, look.needleThick, look.s));
    Polygon polygon;
    for (const PointI& p : NeedleSword(angle, look.s))
        polygon.push_back({ static_cast<double>(p.x), static_cast<double>(p.y) });
    return polygon;
}

// The part of the peak ring between two bar ends: along the outer arc and back along the inner.
Polygon RingBetween(double s, double fromPos, double toPos)
{
    double a0 = ScalePosToAngle(ClampPeakPos(fromPos));
    double a1 = ScalePosToAngle(ClampPeakPos(toPos));
    if (a0 > a1)
        std::swap(a0, a1);
    const int steps = std::max(1, static_cast<int>(std::ceil((a1 - a0) / kArcStep)));
    const auto at = [s](double angle, int r) {
        const PointI p = ArcPoint(angle, r);
        return PointD { p.x * s, p.y * s };
    };
    Polygon polygon;
    for (int i = 0; i <= steps; ++i)
        polygon.push_back(at(a0 + (a1 - a0) * i / steps, kPeakBarOuterRadius));
    for (int i = steps; i >= 0; --i)
        polygon.push_back(at(a0 + (a1 - a0) * i / steps, kPeakBarInnerRadius));
    return polygon;
}

} // namespace

std::vector<BoxI> MeterDamage(
    const MovingLook& look, const MovingParts& from, const MovingParts& to)
{
    BandSpans spans({ 0, 0, look.width, look.height });
    if (look.vuVisible && from.vuPos != to.vuPos) {
        spans.Add(Needle(look, from.vuPos));
        spans.Add(Needle(look, to.vuPos));
    }
    if (look.peakVisible) {
        if (from.peakPos != to.peakPos)
            spans.Add(RingBetween(look.s, from.peakPos, to.peakPos));
        if (from.holdShown != to.holdShown || (to.holdShown && from.holdPos != to.holdPos)) {
            if (from.holdShown)
                spans.Add(ThickLine(HoldTick(from.holdPos, look.s)));
            if (to.holdShown)
                spans.Add(ThickLine(HoldTick(to.holdPos, look.s)));
        }
        if (look.overEnable && from.lampOn != to.lampOn)
            spans.AddBox(LampBox(look.s));
    }
    return spans.Boxes();
}

} // namespace kerrion
