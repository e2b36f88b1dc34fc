#pragma once

// What the broadcast loudness measurement reads at one moment. Loudness in LKFS (= LUFS),
// range in LU, true peaks in dBTP. NaN marks a value not defined yet: momentary before 400 ms
// of programme, short-term before 3 s, integrated and range before a block passes their gates,
// true peaks before the first block. Silence reads kFloor rather than minus infinity.

#include <array>
#include <cmath>
#include <limits>

namespace kerrion {

struct LoudnessReadings {
    static constexpr int kMaxChannels = 8;
    static constexpr double kFloor = -120.0; // LKFS and dBTP; what silence reads
    static constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

    double momentary = kUndefined;    // LKFS, last 400 ms
    double shortTerm = kUndefined;    // LKFS, last 3 s
    double momentaryMax = kUndefined; // LKFS, highest since start or reset
    double shortTermMax = kUndefined; // LKFS, highest since start or reset
    double integrated = kUndefined;   // LKFS, gated, since start or reset
    double range = kUndefined;        // LU (EBU Tech 3342), since start or reset
    std::array<double, kMaxChannels> truePeak { kUndefined, kUndefined, kUndefined, kUndefined,
        kUndefined, kUndefined, kUndefined, kUndefined }; // dBTP per programme channel, highest
                                                          // since start or reset
    double truePeakMax = kUndefined; // dBTP, highest of all channels since start or reset
    // dBTP, highest of all channels in the blocks measured up to the latest 100 ms step's end
    // since the step before (the history's marks of a true peak over its limit)
    double truePeakStep = kUndefined;
    long long steps = 0;  // 100 ms steps completed since start or reset
    int channels = 0;     // programme channels (entries of truePeak in use)
    double seconds = 0.0; // s of programme measured since start or reset

    static bool Defined(double value) { return !std::isnan(value); }
};

} // namespace kerrion
