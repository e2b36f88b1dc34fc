#include "platform/sync/Waitable.h"

#include "platform/sync/WaitSet.h"

#include <algorithm>

namespace kerrion {

Waitable::~Waitable() = default;

bool Waitable::Wait(uint32_t milliseconds)
{
    return m_changed.WaitUntil([this] { return TryTake(); }, WaitDeadline(milliseconds));
}

Waitable::SetsToWake Waitable::NotifySetsLocked()
{
    SetsToWake marked;
    for (WaitSet* set : m_observers) {
        if (marked.count < SetsToWake::kMost) {
            set->Mark();
            marked.sets[marked.count++] = set;
        } else {
            set->Notify(); // more sets than are ever made here: woken at once
        }
    }
    return marked;
}

void Waitable::WakeWaiters(const SetsToWake& sets)
{
    for (std::size_t i = 0; i < sets.count; ++i)
        sets.sets[i]->WakeMarked();
    m_changed.Increment();
    m_changed.WakeAll();
}

bool Waitable::TryTake()
{
    std::lock_guard lock(m_mutex);
    return TryTakeLocked();
}

void Waitable::AddObserver(WaitSet* set)
{
    std::lock_guard lock(m_mutex);
    m_observers.push_back(set);
}

void Waitable::RemoveObserver(WaitSet* set)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), set), m_observers.end());
}

} // namespace kerrion
