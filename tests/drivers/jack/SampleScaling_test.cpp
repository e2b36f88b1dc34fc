// Float samples of JACK to the driver's 32-bit integers and back.

#include "SampleScaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using kerrion::jack::FloatToInt32;
using kerrion::jack::Int32ToFloat;

TEST(SampleScaling, FloatsAreScaledByTwoToThe31AndSaturate)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    const std::vector<std::pair<float, int32_t>> cases = {
        { 0.0f, 0 },
        { 0.5f, 1 << 30 },
        { -0.25f, -(1 << 29) },
        { 0.1f, 214748368 }, // 0.1f is 0.100000001490116...
        { -1.0f, kMin },
        { 1.0f, kMax }, // +1.0 has no integer: the largest one
        { 1.0f - 1.0f / 16777216.0f, kMax - 127 },
        { 1.5f, kMax },
        { -3.0f, kMin },
        { std::numeric_limits<float>::infinity(), kMax },
        { -std::numeric_limits<float>::infinity(), kMin },
        { std::numeric_limits<float>::quiet_NaN(), 0 },
        { 1e-10f, 0 }, // truncated toward zero
        { -1e-9f, -2 },
    };
    std::vector<float> in;
    for (const auto& c : cases)
        in.push_back(c.first);
    std::vector<int32_t> out(in.size(), 12345);
    FloatToInt32(in.data(), out.data(), static_cast<uint32_t>(in.size()));
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(out[i], cases[i].second) << "input " << cases[i].first;
}

TEST(SampleScaling, IntegersGoBackToTheirFloats)
{
    const std::vector<int32_t> in
        = { 0, 1 << 30, -(1 << 29), std::numeric_limits<int32_t>::min(), 256 };
    std::vector<float> out(in.size());
    Int32ToFloat(in.data(), out.data(), static_cast<uint32_t>(in.size()));
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.5f);
    EXPECT_EQ(out[2], -0.25f);
    EXPECT_EQ(out[3], -1.0f);
    EXPECT_EQ(out[4], std::ldexp(1.0f, -23));
    // Every 24-bit float sample survives the round trip.
    std::vector<float> ramp;
    for (int i = -8388608; i < 8388608; i += 4099)
        ramp.push_back(static_cast<float>(i) / 8388608.0f);
    std::vector<int32_t> integers(ramp.size());
    std::vector<float> back(ramp.size());
    FloatToInt32(ramp.data(), integers.data(), static_cast<uint32_t>(ramp.size()));
    Int32ToFloat(integers.data(), back.data(), static_cast<uint32_t>(ramp.size()));
    EXPECT_EQ(back, ramp);
}
