// The device interface and transfer ring against real device threads (CLoopbackDevice).

#include "LoopbackDevice.h"
#include "platform/sync/Clock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

// Opens a loopback device with both directions enabled and its rings allocated.
void Open(CLoopbackDevice& device)
{
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(0), 1);
    device.OutputStream().m_enabled = device.HasOutput() ? 1 : 0;
    device.InputStream().m_enabled = device.HasInput() ? 1 : 0;
    ASSERT_EQ(device.AllocateRings(device.OutputStream().m_bufferFrames), 1);
}

// Engine-side buffers of 16-bit samples, two channels.
struct EngineBuffers {
    EngineBuffers()
    {
        CreateBufferArray(out, kerrion::kSampleInt16, 480, 2);
        CreateBufferArray(in, kerrion::kSampleInt16, 480, 2);
    }
    ~EngineBuffers()
    {
        DestroyBufferArray(out, 2);
        DestroyBufferArray(in, 2);
    }
    void FillOutput(int block)
    {
        for (int c = 0; c < 2; ++c) {
            for (int f = 0; f < 480; ++f)
                out[c].Samples<int16_t>()[f]
                    = static_cast<int16_t>(block * 1000 + c * 500 + f - 16000);
        }
    }
    CSndIOBuffer* out = nullptr;
    CSndIOBuffer* in = nullptr;
};

} // namespace

TEST(SndIODevice, NamesAreListedSixteenAtMostAndCutTo31Characters)
{
    LoopbackSettings settings;
    settings.devices = 30;
    CLoopbackDevice device(settings);
    ASSERT_EQ(device.Initialize(), 1);
    EXPECT_EQ(device.DeviceCount(), 30u);
    char names[16][32];
    EXPECT_EQ(device.GetDeviceNames(names), 16);
    EXPECT_STREQ(names[15], "Loopback device number 16 with ");
    char name[32] = {};
    EXPECT_EQ(device.GetDeviceName(name), 0) << "nothing selected yet";
    EXPECT_EQ(device.SelectDevice(30), 0);
    EXPECT_FALSE(device.IsOpened());
    ASSERT_EQ(device.SelectDevice(29), 1);
    EXPECT_EQ(device.GetDeviceName(name), 1);
    EXPECT_STREQ(name, "Loopback device number 30 with ");
    EXPECT_EQ(device.InputStream().m_deviceIndex, 29u);
}

TEST(SndIODevice, RingAllocationFollowsTheStreams)
{
    CLoopbackDevice device;
    EXPECT_EQ(device.AllocateRings(480), 0) << "not opened";
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(1), 1);
    device.OutputStream().m_activeChannels = 0; // a direction not streamed allocates nothing
    device.InputStream().m_activeChannels = 99; // never more than the device has
    ASSERT_EQ(device.AllocateRings(256), 1);
    EXPECT_TRUE(device.RingsAllocated());
    EXPECT_FALSE(device.OutputStream().HasRing());
    EXPECT_EQ(device.InputStream().m_activeChannels, 2u);
    EXPECT_EQ(device.InputStream().m_bufferFrames, 256u);
    const uint8_t* block = device.InputStream().m_channelBlocks[3][1];
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[256 * 4 - 1], 0);
    EXPECT_EQ(device.FreeRings(), 1);
    EXPECT_EQ(device.InputStream().m_bufferFrames, 0u);
    device.InputStream().m_bytesPerSample = 0;
    EXPECT_EQ(device.AllocateRings(256), 0);
    EXPECT_FALSE(device.RingsAllocated());
}

TEST(SndIODevice, TransferWithoutAThreadReturnsZeroAndNoInput)
{
    CLoopbackDevice device;
    Open(device);
    EngineBuffers buffers;
    uint32_t frames = 480;
    EXPECT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 0);
    EXPECT_EQ(frames, 0u);
    uint32_t a = 9, b = 9;
    EXPECT_EQ(device.GetPosition(a, b), 0);
    EXPECT_EQ(device.WaitReply(10), 0);
}

TEST(SndIODevice, StartThreadRefusesWhatCannotRun)
{
    CLoopbackDevice device;
    Open(device);
    EXPECT_EQ(device.StartThread(nullptr), 0);
    device.OutputStream().m_enabled = 0;
    device.InputStream().m_enabled = 0;
    EXPECT_EQ(device.Start(), 0) << "no direction enabled";
    LoopbackSettings failing;
    failing.mode = LoopbackSettings::kOpenFails;
    CLoopbackDevice broken(failing);
    Open(broken);
    EXPECT_EQ(broken.Start(), 0) << "the device thread could not open the device";
    EXPECT_FALSE(broken.HasThread());
}

class SndIODeviceLoopback : public ::testing::TestWithParam<bool> { };

TEST_P(SndIODeviceLoopback, BlocksComeBackThroughTheRingConverted)
{
    LoopbackSettings settings;
    settings.interleaved = GetParam();
    CLoopbackDevice device(settings);
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    EngineBuffers buffers;
    for (int block = 0; block < 12; ++block) {
        buffers.FillOutput(block);
        uint32_t frames = 480;
        ASSERT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1) << block;
        ASSERT_TRUE(device.IsStreaming());
        ASSERT_EQ(frames, 480u);
        for (int c = 0; c < 2; ++c) {
            ASSERT_EQ(buffers.in[c].Count(), 480u);
            ASSERT_EQ(std::memcmp(buffers.in[c].Bytes(), buffers.out[c].Bytes(), 480 * 2), 0)
                << block << " " << c;
        }
    }
    // The ring holds 32-bit samples: the 16-bit values sit in the upper half.
    EXPECT_EQ(device.OutputStream().m_sampleType, kerrion::kSampleInt32);
    uint32_t outPosition = 0, inPosition = 0;
    ASSERT_EQ(device.GetPosition(outPosition, inPosition), 1);
    EXPECT_EQ(outPosition, 12u * 480u);
    EXPECT_EQ(device.Close(), 1);
    EXPECT_FALSE(device.HasThread());
    EXPECT_FALSE(device.RingsAllocated());
}

INSTANTIATE_TEST_SUITE_P(
    PerChannelAndInterleaved, SndIODeviceLoopback, ::testing::Values(false, true));

TEST(SndIODevice, ShortBlocksCarryTheirFrameCount)
{
    CLoopbackDevice device;
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    EngineBuffers buffers;
    buffers.FillOutput(3);
    uint32_t frames = 480;
    ASSERT_EQ(device.Transfer(buffers.out, 2, 100, buffers.in, 2, frames), 1);
    EXPECT_EQ(frames, 100u);
    EXPECT_EQ(buffers.out[0].Count(), 100u);
    EXPECT_EQ(buffers.in[0].Count(), 100u);
    frames = 50;
    buffers.out[0].SetCount(480);
    ASSERT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1);
    EXPECT_EQ(frames, 50u) << "never more than the engine asked for";
}

TEST(SndIODevice, WithOutputDisabledTransferOnlyReadsInput)
{
    CLoopbackDevice device;
    Open(device);
    device.OutputStream().m_enabled = 0;
    ASSERT_EQ(device.Start(), 1);
    CSndIOBuffer* in = nullptr;
    ASSERT_EQ(CreateBufferArray(in, kerrion::kSampleInt32, 480, 2), 1);
    for (uint32_t block = 0; block < 3; ++block) {
        uint32_t frames = 480;
        ASSERT_EQ(device.Transfer(nullptr, 0, 0, in, 2, frames), 1);
        ASSERT_EQ(frames, 480u);
        EXPECT_EQ(in[0].Samples<int32_t>()[7], static_cast<int32_t>(block * 480 + 7));
        EXPECT_EQ(in[1].Samples<int32_t>()[0], static_cast<int32_t>(block * 480 + 100000));
    }
    DestroyBufferArray(in, 2);
}

TEST(SndIODevice, UnansweredStartMakesTransferReturn512)
{
    LoopbackSettings settings;
    settings.mode = LoopbackSettings::kIgnoreStart;
    CLoopbackDevice device(settings);
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    EngineBuffers buffers;
    uint32_t frames = 480;
    const uint64_t begin = kerrion::NowMilliseconds();
    EXPECT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 512);
    EXPECT_GE(kerrion::NowMilliseconds() - begin, 2990u);
    EXPECT_FALSE(device.IsStreaming());
}

TEST(SndIODevice, ASlotThatNeverComesTimesOutAfterFortySlotDurations)
{
    LoopbackSettings settings;
    settings.serveSlots = 2;
    CLoopbackDevice device(settings);
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    EngineBuffers buffers;
    uint32_t frames = 480;
    ASSERT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1);
    ASSERT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1);
    const uint64_t begin = kerrion::NowMilliseconds();
    EXPECT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 512);
    EXPECT_EQ(frames, 0u);
    const uint64_t waited = kerrion::NowMilliseconds() - begin;
    EXPECT_GE(waited, 399u); // 40 slots of 10 ms
    EXPECT_LT(waited, 3000u);
}

TEST(SndIODevice, StopsReportsPositionsAndStartsAgain)
{
    CLoopbackDevice device;
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    EngineBuffers buffers;
    for (int run = 0; run < 2; ++run) {
        for (int block = 0; block < 5; ++block) {
            uint32_t frames = 480;
            ASSERT_EQ(device.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1);
        }
        // The engine's stop: command 3, the acknowledgement, then the stopped reply.
        device.SendCommand(CSndIOThreadContext::kCommandStop);
        int reply = device.WaitReply(3000);
        device.SetStreaming(false);
        if (reply == CSndIOThreadContext::kReplyAcknowledged)
            reply = device.WaitReply(3000);
        EXPECT_EQ(reply, CSndIOThreadContext::kReplyStopped);
        uint32_t outPosition = 0, inPosition = 0;
        ASSERT_EQ(device.GetPosition(outPosition, inPosition), 1);
        EXPECT_EQ(outPosition, 5u * 480u) << run;
        EXPECT_EQ(inPosition, 5u * 480u) << run;
    }
    EXPECT_EQ(device.EndThread(), 1);
    EXPECT_EQ(device.WaitReply(10), 0);
}

TEST(SndIODevice, ADeviceThreadThatNeverAnswersIsAbandonedWithItsStateAlive)
{
    LoopbackSettings settings;
    settings.mode = LoopbackSettings::kNeverAnswer;
    auto device = std::make_unique<CLoopbackDevice>(settings);
    Open(*device);
    ASSERT_EQ(device->Start(), 1);
    std::shared_ptr<LoopbackThreadState> stuck = device->m_threadState;
    std::weak_ptr<LoopbackThreadState> watch = stuck;
    device->SetEndThreadTimeout(100);
    const uint64_t begin = kerrion::NowMilliseconds();
    EXPECT_EQ(device->EndThread(), 1);
    EXPECT_LT(kerrion::NowMilliseconds() - begin, 2000u);
    EXPECT_EQ(device->AbandonedThreads(), 1);
    EXPECT_FALSE(device->HasThread());
    EXPECT_FALSE(device->RingsAllocated()) << "the old rings went with the abandoned thread";

    // The device goes on with a fresh context: a new thread streams normally.
    device->m_settings.mode = LoopbackSettings::kLoopback;
    device->OutputStream().m_enabled = 1;
    ASSERT_EQ(device->Start(), 1);
    EngineBuffers buffers;
    uint32_t frames = 480;
    EXPECT_EQ(device->Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1);
    device.reset();

    // Now the stuck thread wakes up and touches its context, long after the device is gone.
    stuck->release.Set();
    stuck.reset();
    for (int i = 0; i < 500 && !watch.expired(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(watch.expired()) << "the thread ended and released what it held";
}

TEST(SndIODevice, CloseIsSafeInEveryState)
{
    CLoopbackDevice fresh;
    EXPECT_EQ(fresh.Close(), 1);
    CLoopbackDevice streaming;
    Open(streaming);
    ASSERT_EQ(streaming.Start(), 1);
    EngineBuffers buffers;
    uint32_t frames = 480;
    ASSERT_EQ(streaming.Transfer(buffers.out, 2, 480, buffers.in, 2, frames), 1);
    EXPECT_EQ(streaming.Close(), 1);
    EXPECT_FALSE(streaming.IsStreaming());
    EXPECT_EQ(streaming.Close(), 1);
}
