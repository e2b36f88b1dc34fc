// The dump: which device channels reach which WAVE file, and the frame budget.

#include "engine/EngineFixture.h"
#include "platform/sync/Clock.h"
#include "sndio/WaveFile.h"

#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

namespace kerrion::test {
namespace {

using PL = CSndIOPlayList;

struct WaveContents {
    int channels = 0;
    uint32_t rate = 0;
    int bits = 0;
    uint32_t frames = 0;
    std::vector<double> peakDb; // per channel
};

WaveContents ReadWave(const std::filesystem::path& path)
{
    WaveContents contents;
    CWaveFile file;
    if (!file.Open(path.c_str(), 0))
        return contents;
    contents.channels = file.Format().channels;
    contents.rate = file.Format().samplesPerSec;
    contents.bits = file.Format().bitsPerSample;
    contents.frames = file.Frames();
    std::vector<int16_t> samples(
        static_cast<size_t>(contents.frames) * static_cast<size_t>(contents.channels));
    file.ReadFrames(samples.data(), contents.frames);
    std::vector<int> peaks(static_cast<size_t>(contents.channels), 0);
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t c = i % static_cast<size_t>(contents.channels);
        peaks[c] = std::max(peaks[c], std::abs(static_cast<int>(samples[i])));
    }
    for (int p : peaks)
        contents.peakDb.push_back(p > 0 ? 20.0 * std::log10(p / 32768.0) : -96.0);
    return contents;
}

class EngineDump : public EngineTest {
protected:
    // Six 1 kHz sines, channel c at -6 - 3c dBFS, so each channel is known by its level.
    void ConfigureInputs(int inputs, int bufferFrames = 512)
    {
        GeneratorConfig config;
        config.inputs = inputs;
        config.bufferFrames = bufferFrames;
        config.speed = 20.0;
        for (int c = 0; c < inputs; ++c)
            config.input.push_back({ "sine", 1000.0, -6.0 - 3.0 * c });
        Configure(config);
    }

    // Meters with a dump of `seconds` into the named files (empty: no file); returns when the
    // budget is spent and the engine has stopped.
    void RunDump(const std::array<std::string, 3>& names, double seconds)
    {
        PL::DumpConfig dump;
        dump.enabled = 1;
        dump.seconds = seconds;
        for (int j = 0; j < 3; ++j)
            dump.names[j] = names[static_cast<size_t>(j)].empty()
                ? ""
                : (m_dir / names[static_cast<size_t>(j)]).string();
        ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }, kPlainDriver, &dump), 1);
        const auto budget = static_cast<int32_t>(seconds * 48000.0);
        const uint64_t end = NowMilliseconds() + 10000;
        while (m_playList.GetCounters().inputFrames < budget && NowMilliseconds() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
        ASSERT_EQ(m_playList.GetStatus(), PL::kStatusOk);
    }

    static double Level(int channel) { return -6.0 - 3.0 * channel; }
};

TEST_F(EngineDump, TwoInputsGoToTheFirstFileOnly)
{
    ConfigureInputs(2);
    RunDump({ "a.wav", "b.wav", "c.wav" }, 0.5);
    const WaveContents a = ReadWave(m_dir / "a.wav");
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.rate, 48000u);
    EXPECT_EQ(a.bits, 16);
    EXPECT_EQ(a.frames, 24000u);
    ASSERT_EQ(a.peakDb.size(), 2u);
    EXPECT_NEAR(a.peakDb[0], Level(0), 0.01);
    EXPECT_NEAR(a.peakDb[1], Level(1), 0.01);
    for (const char* name : { "b.wav", "c.wav" }) {
        const WaveContents empty = ReadWave(m_dir / name);
        EXPECT_EQ(empty.channels, 2) << name; // created, but nothing written
        EXPECT_EQ(empty.frames, 0u) << name;
    }
}

TEST_F(EngineDump, SixInputsFillThreeFilesWithTwoChannelsEach)
{
    ConfigureInputs(6);
    RunDump({ "a.wav", "b.wav", "c.wav" }, 0.25);
    const char* names[] = { "a.wav", "b.wav", "c.wav" };
    for (int j = 0; j < 3; ++j) {
        const WaveContents file = ReadWave(m_dir / names[j]);
        EXPECT_EQ(file.frames, 12000u) << names[j];
        ASSERT_EQ(file.peakDb.size(), 2u) << names[j];
        EXPECT_NEAR(file.peakDb[0], Level(2 * j), 0.01) << names[j];
        EXPECT_NEAR(file.peakDb[1], Level(2 * j + 1), 0.01) << names[j];
    }
}

TEST_F(EngineDump, OnlyTheThirdNameTakesChannelsFourAndFive)
{
    ConfigureInputs(6);
    RunDump({ "", "", "c.wav" }, 0.25);
    const WaveContents c = ReadWave(m_dir / "c.wav");
    EXPECT_EQ(c.frames, 12000u);
    ASSERT_EQ(c.peakDb.size(), 2u);
    EXPECT_NEAR(c.peakDb[0], Level(4), 0.01);
    EXPECT_NEAR(c.peakDb[1], Level(5), 0.01);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "a.wav"));
}

TEST_F(EngineDump, ASpentBudgetFreezesTheMetersWhileBlocksGoOn)
{
    // One second at 48 kHz in 4096-frame blocks: 11 full blocks and one of 2944 frames.
    ConfigureInputs(2, 4096);
    PL::DumpConfig dump;
    dump.enabled = 1;
    dump.seconds = 1.0;
    dump.names[0] = (m_dir / "a.wav").string();
    ASSERT_EQ(Start({ 0, 1, 0, 1, 0, 1, 0, 1 }, kPlainDriver, &dump), 1);
    // Wait for a block after the budget is spent: from then on no sample reaches a meter.
    const uint64_t end = NowMilliseconds() + 10000;
    PL::Counters atFreeze;
    do {
        ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, Count(WM_SNDIO_LEVELS) + 1));
        atFreeze = m_playList.GetCounters();
    } while (
        (atFreeze.inputFrames < 48000 || atFreeze.lastBlockFrames != 0) && NowMilliseconds() < end);
    const Levels frozen = ReadLevels(m_playList);
    // Six blocks past the one read at the freeze (a block is counted before its message is
    // taken, so counting from the messages taken could fall one short).
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, atFreeze.blocks + 6));
    const Levels later = ReadLevels(m_playList);
    const PL::Counters counters = m_playList.GetCounters();
    ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);

    EXPECT_EQ(atFreeze.inputFrames, 48000);
    EXPECT_EQ(counters.inputFrames, 48000);
    EXPECT_EQ(counters.lastBlockFrames, 0u);
    EXPECT_GE(counters.blocks, atFreeze.blocks + 6);
    EXPECT_GT(counters.outputFrames, atFreeze.outputFrames);
    EXPECT_EQ(later.peak, frozen.peak);
    EXPECT_EQ(later.vu, frozen.vu);
    EXPECT_NEAR(later.peak[0], Level(0), 0.02);
    const WaveContents a = ReadWave(m_dir / "a.wav");
    EXPECT_EQ(a.frames, 48000u);
    EXPECT_EQ(a.frames, 11u * 4096u + 2944u);
}

} // namespace
} // namespace kerrion::test
