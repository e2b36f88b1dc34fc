#include "display/geometry/Shapes.h"

#include <cstddef>
#include <utility>

namespace kerrion {

RegionExpr RegionExpr::Ellipse(const BoxI& box)
{
    RegionExpr r;
    r.m_kind = Kind::Ellipse;
    r.m_box = box;
    return r;
}

RegionExpr RegionExpr::Rect(const BoxI& box)
{
    RegionExpr r;
    r.m_kind = Kind::Rect;
    r.m_box = box;
    return r;
}

RegionExpr RegionExpr::Polygon(std::vector<PointI> points, FillRule rule)
{
    RegionExpr r;
    r.m_kind = Kind::Polygon;
    r.m_points = std::move(points);
    r.m_rule = rule;
    return r;
}

namespace {

// Crossings of the horizontal line through (px, py) to the right with the polygon's edges;
// returns the even-odd count and accumulates the winding number.
int CountCrossings(const std::vector<PointI>& pts, double px, double py, int& winding)
{
    int crossings = 0;
    winding = 0;
    const std::size_t n = pts.size();
    for (std::size_t i = 0; i < n; ++i) {
        const PointI& a = pts[i];
        const PointI& b = pts[(i + 1) % n];
        const bool upward = a.y <= py && b.y > py;
        const bool downward = b.y <= py && a.y > py;
        if (!upward && !downward)
            continue;
        const double t = (py - a.y) / static_cast<double>(b.y - a.y);
        if (a.x + t * (b.x - a.x) > px) {
            ++crossings;
            winding += upward ? 1 : -1;
        }
    }
    return crossings;
}

} // namespace

RegionExpr RegionExpr::Intersect(RegionExpr a, RegionExpr b)
{
    return Combine(Kind::Intersect, std::move(a), std::move(b));
}

RegionExpr RegionExpr::Unite(RegionExpr a, RegionExpr b)
{
    return Combine(Kind::Unite, std::move(a), std::move(b));
}

RegionExpr RegionExpr::Subtract(RegionExpr a, RegionExpr b)
{
    return Combine(Kind::Subtract, std::move(a), std::move(b));
}

RegionExpr RegionExpr::Combine(Kind kind, RegionExpr a, RegionExpr b)
{
    RegionExpr r;
    r.m_kind = kind;
    r.m_operands.reserve(2);
    r.m_operands.push_back(std::move(a));
    r.m_operands.push_back(std::move(b));
    return r;
}

bool RegionExpr::Contains(int x, int y) const
{
    const double px = x + 0.5;
    const double py = y + 0.5;
    switch (m_kind) {
    case Kind::Empty:
        return false;
    case Kind::Rect:
        return x >= m_box.left && x < m_box.right && y >= m_box.top && y < m_box.bottom;
    case Kind::Ellipse: {
        const double rx = m_box.Width() / 2.0;
        const double ry = m_box.Height() / 2.0;
        if (rx <= 0.0 || ry <= 0.0)
            return false;
        const double dx = (px - (m_box.left + rx)) / rx;
        const double dy = (py - (m_box.top + ry)) / ry;
        return dx * dx + dy * dy <= 1.0;
    }
    case Kind::Polygon: {
        int winding = 0;
        const int crossings = CountCrossings(m_points, px, py, winding);
        return m_rule == FillRule::OddEven ? (crossings % 2) == 1 : winding != 0;
    }
    case Kind::Intersect:
        return m_operands[0].Contains(x, y) && m_operands[1].Contains(x, y);
    case Kind::Unite:
        return m_operands[0].Contains(x, y) || m_operands[1].Contains(x, y);
    case Kind::Subtract:
        return m_operands[0].Contains(x, y) && !m_operands[1].Contains(x, y);
    }
    return false;
}

} // namespace kerrion
