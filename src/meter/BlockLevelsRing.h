#pragma once

// A fixed ring of block levels from the engine's worker (the one writer) to one reader, so that
// a reader that wakes once in many blocks still sees every block's own levels. Built with its
// capacity (which allocates); Push and Take then allocate nothing and take no lock. A full ring
// keeps what it holds and counts the blocks it could not take.

#include "meter/BlockLevels.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kerrion {

class BlockLevelsRing {
public:
    // `capacity` is rounded up to a power of two (at least 2).
    explicit BlockLevelsRing(std::size_t capacity);

    std::size_t Capacity() const { return m_mask + 1; }
    // Writer: false (and counted) when the ring is full.
    bool Push(const BlockLevels& levels);
    // Reader: the oldest block not taken yet; false when there is none.
    bool Take(BlockLevels& out);
    // Forgets every block waiting and the count of dropped ones; only while no writer runs.
    void Clear();
    // Blocks the writer found no room for, since construction or Clear.
    uint64_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<BlockLevels[]> m_slots;
    std::size_t m_mask = 0;
    alignas(64) std::atomic<std::size_t> m_written { 0 }; // the writer's count
    alignas(64) std::atomic<std::size_t> m_taken { 0 };   // the reader's count
    std::atomic<uint64_t> m_dropped { 0 };
};

} // namespace kerrion
