#pragma once

// Base of the objects a thread can wait for (events, semaphores, a thread's end). Every
// operation may be called from any thread; waits are timed in milliseconds.

#include "platform/sync/FutexWord.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kerrion {

// Wait without a time limit.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// When a wait of `milliseconds` begun now ends; none for kWaitForever.
inline std::optional<FutexWord::Clock::time_point> WaitDeadline(uint32_t milliseconds)
{
    if (milliseconds == kWaitForever)
        return std::nullopt;
    return FutexWord::Clock::now() + std::chrono::milliseconds(milliseconds);
}

class WaitSet;

class Waitable {
public:
    Waitable() = default;
    virtual ~Waitable();
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    // Takes the object (resets an auto-reset event, decrements a semaphore) once it is signalled,
    // waiting at most `milliseconds` (0 = only look, kWaitForever = no limit). True when taken.
    bool Wait(uint32_t milliseconds);
    bool TryWait() { return Wait(0); }

protected:
    // The wait sets a signal has marked and is still to wake.
    struct SetsToWake {
        static constexpr std::size_t kMost = 4; // an object is in one or two sets
        std::array<WaitSet*, kMost> sets {};
        std::size_t count = 0;
    };

    // Takes the object when it is signalled; called with m_mutex held.
    virtual bool TryTakeLocked() = 0;
    // Tells the wait sets that include this object that it may be signalled; called with
    // m_mutex held. The sets are woken by WakeWaiters: each stays alive until then.
    SetsToWake NotifySetsLocked();
    // Wakes the threads waiting for this object, alone or in `sets`. Called after m_mutex is
    // released: a thread woken while the signalling one still held it would only sleep again
    // on the mutex, two more context switches for every signal. Like any member, it must not
    // run while another thread may destroy the object (every object here is owned jointly or
    // joined).
    void WakeWaiters(const SetsToWake& sets);

    std::mutex m_mutex; // guards the derived object's state and the observer list

private:
    friend class WaitSet;
    bool TryTake();
    void AddObserver(WaitSet* set);
    void RemoveObserver(WaitSet* set);

    FutexWord m_changed;               // bumped at every signal; a Wait without a set sleeps on it
    std::vector<WaitSet*> m_observers; // wait sets that include this object
};

} // namespace kerrion
