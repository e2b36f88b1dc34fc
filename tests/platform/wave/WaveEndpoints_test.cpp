#include "platform/wave/AlsaSupport.h"
#include "platform/wave/AlsaTestSetup.h"
#include "platform/wave/WaveEndpoints.h"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

using namespace kerrion;
using kerrion::test::AlsaTestConfig;

namespace {

constexpr uint32_t kPlainFormats
    = kWaveFormatAny22k | kWaveFormatAny44k | kWaveFormatAnyStereo | kWaveFormatAny16Bit;

// Definitions around one tone file: a full endpoint, a capture-only one, one with a long
// description, and PCMs that are no endpoints (no hint, a filter over another PCM, a card that
// does not exist).
std::string EndpointDefinitions(const test::TempDir& dir)
{
    const auto tone = dir / "tone.raw";
    test::WriteFileBytes(tone, test::RampBytes(0, 4096));
    return test::FilePcmDefinition("kt_tone", tone, "Test tone")
        + "pcm.kt_input { type asym capture.pcm \"kt_tone\"\n"
          "  hint { show on description \"Capture only\" } }\n"
        + test::FilePcmDefinition(
            "kt_long", tone, "A test tone with a description far too long for the table")
        + "pcm.kt_nohint { type null }\n"
          "pcm.kt_filter { @args [ SLAVE ] @args.SLAVE { type string default \"kt_tone\" }\n"
          "  type plug slave.pcm $SLAVE hint { show on description \"Filter\" } }\n"
          "pcm.kt_broken { type hw card 57 hint { show on description \"Missing card\" } }\n";
}

const WaveEndpoints::Endpoint* FindByCapturePcm(const WaveEndpoints& list, const std::string& pcm)
{
    for (const auto& endpoint : list.Endpoints()) {
        if (endpoint.capturePcm == pcm)
            return &endpoint;
    }
    return nullptr;
}

} // namespace

TEST(WaveEndpoints, ListsHintedPcmsWithNamesAndFormats)
{
    test::TempDir dir;
    AlsaTestConfig config(EndpointDefinitions(dir));
    WaveEndpoints list;
    const uint32_t count = list.Scan();
    EXPECT_EQ(count, list.CaptureCount());
    EXPECT_EQ(list.CaptureCount(), list.PlaybackCount());

    const auto* tone = FindByCapturePcm(list, "plug:kt_tone");
    ASSERT_NE(tone, nullptr);
    EXPECT_EQ(tone->name, "Test tone (kt_tone)");
    EXPECT_EQ(tone->playbackPcm, "plug:kt_tone");
    EXPECT_EQ(tone->captureCaps.formats & kPlainFormats, kPlainFormats);
    EXPECT_EQ(tone->captureCaps.channels, 2);
    EXPECT_STREQ(tone->captureCaps.name, "Test tone (kt_tone)");
    EXPECT_STREQ(tone->playbackCaps.name, "Test tone (kt_tone)");

    for (const char* absent : { "plug:kt_nohint", "plug:kt_filter", "plug:kt_broken", "plug:null" })
        EXPECT_EQ(FindByCapturePcm(list, absent), nullptr) << absent;
}

TEST(WaveEndpoints, CaptureOnlyEndpointPlaysIntoTheNullPcm)
{
    test::TempDir dir;
    AlsaTestConfig config(EndpointDefinitions(dir));
    WaveEndpoints list;
    list.Scan();
    const auto* input = FindByCapturePcm(list, "plug:kt_input");
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->playbackPcm, WaveEndpoints::kSilentPlaybackPcm);
    EXPECT_EQ(input->playbackCaps.formats & kPlainFormats, kPlainFormats);

    const auto index = static_cast<uint32_t>(input - list.Endpoints().data());
    WaveCaps caps;
    ASSERT_EQ(list.GetCaps(index, WaveDirection::Playback, &caps), kWaveNoError);
    EXPECT_STREQ(caps.name, "Capture only (kt_input)");
    EXPECT_STREQ(list.PcmName(index, WaveDirection::Playback), "null");
    EXPECT_STREQ(list.PcmName(index, WaveDirection::Capture), "plug:kt_input");
}

TEST(WaveEndpoints, IndicesBeyondTheListAreRefused)
{
    AlsaTestConfig config("");
    WaveEndpoints list;
    const uint32_t count = list.Scan();
    WaveCaps caps;
    EXPECT_EQ(list.GetCaps(count, WaveDirection::Capture, &caps), kWaveBadDeviceId);
    EXPECT_EQ(list.GetCaps(count + 7, WaveDirection::Playback, &caps), kWaveBadDeviceId);
    EXPECT_EQ(list.PcmName(count, WaveDirection::Capture), nullptr);
}

TEST(WaveEndpoints, LongNamesAreCutToTheTableKeepingTheirPcm)
{
    test::TempDir dir;
    AlsaTestConfig config(EndpointDefinitions(dir));
    WaveEndpoints list;
    list.Scan();
    const auto* endpoint = FindByCapturePcm(list, "plug:kt_long");
    ASSERT_NE(endpoint, nullptr);
    EXPECT_EQ(endpoint->name, "A test tone with a (kt_long)");
    for (const auto& each : list.Endpoints())
        EXPECT_LT(std::strlen(each.captureCaps.name), static_cast<std::size_t>(kWaveNameSize));
}

TEST(WaveEndpointNames, FitIntoThirtyOneBytes)
{
    EXPECT_EQ(FitEndpointName("PCH: ALC892 Analog", " (hw:0,0)"), "PCH: ALC892 Analog (hw:0,0)");
    EXPECT_EQ(FitEndpointName("Generic_1: ALC1220 Digital Output Channel", " (hw:1,1)"),
        "Generic_1: ALC1220 (hw:1,1)");
    // A suffix that leaves too little room gives way to the label.
    EXPECT_EQ(
        FitEndpointName("Studio interface", " (an_extremely_long_pcm_name)"), "Studio interface");
    EXPECT_EQ(FitEndpointName("", "pulse"), "pulse");
    // A word running across the limit is cut off at its start, not split.
    EXPECT_EQ(CutName("Rate Converter Plugin Using Libav", 31), "Rate Converter Plugin Using");
    // No UTF-8 character is split: each of these takes three bytes.
    const std::string japanese = "オーディオインターフェース入力";
    const std::string cut = CutName(japanese, 31);
    EXPECT_EQ(cut.size(), 30u);
    EXPECT_EQ(japanese.compare(0, cut.size(), cut), 0);
}

// ALSA prints its failures ("ALSA lib pcm.c:...") on stderr unless told otherwise; none may
// reach the terminal, so that failures are only return codes.
TEST(WaveEndpoints, AlsaFailuresPrintNothing)
{
    test::TempDir dir;
    AlsaTestConfig config(EndpointDefinitions(dir));
    const auto captured = dir / "stderr.txt";
    fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    FILE* sink = fopen(captured.c_str(), "w");
    ASSERT_NE(sink, nullptr);
    dup2(fileno(sink), STDERR_FILENO);

    WaveEndpoints list;
    list.Scan();
    snd_pcm_t* pcm = nullptr;
    const int opened = OpenPcm("kt_no_such_pcm", WaveDirection::Capture, &pcm);

    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    fclose(sink);
    EXPECT_LT(opened, 0);
    EXPECT_EQ(test::ReadFileBytes(captured), "");
}
