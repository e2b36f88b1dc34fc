#pragma once

// The latest broadcast loudness readings, handed from the engine thread to any reader without a
// lock (a sequence lock): the single writer bumps a counter to odd, stores the words, bumps it to
// even; a reader copies the words and keeps the copy only when the counter was even and
// unchanged around it, so it never sees half of one block's readings and half of another's.
// The words are atomics, so the copy is free of data races.
//
// Threads: Publish from one thread at a time (the engine thread while a run is going, the
// controlling thread before it starts); Read from any thread. Neither allocates or blocks;
// Read retries while a Publish is under way (a few hundred nanoseconds at most).

#include "meter/LoudnessReadings.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace kerrion {

class LoudnessSnapshot {
public:
    LoudnessSnapshot() { Publish(LoudnessReadings {}); }

    void Publish(const LoudnessReadings& readings);
    LoudnessReadings Read() const;

private:
    static constexpr std::size_t kWords = (sizeof(LoudnessReadings) + 7) / 8;

    std::atomic<uint32_t> m_sequence { 0 };            // odd while a Publish is under way
    std::array<std::atomic<uint64_t>, kWords> m_words {}; // the readings' bytes
};

} // namespace kerrion
