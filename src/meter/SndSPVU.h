#pragma once

// VU ballistics per channel: the full-wave rectified signal (16-bit units) through a
// Butterworth low-pass filter at the audio rate, read at the end of every block. The filter
// state carries over from block to block, so a block only decides when the reading is taken.
// The low-pass has unity DC gain, so its output settles at the mean absolute sample value
// (2A/pi for a sine of peak A); the level is
//   20 log10(y / 32767) - reference + 3.936342 dB   (-96.0 when y < 0.5),
// where 3.936342 stands in for 20 log10(pi/2) and makes a sine peaking `reference` dB below
// full scale read 0.0.
//
// Threads: InitFilter and SetReference at run set-up; Process on the engine thread.

#include "meter/BwLPF.h"
#include "meter/SndSP.h"
#include "meter/ZeroedBufferArray.h"
#include "meter/ZeroedMemory.h"

#include <memory>

class CSndSPVU : public CSndSP {
public:
    static constexpr double kDesignRate = 48000.0; // Hz; the filters assume this rate
    static constexpr double kSineCorrectionDb = 3.936342;
    static constexpr double kSilenceDb = -96.0;
    static constexpr double kEmptyBlockLevel = 0.0; // a channel with no samples this block
    // Filter states below this (16-bit units, 3000 dB below one step) are set to zero after
    // every block: in silence a decaying state ends at zero, instead of running into
    // subnormal numbers or circling at the bottom of the number range.
    static constexpr double kFlushBelow = 1e-150;

    CSndSPVU() = default;
    ~CSndSPVU() override;

    // Plain Init prepares nothing (the filters need their design): use InitFilter.
    // Per block: the level of channels 0 .. channelCount - 1, or nothing when not initialised.
    int Process(CSndIOBuffer* outputs, uint32_t outputCount, uint32_t outputCapacity,
        const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* frameCount) override;

    // Allocates the working buffers, then creates and designs the 64 channel filters:
    // Butterworth, `cutoff` Hz at 3 dB, `order` fixed (an order the filter's setter refuses
    // leaves its default, 1), always for kDesignRate (sampleRate is not used: the ballistics
    // are defined at 48 kHz). State zero. kOk, or kNoMemory leaving the processor unprepared.
    virtual int InitFilter(double sampleRate, double cutoff, int order);
    virtual int InitFilter(double cutoff, int order);

    // dB subtracted from every reading (the engine passes -20).
    void SetReference(int16_t db) { m_referenceDb = db; }
    int16_t GetReference() const { return m_referenceDb; }

    // Channel c's filter, for inspection; null before InitFilter succeeded.
    const CBwLPF* GetFilter(uint32_t c) const;

private:
    double ChannelLevel(const CSndIOBuffer& input, uint32_t c);

    kerrion::ZeroedBufferArray m_working; // kMaxChannels x kMaxBlockFrames, type 16
    kerrion::ZeroedMemory m_rectified;    // kMaxBlockFrames doubles: |s| of one channel
    std::unique_ptr<CBwLPF[]> m_filters;  // kMaxChannels filters, state kept across blocks
    int16_t m_referenceDb = -20;          // dB
};
