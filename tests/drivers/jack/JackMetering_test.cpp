// The whole metering path over JACK: a client plays known sines into the driver's ports, the
// engine meters them through the ASIO device, the plug-in and a private jackd.

#include "drivers/jack/JackBridgeSetup.h"
#include "drivers/jack/JackTestClient.h"
#include "meter/SndIOPlayList.h"
#include "platform/messages/MessageQueue.h"
#include "platform/sync/Clock.h"
#include "support/JackServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <thread>

using kerrion::test::JackServer;
using kerrion::test::JackTestClient;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

namespace {

constexpr std::array<int32_t, 8> kChannels = { 0, 1, 2, 3, 4, 5, 6, 7 };

class JackMetering : public ::testing::Test {
protected:
    void SetUp() override
    {
        KERRION_REQUIRE_JACKD();
        m_bridge.emplace(m_dir.Path(), KERRION_JACK_DRIVER);
    }

    void TearDown() override { m_playList.StopEngine(); }

    void StartServer()
    {
        m_default.reset();
        m_server.reset();
        m_server.emplace();
        ASSERT_TRUE(m_server->Ready()) << m_server->Log();
        m_default.emplace("JACK_DEFAULT_SERVER", m_server->Name().c_str());
    }

    // Input 1: 1 kHz at -20 dBFS; input 3: 440 Hz at -10 dBFS; the others silent. The ports
    // exist once the engine has selected the device, so the player connects after the start.
    void Play()
    {
        ASSERT_TRUE(WaitFor(WM_SNDIO_STARTED, 1, 5000));
        m_player.emplace(m_server->Name(),
            std::vector<std::vector<float>> { JackTestClient::Sine(1000.0, 0.1, 48000.0, 480),
                JackTestClient::Sine(440.0, 0.316227766, 48000.0, 48000) });
        ASSERT_TRUE(m_player->Ok()) << m_server->Log();
        ASSERT_TRUE(m_player->ConnectTo({ "Kerrion:in_1", "Kerrion:in_3" }));
    }

    int Start()
    {
        return m_playList.StartEngine(0, 0, 0, 0, nullptr, kChannels.data(), 2, 0, &m_queue, 0.0);
    }

    // Takes messages until `message` has come `count` more times or `timeoutMs` passes; a level
    // message counts as the blocks it stands for.
    bool WaitFor(uint32_t message, int count, int timeoutMs)
    {
        const uint64_t end = kerrion::NowMilliseconds() + static_cast<uint64_t>(timeoutMs);
        int seen = 0;
        for (;;) {
            CMessageQueue::Message m;
            while (m_queue.TakeMessage(m)) {
                const bool levels = m.message == WM_SNDIO_LEVELS;
                const int64_t blocks
                    = levels ? std::max<int64_t>(1, m_playList.TakeLevelBlocks()) : 1;
                seen += m.message == message ? static_cast<int>(blocks) : 0;
            }
            if (seen >= count)
                return true;
            const uint64_t now = kerrion::NowMilliseconds();
            if (now >= end)
                return false;
            m_queue.WaitForMessage(static_cast<int>(end - now));
        }
    }

    void ExpectTheSines()
    {
        std::array<double, 64> peak {}, vu {};
        m_playList.GetMeterLevels(peak.data(), vu.data());
        EXPECT_NEAR(peak[0], -20.0, 0.02);
        EXPECT_NEAR(vu[0], 0.0, 0.1) << "a sine peaking 20 dB below full scale reads 0 VU";
        EXPECT_NEAR(peak[2], -10.0, 0.02);
        EXPECT_NEAR(vu[2], 10.0, 0.1);
        for (size_t i : { 1u, 3u, 7u })
            EXPECT_EQ(peak[i], -96.0) << "meter " << i + 1;
    }

    TempDir m_dir;
    std::optional<kerrion::test::JackBridgeSetup> m_bridge;
    std::optional<JackServer> m_server;
    std::optional<ScopedEnv> m_default;
    std::optional<JackTestClient> m_player;
    CMessageQueue m_queue;
    CSndIOPlayList m_playList;
};

} // namespace

// A bridge without playback ports gives the host no output: its input alone drives the run.
TEST_F(JackMetering, ABridgeWithoutOutputsMetersItsInputs)
{
    kerrion::test::WriteFileBytes(m_dir / "jack.ini", "[JACK]\nOutputs=0\nAutoConnect=0\n");
    StartServer();
    ASSERT_EQ(Start(), 1);
    Play();
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 188, 10000));
    ExpectTheSines();
}

TEST_F(JackMetering, SinesReadTheirPeakAndVuLevelsInBlocksOfTwoServerPeriods)
{
    StartServer();
    ASSERT_EQ(Start(), 1);
    Play();
    // 2 s of audio in 512-frame blocks: the VU ballistics have settled.
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 188, 10000));
    ExpectTheSines();
    const CSndIOPlayList::Counters counters = m_playList.GetCounters();
    EXPECT_EQ(counters.status, CSndIOPlayList::kStatusOk);
    EXPECT_EQ(counters.blockFrames, 512u); // about 10 ms of the server's 256-frame periods
    EXPECT_EQ(counters.sampleRate, 48000.0);
    EXPECT_EQ(counters.inputChannels, 8);
    EXPECT_EQ(m_playList.StopEngine(), CSndIOPlayList::kStopped);
}

TEST_F(JackMetering, AServerGoneWhileMeteringEndsTheRunAndAFreshStartMeters)
{
    StartServer();
    ASSERT_EQ(Start(), 1);
    Play();
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 20, 5000));
    m_player.reset();
    EXPECT_TRUE(m_server->Kill()) << "the server shut down cleanly\n" << m_server->Log();

    // The run ends by itself at once, reporting the lost device, and nothing hangs.
    ASSERT_TRUE(WaitFor(WM_SNDIO_FINISHED, 1, 1500));
    EXPECT_EQ(m_playList.GetStatus(), CSndIOPlayList::kStatusDeviceLost);
    const uint64_t begin = kerrion::NowMilliseconds();
    EXPECT_EQ(m_playList.StopEngine(), CSndIOPlayList::kStopped);
    EXPECT_LT(kerrion::NowMilliseconds() - begin, 3000u);
    EXPECT_FALSE(m_playList.IsRunning());

    StartServer();
    ASSERT_EQ(Start(), 1);
    Play();
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 375, 10000));
    ExpectTheSines();
    EXPECT_EQ(m_playList.StopEngine(), CSndIOPlayList::kStopped);
}

TEST_F(JackMetering, ARunStartedAgainMetersThroughTheConnectionsOfTheRunBefore)
{
    StartServer();
    ASSERT_EQ(Start(), 1);
    Play();
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 20, 5000));
    EXPECT_EQ(m_playList.StopEngine(), CSndIOPlayList::kStopped);

    // A new run is a new client of the server: nobody connects it this time.
    ASSERT_EQ(Start(), 1);
    ASSERT_TRUE(WaitFor(WM_SNDIO_STARTED, 1, 5000));
    ASSERT_TRUE(WaitFor(WM_SNDIO_LEVELS, 375, 10000));
    ExpectTheSines();
    EXPECT_EQ(m_playList.StopEngine(), CSndIOPlayList::kStopped);
}
