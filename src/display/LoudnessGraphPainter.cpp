#include "display/LoudnessGraphPainter.h"

#include "display/LoudnessColors.h"
#include "display/QtShapes.h"

#include <QPainter>

#include <algorithm>
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
// the true-peak marks along the top. Every part is a column of filled pixels joined to the
// column before it: a stroked line of thousands of points costs the rasteriser far more.
void LoudnessGraphPainter::PaintCurves(QPainter& painter, const QRect& plot,
    const LoudnessGraphFrame& frame, const LoudnessStandard& standard) const
{
    const auto y = [&](float lkfs) {
        return plot.top() + static_cast<int>(std::lround(GraphY(frame, lkfs)));
    };
    // From `from` to `to` (rows, either order) in column x, `width` pixels wide.
    const auto column = [&](int x, int from, int to, int width, const QColor& color) {
        painter.fillRect(QRect(x, std::min(from, to), width, std::abs(to - from) + width), color);
    };
    // The integrated line takes its colour from where the programme stands now.
    float integratedNow = std::nanf("");
    for (auto c = m_columns.rbegin(); c != m_columns.rend() && std::isnan(integratedNow); ++c)
        integratedNow = c->integrated;
    const QColor integratedColour = IntegratedColor(standard, integratedNow);
    int shortRow = -1;      // the middle of the short-term line in the column before
    int integratedRow = -1; // the integrated line in the column before
    for (int i = 0; i < frame.width; ++i) {
        const GraphColumn& c = m_columns[static_cast<std::size_t>(i)];
        const int x = plot.left() + i;
        if (!std::isnan(c.momentaryLow))
            column(x, y(c.momentaryHigh), y(c.momentaryLow), 1, kMomentary);
        if (c.truePeakOver)
            painter.fillRect(QRect(x - 1, plot.top(), 3, kOverMarkHeight), kOver);
        if (!std::isnan(c.shortLow)) {
            int high = y(c.shortHigh), low = y(c.shortLow);
            if (shortRow >= 0) {
                high = std::min(high, shortRow);
                low = std::max(low, shortRow);
            }
            column(x, high, low, 2, kShortTerm);
            shortRow = (y(c.shortHigh) + y(c.shortLow)) / 2;
        }
        if (!std::isnan(c.integrated)) {
            const int row = y(c.integrated);
            column(x, integratedRow < 0 ? row : integratedRow, row, 2, integratedColour);
            integratedRow = row;
        }
    }
}

} // namespace kerrion
