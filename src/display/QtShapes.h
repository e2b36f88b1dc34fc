#pragma once

// The geometry's plain shapes as Qt points, regions, pens and fonts. User-interface thread only.
//
// Shapes are filled without antialiasing so that they match the geometry pixel for pixel; text
// may be antialiased.

#include "app/ColorSet.h"
#include "display/geometry/FaceGeometry.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QRegion>

class QFontMetrics;
class QPainter;
class QString;

namespace kerrion {

inline QColor ToQColor(ColorRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
inline QPoint ToQPoint(const PointI& p) { return { p.x, p.y }; }
inline QRect ToQRect(const BoxI& b) { return { b.left, b.top, b.Width(), b.Height() }; }

// The region an expression describes, in the same pixels.
QRegion ToQRegion(const RegionExpr& expr);

// Fills every pixel of `region` with `color`.
void FillRegion(QPainter& painter, const QRegion& region, const QColor& color);

// A round-capped line; width 0 draws one pixel wide.
void DrawLine(QPainter& painter, const LineShape& line, const QColor& color);

// The meter's Japanese font at a height in pixels (at least 1): the first of the preferred
// families that the system has, normal weight.
QFont MeterFont(int pixelHeight);

// Draws one line of text aligned at `anchor` the way a drawing context with that text alignment
// would: horizontally by its left edge, centre or right edge; vertically by the top of its cell,
// its baseline or the bottom of its cell.
void DrawAnchoredText(
    QPainter& painter, const QString& text, const QPoint& anchor, HAlign h, VAlign v);

// Where QPainter::drawText(point, text) starts the text that DrawAnchoredText draws.
QPoint AnchoredTextOrigin(
    const QFontMetrics& metrics, const QString& text, const QPoint& anchor, HAlign h, VAlign v);

// A rectangle that holds every pixel DrawAnchoredText may touch for the same text in `font`.
QRect AnchoredTextBounds(
    const QFont& font, const QString& text, const QPoint& anchor, HAlign h, VAlign v);

} // namespace kerrion
