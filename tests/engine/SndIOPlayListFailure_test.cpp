// How a run fails: every status the engine can end with, the messages it posts then, and a
// driver that stalls so that the worker cannot end within StopEngine's wait.

#include "engine/EngineFixture.h"
#include "platform/sync/Clock.h"
#include "sndio/LoopbackDevice.h"

#include <thread>

namespace kerrion::test {
namespace {

using PL = CSndIOPlayList;

constexpr int32_t kNoSuchIndex = 1000; // beyond any device list (at most 30 devices)

// A loopback device whose thread cannot open its device: Start fails.
std::unique_ptr<CSndIODevice> StartFailsDevice(int32_t)
{
    LoopbackSettings settings;
    settings.mode = LoopbackSettings::kOpenFails;
    return std::make_unique<CLoopbackDevice>(settings);
}

// A device that reports a successful start without ever starting a device thread: Transfer
// has no thread to talk to and returns 0.
class CThreadlessDevice : public CLoopbackDevice {
public:
    int Start() override { return 1; }
};
std::unique_ptr<CSndIODevice> ThreadlessDevice(int32_t)
{
    return std::make_unique<CThreadlessDevice>();
}

class EngineFailure : public EngineTest {
protected:
    // Runs until the worker ends by itself; returns the status.
    int32_t RunToEnd(int32_t kind, int32_t index)
    {
        const std::array<int32_t, 8> channels { 0, 1, 2, 3, 4, 5, 6, 7 };
        EXPECT_EQ(m_playList.StartEngine(
                      0, 0, 0, 0, m_dump.get(), channels.data(), kind, index, &m_queue, 0.0),
            1);
        const uint64_t end = NowMilliseconds() + 10000;
        while (!m_playList.HasEnded() && NowMilliseconds() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_TRUE(m_playList.HasEnded());
        EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
        Drain();
        return m_playList.GetStatus();
    }

    std::unique_ptr<PL::DumpConfig> m_dump;
};

TEST_F(EngineFailure, AMissingOrRefusedDeviceEndsWithStatus0x100AndTwoFinishedMessages)
{
    EXPECT_EQ(RunToEnd(1, kNoSuchIndex), PL::kStatusNoDevice); // no such plain audio device
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 2);
    EXPECT_EQ(Count(WM_SNDIO_STARTED), 0);
    EXPECT_EQ(Count(WM_SNDIO_LEVELS), 0);

    m_log.clear();
    EXPECT_EQ(RunToEnd(2, 7), PL::kStatusNoDevice); // no such driver index
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 2);

    m_log.clear();
    GeneratorConfig refusing;
    refusing.failInit = true;
    Configure(refusing);
    EXPECT_EQ(RunToEnd(2, 0), PL::kStatusNoDevice);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 2);

    m_log.clear();
    GeneratorConfig silent;
    silent.inputs = 0;
    silent.outputs = 0;
    Configure(silent);
    EXPECT_EQ(RunToEnd(2, 0), PL::kStatusNoDevice); // a device without channels
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 2);
    const Levels levels = ReadLevels(m_playList);
    EXPECT_EQ(levels.peak[0], -96.0); // failed before the first block
}

TEST_F(EngineFailure, RingsThatCannotBeAllocatedEndWithStatus0x101)
{
    GeneratorConfig bigEndian;
    bigEndian.sampleType = 1; // 24-bit big-endian: no ring can hold it
    Configure(bigEndian);
    EXPECT_EQ(RunToEnd(2, 0), PL::kStatusNoMemory);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 2);
    EXPECT_EQ(Count(WM_SNDIO_STARTED), 0);
}

TEST_F(EngineFailure, ADumpFileThatCannotBeCreatedEndsWithStatus0x102)
{
    m_dump = std::make_unique<PL::DumpConfig>();
    m_dump->enabled = 1;
    m_dump->names[0] = (m_dir / "dump0.wav").string();
    m_dump->names[1] = (m_dir / "no-such-folder" / "dump1.wav").string();
    EXPECT_EQ(RunToEnd(2, 0), PL::kStatusDumpFile);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 2);
    EXPECT_EQ(Count(WM_SNDIO_STARTED), 0);

    // A folder that is a file cannot hold one either (this also holds for root, who may write
    // into folders without write permission).
    m_log.clear();
    WriteFileBytes(m_dir / "plain-file", "x");
    m_dump->names[1] = (m_dir / "plain-file" / "dump1.wav").string();
    EXPECT_EQ(RunToEnd(2, 0), PL::kStatusDumpFile);

    // A disabled dump opens nothing, whatever its names.
    m_log.clear();
    m_dump->enabled = 0;
    const std::array<int32_t, 8> channels { 0, 1, 2, 3, 4, 5, 6, 7 };
    ASSERT_EQ(
        m_playList.StartEngine(0, 0, 0, 0, m_dump.get(), channels.data(), 2, 0, &m_queue, 0.0), 1);
    EXPECT_TRUE(WaitFor(WM_SNDIO_LEVELS, 3));
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    EXPECT_EQ(m_playList.GetStatus(), PL::kStatusOk);
}

TEST_F(EngineFailure, ADeviceThatDoesNotStartEndsWithStatus2)
{
    m_playList.SetDeviceFactory(&StartFailsDevice);
    EXPECT_EQ(RunToEnd(1, 0), PL::kStatusStartFailed);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 1); // only the worker's own
    EXPECT_EQ(Count(WM_SNDIO_STARTED), 0);
}

TEST_F(EngineFailure, ATransferWithoutADeviceThreadEndsWithStatus0x103)
{
    m_playList.SetDeviceFactory(&ThreadlessDevice);
    EXPECT_EQ(RunToEnd(1, 0), PL::kStatusTransferFailed);
    EXPECT_EQ(Count(WM_SNDIO_STARTED), 1);
    EXPECT_EQ(Count(WM_SNDIO_LEVELS), 0);
    EXPECT_EQ(Count(WM_SNDIO_FINISHED), 1);

    // Back to the built-in factory: no plain audio device has that index.
    m_log.clear();
    m_playList.SetDeviceFactory(nullptr);
    EXPECT_EQ(RunToEnd(1, kNoSuchIndex), PL::kStatusNoDevice);
}

// The generator stops its clock; a block then waits 40 slots for each direction, far longer
// than StopEngine waits. The worker is abandoned, posts nothing more, and a new run on a
// working generator meters on, also after the abandoned worker has woken up and ended.
TEST_F(EngineFailure, AWorkerStuckOnAStalledDriverIsAbandonedAndTheEngineStartsAgain)
{
    GeneratorConfig stalling;
    stalling.input = { { "sine", 1000.0, -20.0 } };
    stalling.bufferFrames = 2048; // 42 ms slots: a stalled block waits about 3.4 s
    stalling.stallAfter = 20;
    Configure(stalling);
    ASSERT_EQ(Start({ 0, 0, 0, 0, 0, 0, 0, 0 }), 1);

    // An empty block after a long silence has timed out waiting for the stalled driver (not
    // a slow start or a slow moment of a loaded machine). A moment later the worker is in the
    // full wait of the next block.
    const uint64_t end = NowMilliseconds() + 20000;
    uint64_t lastBlock = NowMilliseconds();
    bool stalled = false;
    while (!stalled && NowMilliseconds() < end) {
        if (WaitFor(WM_SNDIO_LEVELS, Count(WM_SNDIO_LEVELS) + 1, 5000)) {
            const uint64_t now = NowMilliseconds();
            stalled = Count(WM_SNDIO_LEVELS) > 10 && now - lastBlock > 1500
                && m_playList.GetCounters().lastBlockFrames == 0;
            lastBlock = now;
        }
    }
    ASSERT_TRUE(stalled);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint64_t stopAt = NowMilliseconds();
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopTimedOut);
    const uint64_t waited = NowMilliseconds() - stopAt;
    EXPECT_GE(waited, 1990u);
    EXPECT_LT(waited, 2900u);
    EXPECT_FALSE(m_playList.IsRunning());
    EXPECT_GT(m_playList.GetCounters().blocks, 10); // what the abandoned run reached
    Drain();
    const size_t postedBeforeStop = m_log.size();

    GeneratorConfig working;
    working.input = { { "sine", 440.0, -10.0 } };
    Configure(working);
    CMessageQueue second;
    const std::array<int32_t, 8> channels { 0, 0, 0, 0, 0, 0, 0, 0 };
    ASSERT_EQ(m_playList.StartEngine(0, 0, 0, 0, nullptr, channels.data(), 2, 0, &second, 0.0), 1);
    // Long enough for the abandoned worker to wake from its wait, end its run and close its
    // device while the new run goes on.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const PL::Counters before = m_playList.GetCounters();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const PL::Counters after = m_playList.GetCounters();
    EXPECT_GT(after.blocks, before.blocks) << "the new run must still meter";
    EXPECT_EQ(after.lastBlockFrames, 512u);
    EXPECT_NEAR(ReadLevels(m_playList).peak[0], -10.0, 0.02);
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    EXPECT_EQ(after.status, PL::kStatusOk);

    Drain();
    EXPECT_EQ(m_log.size(), postedBeforeStop) << "the abandoned worker posted after StopEngine";
    CMessageQueue::Message m;
    int finished = 0;
    while (second.TakeMessage(m))
        finished += m.message == WM_SNDIO_FINISHED ? 1 : 0;
    EXPECT_EQ(finished, 1);
}

TEST_F(EngineFailure, ADeviceThatStopsDeliveringEndsTheRunWithTheTransferStatus)
{
    GeneratorConfig stalling;
    stalling.input = { { "sine", 1000.0, -20.0 } };
    stalling.bufferFrames = 256;
    stalling.speed = 1.0;
    stalling.stallAfter = 40; // the driver goes quiet, as an unplugged interface would
    Configure(stalling);
    ASSERT_EQ(Start({ 0, 0, 0, 0, 0, 0, 0, 0 }), 1);

    const uint64_t started = NowMilliseconds();
    ASSERT_TRUE(WaitFor(WM_SNDIO_FINISHED, 1, 20000));
    const uint64_t ended = NowMilliseconds() - started;
    EXPECT_EQ(m_playList.GetStatus(), PL::kStatusTransferFailed);
    EXPECT_GE(ended, 5000u); // time-outs alone are tolerated this long
    // The worker ends right after its last message.
    const uint64_t deadline = NowMilliseconds() + 2000;
    while (!m_playList.HasEnded() && NowMilliseconds() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(m_playList.HasEnded());
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);

    // Once the device is back, a new start meters again.
    GeneratorConfig healthy;
    healthy.input = { { "sine", 1000.0, -20.0 } };
    Configure(healthy);
    ASSERT_EQ(Start({ 0, 0, 0, 0, 0, 0, 0, 0 }), 1);
    EXPECT_TRUE(WaitFor(WM_SNDIO_LEVELS, Count(WM_SNDIO_LEVELS) + 20));
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    EXPECT_EQ(m_playList.GetStatus(), PL::kStatusOk);
}

} // namespace
} // namespace kerrion::test
