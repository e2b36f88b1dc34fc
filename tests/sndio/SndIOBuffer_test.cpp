#include "sndio/SndIOBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace kerrion;

namespace {

// A buffer of `type` holding exactly `values` (each stored as T).
template <typename T>
void Load(CSndIOBuffer& buffer, SampleType type, const std::vector<T>& values)
{
    ASSERT_EQ(buffer.Allocate(type, static_cast<uint32_t>(values.size())), 1);
    ASSERT_EQ(buffer.BytesPerSample(), sizeof(T));
    std::memcpy(buffer.Bytes(), values.data(), values.size() * sizeof(T));
}

// A packed 24-bit buffer from its raw bytes, three per sample.
void LoadPacked(CSndIOBuffer& buffer, const std::vector<uint8_t>& bytes)
{
    ASSERT_EQ(buffer.Allocate(kSampleInt24, static_cast<uint32_t>(bytes.size() / 3)), 1);
    std::memcpy(buffer.Bytes(), bytes.data(), bytes.size());
}

template <typename T>
T SampleAt(const CSndIOBuffer& buffer, uint32_t i)
{
    T value;
    std::memcpy(&value, buffer.Bytes() + size_t { i } * sizeof(T), sizeof(T));
    return value;
}

int32_t Packed24At(const CSndIOBuffer& buffer, uint32_t i)
{
    const uint8_t* p = buffer.Bytes() + size_t { i } * 3;
    return static_cast<int32_t>(
               uint32_t { p[0] } << 8 | uint32_t { p[1] } << 16 | uint32_t { p[2] } << 24)
        >> 8;
}

// Converts one sample of type `from` (as T) into a fresh buffer of type `to` and returns it as U.
template <typename U, typename T>
U ConvertOne(SampleType from, T value, SampleType to)
{
    CSndIOBuffer source;
    Load<T>(source, from, { value });
    CSndIOBuffer target;
    EXPECT_EQ(target.Allocate(to, 1), 1);
    target.Convert(source);
    EXPECT_EQ(target.Count(), 1U);
    return SampleAt<U>(target, 0);
}

const SampleType kSupported[] = { 14, 15, 16, 17, 18, 19, 20, 24, 25, 26, 27 };

} // namespace

TEST(SndIOBufferLifecycle, AllocateFillsSilenceAndOwns)
{
    CSndIOBuffer unsigned8;
    ASSERT_EQ(unsigned8.Allocate(kSampleUInt8, 5), 1);
    EXPECT_TRUE(unsigned8.OwnsData());
    EXPECT_EQ(unsigned8.Capacity(), 5U);
    EXPECT_EQ(unsigned8.Count(), 5U);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(unsigned8.Bytes()[i], 128);

    CSndIOBuffer packed;
    ASSERT_EQ(packed.Allocate(kSampleInt24, 4), 1);
    EXPECT_EQ(packed.BytesPerSample(), 3U);
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(packed.Bytes()[i], 0);

    packed.Release();
    EXPECT_FALSE(packed.HasData());
    EXPECT_EQ(packed.Type(), 0U);
    EXPECT_EQ(packed.Capacity(), 0U);
    EXPECT_EQ(packed.Count(), 0U);
}

TEST(SndIOBufferLifecycle, AttachMakesAViewThatIsNotFreed)
{
    std::vector<int16_t> memory = { 1, 2, 3 };
    {
        CSndIOBuffer view;
        view.Attach(memory.data(), kSampleInt16, 3);
        EXPECT_FALSE(view.OwnsData());
        EXPECT_EQ(view.Samples<int16_t>(), memory.data());
        EXPECT_EQ(view.Count(), 3U);
        view.Samples<int16_t>()[1] = 42;
    }
    EXPECT_EQ(memory[1], 42); // still ours, and written through the view

    CSndIOBuffer nothing;
    nothing.Attach(nullptr, kSampleInt16, 100);
    EXPECT_EQ(nothing.Count(), 0U) << "a view of no memory holds no samples";
}

TEST(SndIOBufferLifecycle, UnsupportedCodesKeepTheWidthTheBufferHad)
{
    CSndIOBuffer buffer;
    ASSERT_EQ(buffer.Allocate(kSampleInt16, 4), 1);
    ASSERT_EQ(buffer.Allocate(22, 4), 1);
    EXPECT_EQ(buffer.Type(), 22U);
    EXPECT_EQ(buffer.BytesPerSample(), 2U);
}

TEST(SndIOBufferArrays, CreateAndDestroy)
{
    CSndIOBuffer* array = nullptr;
    ASSERT_EQ(CreateBufferArray(array, kSampleFloat64, 16384, 8), 1);
    ASSERT_NE(array, nullptr);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(array[i].Capacity(), 16384U);
        EXPECT_EQ(array[i].Type(), kSampleFloat64);
        EXPECT_TRUE(array[i].OwnsData());
    }
    DestroyBufferArray(array, 8);
    EXPECT_EQ(array, nullptr);

    EXPECT_EQ(CreateBufferArray(array, kSampleInt16, 16, 0), 0);
    EXPECT_EQ(array, nullptr);
}

TEST(SndIOBufferConvert, IntoEmptyTargetMakesAViewWhateverTheTypes)
{
    for (SampleType type : kSupported) {
        CSndIOBuffer source;
        ASSERT_EQ(source.Allocate(kSampleInt24, 7), 1);
        source.SetCount(5);
        CSndIOBuffer target;
        target.Attach(nullptr, type, 0);
        target.Convert(source);
        EXPECT_EQ(target.Type(), kSampleInt24);
        EXPECT_EQ(target.BytesPerSample(), 3U);
        EXPECT_EQ(target.Capacity(), 7U);
        EXPECT_EQ(target.Count(), 5U);
        EXPECT_EQ(target.Bytes(), source.Bytes());
        EXPECT_FALSE(target.OwnsData());
    }
}

TEST(SndIOBufferConvert, SameTypeCopiesUpToCapacityAndSilencesTheTail)
{
    std::vector<int16_t> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[i] = static_cast<int16_t>(i + 1);
    CSndIOBuffer source;
    Load(source, kSampleInt16, ramp);

    CSndIOBuffer small;
    ASSERT_EQ(small.Allocate(kSampleInt16, 80), 1);
    small.Convert(source);
    EXPECT_EQ(small.Count(), 80U);
    EXPECT_EQ(SampleAt<int16_t>(small, 79), 80);

    CSndIOBuffer large;
    Load(large, kSampleInt16, std::vector<int16_t>(120, 7));
    large.Convert(source);
    EXPECT_EQ(large.Count(), 100U);
    EXPECT_EQ(SampleAt<int16_t>(large, 0), 1);
    EXPECT_EQ(SampleAt<int16_t>(large, 99), 100);
    for (uint32_t i = 100; i < 120; ++i)
        EXPECT_EQ(SampleAt<int16_t>(large, i), 0) << i;
}

TEST(SndIOBufferConvert, DifferentTypesLeaveSamplesBeyondTheCountAlone)
{
    CSndIOBuffer source;
    Load<int16_t>(source, kSampleInt16, { 1, 2 });
    CSndIOBuffer target;
    Load<int32_t>(target, kSampleInt32, { 9, 9, 9, 9 });
    target.Convert(source);
    EXPECT_EQ(target.Count(), 2U);
    EXPECT_EQ(SampleAt<int32_t>(target, 1), 2 << 16);
    EXPECT_EQ(SampleAt<int32_t>(target, 2), 9);
}

TEST(SndIOBufferConvert, UnsignedEightBitSilenceIsZeroEverywhere)
{
    for (SampleType type : kSupported) {
        CSndIOBuffer silent;
        ASSERT_EQ(silent.Allocate(kSampleUInt8, 3), 1);
        CSndIOBuffer target;
        ASSERT_EQ(target.Allocate(type, 3), 1);
        std::memset(target.Bytes(), 0x55, size_t { 3 } * target.BytesPerSample());
        target.Convert(silent);
        for (uint32_t i = 0; i < 3 * target.BytesPerSample(); ++i)
            EXPECT_EQ(target.Bytes()[i], SampleSilence(type)) << "type " << type;
    }
    EXPECT_EQ((ConvertOne<uint8_t, double>(kSampleFloat64, 0.0, kSampleUInt8)), 128);
}

TEST(SndIOBufferConvert, IntegersAlignByTheirMostSignificantBits)
{
    EXPECT_EQ((ConvertOne<int32_t, int16_t>(16, 0x1234, 18)), 0x12340000);
    EXPECT_EQ((ConvertOne<int16_t, int32_t>(18, 0x12345678, 16)), 0x1234);
    EXPECT_EQ((ConvertOne<int16_t, int32_t>(27, 0x123456, 16)), 0x1234);
    EXPECT_EQ((ConvertOne<int32_t, int32_t>(24, -2, 27)), -512);
    EXPECT_EQ((ConvertOne<int32_t, int32_t>(26, 0x12345, 25)), 0x12345 >> 2);
    EXPECT_EQ((ConvertOne<int8_t, int16_t>(16, -32768, 15)), -128);
    EXPECT_EQ((ConvertOne<uint8_t, int16_t>(16, 0x7F00, 14)), 255);
    EXPECT_EQ((ConvertOne<int16_t, uint8_t>(14, 0, 16)), -32768);

    CSndIOBuffer packed; // 17 to 26 keeps the upper 20 bits
    LoadPacked(packed, { 0x56, 0x34, 0x92 });
    CSndIOBuffer twenty;
    ASSERT_EQ(twenty.Allocate(kSampleInt32Lsb20, 1), 1);
    twenty.Convert(packed);
    EXPECT_EQ(SampleAt<int32_t>(twenty, 0), static_cast<int32_t>(0xFFF92345));
}

TEST(SndIOBufferConvert, MostNegativeValuesRoundTrip)
{
    EXPECT_EQ((ConvertOne<int32_t, int16_t>(16, -32768, 18)), std::numeric_limits<int32_t>::min());
    EXPECT_EQ((ConvertOne<int16_t, int32_t>(18, std::numeric_limits<int32_t>::min(), 16)), -32768);
    EXPECT_EQ((ConvertOne<double, int16_t>(16, -32768, 20)), -32768.0);
    EXPECT_EQ(
        (ConvertOne<int32_t, int32_t>(18, std::numeric_limits<int32_t>::min(), 27)), -8388608);
}

TEST(SndIOBufferConvert, PackedTwentyFourReadsSignedAndWritesTheUpperBytes)
{
    CSndIOBuffer packed;
    LoadPacked(packed, { 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80 });
    CSndIOBuffer right24;
    ASSERT_EQ(right24.Allocate(kSampleInt32Lsb24, 2), 1);
    right24.Convert(packed);
    EXPECT_EQ(SampleAt<int32_t>(right24, 0), 8388607);
    EXPECT_EQ(SampleAt<int32_t>(right24, 1), -8388608);
    CSndIOBuffer sixteen;
    ASSERT_EQ(sixteen.Allocate(kSampleInt16, 2), 1);
    sixteen.Convert(packed);
    EXPECT_EQ(SampleAt<int16_t>(sixteen, 0), 32767);
    EXPECT_EQ(SampleAt<int16_t>(sixteen, 1), -32768);

    CSndIOBuffer source;
    Load<int16_t>(source, kSampleInt16, { 0x1234 });
    CSndIOBuffer target;
    ASSERT_EQ(target.Allocate(kSampleInt24, 1), 1);
    target.Convert(source);
    EXPECT_EQ(target.Bytes()[0], 0x00);
    EXPECT_EQ(target.Bytes()[1], 0x34);
    EXPECT_EQ(target.Bytes()[2], 0x12);
    EXPECT_EQ(Packed24At(target, 0), 0x123400);
}

TEST(SndIOBufferConvert, IntegersBecomeFloatsInTheirOwnScale)
{
    EXPECT_EQ((ConvertOne<float, int16_t>(16, 32767, 19)), 32767.0F);
    EXPECT_EQ((ConvertOne<double, int32_t>(18, 2147483647, 20)), 2147483647.0);
    EXPECT_EQ((ConvertOne<double, int32_t>(27, 8388607, 20)), 8388607.0);
    EXPECT_EQ((ConvertOne<double, uint8_t>(14, 0, 20)), -128.0);
    EXPECT_EQ((ConvertOne<double, float>(19, 0.25F, 20)), 0.25);
    EXPECT_EQ((ConvertOne<float, double>(20, -0.5, 19)), -0.5F);
}

TEST(SndIOBufferConvert, FloatsTruncateIntoTheContainerWithoutShifting)
{
    EXPECT_EQ((ConvertOne<int16_t, double>(20, 1.5, 16)), 1);
    EXPECT_EQ((ConvertOne<int16_t, double>(20, -1.5, 16)), -1);
    CSndIOBuffer source; // into packed 24-bit: the upper three bytes of the 32-bit value
    Load<double>(source, kSampleFloat64, { 1.5, 1000.0, -1000.0 });
    CSndIOBuffer packed;
    ASSERT_EQ(packed.Allocate(kSampleInt24, 3), 1);
    packed.Convert(source);
    EXPECT_EQ(Packed24At(packed, 0), 0);
    EXPECT_EQ(Packed24At(packed, 1), 3);
    EXPECT_EQ(Packed24At(packed, 2), -4);
    EXPECT_EQ((ConvertOne<int32_t, float>(19, 1000.0F, 26)), 1000);
    EXPECT_EQ((ConvertOne<int16_t, double>(20, 40000.0, 16)), -25536) << "low 16 bits kept";
    EXPECT_EQ((ConvertOne<uint8_t, double>(20, -1.0, 14)), 127);
}

TEST(SndIOBufferConvert, FloatsBeyondTheIntegerRangeSaturate)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ((ConvertOne<int32_t, double>(20, 1e300, 18)), kMax);
    EXPECT_EQ((ConvertOne<int32_t, double>(20, -1e300, 18)), kMin);
    EXPECT_EQ((ConvertOne<int32_t, float>(19, INFINITY, 18)), kMax);
    EXPECT_EQ((ConvertOne<int32_t, double>(20, std::nan(""), 18)), 0);
    EXPECT_EQ((ConvertOne<int32_t, double>(20, 2147483647.9, 18)), kMax);
    EXPECT_EQ((ConvertOne<int32_t, double>(20, -2147483648.9, 18)), kMin);
    EXPECT_TRUE(std::isinf((ConvertOne<float, double>(20, 1e300, 19))));
}

TEST(SndIOBufferConvert, UnsupportedCodesMoveNothingButSetTheCount)
{
    CSndIOBuffer source;
    Load<int16_t>(source, kSampleInt16, { 5, 6, 7 });
    CSndIOBuffer odd;
    ASSERT_EQ(odd.Allocate(kSampleInt16, 4), 1);
    ASSERT_EQ(odd.Allocate(21, 4), 1);
    std::memset(odd.Bytes(), 0x11, 8);
    odd.Convert(source);
    EXPECT_EQ(odd.Count(), 3U);
    EXPECT_EQ(SampleAt<int16_t>(odd, 0), 0x1111);

    CSndIOBuffer target;
    Load<int16_t>(target, kSampleInt16, { 9, 9, 9, 9 });
    target.Convert(odd);
    EXPECT_EQ(target.Count(), 3U);
    EXPECT_EQ(SampleAt<int16_t>(target, 0), 9);
}

TEST(SndIOBufferAppend, SameTypeGrowsTheCount)
{
    CSndIOBuffer target;
    ASSERT_EQ(target.Allocate(kSampleInt16, 6), 1);
    target.SetCount(0);
    CSndIOBuffer part;
    Load<int16_t>(part, kSampleInt16, { 1, 2, 3 });
    target.Append(part);
    target.Append(part);
    EXPECT_EQ(target.Count(), 6U);
    EXPECT_EQ(SampleAt<int16_t>(target, 4), 2);
    target.Append(part);
    EXPECT_EQ(target.Count(), 6U) << "a full buffer takes nothing more";
}

TEST(SndIOBufferAppend, ConvertsAndStopsAtTheCapacity)
{
    CSndIOBuffer target;
    ASSERT_EQ(target.Allocate(kSampleInt32, 4), 1);
    target.SetCount(2);
    CSndIOBuffer part;
    Load<int16_t>(part, kSampleInt16, { 1, 2, 3 });
    target.Append(part);
    EXPECT_EQ(target.Count(), 4U);
    EXPECT_EQ(SampleAt<int32_t>(target, 2), 1 << 16);
    EXPECT_EQ(SampleAt<int32_t>(target, 3), 2 << 16);

    CSndIOBuffer same; // same type, too long: the part that fits
    Load<int16_t>(same, kSampleInt16, { 0, 0 });
    same.SetCount(1);
    same.Append(part);
    EXPECT_EQ(same.Count(), 2U);
    EXPECT_EQ(SampleAt<int16_t>(same, 1), 1);

    CSndIOBuffer empty; // no data: nothing to write into
    empty.Append(part);
    EXPECT_EQ(empty.Count(), 0U);
    EXPECT_FALSE(empty.HasData());
}

TEST(SndIOBufferInterleave, FramesFollowTheLongestSourceAndTheCapacity)
{
    CSndIOBuffer sources[2];
    Load<int16_t>(sources[0], kSampleInt16, { 1, 2, 3, 0, 0 });
    sources[0].SetCount(3);
    Load<int16_t>(sources[1], kSampleInt16, { 11, 12, 13, 14, 15 });

    CSndIOBuffer eight;
    ASSERT_EQ(eight.Allocate(kSampleInt16, 8), 1);
    eight.Interleave(sources, 2);
    EXPECT_EQ(eight.Count(), 8U);
    const int16_t expected8[] = { 1, 11, 2, 12, 3, 13, 0, 14 };
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(SampleAt<int16_t>(eight, i), expected8[i]) << i;

    CSndIOBuffer twelve;
    Load(twelve, kSampleInt16, std::vector<int16_t>(12, 7));
    twelve.Interleave(sources, 2);
    EXPECT_EQ(twelve.Count(), 10U);
    EXPECT_EQ(SampleAt<int16_t>(twelve, 9), 15);
    EXPECT_EQ(SampleAt<int16_t>(twelve, 10), 0);
    EXPECT_EQ(SampleAt<int16_t>(twelve, 11), 0);
}

TEST(SndIOBufferInterleave, SourcesThatCannotDeliverGiveSilence)
{
    CSndIOBuffer sources[3];
    Load<uint8_t>(sources[0], kSampleUInt8, { 1, 2, 3 });
    Load<uint8_t>(sources[1], kSampleUInt8, { 4 });       // shorter than the block
    Load<int16_t>(sources[2], kSampleInt16, { 5, 6, 7 }); // another width
    CSndIOBuffer block;
    ASSERT_EQ(block.Allocate(kSampleUInt8, 9), 1);
    block.Interleave(sources, 3);
    EXPECT_EQ(block.Count(), 9U);
    const uint8_t expected[] = { 1, 4, 128, 2, 128, 128, 3, 128, 128 };
    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_EQ(block.Bytes()[i], expected[i]) << i;
}

TEST(SndIOBufferInterleave, TakingAWiderTypeKeepsTheMemoryItCovers)
{
    CSndIOBuffer sources[2];
    Load<int32_t>(sources[0], kSampleInt32, { 1, 2, 3, 4 });
    Load<int32_t>(sources[1], kSampleInt32, { 5, 6, 7, 8 });
    CSndIOBuffer block;
    ASSERT_EQ(block.Allocate(kSampleInt16, 8), 1); // 16 bytes: four 32-bit samples
    block.Interleave(sources, 2);
    EXPECT_EQ(block.Type(), kSampleInt32);
    EXPECT_EQ(block.Capacity(), 4U);
    EXPECT_EQ(block.Count(), 4U);
    EXPECT_EQ(SampleAt<int32_t>(block, 3), 6);
}

TEST(SndIOBufferDeinterleave, SplitsFramesIntoChannels)
{
    CSndIOBuffer block;
    Load<float>(block, kSampleFloat32, { 1, 2, 3, 4, 5, 6, 7 });
    CSndIOBuffer targets[3];
    ASSERT_EQ(targets[0].Allocate(kSampleInt16, 4), 1); // 8 bytes: two floats
    ASSERT_EQ(targets[1].Allocate(kSampleFloat32, 4), 1);
    ASSERT_EQ(targets[2].Allocate(kSampleFloat32, 1), 1);
    block.Deinterleave(targets, 3);
    EXPECT_EQ(targets[0].Type(), kSampleFloat32);
    EXPECT_EQ(targets[0].Count(), 2U);
    EXPECT_EQ(SampleAt<float>(targets[0], 1), 4.0F);
    EXPECT_EQ(targets[1].Count(), 2U);
    EXPECT_EQ(SampleAt<float>(targets[1], 0), 2.0F);
    EXPECT_EQ(SampleAt<float>(targets[1], 2), 0.0F);
    EXPECT_EQ(targets[2].Count(), 1U) << "a short target takes what fits";
    EXPECT_EQ(SampleAt<float>(targets[2], 0), 3.0F);
}

TEST(SndIOBufferDeinterleave, OneChannelIsAConversion)
{
    CSndIOBuffer block;
    Load<int16_t>(block, kSampleInt16, { 1, -1 });
    CSndIOBuffer target;
    ASSERT_EQ(target.Allocate(kSampleInt32, 2), 1);
    block.Deinterleave(&target, 1);
    EXPECT_EQ(target.Type(), kSampleInt32);
    EXPECT_EQ(SampleAt<int32_t>(target, 1), -65536);

    CSndIOBuffer view;
    block.Deinterleave(&view, 1);
    EXPECT_EQ(view.Bytes(), block.Bytes());
}

TEST(SndIOBufferClear, SilencesEverySampleAndEmptiesTheCount)
{
    CSndIOBuffer buffer;
    Load<uint8_t>(buffer, kSampleUInt8, { 1, 2, 3 });
    buffer.Clear();
    EXPECT_EQ(buffer.Count(), 0U);
    EXPECT_EQ(buffer.Capacity(), 3U);
    EXPECT_EQ(buffer.Bytes()[2], 128);
    buffer.SetCount(99);
    EXPECT_EQ(buffer.Count(), 3U);
}

TEST(SndIOBufferConvert, WideningAndBackIsLosslessForEveryIntegerPair)
{
    for (SampleType narrow : kSupported) {
        for (SampleType wide : kSupported) {
            const int narrowWidth = SampleIntegerWidth(narrow);
            const int wideWidth = SampleIntegerWidth(wide);
            if (narrowWidth == 0 || wideWidth == 0 || wideWidth < narrowWidth)
                continue;
            // Every value of the narrow type's own range, ends included: build it in the 32-bit
            // scale and bring it down.
            CSndIOBuffer full;
            ASSERT_EQ(full.Allocate(kSampleInt32, 512), 1);
            for (uint32_t i = 0; i < 512; ++i)
                full.Samples<int32_t>()[i]
                    = static_cast<int32_t>(0x80000000U + i * 0x00800000U + i * 4099U);
            full.Samples<int32_t>()[511] = std::numeric_limits<int32_t>::max();
            CSndIOBuffer original;
            ASSERT_EQ(original.Allocate(narrow, 512), 1);
            original.Convert(full);
            CSndIOBuffer widened;
            ASSERT_EQ(widened.Allocate(wide, 512), 1);
            widened.Convert(original);
            CSndIOBuffer back;
            ASSERT_EQ(back.Allocate(narrow, 512), 1);
            back.Convert(widened);
            EXPECT_EQ(std::memcmp(back.Bytes(), original.Bytes(),
                          size_t { 512 } * original.BytesPerSample()),
                0)
                << narrow << " -> " << wide << " -> " << narrow;
        }
    }
}

TEST(SndIOBufferConvert, ExtremeBitPatternsConvertBetweenEveryPair)
{
    // Under the undefined-behaviour sanitizer this shows every pair has a defined result for
    // any stored bits: NaNs, infinities, the largest floats, the most negative integers.
    const uint8_t patterns[] = { 0x00, 0xFF, 0x80, 0x7F, 0x7F, 0xF0, 0xFF, 0x7F, 0x00, 0x00, 0x80,
        0xFF, 0x01, 0x00, 0xF0, 0x7F };
    for (SampleType from : kSupported) {
        CSndIOBuffer source;
        ASSERT_EQ(source.Allocate(from, 64), 1);
        for (uint32_t i = 0; i < 64 * source.BytesPerSample(); ++i)
            source.Bytes()[i] = patterns[(i * 7 + i / 16) % sizeof patterns];
        for (SampleType to : kSupported) {
            CSndIOBuffer target;
            ASSERT_EQ(target.Allocate(to, 64), 1);
            target.Convert(source);
            EXPECT_EQ(target.Count(), 64U);
        }
    }
}
