// The engine metering the signal generator: levels of known sines, routing, messages, priming,
// restarts and the play list it prepares.

#include "engine/EngineFixture.h"
#include "meter/EngineRun.h"
#include "platform/sync/Clock.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace kerrion::test {
namespace {

using PL = CSndIOPlayList;

GeneratorConfig SineConfig()
{
    GeneratorConfig config;
    config.input
        = { { "sine", 1000.0, -20.0 }, { "sine", 440.0, -10.0 }, { "sine", 100.0, -30.0 } };
    return config;
}

TEST_F(EngineTest, SteadySinesReadTheirPeakAndVULevels)
{
    Configure(SineConfig());
    // Meters 2 and 3 share channel 1; meter 4 has no channel, meter 5 one beyond the device's.
    ASSERT_EQ(Start({ 0, 1, 1, 1, -1, 8, 2, 64 }), 1);
    // 2 s of audio at 48 kHz in 512-frame blocks: the VU ballistics have settled.
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 190));
    const Levels levels = ReadLevels(m_playList);
    const PL::Counters counters = m_playList.GetCounters();
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);

    EXPECT_NEAR(levels.peak[0], -20.0, 0.02);
    EXPECT_NEAR(levels.vu[0], 0.0, 0.1); // a sine peaking 20 dB below full scale reads 0
    EXPECT_NEAR(levels.peak[1], -10.0, 0.02);
    EXPECT_NEAR(levels.vu[1], 10.0, 0.1);
    EXPECT_NEAR(levels.peak[6], -30.0, 0.05);
    EXPECT_NEAR(levels.vu[6], -10.0, 0.3);
    for (int i : { 2, 3 }) {
        EXPECT_EQ(levels.peak[static_cast<size_t>(i)], levels.peak[1]);
        EXPECT_EQ(levels.vu[static_cast<size_t>(i)], levels.vu[1]);
    }
    for (int i : { 4, 5, 7 }) {
        EXPECT_EQ(levels.peak[static_cast<size_t>(i)], -96.0) << "meter " << i;
        EXPECT_EQ(levels.vu[static_cast<size_t>(i)], 0.0) << "meter " << i;
    }
    // The second loudness processor measures nothing: its levels keep their start values.
    double second[64];
    m_playList.GetSecondLoudnessLevels(second);
    EXPECT_EQ(second[0], -96.0);
    EXPECT_EQ(second[1], -96.0);
    EXPECT_TRUE(std::isfinite(m_playList.GetLoudness()));
    EXPECT_GT(m_playList.GetLoudness(), -30.0);
    EXPECT_EQ(counters.status, PL::kStatusOk);
    EXPECT_EQ(counters.blockFrames, 512u);
    EXPECT_EQ(counters.sampleRate, 48000.0);
    EXPECT_EQ(counters.inputChannels, 8);
    EXPECT_EQ(counters.primingBlocks, 0);
    EXPECT_GE(counters.blocks, 190);
    EXPECT_EQ(counters.lastBlockFrames, 512u);
    // The device's pre-roll hands the engine four empty input slots first.
    EXPECT_GE(counters.inputFrames, (counters.blocks - 4) * 512);
    EXPECT_GE(counters.outputFrames, counters.inputFrames);
}

TEST_F(EngineTest, MessagesComeInOrderAndFinishedEndsTheRun)
{
    Configure(SineConfig());
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 5));
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    EXPECT_FALSE(m_playList.IsRunning());
    ASSERT_TRUE(WaitFor(WM_SNDIO_FINISHED, 1, 1000));
    ASSERT_GE(m_log.size(), 4u);
    EXPECT_EQ(m_log[0].message, WM_SNDIO_STARTED);
    EXPECT_EQ(m_log[1].message, WM_SNDIO_SEGMENT);
    EXPECT_EQ(m_log[1].wParam, 0); // no position before the first block
    for (size_t i = 2; i + 1 < m_log.size(); ++i)
        EXPECT_EQ(m_log[i].message, WM_SNDIO_LEVELS);
    EXPECT_EQ(m_log.back().message, WM_SNDIO_FINISHED);
    EXPECT_EQ(m_log.back().wParam, -1);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 1);
    EXPECT_EQ(Count(WM_SNDIO_LEVELS), m_playList.GetCounters().blocks);
    EXPECT_EQ(m_playList.GetStatus(), PL::kStatusOk);
}

TEST_F(EngineTest, StopWithoutAWorkerChangesNothing)
{
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    const Levels levels = ReadLevels(m_playList);
    EXPECT_EQ(levels.peak[0], 0.0); // construction values
    EXPECT_EQ(levels.vu[63], 0.0);
    EXPECT_EQ(m_playList.GetStatus(), PL::kStatusOk);
}

TEST_F(EngineTest, StartResetsPeaksAndKeepsTheVULevelsOfTheLastRun)
{
    Configure(SineConfig());
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 150));
    ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
    const Levels before = ReadLevels(m_playList);
    ASSERT_NEAR(before.vu[1], 10.0, 0.2);

    // Family 1 has no device here, so the run fails at once and leaves the levels as they are.
    const std::array<int32_t, 8> channels { 0, 1, 2, 3, 4, 5, 6, 7 };
    ASSERT_EQ(m_playList.StartEngine(0, 0, 0, 0, nullptr, channels.data(), 1, 0, &m_queue, 0.0), 1);
    const Levels after = ReadLevels(m_playList);
    for (size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(after.peak[i], -96.0);
        EXPECT_EQ(after.vu[i], before.vu[i]);
    }
    double second[64];
    m_playList.GetSecondLoudnessLevels(second);
    EXPECT_EQ(second[0], -96.0);
    EXPECT_EQ(m_playList.GetLoudness(), -96.0);
    m_playList.StopEngine();
}

TEST_F(EngineTest, TakenPeaksHoldTheHighestBlockSinceTheLastTaking)
{
    GeneratorConfig config;
    // A 1 ms burst a second: one block in about ninety carries it.
    config.input = { { "burst", 1000.0, -6.0, 1.0, 999.0 }, { "sine", 440.0, -10.0 } };
    Configure(config);
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 200)); // 2.1 s of audio: at least two bursts
    ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
    const Levels latest = ReadLevels(m_playList);

    std::array<double, 64> taken {};
    m_playList.TakePeakLevels(taken.data());
    EXPECT_NEAR(taken[0], -6.0, 0.05) << "the burst, though the latest block may be silent";
    EXPECT_GE(taken[0], latest.peak[0]);
    EXPECT_NEAR(taken[1], -10.0, 0.02);
    EXPECT_EQ(taken[2], -96.0);
    // No block since: a second taking gives the latest block's levels.
    m_playList.TakePeakLevels(taken.data());
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(taken[i], latest.peak[i]) << "meter " << i;
}

TEST_F(EngineTest, TheEngineStartsAgainAfterAStop)
{
    Configure(SineConfig());
    for (int run = 0; run < 3; ++run) {
        m_log.clear();
        ASSERT_EQ(Start({ 2, 2, 2, 2, 2, 2, 2, 2 }), 1);
        ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 20)) << "run " << run;
        EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
        EXPECT_NEAR(ReadLevels(m_playList).peak[7], -30.0, 0.05);
        EXPECT_EQ(m_playList.GetCounters().status, PL::kStatusOk);
    }
}

TEST_F(EngineTest, StartingPreparesOneEntryWithOneEmptySegment)
{
    Configure(SineConfig());
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }, kPlainDriver, nullptr, 2), 1);
    ASSERT_EQ(m_playList.m_entries.GetCount(), 1);
    const CSndIOBlockInfo* entry = m_playList.m_entries.GetAt(0);
    EXPECT_EQ(entry->m_repeatCount, 2);
    ASSERT_EQ(entry->m_segments.GetCount(), 1);
    EXPECT_EQ(entry->m_segments.GetAt(0)->m_tracks.GetCount(), 0);
    EXPECT_EQ(m_playList.m_entries.m_inputChannelLimit, 64);
    EXPECT_EQ(m_playList.m_entries.m_outputChannelLimit, 64);

    // With two repetitions a stop ends the first one's block loop; the second repetition
    // still announces its segment but runs no block.
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 3));
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    Drain();
    EXPECT_EQ(Count(WM_SNDIO_SEGMENT), 2);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 1);
}

TEST_F(EngineTest, AYamahaDriverDiscards128BlocksBeforeMetering)
{
    Configure(SineConfig());
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }, kYamahaDriver), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 40));
    const PL::Counters yamaha = m_playList.GetCounters();
    ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
    EXPECT_EQ(yamaha.primingBlocks, 128);
    // The positions leave out the discarded blocks: they stay near the metered frames (the
    // device's pre-roll and the slots in flight make up the difference).
    const int32_t block = static_cast<int32_t>(yamaha.blockFrames);
    EXPECT_GT(yamaha.inputPosition, 0);
    EXPECT_LT(yamaha.inputPosition, yamaha.inputFrames + 12 * block);
    EXPECT_LT(yamaha.outputPosition, yamaha.outputFrames + 12 * block);

    for (int driver : { kPlainDriver, kLowerDriver }) {
        m_log.clear();
        ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }, driver), 1);
        ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 40));
        const PL::Counters plain = m_playList.GetCounters();
        ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
        EXPECT_EQ(plain.primingBlocks, 0) << "driver " << driver;
        EXPECT_GT(plain.inputPosition, plain.inputFrames - 12 * block);
        EXPECT_LT(plain.inputPosition, plain.inputFrames + 12 * block);
    }
}

} // namespace
// A reader that takes nothing while the engine runs still finds each block's own levels, in
// order, up to the ring's capacity; the blocks beyond it are counted, and a new run starts empty.
TEST_F(EngineTest, KeptBlockLevelsGiveALateReaderEveryBlockOfTheRun)
{
    GeneratorConfig config;
    config.input = { { "burst", 1000.0, -6.0, 1.0, 999.0 }, { "sine", 440.0, -10.0 } };
    Configure(config);
    m_playList.KeepBlockLevels(1024);
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 200)); // two bursts, one block each
    ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
    const PL::Counters counters = m_playList.GetCounters();
    std::vector<BlockLevels> kept;
    for (BlockLevels levels; m_playList.TakeBlockLevels(levels);)
        kept.push_back(levels);
    ASSERT_EQ(static_cast<int>(kept.size()), counters.blocks);
    EXPECT_EQ(m_playList.DroppedBlockLevels(), 0u);
    int bursts = 0;
    int64_t frames = 0;
    double seconds = 0.0; // of programme after the latest block with frames
    for (size_t b = 0; b < kept.size(); ++b) {
        frames += kept[b].frames;
        if (kept[b].frames == 0)
            continue; // the device's first blocks may come empty
        bursts += kept[b].peak[0] > -7.0 ? 1 : 0;
        if (b >= kept.size() / 2) { // the generator's first buffers are silent
            EXPECT_NEAR(kept[b].peak[1], -10.0, 0.02) << "block " << b;
        }
        EXPECT_GT(kept[b].r128.seconds, seconds) << "block " << b;
        seconds = kept[b].r128.seconds;
    }
    EXPECT_GE(bursts, 2) << "the blocks that carried a burst, though the latest is silent";
    EXPECT_EQ(frames, counters.inputFrames);
    const Levels latest = ReadLevels(m_playList);
    EXPECT_EQ(kept.back().peak[0], latest.peak[0]);
    EXPECT_EQ(kept.back().vu[1], latest.vu[1]);

    m_log.clear();
    m_playList.KeepBlockLevels(4);
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 20));
    ASSERT_EQ(m_playList.StopEngine(), PL::kStopped);
    BlockLevels first;
    ASSERT_TRUE(m_playList.TakeBlockLevels(first));
    EXPECT_LT(first.r128.seconds, 0.05) << "the first block of the new run";
    EXPECT_EQ(m_playList.DroppedBlockLevels(),
        static_cast<uint64_t>(m_playList.GetCounters().blocks - 4));
}

} // namespace kerrion::test

namespace kerrion::test {
namespace {

// A receiver that sleeps: however many blocks pass, one level message at most waits for it,
// it learns how many blocks that message stands for, and the run's last message still comes.
TEST_F(EngineTest, ASleepingReceiverFindsOneLevelMessageForAllTheBlocks)
{
    GeneratorConfig config = SineConfig();
    config.bufferFrames = 64;
    config.stallAfter = 6000; // then the device delivers nothing and is given up for lost
    Configure(config);
    ASSERT_EQ(Start({ 0, 1, 2, 3, 4, 5, 6, 7 }), 1);
    const uint64_t end = NowMilliseconds() + 15000;
    while (!m_playList.HasEnded() && NowMilliseconds() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // no message is taken
    ASSERT_TRUE(m_playList.HasEnded());
    EXPECT_LE(m_queue.Pending(), 4u) << "started, segment, levels, finished";
    EXPECT_EQ(m_queue.DroppedCount(), 0u);
    CMessageQueue::Message m;
    std::vector<uint32_t> messages;
    while (m_queue.TakeMessage(m))
        messages.push_back(m.message);
    EXPECT_EQ(messages,
        (std::vector<uint32_t> {
            WM_SNDIO_STARTED, WM_SNDIO_SEGMENT, WM_SNDIO_LEVELS, WM_SNDIO_FINISHED }));
    EXPECT_EQ(m_playList.TakeLevelBlocks(), m_playList.GetCounters().blocks);
    // Many blocks, however many slots a busy engine (or one under the thread sanitizer) missed.
    EXPECT_GT(m_playList.GetCounters().blocks, 100);
    EXPECT_EQ(m_playList.GetStatus(), PL::kStatusTransferFailed);
}

// A device without output whose every slot is full (the engine lags a generator that runs far
// ahead) stops at once: its thread, waiting for a free slot, sees the stop too.
TEST_F(EngineTest, AnInputOnlyDeviceAheadOfTheEngineStopsInTime)
{
    GeneratorConfig config;
    config.inputs = 1;
    config.outputs = 0;
    config.bufferFrames = 16384;
    config.speed = 1000.0;
    config.input = { { "sine", 1000.0, -20.0 } };
    Configure(config);
    for (int run = 0; run < 3; ++run) {
        ASSERT_EQ(Start({ 0, -1, -1, -1, -1, -1, -1, -1 }), 1);
        // A few blocks: the generator fills every slot long before, and a sanitized engine
        // measures only a few hundred of these large blocks in a second.
        ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, Count(WM_SNDIO_LEVELS) + 40)) << run;
        EXPECT_EQ(m_playList.StopEngine(), PL::kStopped) << run;
    }
}

// Positions pass 2^31 and 2^32 frames (half a day and a day at 48 kHz) without wrapping,
// although a device counts its position in 32 bits, and follow a device that steps back.
TEST(DevicePosition, FollowsTheDevicesThirtyTwoBitPositionPastItsWrap)
{
    struct Step {
        uint32_t device; // the position the device gives
        int64_t frames;  // the engine's position after it
    };
    const Step steps[] = { { 512, 512 }, { 256, 256 }, { 0x7FFFFF00u, 0x7FFFFF00 },
        { 0x80000100u, 0x80000100 }, { 0xFFFFFE00u, 0xFFFFFE00 }, { 0x00000200u, 0x100000200 },
        { 0xFFFFFF00u, 0xFFFFFF00 }, { 0x00000200u, 0x100000200 }, { 0x7FFFFFFFu, 0x17FFFFFFF },
        { 0xF0000000u, 0x1F0000000 }, { 0x00000000u, 0x200000000 } };
    DevicePosition position;
    for (const Step& step : steps)
        EXPECT_EQ(position.Advance(step.device), step.frames) << std::hex << step.device;
}

} // namespace
} // namespace kerrion::test
