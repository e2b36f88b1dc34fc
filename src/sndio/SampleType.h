#pragma once

// Sample type codes and what they imply. Codes 16 to 27 are the little-endian members of the ASIO
// sample type enumeration, so a driver's channel type is used unchanged; 14 and 15 are our own
// 8-bit codes. Every other code (21 to 23 included) is unsupported: buffers of such a type keep
// the byte width they had, and conversions into or out of them move no samples.
// Pure functions of the code; any thread.

#include <cstdint>

namespace kerrion {

using SampleType = uint32_t;

inline constexpr SampleType kSampleUInt8 = 14;      // 8-bit unsigned, offset 128
inline constexpr SampleType kSampleInt8 = 15;       // 8-bit signed
inline constexpr SampleType kSampleInt16 = 16;      // 16-bit signed
inline constexpr SampleType kSampleInt24 = 17;      // 24-bit signed, packed in 3 bytes, low first
inline constexpr SampleType kSampleInt32 = 18;      // 32-bit signed
inline constexpr SampleType kSampleFloat32 = 19;    // 32-bit IEEE float
inline constexpr SampleType kSampleFloat64 = 20;    // 64-bit IEEE float
inline constexpr SampleType kSampleInt32Lsb16 = 24; // 16-bit value right-aligned in 32 bits
inline constexpr SampleType kSampleInt32Lsb18 = 25; // 18-bit value right-aligned in 32 bits
inline constexpr SampleType kSampleInt32Lsb20 = 26; // 20-bit value right-aligned in 32 bits
inline constexpr SampleType kSampleInt32Lsb24 = 27; // 24-bit value right-aligned in 32 bits

inline constexpr uint32_t kMaxSampleBytes = 8; // widest sample of a supported type

// True for the codes this program converts (14 to 20 and 24 to 27).
constexpr bool IsSampleTypeSupported(SampleType type)
{
    return (type >= kSampleUInt8 && type <= kSampleFloat64)
        || (type >= kSampleInt32Lsb16 && type <= kSampleInt32Lsb24);
}

// Bytes one sample occupies; 0 for an unsupported code.
constexpr uint32_t SampleBytes(SampleType type)
{
    switch (type) {
    case kSampleUInt8:
    case kSampleInt8:
        return 1;
    case kSampleInt16:
        return 2;
    case kSampleInt24:
        return 3;
    case kSampleInt32:
    case kSampleFloat32:
    case kSampleInt32Lsb16:
    case kSampleInt32Lsb18:
    case kSampleInt32Lsb20:
    case kSampleInt32Lsb24:
        return 4;
    case kSampleFloat64:
        return 8;
    default:
        return 0;
    }
}

// Significant bits of an integer code; 0 for the floating-point and unsupported codes.
constexpr int SampleIntegerWidth(SampleType type)
{
    switch (type) {
    case kSampleUInt8:
    case kSampleInt8:
        return 8;
    case kSampleInt16:
    case kSampleInt32Lsb16:
        return 16;
    case kSampleInt32Lsb18:
        return 18;
    case kSampleInt32Lsb20:
        return 20;
    case kSampleInt24:
    case kSampleInt32Lsb24:
        return 24;
    case kSampleInt32:
        return 32;
    default:
        return 0;
    }
}

constexpr bool IsSampleFloat(SampleType type)
{
    return type == kSampleFloat32 || type == kSampleFloat64;
}

// The byte that fills samples carrying no data: 128 for unsigned 8-bit, 0 for every other code.
constexpr uint8_t SampleSilence(SampleType type) { return type == kSampleUInt8 ? 128 : 0; }

} // namespace kerrion
