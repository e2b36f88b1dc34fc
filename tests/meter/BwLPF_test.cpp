// Butterworth low-pass design: setter rules, order calculation, each design step, and the
// designed filter's response and state.

#include "meter/BwLPF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

namespace {

using Complex = std::complex<long double>;

constexpr long double kExactPi = 3.141592653589793238462643383279502884L;

// Attenuation in dB of an analog section at w rad/s.
long double AnalogAttenuationDb(const CLPFTransferFunction& s, long double w)
{
    const Complex jw(0.0L, w);
    const auto ld = [](double v) { return static_cast<long double>(v); };
    Complex h;
    if (s.kind == CLPFTransferFunction::kFirstOrder)
        h = (ld(s.firstB1) * jw + ld(s.firstB0)) / (jw + ld(s.firstA0));
    else
        h = (ld(s.secondB2) * jw * jw + ld(s.secondB1) * jw + ld(s.secondB0))
            / (jw * jw + ld(s.secondA1) * jw + ld(s.secondA0));
    return -20.0L * std::log10(std::abs(h));
}

// Attenuation in dB of the designed digital cascade at f Hz, from the stage coefficients.
long double DigitalAttenuationDb(const CDigitalFilter& filter, long double f)
{
    const long double w = 2.0L * kExactPi * f / filter.GetFs();
    const Complex zInv = std::polar(1.0L, -w);
    Complex h = 1.0L;
    for (int i = 0; i < filter.GetStageCount(); ++i) {
        const CIIRTransferFunction& stage = filter.GetStage(i);
        Complex num = 0.0L, den = 0.0L, power = 1.0L;
        for (int k = 0; k < CIIRTransferFunction::kMaxLength; ++k) {
            if (k < stage.NumeratorLength())
                num += static_cast<long double>(stage.B(k)) * power;
            if (k < stage.DenominatorLength())
                den += static_cast<long double>(stage.A(k)) * power;
            power *= zInv;
        }
        h *= num / den;
    }
    return -20.0L * std::log10(std::abs(h));
}

void DesignVuFilter(CBwLPF& filter, int order)
{
    filter.SetFs(48000.0);
    filter.SetFcutoff(1.8);
    filter.SetOrder(order);
    filter.SetFixedOrder(1);
    ASSERT_EQ(filter.Design(), 1);
}

std::string CalcOrderOutput(CBwLPF& filter, int& result)
{
    testing::internal::CaptureStdout();
    result = filter.CalcOrder();
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(BwLPF, StartsWithTheDocumentedDefaults)
{
    const CBwLPF filter;
    EXPECT_EQ(filter.GetFs(), 1000.0);
    EXPECT_EQ(filter.GetFcutoff(), 100.0);
    EXPECT_EQ(filter.GetFcutoff2(), 100.0);
    EXPECT_EQ(filter.GetFstop(), 200.0);
    EXPECT_EQ(filter.GetOrder(), 1);
    EXPECT_EQ(filter.GetFixedOrder(), 1);
    EXPECT_EQ(filter.GetParam1(), 0);
    EXPECT_EQ(filter.GetParam2(), 0);
    EXPECT_EQ(filter.GetApass(), 3.0);
    EXPECT_EQ(filter.GetAstop(), 10.0);
    EXPECT_EQ(filter.GetStageCount(), 0);
}

TEST(BwLPF, SettersIgnoreValuesOutOfTheirRange)
{
    CBwLPF filter;
    filter.SetFs(0.0);
    filter.SetFs(-48000.0);
    filter.SetFstop2(-1.0);
    filter.SetApass(0.0);
    filter.SetOrder(0);
    filter.SetOrder(-3);
    filter.SetOrder(CDigitalFilter::kMaxOrder + 1);
    EXPECT_EQ(filter.GetFs(), 1000.0);
    EXPECT_EQ(filter.GetFstop2(), 200.0);
    EXPECT_EQ(filter.GetApass(), 3.0);
    EXPECT_EQ(filter.GetOrder(), 1);

    filter.SetFs(44100.0);
    filter.SetFcutoff2(150.0);
    filter.SetF1(10.0);
    filter.SetF2(20.0);
    filter.SetOrder(CDigitalFilter::kMaxOrder);
    filter.SetFixedOrder(0);
    filter.SetParam1(-7);
    filter.SetParam2(9);
    EXPECT_EQ(filter.GetFs(), 44100.0);
    EXPECT_EQ(filter.GetFcutoff2(), 150.0);
    EXPECT_EQ(filter.GetF1(), 10.0);
    EXPECT_EQ(filter.GetF2(), 20.0);
    EXPECT_EQ(filter.GetOrder(), CDigitalFilter::kMaxOrder);
    EXPECT_EQ(filter.GetFixedOrder(), 0);
    EXPECT_EQ(filter.GetParam1(), -7);
    EXPECT_EQ(filter.GetParam2(), 9);
}

TEST(BwLPF, CalcOrderOfTheDefaultSpecificationIsTwo)
{
    CBwLPF filter;
    int order = 0;
    EXPECT_EQ(CalcOrderOutput(filter, order), "");
    EXPECT_EQ(order, 2);
}

TEST(BwLPF, CalcOrderReportsEachBadSpecificationOnOneLine)
{
    int order = 0;
    CBwLPF tooSmall;
    tooSmall.SetAstop(0.0005);
    EXPECT_EQ(CalcOrderOutput(tooSmall, order), "BwLPF:CalcOrder():Astop is too small.\n");
    EXPECT_EQ(order, -1);

    CBwLPF reversed;
    reversed.SetFcutoff(300.0);
    reversed.SetFstop(200.0);
    EXPECT_EQ(
        CalcOrderOutput(reversed, order), "BwLPF:CalcOrder():Fstop must be larger than Fcutoff.\n");
    EXPECT_EQ(order, -1);

    CBwLPF equal;
    equal.SetFcutoff(200.0);
    equal.SetFstop(200.0);
    EXPECT_EQ(CalcOrderOutput(equal, order),
        "BwLPF:CalcOrder():Illegal value(s) of Fcutoff and/or Fstop.\n");
    EXPECT_EQ(order, -1);

    CBwLPF aboveNyquist;
    aboveNyquist.SetFstop(700.0);
    EXPECT_EQ(CalcOrderOutput(aboveNyquist, order),
        "BwLPF:CalcOrder():Illegal value(s) of Fcutoff and/or Fstop.\n");
    EXPECT_EQ(order, -1);
}

TEST(BwLPF, CalcOrderGrowsWithTheStopbandAttenuation)
{
    CBwLPF filter;
    int order = 0;
    filter.SetAstop(40.0);
    CalcOrderOutput(filter, order);
    // e = sqrt((10^0.3 - 1) / (10^4 - 1)), r = tan(0.1 pi) / tan(0.2 pi): ln e / ln r = 5.12.
    EXPECT_EQ(order, 6);
}

TEST(BwLPF, DesignComputesTheOrderOnlyWhenItIsNotFixed)
{
    CBwLPF computed;
    computed.SetFixedOrder(0);
    ASSERT_EQ(computed.Design(), 1);
    EXPECT_EQ(computed.GetOrder(), 2);
    EXPECT_EQ(computed.GetStageCount(), 1);

    CBwLPF failed;
    failed.SetOrder(3);
    failed.SetFixedOrder(0);
    failed.SetAstop(0.0001);
    testing::internal::CaptureStdout();
    ASSERT_EQ(failed.Design(), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(failed.GetOrder(), 3); // -1 is refused by the order setter

    CBwLPF fixed;
    fixed.SetOrder(4);
    ASSERT_EQ(fixed.Design(), 1);
    EXPECT_EQ(fixed.GetOrder(), 4);
}

TEST(BwLPF, StagesFollowTheOrder)
{
    // order -> {second-order stages first, then a first-order stage when odd}
    const std::vector<std::vector<int>> expected
        = { {}, { 2 }, { 3 }, { 3, 2 }, { 3, 3 }, { 3, 3, 2 } };
    for (int order = 1; order <= 5; ++order) {
        SCOPED_TRACE(order);
        CBwLPF filter;
        DesignVuFilter(filter, order);
        ASSERT_EQ(filter.GetStageCount(), static_cast<int>(expected[order].size()));
        ASSERT_EQ(filter.GetPrototypeCount(), filter.GetStageCount());
        ASSERT_EQ(filter.GetScaledCount(), filter.GetStageCount());
        for (int i = 0; i < filter.GetStageCount(); ++i) {
            EXPECT_EQ(filter.GetStage(i).NumeratorLength(), expected[order][i]);
            EXPECT_EQ(filter.GetStage(i).DenominatorLength(), expected[order][i]);
            EXPECT_EQ(filter.GetStage(i).A(0), 1.0);
        }
    }
}

TEST(BwLPF, EachDesignStepPutsApassAtItsCutoff)
{
    for (int order = 1; order <= 6; ++order) {
        SCOPED_TRACE(order);
        CBwLPF filter;
        DesignVuFilter(filter, order);
        const long double omega = 2.0L * 48000.0L * std::tan(1.8L * CBwLPF::kPi / 48000.0L);
        long double prototypeDb = 0.0L, scaledDb = 0.0L, dcDb = 0.0L;
        for (int i = 0; i < filter.GetPrototypeCount(); ++i) {
            prototypeDb += AnalogAttenuationDb(filter.GetPrototype(i), 1.0L);
            scaledDb += AnalogAttenuationDb(filter.GetScaled(i), omega);
            dcDb += AnalogAttenuationDb(filter.GetScaled(i), 0.0L);
        }
        // The pole angles use pi = 3.1415926538, which moves them by parts in 1e11.
        EXPECT_NEAR(static_cast<double>(prototypeDb), 3.0, 1e-8);
        EXPECT_NEAR(static_cast<double>(scaledDb), 3.0, 1e-8);
        EXPECT_NEAR(static_cast<double>(dcDb), 0.0, 1e-12);
    }
}

TEST(BwLPF, DesignedFilterIsThreeDecibelsDownAtTheCutoffWithUnityDcGain)
{
    for (int order = 1; order <= 4; ++order) {
        SCOPED_TRACE(order);
        CBwLPF filter;
        DesignVuFilter(filter, order);
        EXPECT_NEAR(static_cast<double>(DigitalAttenuationDb(filter, 1.8L)), 3.0, 1e-6);
        // The coefficients of a 1.8 Hz pole pair at 48 kHz are rounded to doubles; the DC gain
        // they give is 1 to about 1e-8.
        EXPECT_NEAR(static_cast<double>(DigitalAttenuationDb(filter, 0.0L)), 0.0, 1e-6);
    }
}

TEST(BwLPF, DesignedFilterHasTheButterworthResponseOnTheWarpedAxis)
{
    // After the bilinear transform: A(f) = 10 log10(1 + eps^2 (tan(pi f/Fs) / tan(pi fc/Fs))^2N).
    const long double eps2 = std::pow(10.0L, 0.3L) - 1.0L;
    for (int order = 1; order <= 4; ++order) {
        CBwLPF filter;
        DesignVuFilter(filter, order);
        for (long double f : { 0.5L, 0.9L, 3.6L, 10.0L, 100.0L }) {
            SCOPED_TRACE(testing::Message() << "order " << order << ", " << f << " Hz");
            const long double ratio
                = std::tan(kExactPi * f / 48000.0L) / std::tan(kExactPi * 1.8L / 48000.0L);
            const long double expected
                = 10.0L * std::log10(1.0L + eps2 * std::pow(ratio, 2.0L * order));
            EXPECT_NEAR(static_cast<double>(DigitalAttenuationDb(filter, f)),
                static_cast<double>(expected), 1e-6);
        }
    }
}

TEST(BwLPF, ConstantInputSettlesAtItself)
{
    for (int order = 1; order <= 4; ++order) {
        SCOPED_TRACE(order);
        CBwLPF filter;
        DesignVuFilter(filter, order);
        double y = 0.0;
        for (int i = 0; i < 10 * 48000; ++i)
            y = filter.FilterSample(1000.0);
        EXPECT_NEAR(y, 1000.0, 1e-4);
    }
}

TEST(BwLPF, FilterArrayBlockAndSampleAgreeToTheBit)
{
    std::vector<double> input(5000);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = std::fabs(32767.0 * std::sin(0.13 * static_cast<double>(i)));
    for (int order = 1; order <= 5; ++order) {
        SCOPED_TRACE(order);
        CBwLPF bySample, byArray, byBlock;
        DesignVuFilter(bySample, order);
        DesignVuFilter(byArray, order);
        DesignVuFilter(byBlock, order);

        int count = -1;
        const std::unique_ptr<double[]> arrayOut
            = byArray.FilterArray(input.data(), static_cast<int>(input.size()), count);
        ASSERT_EQ(count, static_cast<int>(input.size()));
        std::vector<double> blockOut = input;
        byBlock.FilterBlock(blockOut.data(), 1000);
        byBlock.FilterBlock(blockOut.data() + 1000, 4000); // state carries across blocks
        for (size_t i = 0; i < input.size(); ++i) {
            const double y = bySample.FilterSample(input[i]);
            ASSERT_EQ(y, arrayOut[i]) << i;
            ASSERT_EQ(y, blockOut[i]) << i;
        }
    }
}

TEST(BwLPF, FilterArrayOfNothingIsNull)
{
    CBwLPF filter;
    DesignVuFilter(filter, 2);
    int count = 5;
    EXPECT_EQ(filter.FilterArray(nullptr, 0, count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST(BwLPF, ResetForgetsThePast)
{
    CBwLPF used, fresh;
    DesignVuFilter(used, 3);
    DesignVuFilter(fresh, 3);
    for (int i = 0; i < 1000; ++i)
        used.FilterSample(20000.0);
    used.Reset();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(used.FilterSample(i * 10.0), fresh.FilterSample(i * 10.0));
}

TEST(DigitalFilter, WithoutStagesPassesSamplesThrough)
{
    CDigitalFilter plain;
    plain.SetOrder(3);
    plain.SetFixedOrder(0);
    EXPECT_EQ(plain.CalcOrder(), 3);
    ASSERT_EQ(plain.Design(), 1);
    EXPECT_EQ(plain.GetStageCount(), 0);
    EXPECT_EQ(plain.FilterSample(-123.5), -123.5);
    double block[2] = { 1.0, -2.0 };
    plain.FilterBlock(block, 2);
    EXPECT_EQ(block[1], -2.0);
}
