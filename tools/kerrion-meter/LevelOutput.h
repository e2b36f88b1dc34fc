#pragma once

// Prints the levels of each block in the chosen format to standard output: csv and jsonl one
// record per block, of the levels the engine kept for that block, written in batches (a write
// per block would cost more than the metering at small blocks); table redrawn in place on a
// terminal at most 10 times a second, or printed once a second when standard output is not a
// terminal.

#include "CommandLine.h"
#include "LevelPrinter.h"
#include "meter/BlockLevels.h"

#include <array>
#include <cstdint>
#include <string>

class CSndIOPlayList;

namespace kerrion::cli {

class LevelOutput {
public:
    LevelOutput(MeterFormat format, const std::array<int, kMeters>& channels,
        const std::array<double, kMeters>& calibration, const LoudnessStandard& standard);

    // True when every block's own levels are printed (csv, jsonl): the play list must keep them.
    bool EveryBlock() const { return m_format != MeterFormat::Table; }
    // The engine's level message: takes it back, counts the blocks it stands for (up to
    // `limit`, 0 for none) and prints what the format asks for: the kept levels of every block
    // waiting (none of a block whose levels were dropped, none past `limit`), or the table.
    void Levels(CSndIOPlayList& playList, long long limit);
    // Metering has stopped: counts the blocks no message told yet and prints their kept levels.
    void Stopped(CSndIOPlayList& playList, long long limit);
    // Writes out what was printed.
    void Flush();
    // Metering has ended: the table shows the last levels.
    void Finish(const CSndIOPlayList& playList);
    // Blocks metered so far, as the level messages told them (at most the limit).
    long long Blocks() const { return m_blocks; }

private:
    LevelRecord Read(const CSndIOPlayList& playList) const;
    LevelRecord Read(const BlockLevels& levels) const;
    void DrawTable(const LevelRecord& record);
    void TakeKept(CSndIOPlayList& playList, long long limit);

    MeterFormat m_format;
    std::array<int, kMeters> m_channels;       // device channel of each meter
    std::array<double, kMeters> m_calibration; // cal_vu of each meter, dBFS
    LoudnessStandard m_standard;               // what the table's loudness line names
    bool m_terminal = false;                   // standard output is a terminal
    bool m_drawn = false;                      // a table is on the screen
    long long m_blocks = 0;
    long long m_lastKept = 0; // number of the last block whose kept levels were taken
    uint64_t m_lastDrawMs = 0;
    std::string m_record; // the text of the last record; keeps its capacity
};

} // namespace kerrion::cli
