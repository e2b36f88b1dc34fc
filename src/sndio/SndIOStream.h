#pragma once

// One direction of a device: its format, the channels streamed and its four ring slots.
// The engine thread sets enabled and active channels before the rings are allocated; after the
// device thread has started, each slot (its blocks and frame count) is owned by one side at a
// time, passed only through the ring semaphores of CSndIOThreadContext. Position and missed
// slots are written by the device thread and read by the engine thread.

#include "sndio/SampleType.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CSndIOStream {
public:
    static constexpr int kSlots = 4;
    static constexpr int kMaxChannels = 64;

    CSndIOStream() = default;
    CSndIOStream(const CSndIOStream&) = delete;
    CSndIOStream& operator=(const CSndIOStream&) = delete;

    // Every field to 0, ring freed.
    void Clear();
    // Copies the format and channel fields (not the ring, positions or counters).
    void CopySettingsFrom(const CSndIOStream& other);

    // Zero-filled blocks for the 4 slots: one per active channel and, when interleaved, one
    // interleaved block per slot. 1, or 0 when bytes per sample or available channels are 0 or
    // memory runs out (nothing is left allocated). Active channels 0: nothing to allocate, 1.
    int AllocateRing(uint32_t frames);
    void FreeRing();
    // Silences every block; slot frame counts and the engine slot index to 0.
    void ClearRing();
    bool HasRing() const { return m_storage != nullptr; }

    uint32_t m_deviceIndex = 0;
    uint8_t m_enabled = 0;            // streamed at all; set by the engine
    uint8_t m_interleaved = 0;        // the device thread uses the interleaved blocks
    uint32_t m_availableChannels = 0; // the device's channels in this direction; 0 = none
    uint32_t m_activeChannels = 0;    // channels streamed; set by the engine, at most 64
    uint32_t m_bitsPerSample = 0;
    uint32_t m_bytesPerSample = 0;
    double m_sampleRate = 0.0; // Hz
    kerrion::SampleType m_sampleType = 0;
    uint32_t m_bufferFrames = 0;                         // frames per slot
    uint32_t m_engineSlot = 0;                           // next slot of the engine side, 0..3
    uint32_t m_slotFrames[kSlots] = {};                  // frames valid per slot
    uint8_t* m_channelBlocks[kSlots][kMaxChannels] = {}; // buffer frames x bytes each
    uint8_t* m_interleavedBlocks[kSlots] = {};           // x active channels, or null
    std::atomic<uint32_t> m_position { 0 };              // frames; written by the device thread
    std::atomic<uint32_t> m_missedSlots { 0 }; // times the device thread gave up on the engine

private:
    std::unique_ptr<uint8_t[]> m_storage; // every block of the ring, one allocation
    size_t m_storageBytes = 0;
};
