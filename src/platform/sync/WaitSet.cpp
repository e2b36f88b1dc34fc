#include "platform/sync/WaitSet.h"

#include <chrono>

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
