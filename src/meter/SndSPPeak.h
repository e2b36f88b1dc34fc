#pragma once

// Block peak per channel: the largest absolute sample value of the block, in 16-bit units
// (0 to 32768). No history: peak hold and the over lamp are made by the display from the
// stream of block peaks. The engine turns p into dBFS as 20 log10(p / 32768) (-96.0 below
// 1e-300), see PeakLevelDb.
//
// Threads: Init at run set-up; Process on the engine thread.

#include "meter/SndSP.h"
#include "meter/ZeroedBufferArray.h"

class CSndSPPeak : public CSndSP {
public:
    CSndSPPeak() = default;
    ~CSndSPPeak() override;

    // Allocates the working buffers (kMaxChannels x kMaxBlockFrames, 16-bit, count 0, silent).
    int Init() override;
    // Writes the block peak of channels 0 .. channelCount - 1 (0.0 for an empty block).
    int Process(CSndIOBuffer* outputs, uint32_t outputCount, uint32_t outputCapacity,
        const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* frameCount) override;

    // The peak level in dBFS of a block peak p: -96.0 when p < 1e-300, otherwise
    // 20 log10(p * 3.0517578125e-05), so -32768 reads exactly 0.0 and 32767 -0.000265.
    static double PeakLevelDb(double p);

private:
    kerrion::ZeroedBufferArray m_working; // type 16, one buffer per channel
};
