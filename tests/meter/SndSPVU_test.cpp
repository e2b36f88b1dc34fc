// VU processor: known-answer readings, ballistics across blocks, the filter set-up and an
// unprepared processor.

#include "meter/SndSPVU.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

using kerrion::test::ChannelSet;
using kerrion::test::Sine;
using kerrion::test::Store;

namespace {

class SndSPVUTest : public testing::Test {
protected:
    static constexpr int kChannels = 8;
    static constexpr uint32_t kBlock = 1024;

    void SetUp() override
    {
        ASSERT_EQ(m_vu.InitFilter(48000.0, 1.8, 2), CSndSP::kOk);
        m_vu.SetReference(-20);
        m_outputs.Poison();
    }

    // Feeds `seconds` of a signal in blocks of kBlock on channel 0 (values per sample index).
    template <typename Signal>
    void Feed(double seconds, Signal signal, CSndIOBuffer& in)
    {
        const auto total = static_cast<uint64_t>(seconds * 48000.0);
        for (uint64_t start = 0; start < total; start += kBlock) {
            std::vector<double> v(kBlock);
            for (uint32_t i = 0; i < kBlock; ++i)
                v[i] = signal(m_clock + i);
            m_clock += kBlock;
            Store(in, v);
            Process(kChannels);
        }
    }

    void Process(uint32_t channels)
    {
        ASSERT_EQ(
            m_vu.Process(m_outputs.Data(), kChannels, 16384, m_inputs.Data(), channels, nullptr),
            CSndSP::kOk);
    }

    CSndSPVU m_vu;
    ChannelSet m_inputs { kerrion::kSampleInt16, 32768, kChannels };
    ChannelSet m_outputs { kerrion::kSampleFloat64, 16384, kChannels };
    uint64_t m_clock = 0; // samples fed so far
};

} // namespace

TEST_F(SndSPVUTest, MinusTwentyDbfsSineReadsZero)
{
    Feed(
        4.0,
        [](uint64_t i) {
            return 3277.0 * std::sin(2.0 * kerrion::test::kPi * 1000.0 * i / 48000.0);
        },
        m_inputs[0]);
    EXPECT_NEAR(m_outputs.Value(0), 0.0, 0.02);
    EXPECT_EQ(m_outputs[0].Count(), 1u);
}

TEST_F(SndSPVUTest, ThirtyTwoBitInputReadsLikeSixteenBit)
{
    CSndSPVU vu32;
    ASSERT_EQ(vu32.InitFilter(1.8, 2), CSndSP::kOk);
    vu32.SetReference(-20);
    ChannelSet in32(kerrion::kSampleInt32, 32768, 1);
    for (uint64_t start = 0; start < 4 * 48000; start += kBlock) {
        std::vector<double> v = Sine(3277.0, 1000.0, kBlock, start);
        Store(m_inputs[0], v);
        for (double& x : v)
            x = std::round(x) * 65536.0;
        Store(in32[0], v);
        Process(1);
        ASSERT_EQ(vu32.Process(m_outputs.Data() + 1, 1, 16384, in32.Data(), 1, nullptr), 1);
    }
    EXPECT_EQ(m_outputs.Value(1), m_outputs.Value(0));
    EXPECT_NEAR(m_outputs.Value(1), 0.0, 0.02);
}

TEST_F(SndSPVUTest, FullScaleSquareReadsItsMeanAbsoluteLevel)
{
    Feed(
        6.0, [](uint64_t i) { return (i / 24) % 2 == 0 ? 32767.0 : -32767.0; }, m_inputs[0]);
    EXPECT_NEAR(m_outputs.Value(0), 23.936342, 1e-6);
}

TEST_F(SndSPVUTest, ReferenceLevelShiftsTheReading)
{
    m_vu.SetReference(-14);
    EXPECT_EQ(m_vu.GetReference(), -14);
    Feed(
        6.0, [](uint64_t i) { return (i / 24) % 2 == 0 ? 32767.0 : -32767.0; }, m_inputs[0]);
    EXPECT_NEAR(m_outputs.Value(0), 17.936342, 1e-6);
}

TEST_F(SndSPVUTest, SilenceReadsMinusNinetySixAndAnEmptyBlockZero)
{
    m_inputs[0].SetCount(512); // silent samples
    m_inputs[1].SetCount(0);   // no samples at all
    Process(2);
    EXPECT_EQ(m_outputs.Value(0), -96.0);
    EXPECT_EQ(m_outputs.Value(1), 0.0);
    EXPECT_EQ(m_outputs[1].Count(), 1u);
    EXPECT_EQ(m_outputs.Value(2), ChannelSet::kPoison); // beyond channelCount: untouched
    EXPECT_EQ(m_outputs[2].Count(), 0u);
}

TEST_F(SndSPVUTest, ReadingDecaysToSilenceAfterTheSignalStops)
{
    Feed(
        2.0, [](uint64_t) { return 32767.0; }, m_inputs[0]);
    EXPECT_NEAR(m_outputs.Value(0), 23.936342, 1e-3); // a constant full scale, like the square
    Feed(
        0.1, [](uint64_t) { return 0.0; }, m_inputs[0]);
    const double falling = m_outputs.Value(0);
    EXPECT_LT(falling, 23.9);
    EXPECT_GT(falling, -96.0);
    Feed(
        10.0, [](uint64_t) { return 0.0; }, m_inputs[0]);
    EXPECT_EQ(m_outputs.Value(0), -96.0);
}

// Subnormal numbers cost up to a hundred times the time of normal ones on many processors:
// in long silence the filter state must reach zero instead of passing through them.
TEST_F(SndSPVUTest, FilterStateFallsToZeroNotSubnormalInSilence)
{
    Feed(
        1.0, [](uint64_t) { return 32767.0; }, m_inputs[0]);
    const CIIRTransferFunction& stage = m_vu.GetFilter(0)->GetStage(0);
    EXPECT_GT(stage.OutputHistory(1), 30000.0);
    for (int second = 0; second < 60; ++second) {
        Feed(
            1.0, [](uint64_t) { return 0.0; }, m_inputs[0]);
        for (int i = 1; i < 3; ++i)
            ASSERT_NE(std::fpclassify(stage.OutputHistory(i)), FP_SUBNORMAL) << second;
    }
    EXPECT_EQ(stage.OutputHistory(1), 0.0);
    EXPECT_EQ(stage.OutputHistory(2), 0.0);
}

TEST_F(SndSPVUTest, ReadingDependsOnlyOnWhereTheBlockEnds)
{
    CSndSPVU split;
    ASSERT_EQ(split.InitFilter(1.8, 2), 1);
    split.SetReference(-20);
    ChannelSet splitOut(kerrion::kSampleFloat64, 16384, 1);
    ChannelSet part(kerrion::kSampleInt16, 32768, 1);
    const std::vector<double> signal = Sine(12000.0, 440.0, 1280);
    Store(m_inputs[0], signal);
    Process(1);
    Store(part[0], std::vector<double>(signal.begin(), signal.begin() + 256));
    split.Process(splitOut.Data(), 1, 16384, part.Data(), 1, nullptr);
    Store(part[0], std::vector<double>(signal.begin() + 256, signal.end()));
    split.Process(splitOut.Data(), 1, 16384, part.Data(), 1, nullptr);
    EXPECT_EQ(splitOut.Value(0), m_outputs.Value(0));
}

TEST_F(SndSPVUTest, ChannelsKeepTheirOwnState)
{
    const std::vector<double> loud = Sine(32000.0, 1000.0, kBlock);
    for (int block = 0; block < 200; ++block) {
        Store(m_inputs[0], loud);
        Store(m_inputs[7], std::vector<double>(kBlock, 0.0));
        m_inputs[3].SetCount(0);
        Process(kChannels);
    }
    EXPECT_GT(m_outputs.Value(0), 15.0);
    EXPECT_EQ(m_outputs.Value(7), -96.0);
    EXPECT_EQ(m_outputs.Value(3), 0.0);
}

TEST(SndSPVU, FiltersAreDesignedAtFortyEightKilohertzWithTheGivenOrder)
{
    CSndSPVU vu;
    EXPECT_EQ(vu.GetFilter(0), nullptr);
    ASSERT_EQ(vu.InitFilter(44100.0, 2.5, 5), 1);
    for (uint32_t c : { 0u, 63u }) {
        const CBwLPF* filter = vu.GetFilter(c);
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(filter->GetFs(), 48000.0);
        EXPECT_EQ(filter->GetFcutoff(), 2.5);
        EXPECT_EQ(filter->GetOrder(), 5);
        ASSERT_EQ(filter->GetStageCount(), 3); // 2 + 2 + 1
        EXPECT_EQ(filter->GetStage(2).NumeratorLength(), 2);
    }
    EXPECT_EQ(vu.GetFilter(64), nullptr);

    ASSERT_EQ(vu.InitFilter(1.8, 0), 1); // refused by the order setter: order 1
    EXPECT_EQ(vu.GetFilter(5)->GetOrder(), 1);
    EXPECT_EQ(vu.GetFilter(5)->GetStageCount(), 1);
    EXPECT_EQ(vu.GetFilter(5)->GetStage(0).NumeratorLength(), 2);
}

TEST(SndSPVU, UnpreparedProcessorWritesNothing)
{
    CSndSPVU vu;
    EXPECT_EQ(vu.Init(), 1); // the base's: prepares nothing
    ChannelSet in(kerrion::kSampleInt16, 64, 8);
    ChannelSet out(kerrion::kSampleFloat64, 16, 8);
    out.Poison();
    in[0].SetCount(64);
    EXPECT_EQ(vu.Process(out.Data(), 8, 16, in.Data(), 8, nullptr), 1);
    EXPECT_EQ(out.Value(0), ChannelSet::kPoison);
    EXPECT_EQ(out[0].Count(), 0u);
}

TEST(SndSPVU, NeverProcessesMoreThanItsChannels)
{
    CSndSPVU vu;
    ASSERT_EQ(vu.InitFilter(1.8, 2), 1);
    ChannelSet in(kerrion::kSampleInt16, 64, 70);
    ChannelSet out(kerrion::kSampleFloat64, 1, 70);
    out.Poison();
    for (int c = 0; c < 70; ++c)
        in[c].SetCount(64);
    EXPECT_EQ(vu.Process(out.Data(), 70, 1, in.Data(), 70, nullptr), 1);
    EXPECT_EQ(out.Value(63), -96.0);
    EXPECT_EQ(out.Value(64), ChannelSet::kPoison);
}
