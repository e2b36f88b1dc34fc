#pragma once

// The broadcast loudness of the last hour, a point per 100 ms step of the measurement, for the
// history graph: momentary, short-term and integrated loudness as they read at the end of the
// step, and whether the step's true peak passed the limit. Filled by following the readings
// (whoever reads them: the window at its frame rate, kerrion-meter after every step of a file):
// a step the follower did not see is held at the values it sees next, and readings whose step
// count went back (a reset, a new run) start the history afresh. The ring is allocated once;
// following allocates nothing. No Qt; one thread.

#include "meter/LoudnessReadings.h"

#include <cstddef>
#include <memory>

namespace kerrion {

class LoudnessHistory {
public:
    static constexpr std::size_t kSteps = 36000; // 60 minutes of 100 ms steps
    static constexpr double kStepSeconds = 0.1;

    struct Point {
        float momentary = 0.0f;  // LKFS; NaN where not defined yet
        float shortTerm = 0.0f;  // LKFS; NaN where not defined yet
        float integrated = 0.0f; // LKFS; NaN where not defined yet
        bool truePeakOver = false;
    };

    LoudnessHistory();

    void Clear();
    // Appends a point for every step the readings completed since the last call.
    void Follow(const LoudnessReadings& readings, double truePeakLimit);

    // Points held: at most kSteps.
    std::size_t Size() const { return m_size; }
    // The point `age` steps before the newest (0 the newest); age < Size().
    const Point& Back(std::size_t age) const
    {
        return m_points[(m_next + kSteps - 1 - age) % kSteps];
    }
    // Steps of the programme so far: the newest point's number (1 for the first).
    long long Steps() const { return m_steps; }

private:
    std::unique_ptr<Point[]> m_points; // kSteps, a ring
    std::size_t m_next = 0;            // where the next point goes
    std::size_t m_size = 0;
    long long m_steps = 0;
};

} // namespace kerrion
