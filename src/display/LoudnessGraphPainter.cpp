#include "display/LoudnessGraphPainter.h"

#include "display/LoudnessColors.h"
#include "display/QtShapes.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace kerrion {
namespace {

using namespace loudness_colors;

constexpr int kScaleWidth = 48; // px left of the plot for the LKFS figures
constexpr int kTitleHeight = 22;
constexpr int kTimeHeight = 18;
constexpr int kMargin = 8;
constexpr int kFontPixels = 13;
constexpr int kOverMarkHeight = 6;
const QColor kShortTerm(235, 235, 235);
const QColor kMomentary(120, 120, 120);
const QColor kGrid(70, 70, 70);

// The integrated loudness' colour against the target, as the readout shows it.
QColor IntegratedColor(const LoudnessStandard& standard, double integrated)
{
    switch (standard.Judge(integrated)) {
    case LoudnessStandard::Level::Within:
        return kWithin;
    case LoudnessStandard::Level::Above:
        return kAbove;
    case LoudnessStandard::Level::Below:
        return kBelow;
    default:
        return kPlain;
    }
}

// "-36秒", "-2分", "-1分12秒".
QString AgeLabel(int seconds)
{
    if (seconds < 60)
        return QStringLiteral("-%1秒").arg(seconds);
    if (seconds % 60 == 0)
        return QStringLiteral("-%1分").arg(seconds / 60);
    return QStringLiteral("-%1分%2秒").arg(seconds / 60).arg(seconds % 60);
}

} // namespace

QRect LoudnessGraphPainter::PlotRect(const QRect& area)
{
    return area.adjusted(kScaleWidth, kTitleHeight, -kMargin, -kTimeHeight);
}

void LoudnessGraphPainter::Paint(QPainter& painter, const QRect& area,
    const LoudnessHistory& history, const LoudnessStandard& standard, int spanMinutes)
{
    const QRect plot = PlotRect(area);
    painter.fillRect(area, kBackground);
    if (plot.width() < 2 || plot.height() < 2)
        return;
    const LoudnessGraphFrame frame
        = GraphFrame(plot.width(), plot.height(), standard.target, spanMinutes);
    GraphColumns(history, frame, m_columns);
    PaintScale(painter, area, plot, frame, standard);
    PaintCurves(painter, plot, frame, standard);
}

// The target band, a grid line every 6 LU with its figure, the title and the time marks.
void LoudnessGraphPainter::PaintScale(QPainter& painter, const QRect& area, const QRect& plot,
    const LoudnessGraphFrame& frame, const LoudnessStandard& standard) const
{
    const auto y = [&](double lkfs) { return plot.top() + GraphY(frame, lkfs); };
    const double tolerance = LoudnessStandard::kToleranceLu;
    QColor band = kWithin;
    band.setAlpha(60);
    painter.fillRect(QRectF(plot.left(), y(standard.target + tolerance), plot.width(),
                         y(standard.target - tolerance) - y(standard.target + tolerance)),
        band);
    painter.setFont(MeterFont(kFontPixels));
    for (double lu = 6.0; lu >= -18.0; lu -= 6.0) {
        const double lkfs = standard.target + lu;
        painter.setPen(kGrid);
        painter.drawLine(QPointF(plot.left(), y(lkfs)), QPointF(plot.right(), y(lkfs)));
        painter.setPen(kLabel);
        DrawAnchoredText(painter, QString::number(lkfs, 'f', 0),
            QPoint(plot.left() - 6, static_cast<int>(std::lround(y(lkfs))) + kFontPixels / 3),
            HAlign::Right, VAlign::Baseline);
    }
    const int minutes = static_cast<int>(frame.spanSteps / 600);
    for (int k = 0; k <= 5; ++k) { // the span in fifths, now at the right
        const int x = plot.right() - plot.width() * k / 5;
        painter.setPen(kGrid);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(kLabel);
        const QString label = k == 0 ? QStringLiteral("今") : AgeLabel(minutes * 60 * k / 5);
        DrawAnchoredText(painter, label, QPoint(x, plot.bottom() + 3),
            k == 5 ? HAlign::Left : (k == 0 ? HAlign::Right : HAlign::Centre), VAlign::Top);
    }
    painter.setPen(kPlain);
    DrawAnchoredText(painter,
        QStringLiteral("ラウドネス履歴 %1 分   S 短期   M 瞬時   I 統合   %2 %3 %4")
            .arg(minutes)
            .arg(QString::fromUtf8(standard.name))
            .arg(standard.target, 0, 'f', 1)
            .arg(QString::fromUtf8(standard.unit)),
        QPoint(plot.left(), area.top() + 4), HAlign::Left, VAlign::Top);
}

// The momentary loudness as a light band, the short-term and integrated loudness as lines, and
// the true-peak marks along the top.
void LoudnessGraphPainter::PaintCurves(QPainter& painter, const QRect& plot,
    const LoudnessGraphFrame& frame, const LoudnessStandard& standard) const
{
    const auto y = [&](float lkfs) { return plot.top() + GraphY(frame, lkfs); };
    QPolygonF shortTerm;
    QPolygonF integrated;
    double lastIntegrated = std::nan("");
    for (int x = 0; x < frame.width; ++x) {
        const GraphColumn& c = m_columns[static_cast<std::size_t>(x)];
        const double px = plot.left() + x + 0.5;
        if (!std::isnan(c.momentaryLow)) {
            painter.setPen(kMomentary);
            painter.drawLine(QPointF(px, y(c.momentaryHigh)), QPointF(px, y(c.momentaryLow)));
        }
        if (c.truePeakOver)
            painter.fillRect(QRect(plot.left() + x - 1, plot.top(), 3, kOverMarkHeight), kOver);
        if (!std::isnan(c.shortLow)) {
            shortTerm << QPointF(px, y(c.shortHigh));
            if (c.shortLow != c.shortHigh)
                shortTerm << QPointF(px, y(c.shortLow));
        }
        if (!std::isnan(c.integrated)) {
            integrated << QPointF(px, y(c.integrated));
            lastIntegrated = c.integrated;
        }
    }
    painter.setPen(QPen(kShortTerm, 2.0));
    painter.drawPolyline(shortTerm);
    painter.setPen(QPen(IntegratedColor(standard, lastIntegrated), 2.0));
    painter.drawPolyline(integrated);
}

} // namespace kerrion
