#pragma once

// The loudness history graph's geometry, with no toolkit types: where a loudness lies in the
// plot's height, and what the steps that fall in each pixel column of its width read. The newest
// step is at the right edge and a span of minutes (1, 3, 10, 30 or 60) fills the width; a
// column that holds several steps keeps their lowest and highest loudness, so the drawing costs
// the same whatever the span. Any thread.

#include "meter/LoudnessHistory.h"

#include <array>
#include <vector>

namespace kerrion {

// The spans the graph offers, in minutes; 10 unless chosen.
inline constexpr std::array<int, 5> kGraphSpans = { 1, 3, 10, 30, 60 };
inline constexpr int kDefaultGraphSpan = 10;

struct LoudnessGraphFrame {
    int width = 0;              // px of the plot
    int height = 0;             // px of the plot
    double top = 0.0;           // LKFS at the top edge
    double bottom = 0.0;        // LKFS at the bottom edge
    long long spanSteps = 6000; // 100 ms steps across the width
};

// The plot of `width` x `height` px for a standard of `target` LKFS: from 9 LU above the target
// at the top to 21 LU below it at the bottom, over `spanMinutes` (a span not offered reads as
// the default).
LoudnessGraphFrame GraphFrame(int width, int height, double target, int spanMinutes);

// y in px (0 at the top edge) of `lkfs`, held within the plot.
double GraphY(const LoudnessGraphFrame& frame, double lkfs);

struct GraphColumn {
    bool any = false;      // a step of the programme lies in this column
    float shortLow = 0.0f; // LKFS, lowest and highest short-term loudness; NaN: none yet
    float shortHigh = 0.0f;
    float momentaryLow = 0.0f; // LKFS, the same of the momentary loudness
    float momentaryHigh = 0.0f;
    float integrated = 0.0f;   // LKFS of the newest step in the column; NaN: none yet
    bool truePeakOver = false; // a step in it had a true peak over the limit
};

// Fills `columns` (resized to the frame's width, one a pixel) from the history.
void GraphColumns(const LoudnessHistory& history, const LoudnessGraphFrame& frame,
    std::vector<GraphColumn>& columns);

} // namespace kerrion
