#pragma once

// The working buffers of a processor: an array of CSndIOBuffer views, each over its own part of
// one block of ZeroedMemory, so that only the samples a run really touches become resident.
// The buffers behave like those of CreateBufferArray (count 0, every sample silent) for the
// types whose silence is byte 0 (every type but 8-bit unsigned, which no processor uses).
// Threads: Create and Destroy at set-up and tear-down; the buffers are used by the processor's
// thread.

#include "meter/ZeroedMemory.h"
#include "sndio/SndIOBuffer.h"

#include <cstdint>
#include <memory>

namespace kerrion {

class ZeroedBufferArray {
public:
    ZeroedBufferArray() = default;
    ZeroedBufferArray(const ZeroedBufferArray&) = delete;
    ZeroedBufferArray& operator=(const ZeroedBufferArray&) = delete;
    ~ZeroedBufferArray() = default;

    // Makes `count` buffers of `samples` samples of `type` each, count 0. Returns false,
    // holding nothing, when memory cannot be had. Replaces what was held.
    bool Create(SampleType type, uint32_t samples, uint32_t count) noexcept;
    void Destroy() noexcept;

    bool Empty() const { return m_buffers == nullptr; }
    uint32_t Size() const { return m_count; }
    CSndIOBuffer& operator[](uint32_t i) { return m_buffers[i]; }
    const CSndIOBuffer& operator[](uint32_t i) const { return m_buffers[i]; }

private:
    std::unique_ptr<CSndIOBuffer[]> m_buffers; // views; destroyed before the memory below
    ZeroedMemory m_memory;                     // the samples of every buffer, back to back
    uint32_t m_count = 0;                      // buffers
};

} // namespace kerrion
