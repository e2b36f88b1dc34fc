#pragma once

// The sample buffers of one engine run, allocated once when the run is set up and released
// when it ends: the silent output set, the input set filled by Transfer, the eight meter
// buffers, the five processor result sets and the dump buffers. Engine thread only; after
// Create nothing here allocates.

#include "sndio/SndIOBuffer.h"

#include <cstdint>

namespace kerrion {

// One array made by CreateBufferArray, destroyed with it.
class BufferArray {
public:
    BufferArray() = default;
    ~BufferArray() { DestroyBufferArray(m_buffers, m_count); }
    BufferArray(const BufferArray&) = delete;
    BufferArray& operator=(const BufferArray&) = delete;

    // `count` buffers of `samples` samples of `type`; an empty array (count 0) is no failure.
    bool Create(SampleType type, uint32_t samples, int count);

    CSndIOBuffer* Get() const { return m_buffers; }
    CSndIOBuffer& operator[](int i) const { return m_buffers[i]; }
    int Count() const { return m_count; }
    // Every buffer to count 0, all samples silent. Per-block path.
    void Clear() const;

private:
    CSndIOBuffer* m_buffers = nullptr;
    int m_count = 0;
};

struct EngineBuffers {
    static constexpr int kMeters = 8;
    static constexpr uint32_t kResultCapacity = 16384; // values per processor result buffer
    enum Result { kPeak, kVU, kSecondLoudness, kLoudness, kNeedle, kResults };

    // True when every set could be allocated.
    bool Create(int outputs, int inputs, int processorChannels, int dumpChannels,
        SampleType blockType, uint32_t blockFrames);

    BufferArray output;            // outputs x block frames, block type; always silent
    BufferArray input;             // inputs x block frames, block type
    BufferArray meters;            // 8 x block frames, block type
    BufferArray results[kResults]; // processor channels x 16384, 64-bit float
    BufferArray dump;              // dump channels x block frames, 16-bit
    CSndIOBuffer interleave;       // block frames x dump channels, 16-bit
};

} // namespace kerrion
