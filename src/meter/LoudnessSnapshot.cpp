#include "meter/LoudnessSnapshot.h"

#include <cstring>
#include <type_traits>

namespace kerrion {

static_assert(std::is_trivially_copyable_v<LoudnessReadings>);

void LoudnessSnapshot::Publish(const LoudnessReadings& readings)
{
    std::array<uint64_t, kWords> words {};
    std::memcpy(words.data(), &readings, sizeof readings);
    const uint32_t sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    // Release on every word keeps the odd sequence ahead of it: a reader that sees a new word
    // sees the sequence move and reads again. (No fences: the thread sanitizer cannot follow
    // them.)
    for (std::size_t i = 0; i < kWords; ++i)
        m_words[i].store(words[i], std::memory_order_release);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

LoudnessReadings LoudnessSnapshot::Read() const
{
    std::array<uint64_t, kWords> words {};
    for (;;) {
        const uint32_t before = m_sequence.load(std::memory_order_acquire);
        if (before % 2 != 0)
            continue;
        // Acquire on every word keeps the second look at the sequence after them.
        for (std::size_t i = 0; i < kWords; ++i)
            words[i] = m_words[i].load(std::memory_order_acquire);
        if (m_sequence.load(std::memory_order_relaxed) == before)
            break;
    }
    LoudnessReadings readings;
    std::memcpy(static_cast<void*>(&readings), words.data(), sizeof readings);
    return readings;
}

} // namespace kerrion
