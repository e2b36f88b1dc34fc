#include "SampleWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using kerrion::signal::SampleBytes;
using kerrion::signal::WriteSamples;

namespace {

std::vector<unsigned char> Write(ASIOSampleType type, double value)
{
    std::vector<unsigned char> bytes(static_cast<size_t>(SampleBytes(type)), 0xAA);
    WriteSamples(type, &value, 1, bytes.data());
    return bytes;
}

using Bytes = std::vector<unsigned char>;

} // namespace

TEST(SampleWriter, IntegerTypesKeepTheUpperBitsOfTheFullScaleValue)
{
    EXPECT_EQ(Write(ASIOSTInt16LSB, 0.5), (Bytes { 0x00, 0x40 }));
    EXPECT_EQ(Write(ASIOSTInt16LSB, -1.0), (Bytes { 0x00, 0x80 }));
    EXPECT_EQ(Write(ASIOSTInt24LSB, 0.5), (Bytes { 0x00, 0x00, 0x40 }));
    EXPECT_EQ(Write(ASIOSTInt32LSB, 0.5), (Bytes { 0x00, 0x00, 0x00, 0x40 }));
    EXPECT_EQ(Write(ASIOSTInt32LSB, 1.0), (Bytes { 0xFF, 0xFF, 0xFF, 0x7F })) << "full scale clips";
    EXPECT_EQ(Write(ASIOSTInt32LSB16, 0.5), (Bytes { 0x00, 0x40, 0x00, 0x00 }));
    EXPECT_EQ(Write(ASIOSTInt32LSB18, 0.5), (Bytes { 0x00, 0x00, 0x01, 0x00 }));
    EXPECT_EQ(Write(ASIOSTInt32LSB20, 0.5), (Bytes { 0x00, 0x00, 0x04, 0x00 }));
    EXPECT_EQ(Write(ASIOSTInt32LSB24, -0.5), (Bytes { 0x00, 0x00, 0xC0, 0xFF }));
}

TEST(SampleWriter, BigEndianTypesReverseTheBytes)
{
    EXPECT_EQ(Write(ASIOSTInt16MSB, 0.5), (Bytes { 0x40, 0x00 }));
    EXPECT_EQ(Write(ASIOSTInt24MSB, 0.5), (Bytes { 0x40, 0x00, 0x00 }));
    EXPECT_EQ(Write(ASIOSTInt32MSB, 0.5), (Bytes { 0x40, 0x00, 0x00, 0x00 }));
    EXPECT_EQ(Write(ASIOSTInt32MSB24, 0.5), (Bytes { 0x00, 0x40, 0x00, 0x00 }));
    EXPECT_EQ(Write(ASIOSTFloat32MSB, 1.0), (Bytes { 0x3F, 0x80, 0x00, 0x00 }));
}

TEST(SampleWriter, FloatTypesHoldTheNormalisedValue)
{
    const Bytes f = Write(ASIOSTFloat32LSB, 0.25);
    float single = 0;
    std::memcpy(&single, f.data(), 4);
    EXPECT_EQ(single, 0.25f);
    const Bytes d = Write(ASIOSTFloat64LSB, -0.125);
    double dbl = 0;
    std::memcpy(&dbl, d.data(), 8);
    EXPECT_EQ(dbl, -0.125);
}

TEST(SampleWriter, EightBitSystemTypesAndUnknownCodes)
{
    EXPECT_EQ(Write(14, 0.0), Bytes { 0x80 });
    EXPECT_EQ(Write(14, -1.0), Bytes { 0x00 });
    EXPECT_EQ(Write(15, 0.5), Bytes { 0x40 });
    EXPECT_EQ(Write(21, 0.5), (Bytes { 0, 0, 0, 0 })) << "unknown codes are written as silence";
    EXPECT_EQ(SampleBytes(ASIOSTFloat64LSB), 8);
    EXPECT_EQ(SampleBytes(ASIOSTInt24MSB), 3);
}
