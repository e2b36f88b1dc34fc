#pragma once

// Plain-data shapes of a meter face, in pixels of the meter window unless a name says otherwise.
// No toolkit types: the windows turn these into their own points, pens and regions.

#include <vector>

namespace kerrion {

struct PointI {
    int x = 0;
    int y = 0;
    friend bool operator==(const PointI&, const PointI&) = default;
};

struct PointD {
    double x = 0.0;
    double y = 0.0;
};

// A box as the drawing layers take it: left and top inside, right and bottom just outside.
struct BoxI {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const BoxI&, const BoxI&) = default;
};

// A straight line drawn with a round-capped pen of `width` pixels (0 draws one pixel wide).
struct LineShape {
    PointI from;
    PointI to;
    int width = 0; // pixels
};

// The part of the ellipse inscribed in `box` that runs counter-clockwise (as seen on screen)
// from the ray through `start` to the ray through `end`.
struct ArcShape {
    BoxI box;
    PointI start;
    PointI end;
};

enum class FillRule { OddEven, Winding };

// An area built from ellipses, rectangles and polygons with intersection, union and difference,
// kept as an expression tree so that each window layer can build its own region from it.
class RegionExpr {
public:
    enum class Kind { Empty, Ellipse, Rect, Polygon, Intersect, Unite, Subtract };

    RegionExpr() = default;
    static RegionExpr Ellipse(const BoxI& box);
    static RegionExpr Rect(const BoxI& box);
    static RegionExpr Polygon(std::vector<PointI> points, FillRule rule);
    static RegionExpr Intersect(RegionExpr a, RegionExpr b);
    static RegionExpr Unite(RegionExpr a, RegionExpr b);
    static RegionExpr Subtract(RegionExpr a, RegionExpr b);

    Kind GetKind() const { return m_kind; }
    const BoxI& Box() const { return m_box; }
    const std::vector<PointI>& Points() const { return m_points; }
    FillRule Rule() const { return m_rule; }
    const std::vector<RegionExpr>& Operands() const { return m_operands; }

    // Whether the centre of pixel (x, y) lies inside. Exact for rectangles and polygons; for
    // ellipses it uses the true ellipse, which a raster region may differ from by a pixel at the
    // border.
    bool Contains(int x, int y) const;

private:
    static RegionExpr Combine(Kind kind, RegionExpr a, RegionExpr b);

    Kind m_kind = Kind::Empty;
    BoxI m_box;                          // Ellipse, Rect
    std::vector<PointI> m_points;        // Polygon corners in order
    FillRule m_rule = FillRule::OddEven; // Polygon
    std::vector<RegionExpr> m_operands;  // the two operands of Intersect, Unite, Subtract
};

} // namespace kerrion
