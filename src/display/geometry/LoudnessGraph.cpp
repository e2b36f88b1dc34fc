#include "display/geometry/LoudnessGraph.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kerrion {
namespace {

constexpr double kAboveTargetLu = 9.0;
constexpr double kBelowTargetLu = 21.0;
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

// Widens [low, high] to take `value` (NaN stays out).
void Take(float& low, float& high, float value)
{
    if (std::isnan(value))
        return;
    low = std::isnan(low) ? value : std::min(low, value);
    high = std::isnan(high) ? value : std::max(high, value);
}

} // namespace

LoudnessGraphFrame GraphFrame(int width, int height, double target, int spanMinutes)
{
    const bool offered
        = std::find(kGraphSpans.begin(), kGraphSpans.end(), spanMinutes) != kGraphSpans.end();
    const int minutes = offered ? spanMinutes : kDefaultGraphSpan;
    return { std::max(width, 1), std::max(height, 1), target + kAboveTargetLu,
        target - kBelowTargetLu, static_cast<long long>(minutes) * 600 };
}

double GraphY(const LoudnessGraphFrame& frame, double lkfs)
{
    const double fraction = (frame.top - lkfs) / (frame.top - frame.bottom);
    return std::clamp(fraction, 0.0, 1.0) * (frame.height - 1);
}

void GraphColumns(const LoudnessHistory& history, const LoudnessGraphFrame& frame,
    std::vector<GraphColumn>& columns)
{
    columns.assign(static_cast<std::size_t>(frame.width),
        GraphColumn { false, kNone, kNone, kNone, kNone, kNone, false });
    const auto steps = static_cast<std::size_t>(
        std::min<long long>(static_cast<long long>(history.Size()), frame.spanSteps));
    for (std::size_t age = 0; age < steps; ++age) {
        const auto fromRight = static_cast<long long>(age) * frame.width / frame.spanSteps;
        GraphColumn& column = columns[static_cast<std::size_t>(frame.width - 1 - fromRight)];
        const LoudnessHistory::Point& point = history.Back(age);
        if (!column.any)
            column.integrated = point.integrated; // the newest of the column comes first
        column.any = true;
        Take(column.shortLow, column.shortHigh, point.shortTerm);
        Take(column.momentaryLow, column.momentaryHigh, point.momentary);
        column.truePeakOver = column.truePeakOver || point.truePeakOver;
    }
}

} // namespace kerrion
