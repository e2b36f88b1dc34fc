#include "meter/BlockLevelsRing.h"

namespace kerrion {

BlockLevelsRing::BlockLevelsRing(std::size_t capacity)
{
    std::size_t size = 2;
    while (size < capacity)
        size *= 2;
    m_slots = std::make_unique<BlockLevels[]>(size);
    m_mask = size - 1;
}

bool BlockLevelsRing::Push(const BlockLevels& levels)
{
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    if (written - m_taken.load(std::memory_order_acquire) > m_mask) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    m_slots[written & m_mask] = levels;
    m_written.store(written + 1, std::memory_order_release);
    return true;
}

void BlockLevelsRing::Clear()
{
    m_taken.store(m_written.load(std::memory_order_relaxed), std::memory_order_relaxed);
    m_dropped.store(0, std::memory_order_relaxed);
}

bool BlockLevelsRing::Take(BlockLevels& out)
{
    const std::size_t taken = m_taken.load(std::memory_order_relaxed);
    if (taken == m_written.load(std::memory_order_acquire))
        return false;
    out = m_slots[taken & m_mask];
    m_taken.store(taken + 1, std::memory_order_release);
    return true;
}

} // namespace kerrion
