#include "platform/sync/Event.h"

namespace kerrion {

Event::Event(bool manualReset, bool initiallySet)
    : m_manualReset(manualReset)
    , m_set(initiallySet)
{
}

void Event::Set()
{
    SetsToWake sets;
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
        sets = NotifySetsLocked();
    }
    WakeWaiters(sets);
}

void Event::Reset()
{
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool Event::IsSet()
{
    std::lock_guard lock(m_mutex);
    return m_set;
}

bool Event::TryTakeLocked()
{
    if (!m_set)
        return false;
    if (!m_manualReset)
        m_set = false;
    return true;
}

} // namespace kerrion
