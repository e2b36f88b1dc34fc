#pragma once

// The distribution of block loudness values since a reset, for gated integration (ITU-R
// BS.1770-4) and loudness range (EBU Tech 3342) over programmes of any length: blocks fall into
// bins of 0.01 LU from the absolute gate (-70 LKFS) to +30 LKFS, each bin counting its blocks
// and summing their energies, so memory is fixed and no block is ever stored. Running sums over
// the bins are kept in Fenwick trees, so adding a block and every query cost O(log bins)
// however long the programme has run.
//
// Accuracy: a gate falls inside one bin and decides that bin as a whole (by its mean), so a
// gated mean is exact but for the blocks within 0.01 LU of the gate; a percentile is the mean
// loudness of the bin holding it, within 0.01 LU of the block's own.
//
// Threads: the owner's only (the engine thread); nothing here allocates after construction.

#include <cstdint>
#include <vector>

namespace kerrion {

class LoudnessHistogram {
public:
    static constexpr double kGateLkfs = -70.0;   // absolute gate; blocks below are not counted
    static constexpr double kTopLkfs = 30.0;     // louder blocks share the top bin
    static constexpr double kBinLu = 0.01;
    static constexpr int kBins = 10000;          // (kTopLkfs - kGateLkfs) / kBinLu

    LoudnessHistogram(); // allocates the bins and trees
    void Clear();

    // Counts a block of mean-square energy `energy` (channel-weighted, full scale 1.0) unless
    // its loudness is below the absolute gate.
    void Add(double energy);
    uint64_t Count() const { return m_count; }

    // Loudness of the mean energy of the blocks above the relative gate `gateLu` below the mean
    // of all counted blocks (BS.1770-4 with gateLu = -10); NaN when no block is counted.
    double GatedLoudness(double gateLu) const;
    // The loudness range of Tech 3342: among the blocks above the relative gate `gateLu` (-20),
    // the `high` quantile less the `low` one (0.95 and 0.10), taking the values of rank
    // round((n - 1) q); NaN when no block is counted.
    double Range(double gateLu, double low, double high) const;

    static double LoudnessOf(double energy); // LKFS; -inf for 0

private:
    int BinOf(double loudness) const;
    int FirstBinAbove(double gateLoudness) const;
    double BinLoudness(int bin) const;
    uint64_t CountBelow(int bin) const;   // blocks in bins 0 .. bin - 1
    double EnergyBelow(int bin) const;    // their summed energy
    int BinOfRank(uint64_t rank) const;   // the bin holding the block of 0-based rank `rank`

    std::vector<uint64_t> m_binCount;   // blocks per bin
    std::vector<double> m_binEnergy;    // summed energy per bin
    std::vector<uint64_t> m_countTree;  // Fenwick tree over m_binCount (1-based)
    std::vector<double> m_energyTree;   // Fenwick tree over m_binEnergy (1-based)
    uint64_t m_count = 0;               // blocks counted
    double m_energy = 0.0;              // their summed energy
};

} // namespace kerrion
