#include "meter/LoudnessHistory.h"

#include <algorithm>

namespace kerrion {

LoudnessHistory::LoudnessHistory()
    : m_points(std::make_unique<Point[]>(kSteps))
{
}

void LoudnessHistory::Clear()
{
    m_next = 0;
    m_size = 0;
    m_steps = 0;
}

void LoudnessHistory::Follow(const LoudnessReadings& r, double truePeakLimit)
{
    if (r.steps < m_steps)
        Clear();
    if (r.steps == m_steps)
        return;
    Point point { static_cast<float>(r.momentary), static_cast<float>(r.shortTerm),
        static_cast<float>(r.integrated), false };
    // More steps than the ring holds replace it whole: only the last kSteps are written. The
    // readings tell of the latest step's true peak only: the held steps carry no mark.
    const long long missed = r.steps - m_steps;
    const auto count = static_cast<std::size_t>(std::min<long long>(missed, kSteps));
    for (std::size_t i = 0; i < count; ++i) {
        point.truePeakOver = i + 1 == count && LoudnessReadings::Defined(r.truePeakStep)
            && r.truePeakStep > truePeakLimit;
        m_points[m_next] = point;
        m_next = (m_next + 1) % kSteps;
    }
    m_size = std::min(kSteps, m_size + count);
    m_steps = r.steps;
}

} // namespace kerrion
