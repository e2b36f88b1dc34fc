#include "LevelOutput.h"

#include "meter/SndIOPlayList.h"
#include "platform/sync/Clock.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace kerrion::cli {
namespace {

constexpr uint64_t kTerminalRedrawMs = 100;
constexpr uint64_t kPlainTableMs = 1000;

void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

} // namespace

LevelOutput::LevelOutput(MeterFormat format, const std::array<int, kMeters>& channels,
    const std::array<double, kMeters>& calibration, const LoudnessStandard& standard)
    : m_format(format)
    , m_channels(channels)
    , m_calibration(calibration)
    , m_standard(standard)
    , m_terminal(isatty(STDOUT_FILENO) == 1)
{
    if (m_format == MeterFormat::Csv)
        Write(CsvHeader(true));
}

// The latest block's levels, for the table.
LevelRecord LevelOutput::Read(const CSndIOPlayList& playList) const
{
    double peak[CSndIOPlayList::kLevels];
    double vu[CSndIOPlayList::kLevels];
    double needle[CSndIOPlayList::kLevels];
    playList.GetMeterLevels(peak, vu);
    playList.GetNeedleLevels(needle);
    BlockLevels latest;
    latest.block = m_blocks;
    latest.frames = playList.GetCounters().lastBlockFrames;
    std::copy_n(peak, latest.peak.size(), latest.peak.begin());
    std::copy_n(vu, latest.vu.size(), latest.vu.begin());
    std::copy_n(needle, latest.needle.size(), latest.needle.begin());
    latest.loudness = playList.GetLoudness();
    latest.r128 = playList.GetLoudnessR128();
    return Read(latest);
}

LevelRecord LevelOutput::Read(const BlockLevels& levels) const
{
    LevelRecord record;
    record.block = levels.block;
    record.frames = levels.frames;
    for (size_t i = 0; i < kMeters; ++i) {
        record.peak[i] = levels.peak[i];
        record.vu[i] = levels.vu[i];
        record.meterVu[i] = levels.vu[i] - (m_calibration[i] + 20.0);
        record.needle[i] = levels.needle[i] - (m_calibration[i] + 20.0);
    }
    record.loudness = levels.loudness;
    record.hasR128 = true;
    record.r128 = levels.r128;
    return record;
}

void LevelOutput::Levels(CSndIOPlayList& playList, long long limit)
{
    m_blocks += std::max<int64_t>(1, playList.TakeLevelBlocks());
    if (limit > 0)
        m_blocks = std::min(m_blocks, limit);
    if (m_format == MeterFormat::Table) {
        if (NowMilliseconds() - m_lastDrawMs >= (m_terminal ? kTerminalRedrawMs : kPlainTableMs))
            DrawTable(Read(playList));
        return;
    }
    TakeKept(playList, limit);
}

void LevelOutput::Stopped(CSndIOPlayList& playList, long long limit)
{
    m_blocks += playList.TakeLevelBlocks();
    if (limit > 0)
        m_blocks = std::min(m_blocks, limit);
    TakeKept(playList, limit);
}

// A block is kept before its level message counts it, so every block counted so far is taken
// here, or was dropped by a full ring (its number then stays missing).
void LevelOutput::TakeKept(CSndIOPlayList& playList, long long limit)
{
    if (!EveryBlock())
        return;
    BlockLevels levels;
    while ((limit == 0 || m_lastKept < limit) && playList.TakeBlockLevels(levels)) {
        m_lastKept = levels.block;
        if (limit > 0 && levels.block > limit)
            break;
        if (m_format == MeterFormat::Jsonl)
            m_record = JsonRecord(Read(levels));
        else
            WriteCsvRecord(Read(levels), m_record);
        Write(m_record);
    }
}

void LevelOutput::Flush() { std::fflush(stdout); }

void LevelOutput::Finish(const CSndIOPlayList& playList)
{
    if (m_format == MeterFormat::Table && m_blocks > 0)
        DrawTable(Read(playList));
    std::fflush(stdout);
}

void LevelOutput::DrawTable(const LevelRecord& record)
{
    std::string text;
    if (m_terminal && m_drawn)
        text = "\033[" + std::to_string(kTableLines + kR128Lines + 1)
            + "A"; // back to the top of the table
    else if (m_drawn)
        text = "\n";
    char heading[80];
    std::snprintf(heading, sizeof heading, "block %lld, loudness %s LKFS", record.block,
        FormatNumber(record.loudness).c_str());
    text += heading;
    text += m_terminal ? "\033[K\n" : "\n"; // on a terminal, clear what a longer line left
    text += TableText(record, m_channels);
    text += R128Line(record.r128, m_standard);
    Write(text);
    std::fflush(stdout);
    m_drawn = true;
    m_lastDrawMs = NowMilliseconds();
}

} // namespace kerrion::cli
