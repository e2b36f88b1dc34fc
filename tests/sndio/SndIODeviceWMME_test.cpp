// The plain device: streams and names from the endpoints' capabilities, and whole runs through
// the ring against real ALSA PCMs (a `file` PCM whose input is a known ramp).

#include "WmmeTestDevice.h"
#include "platform/wave/AlsaTestSetup.h"

#include <gtest/gtest.h>

#include <filesystem>

using kerrion::WaveCaps;
using namespace kerrion::test;

namespace {

constexpr uint32_t kRampFrames = 65536;

void Fill(CSndIOStream& stream, uint32_t formats)
{
    stream.m_bufferFrames = CSndIODevice::kDefaultBufferFrames;
    WaveCaps caps;
    caps.formats = formats;
    CSndIODeviceWMME::FillStream(stream, caps);
    stream.m_activeChannels = stream.m_availableChannels;
}

double RateOf(uint32_t formats)
{
    CSndIOStream stream;
    Fill(stream, formats);
    return stream.m_sampleRate;
}

int16_t RampLeft(uint32_t frame) { return static_cast<int16_t>((frame * 7u) % 32768u); }

} // namespace

TEST(SndIODeviceWMMEStreams, FortyFourKilohertzSixteenBitStereoOnly)
{
    CSndIOStream stream;
    Fill(stream, kerrion::kWaveFormat11kStereo16 << 8); // 44.1 kHz 16-bit stereo
    EXPECT_EQ(stream.m_sampleRate, 44100.0);
    EXPECT_EQ(stream.m_availableChannels, 2u);
    EXPECT_EQ(stream.m_sampleType, kerrion::kSampleInt16);
    EXPECT_EQ(stream.m_bytesPerSample, 2u);
    EXPECT_EQ(stream.m_bitsPerSample, 16u);
    EXPECT_EQ(kerrion::WaveBufferBytes(stream), 16384u);
}

TEST(SndIODeviceWMMEStreams, ElevenKilohertzEightBitMonoOnly)
{
    CSndIOStream stream;
    Fill(stream, kerrion::kWaveFormat11kMono8);
    EXPECT_EQ(stream.m_sampleRate, 11025.0);
    EXPECT_EQ(stream.m_availableChannels, 1u);
    EXPECT_EQ(stream.m_sampleType, kerrion::kSampleUInt8);
    EXPECT_EQ(stream.m_bytesPerSample, 1u);
    EXPECT_EQ(kerrion::WaveBufferBytes(stream), 4096u);
}

TEST(SndIODeviceWMMEStreams, TheHighestRateOfferedWins)
{
    EXPECT_EQ(RateOf(kerrion::kWaveFormat11kMono8 << 4), 22050.0);
    EXPECT_EQ(RateOf(kerrion::kWaveFormatAny22k | kerrion::kWaveFormatAny44k), 44100.0);
    // 48 and 96 kHz formats alone are none of the three rates the device uses.
    EXPECT_EQ(RateOf(kerrion::kWaveFormatAny48k), 11025.0);
}

TEST(SndIODeviceWMME, NamesTablePutsOutputNamesOverInputNames)
{
    CStubEndpointsDevice device;
    device.inputs = { { "In A", 0x800 }, { "In B", 0x800 }, { "In C", 0x800 } };
    device.outputs = { { "Out A", 0x800 }, { "Out B", 0x800 } };
    ASSERT_EQ(device.Initialize(), 1);
    EXPECT_EQ(device.DeviceKind(), CSndIODevice::kKindWave);
    EXPECT_EQ(device.DeviceCount(), 3u);
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] = {};
    ASSERT_EQ(device.GetDeviceNames(names), 3);
    EXPECT_STREQ(names[0], "Out A");
    EXPECT_STREQ(names[1], "Out B");
    EXPECT_STREQ(names[2], "In C");
    EXPECT_TRUE(device.IsOpened()) << "index 0 is selected by Initialize";
    // Index 2 has no playback endpoint: a device index needs both directions.
    EXPECT_EQ(device.SelectDevice(2), 0);
    EXPECT_FALSE(device.IsOpened());
    EXPECT_EQ(device.SelectDevice(1), 1);
}

TEST(SndIODeviceWMME, NoEndpointAtAllMakesInitializeFail)
{
    CStubEndpointsDevice device;
    EXPECT_EQ(device.Initialize(), 0);
    EXPECT_EQ(device.DeviceCount(), 0u);
    EXPECT_EQ(device.SelectDevice(0), 0);
    EXPECT_EQ(device.Start(), 0);
}

TEST(SndIODeviceWMME, SelectFillsEachStreamFromItsOwnEndpoint)
{
    CStubEndpointsDevice device;
    device.inputs = { { "Line in", kerrion::kWaveFormat11kMono8 } };
    device.outputs = { { "Speakers", kerrion::kWaveFormatAny44k } };
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(0), 1);
    EXPECT_TRUE(device.HasOutput());
    EXPECT_TRUE(device.HasInput());
    const CSndIOStream& out = device.OutputStream();
    const CSndIOStream& in = device.InputStream();
    EXPECT_EQ(out.m_sampleRate, 44100.0);
    EXPECT_EQ(out.m_activeChannels, 2u);
    EXPECT_EQ(out.m_interleaved, 1);
    EXPECT_EQ(out.m_bufferFrames, CSndIODevice::kDefaultBufferFrames);
    EXPECT_EQ(in.m_sampleRate, 11025.0);
    EXPECT_EQ(in.m_activeChannels, 1u);
    EXPECT_EQ(in.m_sampleType, kerrion::kSampleUInt8);
    EXPECT_STREQ(device.OutputCaps().name, "Speakers");
    EXPECT_STREQ(device.InputCaps().name, "Line in");
}

class SndIODeviceWMMERampTest : public ::testing::Test {
protected:
    SndIODeviceWMMERampTest()
        : m_config(Definitions(m_dir))
    {
    }

    static std::string Definitions(const TempDir& dir)
    {
        WriteFileBytes(dir / "ramp.raw", RampBytes(0, kRampFrames));
        return FilePcmDefinition("kt_ramp", dir / "ramp.raw", "Ramp");
    }

    TempDir m_dir;
    AlsaTestConfig m_config;
};

TEST_F(SndIODeviceWMMERampTest, StreamsTheRampAfterFourEmptySlots)
{
    CSndIODeviceWMME device;
    ASSERT_EQ(device.Initialize(), 1);
    const int index = FindDevice(device, "Ramp (kt_ramp)");
    ASSERT_GE(index, 0);
    ASSERT_EQ(device.SelectDevice(static_cast<uint32_t>(index)), 1);
    EXPECT_EQ(device.InputStream().m_sampleRate, 44100.0);
    EXPECT_EQ(device.InputStream().m_sampleType, kerrion::kSampleInt16);
    PrepareStreams(device, device.OutputStream().m_bufferFrames);
    ASSERT_EQ(device.Start(), 1);

    EngineSide engine(kerrion::kSampleInt16, 4096, 2);
    uint32_t frames = 0;
    for (int block = 0; block < 4; ++block) {
        ASSERT_EQ(engine.Transfer(device, frames), 1);
        EXPECT_EQ(frames, 0u) << "block " << block;
    }
    for (uint32_t block = 0; block < 6; ++block) {
        ASSERT_EQ(engine.Transfer(device, frames), 1);
        ASSERT_EQ(frames, 4096u);
        const int16_t* left = engine.Input(0).Samples<int16_t>();
        const int16_t* right = engine.Input(1).Samples<int16_t>();
        for (uint32_t f = 0; f < frames; f += 97) {
            ASSERT_EQ(left[f], RampLeft(block * 4096 + f)) << "block " << block << " frame " << f;
            ASSERT_EQ(right[f], -RampLeft(block * 4096 + f));
        }
    }

    EXPECT_EQ(StopStreaming(device, CSndIOThreadContext::kCommandStop),
        CSndIOThreadContext::kReplyStopped);
    EXPECT_GE(device.InputStream().m_position.load(), 6u * 4096u);

    // The next Transfer starts streaming again, four empty slots first.
    for (int block = 0; block < 5; ++block)
        ASSERT_EQ(engine.Transfer(device, frames), 1);
    EXPECT_EQ(frames, 4096u);
    EXPECT_EQ(device.Close(), 1);
    EXPECT_FALSE(device.HasThread());
}

TEST_F(SndIODeviceWMMERampTest, EightBitMonoEndpointStreamsUnsignedSamples)
{
    kerrion::WaveEndpoints system;
    system.Scan();
    CStubEndpointsDevice device;
    device.scanSystem = true;
    int index = -1;
    for (const auto& endpoint : system.Endpoints()) {
        const bool ramp = endpoint.capturePcm == "plug:kt_ramp";
        if (ramp)
            index = static_cast<int>(device.inputs.size());
        // The ramp endpoint claims to run 11.025 kHz 8-bit mono only.
        const uint32_t formats = ramp ? kerrion::kWaveFormat11kMono8 : endpoint.captureCaps.formats;
        device.inputs.push_back({ endpoint.name, formats });
        device.outputs.push_back({ endpoint.name, formats });
    }
    ASSERT_GE(index, 0);
    ASSERT_EQ(device.Initialize(), 1);
    ASSERT_EQ(device.SelectDevice(static_cast<uint32_t>(index)), 1);
    PrepareStreams(device, 1024);
    ASSERT_EQ(device.Start(), 1);

    EngineSide engine(kerrion::kSampleUInt8, 1024, 1);
    uint32_t frames = 0;
    for (int block = 0; block < 5; ++block)
        ASSERT_EQ(engine.Transfer(device, frames), 1);
    ASSERT_EQ(frames, 1024u);
    const std::string expected = RampBytes(0, 256); // the same bytes, read as 8-bit samples
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(engine.Input(0).Bytes()), 1024), expected);
    EXPECT_EQ(device.Close(), 1);
}

TEST_F(SndIODeviceWMMERampTest, EndpointThatNoLongerOpensFailsTheStart)
{
    CSndIODeviceWMME device;
    ASSERT_EQ(device.Initialize(), 1);
    const int index = FindDevice(device, "Ramp (kt_ramp)");
    ASSERT_GE(index, 0);
    ASSERT_EQ(device.SelectDevice(static_cast<uint32_t>(index)), 1);
    PrepareStreams(device, 4096);
    std::filesystem::remove(m_dir / "ramp.raw"); // the file PCM cannot open its input any more
    EXPECT_EQ(device.Start(), 0);
    EXPECT_FALSE(device.HasThread());
    uint32_t frames = 4096;
    EngineSide engine(kerrion::kSampleInt16, 4096, 2);
    EXPECT_EQ(engine.Transfer(device, frames), 0);
    EXPECT_EQ(frames, 0u);
}
