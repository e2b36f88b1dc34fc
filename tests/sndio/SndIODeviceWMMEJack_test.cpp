// The plain device on a paced endpoint: a jack PCM on a private JACK server (dummy driver,
// 44100 Hz), which also plays the part of an interface that is unplugged while metering.
// Rings of 1024 frames keep the slot times (23 ms) and so the time-outs short.

#include "WmmeTestDevice.h"
#include "platform/wave/AlsaTestSetup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

using namespace kerrion::test;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kFrames = 1024;

class SndIODeviceWMMEJackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string reason; !JackPcmAvailable(reason))
            GTEST_SKIP() << reason;
        m_server.emplace(kJackPcmServer); // after the configuration, which it overrides
        ASSERT_TRUE(m_server->Ready()) << m_server->Log();
    }

    // Initialize, select the jack endpoint, enable both directions, start the device thread.
    void Open(CSndIODeviceWMME& device)
    {
        ASSERT_EQ(device.Initialize(), 1);
        const int index = FindDevice(device, "Paced (kt_jack)");
        ASSERT_GE(index, 0);
        ASSERT_EQ(device.SelectDevice(static_cast<uint32_t>(index)), 1);
        PrepareStreams(device, kFrames);
        ASSERT_EQ(device.Start(), 1);
    }

    // Transfers until `count` blocks held input; false on a failing Transfer.
    static bool ReceiveBlocks(CSndIODevice& device, EngineSide& engine, int count)
    {
        for (int received = 0, guard = 0; received < count && guard < 200; ++guard) {
            uint32_t frames = 0;
            if (engine.Transfer(device, frames) != 1)
                return false;
            received += frames > 0 ? 1 : 0;
        }
        return true;
    }

    AlsaTestConfig m_config { JackPcmDefinition("kt_jack", "Paced") };
    std::optional<JackServer> m_server;
};

} // namespace

TEST_F(SndIODeviceWMMEJackTest, FinishRepliesStoppedOnceEveryQueuedBufferIsBack)
{
    CSndIODeviceWMME device;
    Open(device);
    EngineSide engine(kerrion::kSampleInt16, kFrames, 2);
    ASSERT_TRUE(ReceiveBlocks(device, engine, 8));
    EXPECT_EQ(StopStreaming(device, CSndIOThreadContext::kCommandFinish),
        CSndIOThreadContext::kReplyStopped);
    // All four input buffers came back full before the capture stopped: the position is a whole
    // number of buffers, and counts at least the blocks the engine received plus those four.
    const uint32_t position = device.InputStream().m_position;
    EXPECT_EQ(position % kFrames, 0u);
    EXPECT_GE(position, (8u + 4u) * kFrames);
    EXPECT_EQ(device.Close(), 1);
}

TEST_F(SndIODeviceWMMEJackTest, LateEngineCountsMissedSlotsAndStreamingGoesOn)
{
    CSndIODeviceWMME device;
    Open(device);
    EngineSide engine(kerrion::kSampleInt16, kFrames, 2);
    ASSERT_TRUE(ReceiveBlocks(device, engine, 4));
    // About 50 slots without a Transfer: the device thread waits for the engine in steps of
    // eight slots, counting each step as missed on either side, and the wave layer's capture
    // overruns meanwhile (counted as missed input too).
    std::this_thread::sleep_for(1200ms);
    EXPECT_GE(device.OutputStream().m_missedSlots.load(), 1u);
    EXPECT_GE(device.InputStream().m_missedSlots.load(), 1u);
    EXPECT_TRUE(ReceiveBlocks(device, engine, 8)) << "metering goes on";
    EXPECT_EQ(device.Close(), 1);
}

TEST_F(SndIODeviceWMMEJackTest, UnpluggedDeviceTimesOutTheEngineAndStartsAgainOnceBack)
{
    CSndIODeviceWMME device;
    Open(device);
    EngineSide engine(kerrion::kSampleInt16, kFrames, 2);
    ASSERT_TRUE(ReceiveBlocks(device, engine, 4));
    m_server->KillAtOnce();

    // The engine's Transfer gives up after 40 slots instead of waiting forever.
    int result = 1;
    const auto start = std::chrono::steady_clock::now();
    while (result == 1 && std::chrono::steady_clock::now() - start < 10s) {
        uint32_t frames = 0;
        result = engine.Transfer(device, frames);
    }
    EXPECT_EQ(result, CSndIODevice::kWaitTimedOut);

    // The stop the engine then sends is answered at once, and the thread ends.
    EXPECT_EQ(StopStreaming(device, CSndIOThreadContext::kCommandStop),
        CSndIOThreadContext::kReplyStopped);
    EXPECT_EQ(device.EndThread(), 1);
    EXPECT_EQ(device.AbandonedThreads(), 0);

    EXPECT_EQ(device.Start(), 0) << "the device is gone";
    ASSERT_TRUE(m_server->Restart()) << m_server->Log();
    ASSERT_EQ(device.Start(), 1);
    EXPECT_TRUE(ReceiveBlocks(device, engine, 4));
    EXPECT_EQ(device.Close(), 1);
}
