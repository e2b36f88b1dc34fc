// Needle processor: the dynamics of every needle type against its standard, at the common
// device rates and at short and long blocks, from tones and bursts made here.

#include "meter/SndSPNeedle.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using kerrion::NeedleType;
using kerrion::test::ChannelSet;
using kerrion::test::kPi;

namespace {

using Signal = std::function<double(double)>; // seconds from the start -> full scale 1.0

// One needle of `type` on channel 0, fed in blocks; channel 1 is left a kVu channel, whose
// output the processor must never touch.
class Rig {
public:
    struct Reading {
        double seconds; // at the end of the block
        double db;
    };

    Rig(NeedleType type, double rate, uint32_t block, kerrion::SampleType sampleType)
        : m_rate(rate)
        , m_block(block)
        , m_in(sampleType, block, 2)
    {
        EXPECT_EQ(m_needle.Init(rate), CSndSP::kOk);
        m_needle.SetType(0, type);
        m_out.Poison();
    }

    // The readings of `seconds` of `signal`.
    std::vector<Reading> Feed(double seconds, const Signal& signal)
    {
        const double unit = m_in[0].Type() == kerrion::kSampleInt16 ? 32768.0 : 2147483648.0;
        std::vector<Reading> readings;
        std::vector<double> v(m_block);
        const auto total = static_cast<uint64_t>(seconds * m_rate);
        for (uint64_t done = 0; done < total; done += m_block) {
            for (uint32_t i = 0; i < m_block; ++i)
                v[i] = std::min(unit - 1.0, unit * signal((done + i) / m_rate));
            kerrion::test::Store(m_in[0], v);
            kerrion::test::Store(m_in[1], v);
            m_needle.Process(m_out.Data(), 2, 1, m_in.Data(), 2, nullptr);
            readings.push_back({ (done + m_block) / m_rate, m_out.Value(0) });
        }
        EXPECT_EQ(m_out.Value(1), ChannelSet::kPoison);
        return readings;
    }

private:
    CSndSPNeedle m_needle;
    double m_rate;
    uint32_t m_block;
    ChannelSet m_in;
    ChannelSet m_out { kerrion::kSampleFloat64, 1, 2 };
};

Signal Tone(double hz, double seconds = 1e9)
{
    return [=](double t) { return t < seconds ? 0.1 * std::sin(2.0 * kPi * hz * t) : 0.0; };
}

double Highest(const std::vector<Rig::Reading>& readings)
{
    double highest = -1e9;
    for (const Rig::Reading& r : readings)
        highest = std::max(highest, r.db);
    return highest;
}

// Seconds until the first reading at or beyond `db` (above it when rising), or -1.
double TimeTo(const std::vector<Rig::Reading>& readings, double db, bool rising)
{
    for (const Rig::Reading& r : readings)
        if (rising ? r.db >= db : r.db <= db)
            return r.seconds;
    return -1.0;
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
            for (uint32_t block : { 64u, 1024u }) {
                SCOPED_TRACE(testing::Message() << kerrion::NeedleTypeName(d.type) << " at "
                                                << rate << " Hz, blocks of " << block);
                const auto rig = [&](kerrion::SampleType t) { return Rig(d.type, rate, block, t); };
                Rig at16 = rig(kerrion::kSampleInt16);
                EXPECT_NEAR(at16.Feed(2.0, Tone(1000.0)).back().db, 0.0, 0.1);
                Rig at32 = rig(kerrion::kSampleInt32);
                const auto rise = at32.Feed(2.0, Tone(1000.0));
                const double steady = rise.back().db;
                EXPECT_NEAR(steady, 0.0, 0.1);
                const double fall = TimeTo(at32.Feed(4.0, Tone(0.0)), steady - d.returnDb, false);
                EXPECT_NEAR(fall, d.returnSeconds, d.returnTolerance + block / rate);
                EXPECT_EQ(at32.Feed(10.0, Tone(0.0)).back().db, CSndSPNeedle::kSilenceDb);

                if (d.type == NeedleType::kVuIec) {
                    const double ninetyNine = 20.0 * std::log10(0.99) + steady;
                    EXPECT_NEAR(TimeTo(rise, ninetyNine, true), 0.3, 0.03 + block / rate);
                    const double overshoot = std::pow(10.0, (Highest(rise) - steady) / 20.0) - 1.0;
                    EXPECT_GE(overshoot, 0.010);
                    EXPECT_LE(overshoot, 0.015);
                    continue;
                }
                const double steady5k = rig(kerrion::kSampleInt32).Feed(1.0, Tone(5000.0)).back().db;
                EXPECT_NEAR(steady5k, 0.0, 0.5); // the peaks of a sampled 5 kHz tone
                for (size_t b = 0; b < 3; ++b) {
                    const double ms = std::array { 5.0, 10.0, 100.0 }[b];
                    const auto burst = rig(kerrion::kSampleInt32).Feed(0.3, Tone(5000.0, ms / 1e3));
                    EXPECT_NEAR(Highest(burst) - steady5k, d.burstDb[b], d.burstTolerance[b]) << ms;
                }
            }
        }
    }
}
