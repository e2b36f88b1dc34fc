#include "platform/wave/AlsaTestSetup.h"
#include "platform/wave/WaveDevice.h"
#include "platform/wave/WaveEndpoints.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kerrion;
using namespace std::chrono_literals;
using test::HeaderCollector;
using test::PcmFormat;
using test::TestBuffers;

namespace {

constexpr uint32_t kToneFrames = 44100;

// A device over a `file` PCM whose input is the 16-bit stereo ramp (and, for the 8-bit tests,
// the same bytes read as unsigned mono samples).
class WaveDeviceTest : public ::testing::Test {
protected:
    WaveDeviceTest()
        : m_config(Definitions(m_dir))
    {
    }

    static std::string Definitions(const test::TempDir& dir)
    {
        const auto tone = dir / "ramp.raw";
        test::WriteFileBytes(tone, test::RampBytes(0, kToneFrames));
        return test::FilePcmDefinition("kt_ramp", tone, "Ramp");
    }

    int OpenCapture(WaveDevice& device, const WaveFormat& format)
    {
        return device.Open("plug:kt_ramp", WaveDirection::Capture, format,
            &HeaderCollector::Callback, &m_collector);
    }

    test::TempDir m_dir;
    test::AlsaTestConfig m_config;
    HeaderCollector m_collector;
};

} // namespace

TEST_F(WaveDeviceTest, CaptureReturnsBuffersInOrderWithTheRecordedSamples)
{
    constexpr uint32_t kFrames = 1000; // not a multiple of the device's period
    constexpr std::size_t kWanted = 12;
    WaveDevice device;
    ASSERT_EQ(OpenCapture(device, PcmFormat(2, 16, 44100)), kWaveNoError);
    TestBuffers buffers(4, kFrames * 4);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
        ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
    }
    ASSERT_EQ(device.Start(), kWaveNoError);

    std::string recorded;
    for (std::size_t taken = 0; taken < kWanted; ++taken) {
        ASSERT_TRUE(m_collector.WaitFor(taken + 1, 3s));
        const auto back = m_collector.Buffers()[taken];
        EXPECT_EQ(back.message, kWaveInData);
        EXPECT_EQ(back.header->user, taken % 4);
        EXPECT_EQ(back.bytesRecorded, kFrames * 4);
        EXPECT_NE(back.thread, std::this_thread::get_id());
        EXPECT_EQ(back.header->flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
        recorded.append(reinterpret_cast<const char*>(back.header->data), back.bytesRecorded);
        if (taken + 4 < kWanted) {
            ASSERT_EQ(device.Queue(back.header), kWaveNoError);
        }
    }
    EXPECT_EQ(recorded, test::RampBytes(0, kFrames * kWanted));
    uint32_t position = 0;
    ASSERT_EQ(device.GetPosition(&position), kWaveNoError);
    EXPECT_EQ(position, kFrames * kWanted);

    EXPECT_EQ(device.Stop(), kWaveNoError);
    EXPECT_EQ(device.Reset(), kWaveNoError);
    EXPECT_EQ(device.Close(), kWaveNoError);
    EXPECT_EQ(
        m_collector.OtherMessages(), (std::vector<uint32_t> { kWaveInOpened, kWaveInClosed }));
}

TEST_F(WaveDeviceTest, EightBitMonoCaptureDeliversTheBytesAsUnsignedSamples)
{
    WaveDevice device;
    ASSERT_EQ(OpenCapture(device, PcmFormat(1, 8, 11025)), kWaveNoError);
    TestBuffers buffers(1, 512);
    ASSERT_EQ(device.PrepareHeader(&buffers[0]), kWaveNoError);
    ASSERT_EQ(device.Queue(&buffers[0]), kWaveNoError);
    ASSERT_EQ(device.Start(), kWaveNoError);
    ASSERT_TRUE(m_collector.WaitFor(1, 3s));
    EXPECT_EQ(m_collector.Buffers()[0].bytesRecorded, 512u);
    const std::string expected = test::RampBytes(0, 128);
    EXPECT_EQ(std::memcmp(buffers.memory[0].data(), expected.data(), 512), 0);
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceTest, ResetReturnsEveryQueuedBufferBeforeItReturns)
{
    WaveDevice device;
    ASSERT_EQ(OpenCapture(device, PcmFormat(2, 16, 44100)), kWaveNoError);
    TestBuffers buffers(4, 4096);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
        ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
    }
    // Not started: nothing is recorded, and only Reset brings the buffers back.
    EXPECT_EQ(device.Close(), kWaveStillPlaying);
    ASSERT_EQ(device.Reset(), kWaveNoError);
    const auto back = m_collector.Buffers();
    ASSERT_EQ(back.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(back[i].header, &buffers[i]);
        EXPECT_EQ(back[i].bytesRecorded, 0u);
        EXPECT_EQ(buffers[i].flags & kWaveHeaderInQueue, 0u);
        EXPECT_EQ(device.UnprepareHeader(&buffers[i]), kWaveNoError);
    }
    uint32_t position = 99;
    device.GetPosition(&position);
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceTest, PlaybackBuffersComeBackThroughTheCallbackInOrder)
{
    WaveDevice device;
    ASSERT_EQ(device.Open(WaveEndpoints::kSilentPlaybackPcm, WaveDirection::Playback,
                  PcmFormat(2, 16, 44100), &HeaderCollector::Callback, &m_collector),
        kWaveNoError);
    TestBuffers buffers(6, 2048);
    for (std::size_t i = 0; i < 6; ++i) {
        ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
        ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
    }
    ASSERT_TRUE(m_collector.WaitFor(6, 3s));
    const auto back = m_collector.Buffers();
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(back[i].message, kWaveOutDone);
        EXPECT_EQ(back[i].header, &buffers[i]);
        EXPECT_NE(back[i].thread, std::this_thread::get_id());
    }
    uint32_t position = 0;
    device.GetPosition(&position);
    EXPECT_LE(position, 6u * 512u);
    EXPECT_EQ(device.Close(), kWaveNoError);
    EXPECT_EQ(
        m_collector.OtherMessages(), (std::vector<uint32_t> { kWaveOutOpened, kWaveOutClosed }));
}

TEST_F(WaveDeviceTest, StoppedPlaybackKeepsItsBuffersUntilStartedOrReset)
{
    WaveDevice device;
    ASSERT_EQ(device.Open(WaveEndpoints::kSilentPlaybackPcm, WaveDirection::Playback,
                  PcmFormat(1, 16, 22050), &HeaderCollector::Callback, &m_collector),
        kWaveNoError);
    ASSERT_EQ(device.Stop(), kWaveNoError);
    TestBuffers buffers(3, 1024);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
        ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
    }
    EXPECT_FALSE(m_collector.WaitFor(1, 150ms));
    ASSERT_EQ(device.Start(), kWaveNoError);
    ASSERT_TRUE(m_collector.WaitFor(3, 3s));

    // Reset leaves playback running: a buffer queued afterwards plays at once.
    ASSERT_EQ(device.Stop(), kWaveNoError);
    ASSERT_EQ(device.Queue(&buffers[0]), kWaveNoError);
    ASSERT_EQ(device.Reset(), kWaveNoError);
    ASSERT_EQ(m_collector.Buffers().size(), 4u);
    ASSERT_EQ(device.Queue(&buffers[1]), kWaveNoError);
    EXPECT_TRUE(m_collector.WaitFor(5, 3s));
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceTest, HeadersFollowThePrepareQueueUnprepareRules)
{
    WaveDevice device;
    TestBuffers buffers(1, 400);
    EXPECT_EQ(device.PrepareHeader(&buffers[0]), kWaveInvalidHandle);
    EXPECT_EQ(device.Reset(), kWaveInvalidHandle);
    EXPECT_EQ(device.Close(), kWaveInvalidHandle);
    ASSERT_EQ(OpenCapture(device, PcmFormat(2, 16, 44100)), kWaveNoError);
    EXPECT_EQ(OpenCapture(device, PcmFormat(2, 16, 44100)), kWaveInvalidParam);

    EXPECT_EQ(device.Queue(&buffers[0]), kWaveUnprepared);
    WaveHeader empty;
    EXPECT_EQ(device.PrepareHeader(&empty), kWaveInvalidParam);
    ASSERT_EQ(device.PrepareHeader(&buffers[0]), kWaveNoError);
    ASSERT_EQ(device.Queue(&buffers[0]), kWaveNoError);
    EXPECT_EQ(device.Queue(&buffers[0]), kWaveStillPlaying);
    EXPECT_EQ(device.UnprepareHeader(&buffers[0]), kWaveStillPlaying);
    EXPECT_EQ(device.PrepareHeader(&buffers[0]), kWaveStillPlaying);
    ASSERT_EQ(device.Reset(), kWaveNoError);
    EXPECT_EQ(device.UnprepareHeader(&buffers[0]), kWaveNoError);
    EXPECT_EQ(buffers[0].flags.load(), kWaveHeaderDone);
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceTest, OpenRefusesBadFormatsAndUnknownEndpoints)
{
    WaveDevice device;
    WaveFormat twelveBit = PcmFormat(2, 12, 44100);
    EXPECT_EQ(OpenCapture(device, twelveBit), kWaveBadFormat);
    WaveFormat misaligned = PcmFormat(2, 16, 44100);
    misaligned.blockAlign = 2;
    EXPECT_EQ(OpenCapture(device, misaligned), kWaveBadFormat);
    WaveFormat floating = PcmFormat(2, 16, 44100);
    floating.formatTag = 3;
    EXPECT_EQ(OpenCapture(device, floating), kWaveBadFormat);
    EXPECT_EQ(device.Open("kt_no_such_pcm", WaveDirection::Capture, PcmFormat(2, 16, 44100),
                  nullptr, nullptr),
        kWaveNoDriver);
    WaveEndpoints endpoints;
    const uint32_t count = endpoints.Scan();
    EXPECT_EQ(device.Open(endpoints, count, WaveDirection::Capture, PcmFormat(2, 16, 44100),
                  nullptr, nullptr),
        kWaveBadDeviceId);
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(WaveDeviceTest, OpensAnEndpointByItsIndex)
{
    WaveEndpoints endpoints;
    endpoints.Scan();
    uint32_t index = 0;
    while (index < endpoints.CaptureCount()
        && std::string(endpoints.PcmName(index, WaveDirection::Capture)) != "plug:kt_ramp")
        ++index;
    ASSERT_LT(index, endpoints.CaptureCount());
    WaveDevice capture;
    WaveDevice playback;
    ASSERT_EQ(capture.Open(endpoints, index, WaveDirection::Capture, PcmFormat(2, 16, 44100),
                  &HeaderCollector::Callback, &m_collector),
        kWaveNoError);
    ASSERT_EQ(playback.Open(endpoints, index, WaveDirection::Playback, PcmFormat(2, 16, 44100),
                  nullptr, nullptr),
        kWaveNoError);
    TestBuffers buffers(1, 4000);
    ASSERT_EQ(capture.PrepareHeader(&buffers[0]), kWaveNoError);
    ASSERT_EQ(capture.Queue(&buffers[0]), kWaveNoError);
    ASSERT_EQ(capture.Start(), kWaveNoError);
    ASSERT_TRUE(m_collector.WaitFor(1, 3s));
    const std::string expected = test::RampBytes(0, 1000);
    EXPECT_EQ(std::memcmp(buffers.memory[0].data(), expected.data(), expected.size()), 0);
}
