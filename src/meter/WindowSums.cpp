#include "meter/WindowSums.h"

#include <algorithm>

namespace kerrion {

double SumOf(const double* x, uint32_t n)
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += x[i];
        s1 += x[i + 1];
        s2 += x[i + 2];
        s3 += x[i + 3];
    }
    for (; i < n; ++i)
        s0 += x[i];
    return (s0 + s1) + (s2 + s3);
}

void WindowSums::Bind(const double* ring, double* chunkSums, double* groupSums, uint32_t window)
{
    m_ring = ring;
    m_chunkSums = chunkSums;
    m_groupSums = groupSums;
    m_window = window;
}

void WindowSums::Update(uint32_t first, uint32_t n)
{
    if (n == 0 || m_window == 0)
        return;
    first %= m_window;
    n = std::min(n, m_window);
    const uint32_t firstEnd = std::min(first + n, m_window);
    UpdateRange(first, firstEnd);
    if (first + n > m_window)
        UpdateRange(0, first + n - m_window);
}

void WindowSums::Rebuild(uint32_t window)
{
    m_window = window;
    if (window > 0)
        UpdateRange(0, window);
}

double WindowSums::Total() const
{
    double total = 0.0;
    const uint32_t groups = GroupCount(m_window);
    for (uint32_t g = 0; g < groups; ++g)
        total += m_groupSums[g];
    return total;
}

void WindowSums::UpdateRange(uint32_t begin, uint32_t end)
{
    const uint32_t firstChunk = begin / kChunk;
    const uint32_t lastChunk = (end - 1) / kChunk;
    for (uint32_t k = firstChunk; k <= lastChunk; ++k)
        m_chunkSums[k] = ChunkSum(k);
    for (uint32_t g = firstChunk / kGroup; g <= lastChunk / kGroup; ++g)
        m_groupSums[g] = GroupSum(g);
}

double WindowSums::ChunkSum(uint32_t chunk) const
{
    const uint32_t begin = chunk * kChunk;
    return SumOf(m_ring + begin, std::min(kChunk, m_window - begin));
}

double WindowSums::GroupSum(uint32_t group) const
{
    const uint32_t begin = group * kGroup;
    return SumOf(m_chunkSums + begin, std::min(kGroup, ChunkCount(m_window) - begin));
}

} // namespace kerrion
