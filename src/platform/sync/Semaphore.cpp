#include "platform/sync/Semaphore.h"

#include <algorithm>

namespace kerrion {

Semaphore::Semaphore(uint32_t initialCount, uint32_t maximumCount)
    : m_count(std::min(initialCount, maximumCount))
    , m_maximum(maximumCount)
{
}

bool Semaphore::Give()
{
    SetsToWake sets;
    {
        std::lock_guard lock(m_mutex);
        if (m_count >= m_maximum)
            return false;
        ++m_count;
        sets = NotifySetsLocked();
    }
    WakeWaiters(sets);
    return true;
}

void Semaphore::Reset(uint32_t count, uint32_t maximumCount)
{
    bool signalled = false;
    SetsToWake sets;
    {
        std::lock_guard lock(m_mutex);
        m_maximum = maximumCount;
        m_count = std::min(count, maximumCount);
        signalled = m_count > 0;
        if (signalled)
            sets = NotifySetsLocked();
    }
    if (signalled)
        WakeWaiters(sets);
}

uint32_t Semaphore::Count()
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

bool Semaphore::TryTakeLocked()
{
    if (m_count == 0)
        return false;
    --m_count;
    return true;
}

} // namespace kerrion
