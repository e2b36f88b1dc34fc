#pragma once

// Programme-like input for the window benchmark: noise whose level each channel modulates at
// its own slow rate, so that every needle and peak bar keeps moving as on programme material
// (a steady tone settles and then costs no frames at all). Played by the signal generator from a
// WAVE file, or by a JACK client into the JACK bridge.

#include <filesystem>
#include <vector>

namespace kerrion::bench {

// `channels` loops of `seconds` at `rate`: noise at about -20 dBFS RMS, its amplitude swinging
// between 10% and 100% at 0.5 Hz + 0.25 Hz per channel (whole cycles, so the loops join).
std::vector<std::vector<float>> ModulatedNoise(int channels, double rate, double seconds);

// The loops as one 16-bit PCM WAVE file, a channel each; false when it cannot be written.
bool WriteWave(
    const std::filesystem::path& path, const std::vector<std::vector<float>>& loops, unsigned rate);

} // namespace kerrion::bench
