// The ASIO device over the JACK driver: the real registry, plug-in loading, device thread and
// transfer ring, with a private jackd on the dummy driver and a client playing known signals.

#include "drivers/jack/JackBridgeSetup.h"
#include "drivers/jack/JackTestClient.h"
#include "platform/sync/Clock.h"
#include "sndio/SndIODeviceASIO.h"
#include "support/JackServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <optional>

using kerrion::test::JackServer;
using kerrion::test::JackTestClient;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

namespace {

constexpr float kRampStep = 1.0f / 65536.0f; // 32768 in the 32-bit integers
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// The eight signals of the channel-order test and what each reads as a 32-bit integer.
std::vector<std::vector<float>> EightSignals()
{
    std::vector<std::vector<float>> loops = { JackTestClient::Ramp(kRampStep, 65536) };
    for (int c = 1; c < 6; ++c)
        loops.push_back(JackTestClient::Constant(static_cast<float>(c + 1) / 16.0f));
    loops.push_back(JackTestClient::Constant(1.5f));  // saturates high
    loops.push_back(JackTestClient::Constant(-3.0f)); // saturates low
    return loops;
}

int32_t ConstantOf(int channel)
{
    if (channel == 6)
        return kMax;
    if (channel == 7)
        return kMin;
    return (channel + 1) << 27;
}

struct Buffers {
    explicit Buffers(uint32_t frames)
    {
        CreateBufferArray(out, kerrion::kSampleInt32, frames, 2);
        CreateBufferArray(in, kerrion::kSampleInt32, frames, 8);
    }
    ~Buffers()
    {
        DestroyBufferArray(out, 2);
        DestroyBufferArray(in, 8);
    }
    CSndIOBuffer* out = nullptr;
    CSndIOBuffer* in = nullptr;
};

class JackDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        KERRION_REQUIRE_JACKD();
        m_bridge.emplace(m_dir.Path(), KERRION_JACK_DRIVER);
    }

    void StartServer(JackServer::Options options = {})
    {
        m_default.reset();
        m_server.reset();
        m_server.emplace(options);
        ASSERT_TRUE(m_server->Ready()) << m_server->Log();
        m_default.emplace("JACK_DEFAULT_SERVER", m_server->Name().c_str());
    }

    // Initialises and selects JACK with both directions enabled and the rings allocated.
    void Open(CSndIODeviceASIO& device)
    {
        ASSERT_EQ(device.Initialize(), 1);
        char names[16][32];
        ASSERT_EQ(device.GetDeviceNames(names), 1);
        EXPECT_STREQ(names[0], "JACK");
        ASSERT_EQ(device.SelectDevice(0), 1) << device.State().driverInfo.errorMessage;
        device.OutputStream().m_enabled = 1;
        device.InputStream().m_enabled = 1;
        ASSERT_EQ(device.AllocateRings(device.OutputStream().m_bufferFrames), 1);
    }

    // Plays EightSignals into Kerrion:in_1 .. in_8.
    void Play()
    {
        m_player.emplace(m_server->Name(), EightSignals());
        ASSERT_TRUE(m_player->Ok()) << m_server->Log();
        std::vector<std::string> targets;
        for (int c = 1; c <= 8; ++c)
            targets.push_back("Kerrion:in_" + std::to_string(c));
        ASSERT_TRUE(m_player->ConnectTo(targets));
    }

    // Transfers until `blocks` blocks with samples have come in; checks each against the
    // signals. Returns the number of blocks checked.
    int TransferAndCheck(CSndIODeviceASIO& device, uint32_t frames, int blocks)
    {
        Buffers buffers(frames);
        int checked = 0;
        uint32_t lostFrames = 0;
        uint32_t jumps = 0;           // blocks that did not follow on from the one before
        uint32_t innerBreaks = 0;     // frames that did not follow on from the one before
        std::optional<uint32_t> next; // the ramp step the next frame should carry
        const int attempts = blocks + (kerrion::test::kRealTimeChecks ? 40 : 400);
        for (int attempt = 0; attempt < attempts && checked < blocks; ++attempt) {
            uint32_t got = frames;
            const int result = device.Transfer(buffers.out, 2, frames, buffers.in, 8, got);
            if (!kerrion::test::kRealTimeChecks && result == 512)
                continue;
            EXPECT_EQ(result, 1) << attempt;
            if (result != 1)
                break;
            // The first block after the connections may still hold silence.
            if (got == 0 || buffers.in[7].Samples<int32_t>()[0] != kMin)
                continue;
            EXPECT_EQ(got, frames);
            for (int c = 1; c < 8; ++c) {
                for (uint32_t f = 0; f < got; ++f)
                    EXPECT_EQ(buffers.in[c].Samples<int32_t>()[f], ConstantOf(c))
                        << "channel " << c + 1 << " frame " << f;
            }
            // Channel 1: a ramp of 32768 per frame (step s reads s * 32768, modulo 65536 steps).
            const int32_t* ramp = buffers.in[0].Samples<int32_t>();
            const auto step = [](int32_t sample) { return static_cast<uint32_t>(sample) / 32768u; };
            if (next && step(ramp[0]) != *next) {
                lostFrames += (step(ramp[0]) - *next) % 65536u; // whole blocks dropped on the way
                ++jumps;
            }
            // A block gathers several server periods: a period the server skipped breaks the
            // ramp inside it.
            for (uint32_t f = 1; f < got; ++f)
                innerBreaks += step(ramp[f]) != (step(ramp[f - 1]) + 1) % 65536u ? 1 : 0;
            next = (step(ramp[got - 1]) + 1) % 65536u;
            ++checked;
        }
        // A busy machine may drop a whole block: only where the device counted it. A server
        // that ran late (an xrun) may itself skip or repeat a cycle of the player's ports; each
        // such cycle accounts for at most one break in the ramp.
        if (kerrion::test::kRealTimeChecks) {
            const uint64_t counted
                = device.InputStream().m_missedSlots + device.State().overruns.load();
            const uint64_t xruns = m_player->Xruns();
            if (xruns == 0) {
                EXPECT_EQ(innerBreaks, 0u);
                EXPECT_EQ(lostFrames % frames, 0u);
                EXPECT_LE(lostFrames / frames, counted);
            } else {
                EXPECT_LE(jumps + innerBreaks, counted + xruns) << xruns << " xruns";
            }
        }
        return checked;
    }

    TempDir m_dir;
    std::optional<kerrion::test::JackBridgeSetup> m_bridge;
    std::optional<JackServer> m_server;
    std::optional<ScopedEnv> m_default;
    std::optional<JackTestClient> m_player;
};

} // namespace

class JackDeviceSizes : public JackDevice, public ::testing::WithParamInterface<uint32_t> { };

// The bridge gathers short server periods into buffers of about 10 ms, in order.
TEST_P(JackDeviceSizes, TransferDeliversEachChannelInOrderScaledAndSaturated)
{
    const uint32_t period = GetParam();
    StartServer({ .period = period });
    CSndIODeviceASIO device;
    Open(device);
    const uint32_t frames = device.InputStream().m_bufferFrames;
    EXPECT_EQ(frames, period == 64 ? 512u : period);
    EXPECT_EQ(device.InputStream().m_sampleType, 18u);
    EXPECT_EQ(device.InputStream().m_activeChannels, 8u);
    EXPECT_EQ(device.InputStream().m_sampleRate, 48000.0);
    Play();
    ASSERT_EQ(device.Start(), 1);
    // About 0.3 s of signal at either size.
    const int blocks = static_cast<int>(0.3 * 48000 / frames) + 1;
    EXPECT_EQ(TransferAndCheck(device, frames, blocks), blocks);
    EXPECT_EQ(device.Close(), 1);
    EXPECT_EQ(device.AbandonedThreads(), 0);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, JackDeviceSizes, ::testing::Values(64u, 1024u));

TEST_F(JackDevice, AServerKilledWhileStreamingFailsTheTransferAtOnceAndANewOneWorks)
{
    StartServer();
    {
        CSndIODeviceASIO device;
        Open(device);
        Play();
        ASSERT_EQ(device.Start(), 1);
        ASSERT_EQ(TransferAndCheck(device, device.InputStream().m_bufferFrames, 5), 5);
        m_player.reset();
        EXPECT_TRUE(m_server->Kill()) << "the server shut down cleanly\n" << m_server->Log();
        const uint64_t begin = kerrion::NowMilliseconds();
        Buffers buffers(256);
        int result = 1;
        for (int block = 0; block < 100 && result == 1; ++block) {
            uint32_t got = 256;
            result = device.Transfer(buffers.out, 2, 256, buffers.in, 8, got);
        }
        EXPECT_EQ(result, 0) << "the driver's reset request marks the device lost";
        EXPECT_TRUE(device.IsLost());
        EXPECT_LT(kerrion::NowMilliseconds() - begin, 1500u);
        EXPECT_EQ(device.Close(), 1);
        EXPECT_EQ(device.AbandonedThreads(), 0);
    }
    StartServer();
    CSndIODeviceASIO device;
    Open(device);
    Play();
    ASSERT_EQ(device.Start(), 1);
    EXPECT_EQ(TransferAndCheck(device, device.InputStream().m_bufferFrames, 5), 5);
    EXPECT_EQ(device.Close(), 1);
}

TEST_F(JackDevice, WithoutAServerJackIsNotListedAndTheReasonIsKept)
{
    const std::string name = JackServer::UniqueName();
    ScopedEnv server("JACK_DEFAULT_SERVER", name.c_str());
    CSndIODeviceASIO device;
    EXPECT_EQ(device.Initialize(), 0);
    ASSERT_EQ(device.DriverFailures().size(), 1u);
    EXPECT_EQ(device.DriverFailures()[0].name, "JACK");
    EXPECT_EQ(device.DriverFailures()[0].message, "JACK server \"" + name + "\" not running");
}

TEST_F(JackDevice, AServerAt44100HzCannotBeSelectedAndSaysWhy)
{
    StartServer({ .rate = 44100 });
    CSndIODeviceASIO device;
    ASSERT_EQ(device.Initialize(), 1);
    EXPECT_EQ(device.SelectDevice(0), 0);
    EXPECT_FALSE(device.IsOpened());
    EXPECT_STREQ(device.State().driverInfo.name, "No ASIO Driver");
    EXPECT_NE(std::strstr(device.State().driverInfo.errorMessage, "runs at 44100 Hz"), nullptr)
        << device.State().driverInfo.errorMessage;
}
