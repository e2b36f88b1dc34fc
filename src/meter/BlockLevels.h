#pragma once

// The levels of one metered block, as a reader who wants every block (not only the latest)
// takes them: frames, the eight meters' peak and VU levels, the loudness of all of them and the
// broadcast loudness after the block.

#include "meter/LoudnessReadings.h"

#include <array>
#include <cstdint>

namespace kerrion {

struct BlockLevels {
    static constexpr int kMeters = 8;

    int64_t block = 0;                     // the block's number in its run, 1 for the first
    uint32_t frames = 0;                   // input frames of the block
    std::array<double, kMeters> peak {};   // dBFS
    std::array<double, kMeters> vu {};     // dB (0 = 20 dB below full scale)
    std::array<double, kMeters> needle {}; // dB, each needle after its type's ballistics
    double loudness = 0.0;                 // LKFS, BS.1770 over the meters
    LoudnessReadings r128;                 // after the block
};

} // namespace kerrion
