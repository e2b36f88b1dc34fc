#pragma once

// Loudness of all metered channels together after ITU-R BS.1770: each channel K-weighted
// (pre-filter shelf, then RLB high-pass, with the published 48 kHz coefficients at every
// device rate), squared into a ring holding the last T seconds (T = the requested window
// clamped to 1 to 10 s, counted at 48000 samples per second), averaged over the ring, weighted
// per channel, summed and expressed as 10 log10(sum) - 0.691 LKFS; -300.0 when the sum is below
// 1e-300. No gating: a sliding short-term value, written to outputs[0] after every block. For
// the first T seconds the ring still holds zeros and the value rises to the steady loudness.
//
// Integer input is scaled to full scale 1.0: by 2^31 for 32-bit samples, by 32768 for 16-bit
// ones, and in general by 2^(w-1) for an integer type of w significant bits.
//
// The window means come from exact per-chunk sums of the ring (kerrion::WindowSums), not from
// summing the whole window every block, so a 64-frame block costs about as much per sample as
// a long one. Both filter stages and the squaring run in one pass over the block, so no block
// of stage outputs is stored. The rings and working buffers are reserved for 64 channels and
// the longest window but become resident only as far as they are used.
//
// Threads: SetRequestedWindow and Init at run set-up; Process on the engine thread.

#include "meter/SndSP.h"
#include "meter/WindowSums.h"
#include "meter/ZeroedBufferArray.h"
#include "meter/ZeroedMemory.h"

#include <array>

class CSndSPLoudnessBS1770 : public CSndSP {
public:
    static constexpr double kReferenceRate = 48000.0;  // samples per second of the window
    static constexpr uint32_t kRingCapacity = 1025536; // samples; above the longest window
    static constexpr double kMinWindow = 1.0;          // s
    static constexpr double kMaxWindow = 10.0;         // s
    static constexpr double kOffsetDb = -0.691;
    static constexpr double kSilenceLkfs = -300.0;
    // Filter states below this (full scale 1.0) are set to zero after every block, so that in
    // silence they end at zero rather than in subnormal numbers or a cycle at the bottom of
    // the number range (flush-to-zero alone leaves the latter).
    static constexpr double kFlushBelow = 1e-150;

    CSndSPLoudnessBS1770() = default;
    ~CSndSPLoudnessBS1770() override;

    // Sets the coefficients and weights, takes the requested window as the effective one,
    // reserves the buffers (count 0, zero) and clears the rings, positions and filter states.
    // kOk, or kNoMemory leaving the processor unprepared.
    int Init() override;
    // Takes one block of channels 0 .. channelCount - 1 and writes the loudness at its end to
    // outputs[0] (-300.0 for no channels).
    int Process(CSndIOBuffer* outputs, uint32_t outputCount, uint32_t outputCapacity,
        const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* frameCount) override;

    // Seconds; the engine passes min(its window, 10.0) before Init. Read again every block.
    void SetRequestedWindow(double seconds) { m_requestedWindow = seconds; }
    double GetRequestedWindow() const { return m_requestedWindow; }
    // Seconds: the clamped window of the last block (the requested one right after Init).
    double GetEffectiveWindow() const { return m_effectiveWindow; }

    // The weight of channel c (0-based) in the sum.
    static double ChannelWeight(uint32_t c);
    // What full scale of an input of `type` is divided by (see the class comment).
    static double InputScale(kerrion::SampleType type);

    struct BiquadState {
        double w0, w1, w2; // w[n], w[n-1], w[n-2] of direct form II
    };
    using ChannelState = std::array<BiquadState, 2>; // pre-filter, RLB high-pass

    // The K-weighting state of channel c (c < kMaxChannels), for inspection.
    const ChannelState& GetFilterState(uint32_t c) const { return m_state[c]; }

private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };

    bool Allocate();
    void Release();
    void SetWindow(uint32_t samples);
    void FilterChannel(const CSndIOBuffer& input, uint32_t c, double invScale, uint32_t window);
    void RunFilters(const double* x, uint32_t n, double invScale, uint32_t c, uint32_t window);

    kerrion::ZeroedBufferArray m_working; // kMaxChannels x kMaxBlockFrames doubles: the input
    kerrion::ZeroedBufferArray m_rings;   // kMaxChannels x kRingCapacity: squared samples
    kerrion::ZeroedMemory m_sumMemory;    // the chunk and group sums of every ring
    std::array<kerrion::WindowSums, kMaxChannels> m_sums; // over ring c, for m_window
    std::array<uint32_t, kMaxChannels> m_ringPosition {}; // next ring entry to write
    std::array<ChannelState, kMaxChannels> m_state {};    // per channel, per stage
    Biquad m_stage1Coefficients {};                       // pre-filter (shelf)
    Biquad m_stage2Coefficients {};                       // RLB high-pass
    std::array<double, kMaxChannels> m_weights {};        // per channel
    double m_offset = kOffsetDb;                          // dB
    double m_effectiveWindow = 3.0;                       // s
    double m_referenceRate = kReferenceRate;              // samples per second
    double m_requestedWindow = 3.0;                       // s
    uint32_t m_window = 0;          // ring entries in use: trunc(effective window x rate)
    uint32_t m_channelsTouched = 0; // channels whose rings hold data
    bool m_ready = false;           // Init succeeded
};
