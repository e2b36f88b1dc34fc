// The wave device on a paced source: a jack PCM on a private JACK server (dummy driver, 44100 Hz,
// 1024-frame periods), which also stands in for a device that disappears while metering.

#include "platform/wave/AlsaTestSetup.h"
#include "platform/wave/WaveDevice.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kerrion;
using namespace std::chrono_literals;
using test::HeaderCollector;
using test::PcmFormat;
using test::TestBuffers;

namespace {

constexpr uint32_t kFrames = 2048; // per buffer: 46 ms at 44100 Hz
constexpr uint32_t kBytes = kFrames * 4;
const char* const kPcm = "plug:kt_jack";

class WaveDeviceJackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string reason; !test::JackPcmAvailable(reason))
            GTEST_SKIP() << reason;
        m_server.emplace(test::kJackPcmServer); // after the configuration, which it overrides
        ASSERT_TRUE(m_server->Ready()) << m_server->Log();
    }

    // Opens, queues every buffer and starts recording.
    void StartCapture(WaveDevice& device, TestBuffers& buffers, std::size_t count)
    {
        ASSERT_EQ(device.Open(kPcm, WaveDirection::Capture, PcmFormat(2, 16, 44100),
                      &HeaderCollector::Callback, &m_collector),
            kWaveNoError);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
            ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
        }
        ASSERT_EQ(device.Start(), kWaveNoError);
    }

    // Waits for the buffers up to number `until`, queueing each again as it comes back.
    bool Keep(WaveDevice& device, std::size_t until, std::chrono::milliseconds timeout)
    {
        for (std::size_t seen = m_collector.Buffers().size(); seen < until; ++seen) {
            if (!m_collector.WaitFor(seen + 1, timeout))
                return false;
            if (device.Queue(m_collector.Buffers()[seen].header) != kWaveNoError)
                return false;
        }
        return true;
    }

    test::AlsaTestConfig m_config { test::JackPcmDefinition("kt_jack", "Paced") };
    std::optional<test::JackServer> m_server;
    HeaderCollector m_collector;
};

template <typename Body>
std::chrono::milliseconds TimeOf(Body body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
}

} // namespace

TEST_F(WaveDeviceJackTest, CaptureArrivesAtTheServersPace)
{
    // The jack PCM itself runs float samples only; the layer reaches it through plug.
    WaveDevice raw;
    EXPECT_EQ(
        raw.Open("kt_jack", WaveDirection::Capture, PcmFormat(2, 16, 44100), nullptr, nullptr),
        kWaveBadFormat);

    WaveDevice device;
    TestBuffers buffers(4, kBytes);
    const auto elapsed = TimeOf([&] {
        StartCapture(device, buffers, 4);
        EXPECT_TRUE(Keep(device, 10, 3s));
    });
    // Ten buffers hold 464 ms of sound: an unpaced source would deliver them at once.
    EXPECT_GE(elapsed, 380ms);
    EXPECT_LE(elapsed, 1500ms);
    for (const auto& back : m_collector.Buffers())
        EXPECT_EQ(back.bytesRecorded, kBytes);
    ASSERT_EQ(device.Reset(), kWaveNoError);
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceJackTest, StopReturnsThePartlyFilledBuffer)
{
    WaveDevice device;
    TestBuffers buffers(2, 44100 * 4); // a second each
    StartCapture(device, buffers, 2);
    std::this_thread::sleep_for(250ms);
    ASSERT_EQ(device.Stop(), kWaveNoError);
    const auto back = m_collector.Buffers();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].header, &buffers[0]);
    EXPECT_EQ(back[0].bytesRecorded % 4, 0u);
    EXPECT_GT(back[0].bytesRecorded, 4410u * 4);                          // more than 100 ms
    EXPECT_LT(back[0].bytesRecorded, 30870u * 4);                         // less than 700 ms
    EXPECT_EQ(buffers[1].flags & kWaveHeaderInQueue, kWaveHeaderInQueue); // empty: stays queued
    ASSERT_EQ(device.Reset(), kWaveNoError);
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceJackTest, CaptureOverrunIsRecoveredInsideTheLayer)
{
    WaveDevice device;
    TestBuffers buffers(4, kBytes);
    StartCapture(device, buffers, 0);
    // Recording with no buffer queued for longer than the device's half-second ring.
    std::this_thread::sleep_for(900ms);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
        ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
    }
    EXPECT_TRUE(Keep(device, 8, 3s));
    EXPECT_GE(device.Overruns(), 1u);
    ASSERT_EQ(device.Reset(), kWaveNoError);
    EXPECT_EQ(device.Close(), kWaveNoError);
}

TEST_F(WaveDeviceJackTest, LostServerNeverHangsTheOwnerAndTheEndpointWorksOnceBack)
{
    {
        WaveDevice device;
        TestBuffers buffers(4, kBytes);
        StartCapture(device, buffers, 4);
        ASSERT_TRUE(Keep(device, 2, 3s));
        m_server->KillAtOnce();
        std::this_thread::sleep_for(300ms);
        // Every call still answers promptly, and Reset brings back every queued buffer.
        EXPECT_LT(TimeOf([&] { device.Stop(); }), 1000ms);
        EXPECT_LT(TimeOf([&] { device.Start(); }), 1000ms);
        EXPECT_LT(TimeOf([&] { ASSERT_EQ(device.Reset(), kWaveNoError); }), 1000ms);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(buffers[i].flags & kWaveHeaderInQueue, 0u);
        EXPECT_LT(TimeOf([&] { EXPECT_EQ(device.Close(), kWaveNoError); }), 1000ms);
    }
    ASSERT_TRUE(m_server->Restart()) << m_server->Log();
    HeaderCollector again;
    WaveDevice device;
    TestBuffers buffers(2, kBytes);
    ASSERT_EQ(device.Open(kPcm, WaveDirection::Capture, PcmFormat(2, 16, 44100),
                  &HeaderCollector::Callback, &again),
        kWaveNoError);
    for (std::size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(device.PrepareHeader(&buffers[i]), kWaveNoError);
        ASSERT_EQ(device.Queue(&buffers[i]), kWaveNoError);
    }
    ASSERT_EQ(device.Start(), kWaveNoError);
    EXPECT_TRUE(again.WaitFor(2, 3s));
    ASSERT_EQ(device.Reset(), kWaveNoError);
    EXPECT_EQ(device.Close(), kWaveNoError);
}
