// The ASIO device against the real driver registry, plug-in loading and the signal generator.

#include "platform/asio/AsioHost.h"
#include "platform/sync/Clock.h"
#include "sndio/SndIODeviceASIO.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

namespace {

constexpr const char* kSignalId = "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}";
constexpr const char* kLongName = "Kerrion Signal Generator via Yamaha Bridge"; // 42 characters

class SndIODeviceASIO : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Two names for the generator, a long one, a missing library, a library that is not a
        // driver, and a class id nobody registered.
        const std::string reg = std::string("Windows Registry Editor Version 5.00\n")
            + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Signal A]\n\"CLSID\"=\"" + kSignalId + "\"\n"
            + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Missing]\n\"CLSID\"=\"{00000000-0000-0000-0000-"
              "000000000001}\"\n"
            + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Not A "
              "Driver]\n\"CLSID\"=\"{00000000-0000-0000-0000-000000000002}\"\n"
            + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Unregistered]\n\"CLSID\"=\"{00000000-0000-0000-"
              "0000-000000000003}\"\n"
            + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Long]\n\"CLSID\"=\"" + kSignalId + "\"\n"
            + "\"Description\"=\"" + kLongName + "\"\n" + "[HKEY_CLASSES_ROOT\\CLSID\\" + kSignalId
            + "\\InprocServer32]\n@=\"" + KERRION_SIGNAL_DRIVER + "\"\n"
            + "[HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32]"
              "\n@=\"gone.so\"\n"
            + "[HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000002}\\InprocServer32]"
              "\n@=\""
            + KERRION_NOFACTORY_PLUGIN + "\"\n";
        kerrion::test::WriteFileBytes(m_dir / "asio.reg", reg);
        m_registry
            = std::make_unique<ScopedEnv>("KERRION_ASIO_REGISTRY", (m_dir / "asio.reg").c_str());
        Configure("");
    }

    void Configure(const std::string& ini)
    {
        kerrion::test::WriteFileBytes(m_dir / "signal.ini", ini);
        m_signal.reset(); // puts the old value back before the new one is set
        m_signal
            = std::make_unique<ScopedEnv>("KERRION_SIGNAL_CONFIG", (m_dir / "signal.ini").c_str());
    }

    // Initialises and selects the first driver, both directions enabled, rings allocated.
    void Open(CSndIODeviceASIO& device, uint32_t index = 0)
    {
        ASSERT_EQ(device.Initialize(), 1);
        ASSERT_EQ(device.SelectDevice(index), 1);
        device.OutputStream().m_enabled = 1;
        device.InputStream().m_enabled = 1;
        ASSERT_EQ(device.AllocateRings(device.OutputStream().m_bufferFrames), 1);
    }

    TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_registry;
    std::unique_ptr<ScopedEnv> m_signal;
};

struct Buffers {
    explicit Buffers(uint32_t frames, int channels = 8)
        : count(channels)
    {
        CreateBufferArray(out, kerrion::kSampleInt32, frames, 2);
        CreateBufferArray(in, kerrion::kSampleInt32, frames, channels);
    }
    ~Buffers()
    {
        DestroyBufferArray(out, 2);
        DestroyBufferArray(in, count);
    }
    int count;
    CSndIOBuffer* out = nullptr;
    CSndIOBuffer* in = nullptr;
};

} // namespace

TEST_F(SndIODeviceASIO, ListsOnlyTheDriversThatInitialise)
{
    CSndIODeviceASIO device;
    ASSERT_EQ(device.Initialize(), 1);
    EXPECT_EQ(device.DeviceKind(), 2u);
    char names[16][32];
    ASSERT_EQ(device.GetDeviceNames(names), 2);
    EXPECT_STREQ(names[0], "Signal A");
    EXPECT_STREQ(names[1], "Kerrion Signal Generator via...");
    EXPECT_EQ(device.OutputStream().m_bufferFrames, 4096u);
}

TEST_F(SndIODeviceASIO, NoUsableDriverMeansNoDevice)
{
    kerrion::test::WriteFileBytes(m_dir / "empty.reg", "Windows Registry Editor Version 5.00\n");
    ScopedEnv registry("KERRION_ASIO_REGISTRY", (m_dir / "empty.reg").c_str());
    CSndIODeviceASIO empty;
    EXPECT_EQ(empty.Initialize(), 0);
    EXPECT_EQ(empty.SelectDevice(0), 0) << "no driver list";
    Configure("[Signal]\nFailInit=1\n");
    ScopedEnv back("KERRION_ASIO_REGISTRY", (m_dir / "asio.reg").c_str());
    CSndIODeviceASIO failing;
    EXPECT_EQ(failing.Initialize(), 0);
}

TEST_F(SndIODeviceASIO, SelectingADriverFillsTheStreams)
{
    Configure("[Signal]\nInputs=6\nOutputs=1\nBufferFrames=256\nSampleType=19\n");
    CSndIODeviceASIO device;
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(0), 1);
    EXPECT_TRUE(device.IsOpened());
    EXPECT_TRUE(device.HasOutput());
    EXPECT_TRUE(device.HasInput());
    EXPECT_EQ(device.OutputStream().m_availableChannels, 1u);
    EXPECT_EQ(device.OutputStream().m_activeChannels, 2u) << "a stereo pair at least";
    EXPECT_EQ(device.InputStream().m_availableChannels, 6u);
    EXPECT_EQ(device.InputStream().m_activeChannels, 6u);
    EXPECT_EQ(device.InputStream().m_sampleType, 19u);
    EXPECT_EQ(device.InputStream().m_bytesPerSample, 4u);
    EXPECT_EQ(device.InputStream().m_bitsPerSample, 32u);
    EXPECT_EQ(device.OutputStream().m_bufferFrames, 256u);
    EXPECT_EQ(device.InputStream().m_sampleRate, 48000.0);
    EXPECT_STREQ(device.State().driverInfo.name, "Kerrion Signal Generator");
    ASSERT_EQ(device.State().bufferInfos.size(), 8u);
    EXPECT_EQ(device.State().bufferInfos[6].isInput, ASIOFalse);
    EXPECT_EQ(device.State().bufferInfos[7].channelNum, 1);
    EXPECT_EQ(device.SelectDevice(2), 0) << "only two drivers are listed";
    EXPECT_FALSE(device.IsOpened());
}

TEST_F(SndIODeviceASIO, RatesOutsideFortyEightToNinetySixKilohertzAreSetTo48000)
{
    for (const auto& [configured, expected] :
        { std::pair { 44100.0, 48000.0 }, { 96000.0, 96000.0 }, { 192000.0, 48000.0 } }) {
        Configure("[Signal]\nRate=" + std::to_string(configured) + "\n");
        CSndIODeviceASIO device;
        ASSERT_EQ(device.Initialize(), 1);
        ASSERT_EQ(device.SelectDevice(0), 1);
        EXPECT_EQ(device.InputStream().m_sampleRate, expected) << configured;
    }
}

TEST_F(SndIODeviceASIO, BigEndianChannelsGiveTypeZero)
{
    Configure("[Signal]\nSampleType=2\n");
    CSndIODeviceASIO device;
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(0), 1);
    EXPECT_EQ(device.InputStream().m_sampleType, 0u);
    EXPECT_EQ(device.InputStream().m_bytesPerSample, 0u);
    EXPECT_EQ(device.AllocateRings(512), 0);
}

TEST_F(SndIODeviceASIO, ALongNameHidesWhatFollowsItsFirst28Characters)
{
    CSndIODeviceASIO device;
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(1), 1);
    char name[32] = {};
    ASSERT_EQ(device.GetDeviceName(name), 1);
    EXPECT_STREQ(name, "Kerrion Signal Generator via...");
    EXPECT_EQ(std::strstr(name, "Yamaha"), nullptr);
}

TEST_F(SndIODeviceASIO, StreamsTheGeneratorsSineAfterThePreRoll)
{
    Configure("[Signal]\nSpeed=4\n");
    CSndIODeviceASIO device;
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    Buffers buffers(512);
    double peak = 0.0;
    uint32_t total = 0;
    for (int block = 0; block < 40; ++block) {
        uint32_t frames = 512;
        ASSERT_EQ(device.Transfer(buffers.out, 2, 512, buffers.in, 8, frames), 1) << block;
        if (block < 4) {
            EXPECT_EQ(frames, 0u) << "four empty input slots while the output pre-rolls";
        }
        if (block == 4) {
            ASIOSamples position {};
            ASIOTimeStamp stamp {};
            EXPECT_EQ(ASIOGetSamplePosition(&position, &stamp), ASE_SPNotAdvancing)
                << "the driver starts only after the sixth pre-roll slot";
        }
        total += frames;
        for (uint32_t f = 0; f < frames; ++f)
            peak = std::max(peak, std::abs(buffers.in[0].Samples<int32_t>()[f] / 2147483648.0));
    }
    EXPECT_NEAR(peak, 0.1, 0.001) << "input 1: a sine at -20 dBFS";
    EXPECT_GE(total, 30u * 512u);
    uint32_t outPosition = 0, inPosition = 0;
    ASSERT_EQ(device.GetPosition(outPosition, inPosition), 1);
    EXPECT_GT(outPosition, 0u);
    EXPECT_LE(outPosition, 40u * 512u);

    // The engine's finish: command 2, then wait for the stopped reply.
    device.SendCommand(CSndIOThreadContext::kCommandFinish);
    int reply = device.WaitReply(3000);
    device.SetStreaming(false);
    for (int i = 0; i < 100 && reply != CSndIOThreadContext::kReplyStopped; ++i)
        reply = device.WaitReply(100);
    EXPECT_EQ(reply, CSndIOThreadContext::kReplyStopped);
    EXPECT_EQ(device.EndThread(), 1);
    EXPECT_EQ(device.AbandonedThreads(), 0);
    EXPECT_EQ(device.Close(), 1);
}

TEST_F(SndIODeviceASIO, StartsAgainAfterAStop)
{
    Configure("[Signal]\nSpeed=4\n");
    CSndIODeviceASIO device;
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    Buffers buffers(512);
    for (int run = 0; run < 2; ++run) {
        uint32_t total = 0;
        for (int block = 0; block < 12; ++block) {
            uint32_t frames = 512;
            ASSERT_EQ(device.Transfer(buffers.out, 2, 512, buffers.in, 8, frames), 1)
                << run << " " << block;
            total += frames;
        }
        EXPECT_GT(total, 0u) << run;
        device.SendCommand(CSndIOThreadContext::kCommandStop);
        int reply = device.WaitReply(3000);
        if (reply == CSndIOThreadContext::kReplyAcknowledged)
            reply = device.WaitReply(3000);
        EXPECT_EQ(reply, CSndIOThreadContext::kReplyStopped) << run;
        device.SetStreaming(false);
    }
}

TEST_F(SndIODeviceASIO, ADriverThatStopsSwitchingTimesTheTransferOut)
{
    Configure("[Signal]\nStallAfter=3\nBufferFrames=480\n");
    CSndIODeviceASIO device;
    Open(device);
    ASSERT_EQ(device.Start(), 1);
    Buffers buffers(480);
    int result = 1;
    const uint64_t begin = kerrion::NowMilliseconds();
    for (int block = 0; block < 30 && result == 1; ++block) {
        uint32_t frames = 480;
        result = device.Transfer(buffers.out, 2, 480, buffers.in, 8, frames);
    }
    EXPECT_EQ(result, 512);
    EXPECT_LT(kerrion::NowMilliseconds() - begin, 10000u);
    EXPECT_EQ(device.Close(), 1);
}

TEST_F(SndIODeviceASIO, ControlPanelNeedsALoadedDriver)
{
    CSndIODeviceASIO device;
    EXPECT_EQ(device.ControlPanel(), 0);
}
