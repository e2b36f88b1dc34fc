// The broadcast loudness processor against libebur128, an independent implementation, on the
// same programmes fed in the same 10 ms blocks: noise, and a programme of changing levels and
// waveforms, at 44.1, 48 and 96 kHz. Momentary and short-term loudness are compared at the end
// of every 100 ms step once their windows are full, integrated loudness and range at the end.
// libebur128 takes the short-term values of the range once a second where Tech 3342 (and this
// meter) take them ten times a second, so the programmes hold each level long enough for both
// to find the same percentiles.

#include "meter/SndSPLoudnessR128.h"

#include "meter/R128Programme.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <memory>

using kerrion::test::Level;
using kerrion::test::Segment;
using kerrion::test::Waveform;

namespace {

// ebur128_destroy takes the address of the pointer.
void Destroy(ebur128_state* s) { ebur128_destroy(&s); }

struct ProgrammeCase {
    const char* name;
    Waveform wave;
    std::vector<Segment> segments;
};

std::vector<ProgrammeCase> Programmes()
{
    return {
        { "noise", Waveform { 0.0 }, { Level(20, -18) } },
        { "changing", Waveform { 0.0 },
            { Level(15, -30), Level(12, -18), Level(20, -26), Level(10, -45), Level(15, -22),
                Level(12, -14), Level(18, -36), Level(15, -20), Level(8, -80), Level(15, -24) } },
        { "tones", Waveform { 440.0 },
            { Level(5, -25), Level(5, -15), Level(8, -35), Level(5, -20), Level(6, -28) } },
    };
}

class LoudnessReference : public testing::TestWithParam<double> { };

TEST_P(LoudnessReference, AgreesWithLibebur128)
{
    const double rate = GetParam();
    for (const ProgrammeCase& programme : Programmes()) {
        SCOPED_TRACE(std::string(programme.name) + " at " + std::to_string(rate) + " Hz");
        std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> reference(
            ebur128_init(8, static_cast<unsigned long>(rate),
                EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA),
            &Destroy);
        ASSERT_NE(reference, nullptr);
        for (unsigned c = 2; c < 8; ++c)
            ebur128_set_channel(reference.get(), c, EBUR128_UNUSED);
        CSndSPLoudnessR128 meter;
        meter.SetRate(rate);
        ASSERT_EQ(meter.Init(), CSndSP::kOk);

        // libebur128's M and S after each block that ends a 100 ms step (else NaN).
        std::vector<std::pair<double, double>> expected;
        const auto stepFrames = static_cast<uint64_t>(std::lround(rate / 10.0));
        uint64_t fed = 0;
        const auto trace = kerrion::test::Run(meter, programme.segments, programme.wave,
            [&](const std::vector<double>& interleaved, uint32_t n) {
                ebur128_add_frames_double(reference.get(), interleaved.data(), n);
                fed += n;
                double m = kerrion::test::kSilent, s = kerrion::test::kSilent;
                if (fed % stepFrames == 0) {
                    ebur128_loudness_momentary(reference.get(), &m);
                    ebur128_loudness_shortterm(reference.get(), &s);
                }
                expected.emplace_back(m, s);
            });
        ASSERT_EQ(expected.size(), trace.readings.size());
        int compared = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (std::isnan(expected[i].first) || trace.seconds[i] < 3.0 - 1e-9)
                continue;
            if (expected[i].second < -70.0) // near silence: below every gate
                continue;
            EXPECT_NEAR(trace.readings[i].momentary, expected[i].first, 0.01) << trace.seconds[i];
            EXPECT_NEAR(trace.readings[i].shortTerm, expected[i].second, 0.01) << trace.seconds[i];
            ++compared;
        }
        EXPECT_GT(compared, 100);
        double integrated = 0.0, range = 0.0;
        ebur128_loudness_global(reference.get(), &integrated);
        ebur128_loudness_range(reference.get(), &range);
        const auto& r = meter.GetReadings();
        EXPECT_NEAR(r.integrated, integrated, 0.01);
        EXPECT_NEAR(r.range, range, 0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, LoudnessReference, testing::Values(44100.0, 48000.0, 96000.0));

} // namespace
