// Peak processor and the second loudness processor: block peaks with known answers, no
// history, and processors that produce nothing.

#include "meter/SndSPLoudnessMarvane.h"
#include "meter/SndSPPeak.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

using kerrion::test::ChannelSet;
using kerrion::test::Store;

namespace {

class SndSPPeakTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_peak.Init(), CSndSP::kOk);
        m_outputs.Poison();
    }

    double PeakOf(const std::vector<double>& samples, int channel = 0)
    {
        Store(m_inputs[channel], samples);
        EXPECT_EQ(m_peak.Process(m_outputs.Data(), 8, 16384, m_inputs.Data(), 8, nullptr), 1);
        EXPECT_EQ(m_outputs[channel].Count(), 1u);
        return m_outputs.Value(channel);
    }

    CSndSPPeak m_peak;
    ChannelSet m_inputs { kerrion::kSampleInt16, 4096, 8 };
    ChannelSet m_outputs { kerrion::kSampleFloat64, 16384, 8 };
};

} // namespace

TEST_F(SndSPPeakTest, BlockPeakIsTheLargestMagnitude)
{
    EXPECT_EQ(PeakOf({ 100.0, -200.0, 150.0 }), 200.0);
    EXPECT_NEAR(CSndSPPeak::PeakLevelDb(200.0), -44.29, 0.005);
}

TEST_F(SndSPPeakTest, MostNegativeSampleIsFullScaleForOneBlockOnly)
{
    std::vector<double> block(1000, 0.0);
    block[517] = -32768.0;
    EXPECT_EQ(PeakOf(block), 32768.0);
    EXPECT_EQ(CSndSPPeak::PeakLevelDb(32768.0), 0.0);
    EXPECT_EQ(PeakOf(std::vector<double>(1000, 0.0)), 0.0);
    EXPECT_EQ(CSndSPPeak::PeakLevelDb(0.0), -96.0);
    EXPECT_NEAR(CSndSPPeak::PeakLevelDb(32767.0), -0.000265, 1e-6);
}

TEST_F(SndSPPeakTest, EmptyBlockHasNoPeak)
{
    EXPECT_EQ(PeakOf({}), 0.0);
    EXPECT_EQ(PeakOf({}, 7), 0.0);
}

TEST_F(SndSPPeakTest, WiderSamplesAreReadAtSixteenBits)
{
    ChannelSet in32(kerrion::kSampleInt32, 64, 1);
    Store(in32[0], { -1.0 * 65536 * 1000 - 65535, 5.0 * 65536 }); // -1000 - a fraction, 5
    ASSERT_EQ(m_peak.Process(m_outputs.Data(), 1, 16384, in32.Data(), 1, nullptr), 1);
    EXPECT_EQ(m_outputs.Value(0), 1001.0); // arithmetic shift: floor(-1000.99) = -1001

    ChannelSet in24(kerrion::kSampleInt32Lsb24, 64, 1);
    Store(in24[0], { 8388607.0, -300.0 });
    ASSERT_EQ(m_peak.Process(m_outputs.Data(), 1, 16384, in24.Data(), 1, nullptr), 1);
    EXPECT_EQ(m_outputs.Value(0), 32767.0);
}

TEST_F(SndSPPeakTest, ViewsThatAreNotAlignedAreReadCorrectly)
{
    alignas(8) uint8_t raw[2 * 5 + 1] = {};
    const int16_t samples[4] = { 7, -9000, 3, 12 };
    std::memcpy(raw + 1, samples, sizeof samples);
    ChannelSet view(kerrion::kSampleInt16, 1, 1);
    view[0].Attach(raw + 1, kerrion::kSampleInt16, 4);
    ASSERT_EQ(m_peak.Process(m_outputs.Data(), 1, 16384, view.Data(), 1, nullptr), 1);
    EXPECT_EQ(m_outputs.Value(0), 9000.0);
}

TEST(SndSPPeak, UnpreparedProcessorWritesNothing)
{
    CSndSPPeak peak;
    ChannelSet in(kerrion::kSampleInt16, 16, 8);
    ChannelSet out(kerrion::kSampleFloat64, 16, 8);
    out.Poison();
    in[0].SetCount(16);
    EXPECT_EQ(peak.Process(out.Data(), 8, 16, in.Data(), 8, nullptr), 1);
    EXPECT_EQ(out.Value(0), ChannelSet::kPoison);
    EXPECT_EQ(out[0].Count(), 0u);
}

TEST(SndSPPeak, OutputOfZeroCapacityStaysEmpty)
{
    CSndSPPeak peak;
    ASSERT_EQ(peak.Init(), 1);
    ChannelSet in(kerrion::kSampleInt16, 16, 1);
    Store(in[0], { 5.0 });
    CSndIOBuffer out;
    EXPECT_EQ(peak.Process(&out, 1, 0, in.Data(), 1, nullptr), 1);
    EXPECT_EQ(out.Count(), 0u);
}

TEST(SndSPLoudnessMarvane, KeepsItsParametersAndWritesNothing)
{
    CSndSPLoudnessMarvane marvane;
    EXPECT_EQ(marvane.GetParameters(), (CSndSPLoudnessMarvane::Parameters { 70, 100, 0, -20 }));
    marvane.SetParameters({ 1, 2, 3, 4 });
    EXPECT_EQ(marvane.GetParameters()[3], 4);
    ASSERT_EQ(marvane.Init(), 1);
    ChannelSet in(kerrion::kSampleInt16, 64, 2);
    ChannelSet out(kerrion::kSampleFloat64, 16384, 2);
    out.Poison();
    Store(in[0], kerrion::test::Sine(30000.0, 1000.0, 64));
    EXPECT_EQ(marvane.Process(out.Data(), 2, 16384, in.Data(), 2, nullptr), 1);
    EXPECT_EQ(out.Value(0), ChannelSet::kPoison);
    EXPECT_EQ(out[1].Count(), 0u);
}
