#pragma once

// A 32-bit word that threads sleep on until it changes (a Linux futex). A waker makes no system
// call while nobody sleeps, and a woken thread takes no lock: a condition variable costs two
// more system calls per wake-up (its mutex, taken back by the woken thread, is always released
// with a wake even when nobody waits for it), which at hundreds of blocks a second on every
// thread of the audio path was a measurable share of the metering's cost.
//
// Header only, so that the driver plug-ins, which link no host library, use the same one.
// Any thread; allocates nothing.

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <optional>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kerrion {

class FutexWord {
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC, as the futex's deadline

    explicit FutexWord(uint32_t value = 0)
        : m_value(value)
    {
    }
    FutexWord(const FutexWord&) = delete;
    FutexWord& operator=(const FutexWord&) = delete;

    uint32_t Load() const { return Word().load(); }
    void Store(uint32_t value) { Word().store(value); }
    void Increment() { Word().fetch_add(1); }

    // Wakes every thread sleeping on the word. Call it after changing the word: a sleeper that
    // counted itself before the change is woken, one that counts itself after sees the change.
    void WakeAll()
    {
        if (m_sleepers.load() > 0)
            Futex(FUTEX_WAKE_PRIVATE, INT_MAX, nullptr);
    }

    // Looks with `done` until it answers true, sleeping between looks until the word changes;
    // false once `deadline`, when there is one, has passed (after one last look). A change made
    // after a look wakes the sleep that follows it: the word is read before each look.
    template <class Done>
    bool WaitUntil(Done done, std::optional<Clock::time_point> deadline = std::nullopt)
    {
        for (;;) {
            const uint32_t seen = Load();
            if (done())
                return true;
            if (deadline && Clock::now() >= *deadline)
                return false;
            Sleep(seen, deadline);
        }
    }

private:
    std::atomic_ref<uint32_t> Word() const { return std::atomic_ref<uint32_t>(m_value); }

    // Sleeps while the word holds `seen`, until woken or the deadline passes; may return early
    // (a signal, a wake for another change).
    void Sleep(uint32_t seen, std::optional<Clock::time_point> deadline)
    {
        timespec until {};
        if (deadline) {
            const auto since = deadline->time_since_epoch();
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
            until.tv_sec = static_cast<time_t>(seconds.count());
            until.tv_nsec = static_cast<long>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
        }
        m_sleepers.fetch_add(1);
        // The kernel compares the word with `seen` before sleeping: a change made after the
        // caller looked, but before this, returns at once.
        if (Load() == seen)
            Futex(FUTEX_WAIT_BITSET_PRIVATE, seen, deadline ? &until : nullptr);
        m_sleepers.fetch_sub(1);
    }

    long Futex(int operation, uint32_t value, const timespec* until) const
    {
        return syscall(
            SYS_futex, &m_value, operation, value, until, nullptr, FUTEX_BITSET_MATCH_ANY);
    }

    alignas(std::atomic_ref<uint32_t>::required_alignment) mutable uint32_t m_value;
    std::atomic<int> m_sleepers { 0 };
};

} // namespace kerrion
