#include "sndio/SndIOStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Blocks start on 16-byte boundaries so that every sample type is aligned.
size_t AlignUp(size_t bytes) { return (bytes + 15u) & ~static_cast<size_t>(15u); }

} // namespace

void CSndIOStream::Clear()
{
    FreeRing();
    m_deviceIndex = 0;
    m_enabled = 0;
    m_interleaved = 0;
    m_availableChannels = 0;
    m_activeChannels = 0;
    m_bitsPerSample = 0;
    m_bytesPerSample = 0;
    m_sampleRate = 0.0;
    m_sampleType = 0;
    m_bufferFrames = 0;
    m_position = 0;
    m_missedSlots = 0;
}

void CSndIOStream::CopySettingsFrom(const CSndIOStream& other)
{
    m_deviceIndex = other.m_deviceIndex;
    m_enabled = other.m_enabled;
    m_interleaved = other.m_interleaved;
    m_availableChannels = other.m_availableChannels;
    m_activeChannels = other.m_activeChannels;
    m_bitsPerSample = other.m_bitsPerSample;
    m_bytesPerSample = other.m_bytesPerSample;
    m_sampleRate = other.m_sampleRate;
    m_sampleType = other.m_sampleType;
    m_bufferFrames = other.m_bufferFrames;
}

int CSndIOStream::AllocateRing(uint32_t frames)
{
    FreeRing();
    if (m_bytesPerSample == 0 || m_availableChannels == 0)
        return 0;
    // The engine sets the active channels; never more than the device has or a slot can hold.
    m_activeChannels
        = std::min({ m_activeChannels, m_availableChannels, static_cast<uint32_t>(kMaxChannels) });
    if (m_activeChannels == 0) {
        m_bufferFrames = frames; // keeps the slot duration known for a direction not streamed
        return 1;
    }
    const size_t block = AlignUp(static_cast<size_t>(frames) * m_bytesPerSample);
    const size_t interleaved = m_interleaved ? AlignUp(block * m_activeChannels) : 0;
    const size_t perSlot = block * m_activeChannels + interleaved;
    m_storage.reset(new (std::nothrow) uint8_t[perSlot * kSlots]());
    if (!m_storage)
        return 0;
    m_storageBytes = perSlot * kSlots;
    for (int s = 0; s < kSlots; ++s) {
        uint8_t* slot = m_storage.get() + perSlot * static_cast<size_t>(s);
        for (uint32_t c = 0; c < m_activeChannels; ++c)
            m_channelBlocks[s][c] = slot + block * c;
        m_interleavedBlocks[s] = m_interleaved ? slot + block * m_activeChannels : nullptr;
        m_slotFrames[s] = 0;
    }
    m_bufferFrames = frames;
    m_engineSlot = 0;
    return 1;
}

void CSndIOStream::FreeRing()
{
    m_storage.reset();
    m_storageBytes = 0;
    for (int s = 0; s < kSlots; ++s) {
        std::fill(std::begin(m_channelBlocks[s]), std::end(m_channelBlocks[s]), nullptr);
        m_interleavedBlocks[s] = nullptr;
        m_slotFrames[s] = 0;
    }
    m_bufferFrames = 0;
    m_engineSlot = 0;
}

void CSndIOStream::ClearRing()
{
    // Silence for 8-bit unsigned is 128, for every other type 0.
    const int silence = m_sampleType == kerrion::kSampleUInt8 ? 128 : 0;
    if (m_storage)
        std::memset(m_storage.get(), silence, m_storageBytes);
    std::fill(std::begin(m_slotFrames), std::end(m_slotFrames), 0u);
    m_engineSlot = 0;
}
