// One direct form I stage: the difference equation, its histories, and the reset rule.

#include "meter/IIRTransferFunction.h"

#include <gtest/gtest.h>

#include <vector>

TEST(IIRTransferFunction, FollowsTheDifferenceEquation)
{
    CIIRTransferFunction stage;
    const double b[3] = { 0.5, 0.25, 0.125 };
    const double a[3] = { 1.0, -0.5, 0.25 };
    stage.SetCoefficients(b, 3, a, 3);
    const std::vector<double> x = { 1.0, 2.0, -1.0, 0.0, 4.0 };
    std::vector<double> y;
    for (size_t n = 0; n < x.size(); ++n) {
        const double xn1 = n >= 1 ? x[n - 1] : 0.0, xn2 = n >= 2 ? x[n - 2] : 0.0;
        const double yn1 = n >= 1 ? y[n - 1] : 0.0, yn2 = n >= 2 ? y[n - 2] : 0.0;
        y.push_back(0.5 * x[n] + 0.25 * xn1 + 0.125 * xn2 + 0.5 * yn1 - 0.25 * yn2);
        EXPECT_DOUBLE_EQ(stage.Output(x[n]), y[n]) << n;
    }
    EXPECT_EQ(stage.InputHistory(0), 4.0);
    EXPECT_EQ(stage.InputHistory(1), 0.0);
    EXPECT_EQ(stage.InputHistory(2), -1.0);
    EXPECT_DOUBLE_EQ(stage.OutputHistory(1), y[4]);
    EXPECT_DOUBLE_EQ(stage.OutputHistory(2), y[3]);
}

TEST(IIRTransferFunction, BlockLeavesTheSameHistoriesAsSamples)
{
    const double b[2] = { 0.3, 0.3 };
    const double a[2] = { 1.0, -0.4 };
    CIIRTransferFunction bySample, byBlock;
    bySample.SetCoefficients(b, 2, a, 2);
    byBlock.SetCoefficients(b, 2, a, 2);
    double block[3] = { 1.0, 5.0, -2.0 };
    for (double x : block)
        bySample.Output(x);
    byBlock.OutputBlock(block, 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(byBlock.InputHistory(i), bySample.InputHistory(i));
        EXPECT_EQ(byBlock.OutputHistory(i), bySample.OutputHistory(i));
    }
    EXPECT_EQ(byBlock.InputHistory(1), 5.0);
}

TEST(IIRTransferFunction, StageWithoutCoefficientsKeepsNoState)
{
    CIIRTransferFunction stage;
    EXPECT_EQ(stage.Output(3.0), 0.0);
    stage.Reset();
    EXPECT_EQ(stage.InputHistoryLength(), 0);
    const double b[4] = { 1, 1, 1, 1 };
    stage.SetCoefficients(b, 4, b, 4); // longer than a stage: refused
    EXPECT_EQ(stage.NumeratorLength(), 0);
    EXPECT_EQ(stage.DenominatorLength(), 0);
}
