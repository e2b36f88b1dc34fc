#include "platform/sync/WaitSet.h"

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
// meanwhile.
void WaitSet::Notify()
{
    m_generation.Increment();
    m_generation.WakeAll();
}

// The mark is made under the signalled object's mutex, which keeps the set registered; the
// count of marks keeps it alive from there until the wake, which comes after that mutex is
// released so that the woken thread, taking the object, does not find it still held.
void WaitSet::Mark()
{
    m_marking.fetch_add(1, std::memory_order_relaxed);
    m_generation.Increment();
}

void WaitSet::WakeMarked()
{
    m_generation.WakeAll();
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
    int index = kTimedOut;
    m_generation.WaitUntil(
        [&] {
            index = TryTakeFirst();
            return index != kTimedOut;
        },
        WaitDeadline(milliseconds));
    return index;
}

} // namespace kerrion
