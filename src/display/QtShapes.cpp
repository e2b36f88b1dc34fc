#include "display/QtShapes.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace kerrion {

QRegion ToQRegion(const RegionExpr& expr)
{
    using Kind = RegionExpr::Kind;
    switch (expr.GetKind()) {
    case Kind::Empty:
        return {};
    case Kind::Rect:
        return QRegion(ToQRect(expr.Box()));
    case Kind::Ellipse:
        return QRegion(ToQRect(expr.Box()), QRegion::Ellipse);
    case Kind::Polygon: {
        QPolygon polygon;
        polygon.reserve(static_cast<qsizetype>(expr.Points().size()));
        for (const PointI& p : expr.Points())
            polygon << ToQPoint(p);
        return QRegion(
            polygon, expr.Rule() == FillRule::OddEven ? Qt::OddEvenFill : Qt::WindingFill);
    }
    case Kind::Intersect:
        return ToQRegion(expr.Operands()[0]).intersected(ToQRegion(expr.Operands()[1]));
    case Kind::Unite:
        return ToQRegion(expr.Operands()[0]).united(ToQRegion(expr.Operands()[1]));
    case Kind::Subtract:
        return ToQRegion(expr.Operands()[0]).subtracted(ToQRegion(expr.Operands()[1]));
    }
    return {};
}

void FillRegion(QPainter& painter, const QRegion& region, const QColor& color)
{
    for (const QRect& r : region)
        painter.fillRect(r, color);
}

void DrawLine(QPainter& painter, const LineShape& line, const QColor& color)
{
    QPen pen(color);
    pen.setWidth(line.width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawLine(ToQPoint(line.from), ToQPoint(line.to));
}

QFont MeterFont(int pixelHeight)
{
    QFont font;
    font.setFamilies(
        { QStringLiteral("メイリオ"), QStringLiteral("Meiryo"), QStringLiteral("Noto Sans CJK JP"),
            QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic") });
    font.setPixelSize(std::max(1, pixelHeight));
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

// Where QPainter::drawText(point, text) must start for the text to stand at `anchor`.
QPoint AnchoredTextOrigin(
    const QFontMetrics& metrics, const QString& text, const QPoint& anchor, HAlign h, VAlign v)
{
    int x = anchor.x();
    if (h != HAlign::Left) {
        const int width = metrics.horizontalAdvance(text);
        x -= h == HAlign::Centre ? width / 2 : width;
    }
    int baseline = anchor.y();
    if (v == VAlign::Top)
        baseline += metrics.ascent();
    else if (v == VAlign::Bottom)
        baseline -= metrics.descent();
    return { x, baseline };
}

void DrawAnchoredText(
    QPainter& painter, const QString& text, const QPoint& anchor, HAlign h, VAlign v)
{
    painter.drawText(AnchoredTextOrigin(QFontMetrics(painter.font()), text, anchor, h, v), text);
}

QRect AnchoredTextBounds(
    const QFont& font, const QString& text, const QPoint& anchor, HAlign h, VAlign v)
{
    const QFontMetrics metrics(font);
    const QPoint origin = AnchoredTextOrigin(metrics, text, anchor, h, v);
    // The ink box, widened by a margin for antialiased edges and glyphs that overhang it.
    const int margin = metrics.height() / 4 + 2;
    return metrics.boundingRect(text).translated(origin).adjusted(-margin, -margin, margin, margin);
}

} // namespace kerrion
