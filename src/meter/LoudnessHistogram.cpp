#include "meter/LoudnessHistogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kerrion {
namespace {

constexpr double kOffsetDb = -0.691; // BS.1770: a 1 kHz sine reads its own level
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

LoudnessHistogram::LoudnessHistogram()
    : m_binCount(kBins)
    , m_binEnergy(kBins)
    , m_countTree(kBins + 1)
    , m_energyTree(kBins + 1)
{
}

void LoudnessHistogram::Clear()
{
    std::fill(m_binCount.begin(), m_binCount.end(), 0);
    std::fill(m_binEnergy.begin(), m_binEnergy.end(), 0.0);
    std::fill(m_countTree.begin(), m_countTree.end(), 0);
    std::fill(m_energyTree.begin(), m_energyTree.end(), 0.0);
    m_count = 0;
    m_energy = 0.0;
}

double LoudnessHistogram::LoudnessOf(double energy) { return kOffsetDb + 10.0 * std::log10(energy); }

int LoudnessHistogram::BinOf(double loudness) const
{
    const double bin = std::floor((loudness - kGateLkfs) / kBinLu);
    return static_cast<int>(std::clamp(bin, 0.0, static_cast<double>(kBins - 1)));
}

double LoudnessHistogram::BinLoudness(int bin) const
{
    const auto b = static_cast<std::size_t>(bin);
    return LoudnessOf(m_binEnergy[b] / static_cast<double>(m_binCount[b]));
}

void LoudnessHistogram::Add(double energy)
{
    if (!(energy > 0.0))
        return;
    const double loudness = LoudnessOf(energy);
    if (loudness < kGateLkfs)
        return;
    const int bin = BinOf(loudness);
    ++m_binCount[static_cast<std::size_t>(bin)];
    m_binEnergy[static_cast<std::size_t>(bin)] += energy;
    for (int i = bin + 1; i <= kBins; i += i & -i) {
        ++m_countTree[static_cast<std::size_t>(i)];
        m_energyTree[static_cast<std::size_t>(i)] += energy;
    }
    ++m_count;
    m_energy += energy;
}

uint64_t LoudnessHistogram::CountBelow(int bin) const
{
    uint64_t sum = 0;
    for (int i = bin; i > 0; i -= i & -i)
        sum += m_countTree[static_cast<std::size_t>(i)];
    return sum;
}

double LoudnessHistogram::EnergyBelow(int bin) const
{
    double sum = 0.0;
    for (int i = bin; i > 0; i -= i & -i)
        sum += m_energyTree[static_cast<std::size_t>(i)];
    return sum;
}

// The first bin whose blocks are all taken as above the gate: the gate's own bin when its mean
// is above the gate, else the next.
int LoudnessHistogram::FirstBinAbove(double gateLoudness) const
{
    if (gateLoudness < kGateLkfs)
        return 0;
    const int bin = BinOf(gateLoudness);
    const bool inside = m_binCount[static_cast<std::size_t>(bin)] > 0;
    return inside && BinLoudness(bin) > gateLoudness ? bin : bin + 1;
}

double LoudnessHistogram::GatedLoudness(double gateLu) const
{
    if (m_count == 0)
        return kNaN;
    const double gate = LoudnessOf(m_energy / static_cast<double>(m_count)) + gateLu;
    const int first = FirstBinAbove(gate);
    const uint64_t count = m_count - CountBelow(first);
    if (count == 0)
        return kNaN;
    const double energy = m_energy - EnergyBelow(first);
    return LoudnessOf(energy / static_cast<double>(count));
}

// Descends the count tree to the bin whose cumulative count first exceeds `rank`.
int LoudnessHistogram::BinOfRank(uint64_t rank) const
{
    int position = 0;
    uint64_t remaining = rank;
    int step = 1;
    while (step * 2 <= kBins)
        step *= 2;
    for (; step > 0; step /= 2) {
        const int next = position + step;
        if (next <= kBins && m_countTree[static_cast<std::size_t>(next)] <= remaining) {
            position = next;
            remaining -= m_countTree[static_cast<std::size_t>(next)];
        }
    }
    return std::min(position, kBins - 1); // 1-based `position` + 1, back to 0-based
}

double LoudnessHistogram::Range(double gateLu, double low, double high) const
{
    if (m_count == 0)
        return kNaN;
    const double gate = LoudnessOf(m_energy / static_cast<double>(m_count)) + gateLu;
    const int first = FirstBinAbove(gate);
    const uint64_t below = CountBelow(first);
    const uint64_t count = m_count - below;
    if (count == 0)
        return kNaN;
    const auto rankOf = [&](double q) {
        return below + static_cast<uint64_t>(std::lround(static_cast<double>(count - 1) * q));
    };
    return BinLoudness(BinOfRank(rankOf(high))) - BinLoudness(BinOfRank(rankOf(low)));
}

} // namespace kerrion
