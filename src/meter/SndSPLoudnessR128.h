#pragma once

// Broadcast loudness of one programme after ITU-R BS.1770-4, EBU Tech 3341 and Tech 3342:
// momentary (400 ms) and short-term (3 s) loudness with their maxima, gated integrated
// loudness, loudness range, and the true peak of every programme channel. The layout decides
// which meter buffers form the programme and how each weighs (meter/LoudnessLayout.h).
//
// How: every channel is K-weighted by filters designed for the device's rate (KWeighting) and
// its squares are summed over 100 ms steps. At the end of each step the weighted step energies
// of the last 4 steps give the momentary loudness, which is also the 400 ms gating block of the
// integrated loudness (75% overlap), and those of the last 30 steps give the short-term
// loudness, which feeds the loudness range at 10 Hz. Both integrations run through histograms
// (LoudnessHistogram), so memory and time per block stay fixed however long the programme runs.
// The true peaks come from 4x (2x from 96 kHz) polyphase interpolation (TruePeakInterpolator).
//
// Integer input is scaled to full scale 1.0 by 2^(w-1) for w significant bits; floating-point
// input is taken as full scale 1.0.
//
// Threads: SetRate, SetLayout and Init at run set-up; Process, Reset and GetReadings on the
// engine thread. Process and Reset allocate nothing, lock nothing and do no I/O.

#include "meter/KWeighting.h"
#include "meter/LoudnessHistogram.h"
#include "meter/LoudnessLayout.h"
#include "meter/LoudnessReadings.h"
#include "meter/SndSP.h"
#include "meter/TruePeakInterpolator.h"
#include "meter/ZeroedBufferArray.h"

#include <array>
#include <memory>

class CSndSPLoudnessR128 : public CSndSP {
public:
    static constexpr int kChannels = kerrion::LoudnessChannels::kMax;
    static constexpr int kStepsMomentary = 4;  // 100 ms steps in 400 ms
    static constexpr int kStepsShortTerm = 30; // 100 ms steps in 3 s
    static constexpr double kIntegratedGateLu = -10.0;
    static constexpr double kRangeGateLu = -20.0;
    static constexpr double kRangeLow = 0.10; // quantiles of the range
    static constexpr double kRangeHigh = 0.95;

    CSndSPLoudnessR128() = default;
    ~CSndSPLoudnessR128() override;

    void SetRate(double rateHz) { m_rate = rateHz; } // before Init; 48000 by default
    void SetLayout(kerrion::LoudnessLayout layout) { m_layout = layout; } // before Init
    double Rate() const { return m_rate; }
    kerrion::LoudnessLayout Layout() const { return m_layout; }

    // Designs the filters for the rate, reserves the working buffers and histograms and clears
    // every state. kOk, or kNoMemory leaving the processor unprepared.
    int Init() override;
    // Takes one block of the meter buffers `inputs` (channelCount of them; the layout's meters
    // beyond it are silent) and writes the momentary loudness (LKFS, NaN while undefined) to
    // outputs[0] when outputs is not null.
    int Process(CSndIOBuffer* outputs, uint32_t outputCount, uint32_t outputCapacity,
        const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* frameCount) override;
    // Starts the integrated loudness, the range and every maximum anew; the momentary and
    // short-term windows start empty (undefined for 400 ms and 3 s), the filters run on.
    void Reset();
    const kerrion::LoudnessReadings& GetReadings() const { return m_readings; }

    // The K-weighting stages in use (for inspection).
    const kerrion::KWeighting::Biquad& Shelf() const { return m_shelf; }
    const kerrion::KWeighting::Biquad& HighPass() const { return m_highPass; }

private:
    struct FilterState {
        double s1 = 0.0, s2 = 0.0; // shelf: w[n-1], w[n-2] of direct form II
        double h1 = 0.0, h2 = 0.0; // high-pass: the same
    };

    uint32_t ReadChannels(const CSndIOBuffer* inputs, uint32_t channelCount);
    double FilterRange(int c, uint32_t begin, uint32_t end);
    void EndStep();
    void UpdateTruePeaks(uint32_t frames);

    kerrion::ZeroedBufferArray m_working; // kChannels x kMaxBlockFrames doubles: input copies
    kerrion::ZeroedBufferArray m_floats;  // kChannels x kMaxBlockFrames floats: for the peaks
    std::array<const double*, kChannels> m_block {}; // this block's samples per channel
    std::array<uint32_t, kChannels> m_blockCount {}; // samples of them (the rest is silence)
    std::array<double, kChannels> m_scale {};        // to full scale 1.0, per channel
    std::array<FilterState, kChannels> m_state {};
    std::array<kerrion::TruePeakInterpolator, kChannels> m_peaks;
    std::array<double, kChannels> m_stepSum {};          // squares of the current step
    std::array<double, kStepsShortTerm> m_stepEnergy {}; // weighted sums of the last steps
    std::unique_ptr<kerrion::LoudnessHistogram> m_gated; // 400 ms blocks
    std::unique_ptr<kerrion::LoudnessHistogram> m_range; // 3 s values
    kerrion::LoudnessChannels m_channels;
    kerrion::LoudnessReadings m_readings;
    kerrion::KWeighting::Biquad m_shelf {};
    kerrion::KWeighting::Biquad m_highPass {};
    kerrion::LoudnessLayout m_layout = kerrion::LoudnessLayout::Stereo;
    double m_rate = 48000.0;      // Hz
    uint32_t m_stepFrames = 4800; // frames per 100 ms step
    uint32_t m_stepFill = 0;      // frames of the current step so far
    uint32_t m_stepIndex = 0;     // next entry of m_stepEnergy
    uint64_t m_steps = 0;         // steps completed since Init or Reset
    double m_stepPeak = kerrion::LoudnessReadings::kUndefined; // dBTP since the last step
    uint64_t m_framesSinceReset = 0;
    bool m_ready = false; // Init succeeded
};
