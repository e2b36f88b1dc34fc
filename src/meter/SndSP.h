#pragma once

// Base of the metering processors. A processor takes one block of samples for each of several
// channels (a contiguous array of CSndIOBuffer, channel 0 first) and returns one value per
// channel, or one value for all channels: the value of channel c is the first element of
// outputs[c] (a 64-bit float), whose count becomes min(capacity, 1).
//
// Every processor reads a channel through a working buffer of its own sample type (the
// representation it wants, made by CSndIOBuffer::Convert), so it handles at most kMaxChannels
// channels of at most kMaxBlockFrames samples per block. A processor whose initialisation
// failed, or that was never initialised, produces no values and touches no buffer.
//
// Threads: construction, Init and destruction happen when a run is set up and torn down (they
// allocate); Process runs on the engine thread once per block and allocates nothing, locks
// nothing and calls nothing that may block.

#include "sndio/SndIOBuffer.h"

#include <algorithm>
#include <cstdint>

class CSndSP {
public:
    static constexpr int kOk = 1;
    static constexpr int kNoMemory = 0x101; // a working buffer could not be allocated
    static constexpr uint32_t kMaxChannels = 64;
    static constexpr uint32_t kMaxBlockFrames = 32768;

    CSndSP() = default;
    CSndSP(const CSndSP&) = delete;
    CSndSP& operator=(const CSndSP&) = delete;
    virtual ~CSndSP();

    // Prepares the processor; kOk, or kNoMemory. The base has nothing to prepare.
    virtual int Init();
    // Processes one block of channels 0 .. channelCount - 1 of `inputs` into `outputs`; always
    // returns kOk. outputCount, outputCapacity and frameCount are passed by the engine for
    // every processor alike; none of them reads them. The base does nothing. Engine thread.
    virtual int Process(CSndIOBuffer* outputs, uint32_t outputCount, uint32_t outputCapacity,
        const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* frameCount);

protected:
    // The block of `input` as `working`'s sample type T, with what Convert would leave in
    // `working`: the input's own samples when it already has that type (no copy), otherwise
    // the samples converted into `working`. `count` receives the number of samples, at most
    // the working capacity. Engine thread; allocates nothing.
    template <typename T>
    static const T* ReadBlock(const CSndIOBuffer& input, CSndIOBuffer& working, uint32_t& count);

    // Writes `value` as the first element of `output` and sets its count to min(capacity, 1);
    // an output that cannot hold a 64-bit float is left alone.
    static void WriteResult(CSndIOBuffer& output, double value);

    static uint32_t ClampChannels(uint32_t channelCount)
    {
        return std::min(channelCount, kMaxChannels);
    }

private:
    static bool CopySameType(const CSndIOBuffer& input, CSndIOBuffer& working);
};

template <typename T>
const T* CSndSP::ReadBlock(const CSndIOBuffer& input, CSndIOBuffer& working, uint32_t& count)
{
    if (input.Type() == working.Type() && input.HasData()
        && reinterpret_cast<uintptr_t>(input.Bytes()) % alignof(T) == 0) {
        count = std::min(input.Count(), working.Capacity());
        return input.Samples<T>();
    }
    if (!CopySameType(input, working))
        working.Convert(input);
    count = working.Count();
    return working.Samples<T>();
}
