// Resident memory of the four processors metering eight channels. Kept in a program of its
// own, so that the process's peak resident size measures them and nothing else.

#include "meter/SndSPLoudnessBS1770.h"
#include "meter/SndSPLoudnessMarvane.h"
#include "meter/SndSPPeak.h"
#include "meter/SndSPVU.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

constexpr double kLimitMiB = 40.0;

// A "VmRSS"/"VmHWM" line of /proc/self/status, in MiB; -1 when missing.
double StatusMiB(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string name;
    while (status >> name) {
        if (name == key + ":") {
            double kib = 0.0;
            status >> kib;
            return kib / 1024.0;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1.0;
}

// Initialises the four processors as the engine does and meters 8 channels of 32-bit input
// in blocks of the largest size for `seconds` (filling the whole loudness window).
void Meter(
    double window, double seconds, kerrion::test::ChannelSet& in, kerrion::test::ChannelSet& out)
{
    CSndSPPeak peak;
    CSndSPVU vu;
    CSndSPLoudnessMarvane marvane;
    CSndSPLoudnessBS1770 loudness;
    loudness.SetRequestedWindow(window);
    ASSERT_EQ(peak.Init(), 1);
    ASSERT_EQ(vu.InitFilter(48000.0, 1.8, 2), 1);
    ASSERT_EQ(marvane.Init(), 1);
    ASSERT_EQ(loudness.Init(), 1);

    const auto blocks = static_cast<int>(seconds * 48000.0 / CSndSP::kMaxBlockFrames) + 1;
    for (int b = 0; b < blocks; ++b) {
        for (CSndSP* p : { static_cast<CSndSP*>(&peak), static_cast<CSndSP*>(&vu),
                 static_cast<CSndSP*>(&marvane), static_cast<CSndSP*>(&loudness) })
            p->Process(out.Data(), 8, 16384, in.Data(), 8, nullptr);
    }
    EXPECT_GT(out.Value(0), -30.0); // the loudness of the last block: it really metered
}

} // namespace

TEST(MeterMemory, FourProcessorsMeteringEightChannelsStayBelowTheLimit)
{
    if (kerrion::test::kSanitizedBuild)
        GTEST_SKIP() << "sanitizer shadow memory makes resident sizes meaningless";
    kerrion::test::ChannelSet in(kerrion::kSampleInt32, CSndSP::kMaxBlockFrames, 8);
    kerrion::test::ChannelSet out(kerrion::kSampleFloat64, 16384, 8);
    for (int c = 0; c < 8; ++c)
        kerrion::test::Store(in[c], kerrion::test::Sine(2e8, 997.0 + c, CSndSP::kMaxBlockFrames));
    const double baseline = StatusMiB("VmRSS");
    ASSERT_GT(baseline, 0.0);
    Meter(3.0, 4.0, in, out); // the window the engine uses
    std::cout << "peak resident growth, 3 s window: " << StatusMiB("VmHWM") - baseline << " MiB\n";
    Meter(10.0, 11.0, in, out); // the longest window there is
    const double peak = StatusMiB("VmHWM") - baseline;
    RecordProperty("PeakMiB", std::to_string(peak));
    std::cout << "peak resident growth: " << peak << " MiB\n";
    EXPECT_LT(peak, kLimitMiB);
}
