#pragma once

// True peak of one channel after ITU-R BS.1770-4 Annex 2: the signal is oversampled (4x below
// 96 kHz, 2x from 96 kHz up) by a polyphase interpolation filter and the largest absolute value
// of the oversampled signal is taken.
//
// The filter is our own windowed sinc: phase p of L interpolates the point p/L of a sample
// period after sample m from the 12 samples m-5 .. m+6, with taps sinc(p/L - k) shaped by a
// Kaiser window (beta 5) over the 12-sample span and scaled to unit gain at DC. Phase 0 is the
// sample itself, so the true peak is never below the sample peak. Against a sine of any phase
// the reading is within +0.04 / -0.16 dB up to a quarter of the rate and within -0.45 dB up to
// 0.45 of the rate at 4x (the shortfall is the oversampling grid, not the filter); the standard
// allows +0.2 / -0.4 dB at the test frequencies. Samples are held as floats: the peak needs no
// more, and four phases then fit one vector.
//
// Threads: Design and Reset at run set-up or between blocks; Run on the engine thread. Run
// allocates nothing.

#include <array>
#include <cstdint>

namespace kerrion {

class TruePeakInterpolator {
public:
    static constexpr int kTaps = 12;  // input samples per interpolated point
    static constexpr int kLanes = 4;  // phases computed together (the largest factor)
    static constexpr double kKaiserBeta = 5.0;

    // Designs the filter for `rateHz`: 4 phases below 96 kHz, 2 from 96 kHz up.
    void Design(double rateHz);
    // Forgets the samples held from earlier blocks (they become silence).
    void Reset();
    // The largest absolute value of the oversampled signal over the interpolated points that
    // `n` new samples (full scale 1.0) complete. The points of the last kTaps/2 samples are
    // completed by the next block, so a peak shows kTaps/2 samples late.
    float Run(const float* x, uint32_t n);

    int Factor() const { return m_factor; }
    // Tap k (0 .. kTaps - 1, applied to sample m - kTaps/2 + 1 + k) of phase p.
    float Tap(int phase, int k) const { return m_taps[static_cast<std::size_t>(k)][phase]; }

private:
    using Lanes = std::array<float, kLanes>;
    std::array<Lanes, kTaps> m_taps {};   // [tap][phase]; unused lanes repeat phase 0
    std::array<float, kTaps - 1> m_held {}; // the last kTaps - 1 samples, oldest first
    int m_factor = 4;
};

} // namespace kerrion
