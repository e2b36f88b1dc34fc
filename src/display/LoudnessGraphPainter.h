#pragma once

// Draws the loudness history graph into a rectangle of any painter (the window's graph, an
// image for kerrion-meter --plot): the short-term loudness as a line, the momentary loudness
// lighter behind it, the integrated loudness as a line of its colour against the target, the
// standard's target and tolerance as a band, a red mark where a true peak passed the limit, a
// scale in LKFS and the span in minutes. User-interface thread (or any thread for an image).

#include "display/geometry/LoudnessGraph.h"
#include "meter/LoudnessHistory.h"
#include "meter/LoudnessStandard.h"

#include <QRect>

#include <vector>

class QPainter;

namespace kerrion {

class LoudnessGraphPainter {
public:
    // The plot within a graph drawn into `area`: what is left of it after the scale, the
    // title and the time labels.
    static QRect PlotRect(const QRect& area);

    void Paint(QPainter& painter, const QRect& area, const LoudnessHistory& history,
        const LoudnessStandard& standard, int spanMinutes);

private:
    void PaintScale(QPainter& painter, const QRect& area, const QRect& plot,
        const LoudnessGraphFrame& frame, const LoudnessStandard& standard) const;
    void PaintCurves(QPainter& painter, const QRect& plot, const LoudnessGraphFrame& frame,
        const LoudnessStandard& standard) const;

    std::vector<GraphColumn> m_columns; // one a pixel of the plot; kept from one paint to the next
};

} // namespace kerrion
