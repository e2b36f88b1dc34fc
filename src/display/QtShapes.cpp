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

void DrawAnchoredText(
    QPainter& painter, const QString& text, const QPoint& anchor, HAlign h, VAlign v)
{
    const QFontMetrics metrics(painter.font());
    int x = anchor.x();
    const int width = metrics.horizontalAdvance(text);
    if (h == HAlign::Centre)
        x -= width / 2;
    else if (h == HAlign::Right)
        x -= width;
    int baseline = anchor.y();
    if (v == VAlign::Top)
        baseline += metrics.ascent();
    else if (v == VAlign::Bottom)
        baseline -= metrics.descent();
    painter.drawText(QPoint(x, baseline), text);
}

} // namespace kerrion
