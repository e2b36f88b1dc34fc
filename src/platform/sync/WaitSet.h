#pragma once

// A wait for any one of several objects. Wait returns the index of the first signalled object in
// the set's order and takes only that one. The set is built once (it registers itself with its
// objects, which allocates) and then waited on without allocating; the objects must outlive it.
// One thread waits on a set at a time; any thread may signal its objects.

#include "platform/sync/Waitable.h"

#include <atomic>
#include <initializer_list>

namespace kerrion {

class WaitSet {
public:
    static constexpr int kTimedOut = -1;

    WaitSet(std::initializer_list<Waitable*> objects);
    ~WaitSet();
    WaitSet(const WaitSet&) = delete;
    WaitSet& operator=(const WaitSet&) = delete;

    // Index of the object taken, or kTimedOut after `milliseconds` (kWaitForever = no limit).
    int Wait(uint32_t milliseconds);

private:
    friend class Waitable;
    // An object of the set may have become signalled; any thread, under that object's mutex.
    void Notify();
    // Notify in two steps: Mark under the object's mutex, WakeMarked once it is released.
    void Mark();
    void WakeMarked();

    int TryTakeFirst();

    std::vector<Waitable*> m_objects;
    FutexWord m_generation; // counts notifications, so none is lost between look and sleep
    std::atomic<int> m_marking { 0 }; // marks whose wake is still to come; the set outlives them
};

} // namespace kerrion
