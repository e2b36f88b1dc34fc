#pragma once

// Prints the levels of each block in the chosen format to standard output: csv and jsonl one
// record per block, flushed at most kRecordFlushMs after it was printed (a write per block would
// cost more than the metering at small blocks); table redrawn in place on a terminal at most 10 times a second, or printed
// once a second when standard output is not a terminal.

#include "CommandLine.h"
#include "LevelPrinter.h"

#include <array>
#include <cstdint>
#include <string>

class CSndIOPlayList;

namespace kerrion::cli {

inline constexpr int kRecordFlushMs = 20;

class LevelOutput {
public:
    LevelOutput(MeterFormat format, const std::array<int, kMeters>& channels,
        const std::array<double, kMeters>& calibration, const LoudnessStandard& standard);

    // One block's levels have been stored: count it and print what the format asks for.
    void Block(const CSndIOPlayList& playList);
    // Metering has ended: the table shows the last levels.
    void Finish(const CSndIOPlayList& playList);
    // Flushes the records printed when the oldest unflushed one is due.
    void FlushDue();
    // How long the caller may wait for the next block before a flush falls due, at most `idleMs`.
    int WaitLimitMs(int idleMs) const;
    long long Blocks() const { return m_blocks; }

private:
    LevelRecord Read(const CSndIOPlayList& playList) const;
    void DrawTable(const LevelRecord& record);

    MeterFormat m_format;
    std::array<int, kMeters> m_channels;       // device channel of each meter
    std::array<double, kMeters> m_calibration; // cal_vu of each meter, dBFS
    LoudnessStandard m_standard;               // what the table's loudness line names
    bool m_terminal = false;                   // standard output is a terminal
    bool m_drawn = false;                      // a table is on the screen
    long long m_blocks = 0;
    uint64_t m_lastDrawMs = 0;
    std::string m_record;             // the text of the last record; keeps its capacity
    bool m_unflushed = false;         // records wait in the stream's buffer
    uint64_t m_firstUnflushedMs = 0;  // when the oldest of them was printed
};

} // namespace kerrion::cli
