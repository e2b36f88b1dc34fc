// BS.1770 loudness: known-answer levels, channel weights, the window clamp, the input scale,
// block-split invariance, and agreement with a plain whole-window re-sum over minutes of
// random blocks.

#include "meter/SndSPLoudnessBS1770.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using kerrion::test::ChannelSet;
using kerrion::test::Sine;
using kerrion::test::Store;

namespace {

constexpr double kSteady1k = 0.6977043960895399; // dB, K-weighting gain at 1 kHz

// A loudness processor fed block by block from `channels` input buffers of one type.
class Meter {
public:
    Meter(kerrion::SampleType type, int channels, double window = 3.0)
        : m_inputs(type, 32768, channels)
        , m_channels(channels)
    {
        m_loudness.SetRequestedWindow(window);
        EXPECT_EQ(m_loudness.Init(), 1);
    }

    // One block: signal[c] on channel c (channels without a signal get silence of equal
    // length). Returns the loudness.
    double Block(const std::vector<std::vector<double>>& signal)
    {
        const size_t n = signal.empty() ? 0 : signal[0].size();
        for (int c = 0; c < m_channels; ++c)
            Store(m_inputs[c],
                c < static_cast<int>(signal.size()) ? signal[c] : std::vector<double>(n, 0.0));
        EXPECT_EQ(m_loudness.Process(m_outputs.Data(), 8, 16384, m_inputs.Data(),
                      static_cast<uint32_t>(m_channels), nullptr),
            1);
        EXPECT_EQ(m_outputs[0].Count(), 1u);
        return m_outputs.Value(0);
    }

    // `seconds` of a sine of `peak` at 1 kHz on channel `channel`, blocks of 4096.
    double Sine1k(double peak, double seconds, int channel = 0)
    {
        double value = 0.0;
        const auto total = static_cast<uint64_t>(seconds * 48000.0);
        for (uint64_t done = 0; done < total;) {
            const auto n = static_cast<uint32_t>(std::min<uint64_t>(4096, total - done));
            std::vector<std::vector<double>> signal(static_cast<size_t>(channel) + 1);
            signal[channel] = Sine(peak, 1000.0, n, m_clock);
            for (int c = 0; c < channel; ++c)
                signal[c].assign(n, 0.0);
            value = Block(signal);
            m_clock += n;
            done += n;
        }
        return value;
    }

    CSndSPLoudnessBS1770& Processor() { return m_loudness; }

private:
    CSndSPLoudnessBS1770 m_loudness;
    ChannelSet m_inputs;
    ChannelSet m_outputs { kerrion::kSampleFloat64, 16384, 8 };
    int m_channels;
    uint64_t m_clock = 0;
};

} // namespace

TEST(SndSPLoudnessBS1770, SilenceAndNoChannelsReadMinusThreeHundred)
{
    Meter meter(kerrion::kSampleInt16, 8);
    EXPECT_EQ(meter.Block({ std::vector<double>(4096, 0.0) }), -300.0);
    EXPECT_EQ(meter.Block({}), -300.0); // blocks without samples
    CSndSPLoudnessBS1770 loudness;
    ASSERT_EQ(loudness.Init(), 1);
    ChannelSet out(kerrion::kSampleFloat64, 4, 1);
    EXPECT_EQ(loudness.Process(out.Data(), 1, 4, nullptr, 0, nullptr), 1);
    EXPECT_EQ(out.Value(0), -300.0);
}

TEST(SndSPLoudnessBS1770, SineOfPeakOneTenthReadsMinusTwentyThree)
{
    // 64-bit input in 16-bit units: 0.1 of full scale is 3276.8.
    Meter meter(kerrion::kSampleFloat64, 8);
    const double rising = meter.Sine1k(3276.8, 1.5);
    const double full = meter.Sine1k(3276.8, 2.0);
    EXPECT_NEAR(full, -23.00, 0.01);
    EXPECT_NEAR(full, 10.0 * std::log10(0.005) + kSteady1k - 0.691, 1e-4);
    EXPECT_NEAR(rising, full + 10.0 * std::log10(0.5), 0.01); // half the window filled
}

TEST(SndSPLoudnessBS1770, FullScaleSineReadsAboutMinusThree)
{
    Meter meter(kerrion::kSampleInt16, 8);
    EXPECT_NEAR(meter.Sine1k(32767.0, 3.5), -3.0, 0.01);
}

TEST(SndSPLoudnessBS1770, IntegerInputIsScaledByItsWidth)
{
    Meter m16(kerrion::kSampleInt16, 2), m32(kerrion::kSampleInt32, 2),
        m24(kerrion::kSampleInt32Lsb24, 2);
    for (uint64_t start = 0; start < 48000 * 4; start += 4096) {
        const std::vector<double> v = Sine(32767.0, 1000.0, 4096, start);
        std::vector<double> v32(v.size()), v24(v.size());
        for (size_t i = 0; i < v.size(); ++i) {
            v32[i] = std::round(v[i]) * 65536.0;
            v24[i] = std::round(v[i]) * 256.0;
        }
        const double l16 = m16.Block({ v }), l32 = m32.Block({ v32 }), l24 = m24.Block({ v24 });
        ASSERT_EQ(l32, l16);
        ASSERT_EQ(l24, l16);
    }
}

TEST(SndSPLoudnessBS1770, ChannelWeights)
{
    std::vector<double> level(8);
    for (int c = 0; c < 8; ++c) {
        Meter meter(kerrion::kSampleInt16, 8, 1.0);
        level[c] = meter.Sine1k(10000.0, 1.2, c);
    }
    EXPECT_NEAR(level[1] - level[0], 0.0, 1e-9);
    EXPECT_NEAR(level[2] - level[0], 0.0, 1e-9);
    EXPECT_NEAR(level[3] - level[0], 10.0, 1e-9);
    EXPECT_NEAR(level[4] - level[0], 10.0 * std::log10(1.41), 1e-9);
    EXPECT_NEAR(level[5] - level[0], 1.49, 0.01);
    EXPECT_NEAR(level[6] - level[0], 0.0, 1e-9); // back surrounds: full weight
    EXPECT_NEAR(level[7] - level[0], 0.0, 1e-9);
    EXPECT_EQ(CSndSPLoudnessBS1770::ChannelWeight(40), 1.0);
}

TEST(SndSPLoudnessBS1770, WindowIsClampedToOneToTenSeconds)
{
    Meter shortWindow(kerrion::kSampleInt16, 1, 0.5);
    EXPECT_EQ(shortWindow.Processor().GetEffectiveWindow(), 0.5); // as requested until a block
    const double halfFull = shortWindow.Sine1k(10000.0, 0.5);
    EXPECT_EQ(shortWindow.Processor().GetEffectiveWindow(), 1.0);
    const double full = shortWindow.Sine1k(10000.0, 1.0);
    EXPECT_NEAR(halfFull - full, 10.0 * std::log10(0.5), 0.01); // 24,000 of 48,000 samples

    Meter longWindow(kerrion::kSampleInt16, 1, 20.0);
    const double halfLong = longWindow.Sine1k(10000.0, 5.0);
    EXPECT_EQ(longWindow.Processor().GetEffectiveWindow(), 10.0);
    EXPECT_NEAR(halfLong - full, 10.0 * std::log10(0.5), 0.01); // 240,000 of 480,000
}

TEST(SndSPLoudnessBS1770, ReadingAfterSplitBlocksEqualsOneBlock)
{
    Meter whole(kerrion::kSampleInt16, 3), split(kerrion::kSampleInt16, 3);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 3000.0);
    for (int round = 0; round < 40; ++round) {
        std::vector<std::vector<double>> signal(3, std::vector<double>(4000));
        for (auto& channel : signal)
            for (double& x : channel)
                x = std::clamp(noise(random), -32768.0, 32767.0);
        std::vector<std::vector<double>> first(3), second(3);
        for (int c = 0; c < 3; ++c) {
            first[c].assign(signal[c].begin(), signal[c].begin() + 1000);
            second[c].assign(signal[c].begin() + 1000, signal[c].end());
        }
        split.Block(first);
        ASSERT_EQ(split.Block(second), whole.Block(signal)) << round;
    }
}

TEST(SndSPLoudnessBS1770, UnpreparedProcessorWritesNothing)
{
    CSndSPLoudnessBS1770 loudness;
    ChannelSet in(kerrion::kSampleInt16, 16, 8);
    ChannelSet out(kerrion::kSampleFloat64, 16, 8);
    out.Poison();
    EXPECT_EQ(loudness.Process(out.Data(), 8, 16, in.Data(), 8, nullptr), 1);
    EXPECT_EQ(out.Value(0), ChannelSet::kPoison);
    EXPECT_EQ(out[0].Count(), 0u);
}

namespace {

// The loudness as first described, written plainly: every block re-sums each channel's whole
// window. Filters in direct form II with the published coefficients, the same arithmetic as
// the processor, so the squared samples agree to the bit and only the summation differs.
class WholeWindowLoudness {
public:
    // Returns the weighted sum of the window means (the loudness before the logarithm).
    double Block(
        const std::vector<std::vector<int32_t>>& blocks, double requestedWindow, bool resum)
    {
        const double seconds = std::clamp(requestedWindow, 1.0, 10.0);
        const auto n = static_cast<uint32_t>(seconds * 48000.0);
        double sum = 0.0;
        for (size_t c = 0; c < blocks.size(); ++c) {
            Channel& ch = m_channels[c];
            uint32_t p = ch.position % n;
            for (int32_t sample : blocks[c]) {
                const double x = sample / 2147483648.0;
                const double y1 = Stage(x, ch.shelf, kShelf);
                const double y2 = Stage(y1, ch.highPass, kHighPass);
                ch.ring[p] = y2 * y2;
                if (++p == n)
                    p = 0;
            }
            ch.position = p;
            if (resum) {
                double s = 0.0;
                for (uint32_t i = 0; i < n; ++i)
                    s += ch.ring[i];
                sum += s / n * CSndSPLoudnessBS1770::ChannelWeight(static_cast<uint32_t>(c));
            }
        }
        return sum;
    }

private:
    struct Coefficients {
        double b0, b1, b2, a1, a2;
    };
    static constexpr Coefficients kShelf = { 1.53512485958697, -2.69169618940638, 1.19839281085285,
        -1.69065929318241, 0.73248077421585 };
    static constexpr Coefficients kHighPass
        = { 1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621 };
    struct State {
        double w1 = 0.0, w2 = 0.0;
    };
    struct Channel {
        std::vector<double> ring = std::vector<double>(480000, 0.0);
        uint32_t position = 0;
        State shelf, highPass;
    };

    static double Stage(double x, State& s, const Coefficients& k)
    {
        const double w = x - k.a1 * s.w1 - k.a2 * s.w2;
        const double y = k.b0 * w + k.b1 * s.w1 + k.b2 * s.w2;
        s.w2 = s.w1;
        s.w1 = w;
        return y;
    }

    std::vector<Channel> m_channels = std::vector<Channel>(8);
};

} // namespace

TEST(SndSPLoudnessBS1770, ChunkSumsAgreeWithTheWholeWindowOverMinutesOfRandomBlocks)
{
    constexpr int kChannels = 8;
    // Two minutes; a quarter of that under the sanitizers, which only look for memory and
    // threading faults here.
    constexpr uint64_t kTotal = 48000ull * (kerrion::test::kSanitizedBuild ? 30 : 120);
    std::mt19937 random(1770);
    std::uniform_int_distribution<uint32_t> smallBlock(1, 64), largeBlock(65, 4096);
    std::uniform_int_distribution<int> pick(0, 5);
    // Gaussian noise, drawn once and read from random places (drawing it per sample would cost
    // more than everything else here).
    std::normal_distribution<double> gauss(0.0, 0.5);
    std::vector<double> noise(1 << 16);
    for (double& x : noise)
        x = gauss(random);
    std::uniform_int_distribution<uint32_t> offset(0, (1 << 16) - 1);
    // Levels per channel (fraction of full scale; 0 is digital silence), held for about half a
    // second so that silences and loud stretches fill whole windows.
    const double levels[6] = { 0.0, 0.0, 1e-5, 0.01, 0.3, 1.0 };
    std::vector<double> level(kChannels, 0.0);

    CSndSPLoudnessBS1770 loudness;
    loudness.SetRequestedWindow(1.0);
    ASSERT_EQ(loudness.Init(), 1);
    WholeWindowLoudness reference;
    ChannelSet in(kerrion::kSampleInt32, 4096, kChannels);
    ChannelSet out(kerrion::kSampleFloat64, 1, 1);

    uint64_t done = 0;
    int block = 0, compared = 0;
    double window = 1.0;
    while (done < kTotal) {
        const uint32_t n = pick(random) < 2 ? smallBlock(random) : largeBlock(random);
        const double newWindow = done < kTotal / 3 ? 1.0 : done < kTotal * 2 / 3 ? 1.5 : 1.2;
        const bool windowChanged = newWindow != window;
        window = newWindow;
        std::vector<std::vector<int32_t>> samples(kChannels, std::vector<int32_t>(n));
        for (int c = 0; c < kChannels; ++c) {
            if ((done + n) / 24000 != done / 24000 || done == 0)
                level[c] = levels[pick(random)];
            const uint32_t first = offset(random);
            for (uint32_t i = 0; i < n; ++i) {
                const double x = std::clamp(level[c] * noise[(first + i) & 0xFFFF], -1.0, 1.0);
                samples[c][i] = static_cast<int32_t>(x * 2147483647.0);
            }
            std::memcpy(in[c].Bytes(), samples[c].data(), n * sizeof(int32_t));
            in[c].SetCount(n);
        }
        const bool resum = block % 32 == 0 || done < 96000 || windowChanged || done + n >= kTotal;
        loudness.SetRequestedWindow(window);
        ASSERT_EQ(loudness.Process(out.Data(), 1, 1, in.Data(), kChannels, nullptr), 1);
        const double expected = reference.Block(samples, window, resum);
        if (resum) {
            const double lkfs = out.Value(0);
            const double measured = lkfs == -300.0 ? 0.0 : std::pow(10.0, (lkfs + 0.691) / 10.0);
            ASSERT_NEAR(measured, expected, 1e-12 * expected + 1e-300)
                << "block " << block << " at sample " << done << ", " << lkfs << " LKFS";
            ++compared;
        }
        done += n;
        ++block;
    }
    EXPECT_GT(compared, kerrion::test::kSanitizedBuild ? 40 : 150);
}

// Long silence must not leave the filters running on subnormal numbers, which cost up to a
// hundred times the time of normal ones on many processors: the decaying states must reach
// zero instead.
TEST(SndSPLoudnessBS1770, FilterStatesFallToZeroNotSubnormalInSilence)
{
    Meter meter(kerrion::kSampleInt16, 2);
    meter.Sine1k(30000.0, 1.0, 1);
    const auto& state = meter.Processor().GetFilterState(1);
    EXPECT_GT(std::fabs(state[1].w1), 1e-3);
    for (int block = 0; block < 300; ++block) { // 25 s: far past 1e-308 at the slowest pole
        meter.Block({ std::vector<double>(4096, 0.0), std::vector<double>(4096, 0.0) });
        for (const auto& stage : state)
            for (double w : { stage.w0, stage.w1, stage.w2 })
                ASSERT_NE(std::fpclassify(w), FP_SUBNORMAL) << "block " << block;
    }
    for (const auto& stage : state)
        EXPECT_EQ(stage.w1, 0.0);
    EXPECT_EQ(meter.Block({ std::vector<double>(4096, 0.0) }), -300.0);
}
