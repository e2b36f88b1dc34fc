#include "platform/sync/WaitSet.h"

#include <chrono>
#include <thread>

namespace kerrion {

WaitSet::WaitSet(std::initializer_list<Waitable*> objects)
    : m_objects(objects)
{
    for (Waitable* object : m_objects)
        object->AddObserver(this);
}

WaitSet::~WaitSet()
{
    for (Waitable* object : m_objects)
        object->RemoveObserver(this);
    // No object marks the set any more; a wake of a mark made before is a few instructions.
    while (m_marking.load(std::memory_order_acquire) != 0)
        std::this_thread::yield();
}

// Runs under the signalled object's mutex, so the set cannot be unregistered and destroyed
// meanwhile; the wake itself comes after the set's own mutex is released, so that the woken
// thread does not find it still held.
void WaitSet::Notify()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
    }
    m_changed.notify_all();
}

// The mark is made under the signalled object's mutex, which keeps the set registered; the
// count of marks keeps it alive from there until the wake, which comes after that mutex is
// released so that the woken thread, taking the object, does not find it still held.
void WaitSet::Mark()
{
    m_marking.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(m_mutex);
    ++m_generation;
}

void WaitSet::WakeMarked()
{
    m_changed.notify_all();
    m_marking.fetch_sub(1, std::memory_order_release);
}

int WaitSet::TryTakeFirst()
{
    for (size_t i = 0; i < m_objects.size(); ++i) {
        if (m_objects[i]->TryTake())
            return static_cast<int>(i);
    }
    return kTimedOut;
}

int WaitSet::Wait(uint32_t milliseconds)
{
    const auto deadline
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(m_mutex);
            seen = m_generation;
        }
        // Any signal after `seen` was read bumps the generation, so the sleep below cannot miss it.
        const int index = TryTakeFirst();
        if (index != kTimedOut || milliseconds == 0)
            return index;
        std::unique_lock lock(m_mutex);
        const auto changed = [&] { return m_generation != seen; };
        if (milliseconds == kWaitForever)
            m_changed.wait(lock, changed);
        else if (!m_changed.wait_until(lock, deadline, changed))
            return kTimedOut;
    }
}

} // namespace kerrion
