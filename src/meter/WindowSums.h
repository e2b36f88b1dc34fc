#pragma once

// The exact sum of a ring of non-negative values (the squared K-weighted samples of one
// loudness channel), kept per chunk of kChunk ring entries and per group of kGroup chunks.
// After a block writes into the ring, only the chunks it touched are summed again from the
// ring, then the groups holding them, so a block costs O(block + window / (kChunk * kGroup))
// instead of a sum over the whole window. Every stored sum is recomputed from the ring, never
// adjusted by adding the new and subtracting the old values: such a running sum drifts, can
// fall below zero in silence and break the logarithm. The result equals a plain sum of the
// window up to the rounding of the summation order (relative 1e-13 for a 10 s window).
//
// The storage is the caller's (zeroed memory of ChunkCount and GroupCount doubles).
// Threads: the owning processor's thread; allocates nothing.

#include <cstddef>
#include <cstdint>

namespace kerrion {

class WindowSums {
public:
    static constexpr uint32_t kChunk = 64; // ring entries per chunk
    static constexpr uint32_t kGroup = 64; // chunks per group

    static constexpr uint32_t ChunkCount(uint32_t entries)
    {
        return (entries + kChunk - 1) / kChunk;
    }
    static constexpr uint32_t GroupCount(uint32_t entries)
    {
        return (ChunkCount(entries) + kGroup - 1) / kGroup;
    }

    // Uses `ring` and sum storage for a ring of up to `capacity` entries (ChunkCount(capacity)
    // and GroupCount(capacity) doubles). The sums must describe the ring as it is (all zero
    // for a zero ring) for a window of `window` entries.
    void Bind(const double* ring, double* chunkSums, double* groupSums, uint32_t window);

    // Ring entries [first, first + n) modulo the window were written; n <= window.
    void Update(uint32_t first, uint32_t n);
    // Recomputes every sum for a window of `window` entries (the ring length in use changed).
    void Rebuild(uint32_t window);
    // Sum of ring entries [0, window).
    double Total() const;

    uint32_t Window() const { return m_window; }

private:
    void UpdateRange(uint32_t begin, uint32_t end);
    double ChunkSum(uint32_t chunk) const;
    double GroupSum(uint32_t group) const;

    const double* m_ring = nullptr; // ring entries
    double* m_chunkSums = nullptr;  // sum of each chunk of the window
    double* m_groupSums = nullptr;  // sum of each group of chunk sums
    uint32_t m_window = 0;          // ring entries in use
};

// Sum of x[0..n-1] with four partial sums (the order is fixed, so the result is repeatable).
double SumOf(const double* x, uint32_t n);

} // namespace kerrion
