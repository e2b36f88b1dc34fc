// Needle processor: the dynamics of every needle type against its standard, at the common
// device rates and at short and long blocks, from tones and bursts made here.

#include "meter/SndSPNeedle.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using kerrion::NeedleType;
using kerrion::test::ChannelSet;

namespace {

// A needle of `type` on channel 0, fed in blocks. Channel 1 is a kVu channel, whose output
// the processor must never touch.
struct Rig {
    Rig(NeedleType type, double sampleRate, uint32_t frames, kerrion::SampleType sampleType)
        : rate(sampleRate)
        , block(frames)
        , in(sampleType, frames, 2)
    {
        EXPECT_EQ(needle.Init(rate), CSndSP::kOk);
        needle.SetType(0, type);
        out.Poison();
    }

    // The reading after each block of `seconds` of a sine of `hz` peaking 20 dB below full
    // scale, lasting `on` seconds, then silence.
    std::vector<double> Feed(double seconds, double hz, double on = 1e9)
    {
        const double peak = (in[0].Type() == kerrion::kSampleInt16 ? 32768.0 : 2147483648.0) / 10;
        std::vector<double> readings;
        std::vector<double> v(block);
        for (uint64_t done = 0; done < seconds * rate; done += block) {
            for (uint32_t i = 0; i < block; ++i) {
                const double t = static_cast<double>(done + i) / rate;
                v[i] = t < on ? peak * std::sin(2.0 * kerrion::test::kPi * hz * t) : 0.0;
            }
            kerrion::test::Store(in[0], v);
            kerrion::test::Store(in[1], v);
            needle.Process(out.Data(), 2, 1, in.Data(), 2, nullptr);
            readings.push_back(out.Value(0));
        }
        EXPECT_EQ(out.Value(1), ChannelSet::kPoison);
        return readings;
    }
    // Seconds to the end of the first block whose reading passes `db` (upwards when rising).
    double TimeTo(const std::vector<double>& readings, double db, bool rising) const
    {
        const auto it = std::find_if(
            readings.begin(), readings.end(), [&](double r) { return rising ? r >= db : r <= db; });
        return static_cast<double>(it - readings.begin() + 1) * block / rate;
    }

    CSndSPNeedle needle;
    double rate;
    uint32_t block;
    ChannelSet in;
    ChannelSet out { kerrion::kSampleFloat64, 1, 2 };
};

double Highest(const std::vector<double>& readings)
{
    return *std::max_element(readings.begin(), readings.end());
}

struct Dynamics {
    NeedleType type;
    std::array<double, 3> burstDb; // 5 kHz bursts of 5, 10 and 100 ms, against the steady tone
    std::array<double, 3> burstTolerance; // dB
    double returnDb;                      // the fall after a steady tone stops ...
    double returnSeconds;                 // ... takes this long ...
    double returnTolerance;               // ... within this (s), plus one block
};

// Type I: 5 ms -2 +-0.5 dB (DIN: 10 ms -1); Type II: 10 ms -2 +-0.5, 5 ms -4 +-0.75; a burst
// many integration times long reads the steady tone. vu-iec: its step response (in the test)
// and the same law falling, to 1 % (-40 dB) in 0.3 s +-10 %.
const Dynamics kDynamics[] = {
    { NeedleType::kVuIec, {}, {}, 40.0, 0.3, 0.03 },
    { NeedleType::kPpmDin, { -2.0, -1.0, 0.0 }, { 0.5, 0.5, 0.5 }, 20.0, 1.5, 0.1 },
    { NeedleType::kPpmNordic, { -2.0, -1.0, 0.0 }, { 0.5, 0.5, 0.5 }, 20.0, 1.7, 0.1 },
    { NeedleType::kPpmBbc, { -4.0, -2.0, 0.0 }, { 0.75, 0.5, 0.5 }, 24.0, 2.8, 0.1 },
    { NeedleType::kPpmEbu, { -4.0, -2.0, 0.0 }, { 0.75, 0.5, 0.5 }, 24.0, 2.8, 0.1 },
};

} // namespace

TEST(SndSPNeedle, EveryTypeMeetsItsDynamicsAtEveryRateAndBlock)
{
    for (const Dynamics& d : kDynamics) {
        for (double rate : { 44100.0, 48000.0, 96000.0 }) {
            std::array<double, 3> shortBlockBursts {};
            for (uint32_t block : { 64u, 1024u }) {
                SCOPED_TRACE(testing::Message() << kerrion::NeedleTypeName(d.type) << " at " << rate
                                                << " Hz, blocks of " << block);
                Rig at16(d.type, rate, block, kerrion::kSampleInt16);
                EXPECT_NEAR(at16.Feed(2.0, 1000.0).back(), 0.0, 0.1);
                Rig at32(d.type, rate, block, kerrion::kSampleInt32);
                const std::vector<double> rise = at32.Feed(2.0, 1000.0);
                const double steady = rise.back();
                EXPECT_NEAR(steady, 0.0, 0.1);
                const double fall
                    = at32.TimeTo(at32.Feed(4.0, 0.0, 0.0), steady - d.returnDb, false);
                EXPECT_NEAR(fall, d.returnSeconds, d.returnTolerance + block / rate);
                EXPECT_EQ(at32.Feed(10.0, 0.0, 0.0).back(), CSndSPNeedle::kSilenceDb);

                if (d.type == NeedleType::kVuIec) {
                    const double ninetyNine = 20.0 * std::log10(0.99) + steady;
                    EXPECT_NEAR(at32.TimeTo(rise, ninetyNine, true), 0.3, 0.03 + block / rate);
                    const double overshoot = std::pow(10.0, (Highest(rise) - steady) / 20.0) - 1.0;
                    EXPECT_GE(overshoot, 0.010);
                    EXPECT_LE(overshoot, 0.015);
                    continue;
                }
                const double steady5k
                    = Rig(d.type, rate, block, kerrion::kSampleInt32).Feed(1.0, 5000.0).back();
                EXPECT_NEAR(steady5k, 0.0, 0.5); // the sampled peaks of a 5 kHz tone fall short
                for (size_t b = 0; b < 3; ++b) {
                    const double seconds = std::array { 0.005, 0.01, 0.1 }[b];
                    Rig burst(d.type, rate, block, kerrion::kSampleInt32);
                    const double highest = Highest(burst.Feed(0.3, 5000.0, seconds));
                    EXPECT_NEAR(highest - steady5k, d.burstDb[b], d.burstTolerance[b]) << seconds;
                    // The highest reading within a block: a burst reads alike in any blocks.
                    if (block == 64)
                        shortBlockBursts[b] = highest;
                    else
                        EXPECT_NEAR(highest, shortBlockBursts[b], 1e-9) << seconds;
                }
            }
        }
    }
}
