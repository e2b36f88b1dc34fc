#include "sndio/SampleConvert.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace kerrion {

namespace {

template <typename T>
T Load(const uint8_t* p)
{
    T value;
    std::memcpy(&value, p, sizeof(T)); // samples of a view may sit at any address
    return value;
}

template <typename T>
void Store(uint8_t* p, T value)
{
    std::memcpy(p, &value, sizeof(T));
}

// One sample format: its width, how it reads into its own scale and how it writes from it.
// Integer formats read into and write from int32_t (writing keeps the low bits); floating point
// formats use their own type.
template <SampleType Code>
struct Format;

template <>
struct Format<kSampleUInt8> {
    static constexpr uint32_t kBytes = 1;
    static int32_t Read(const uint8_t* p) { return static_cast<int32_t>(p[0]) - 128; }
    static void Write(uint8_t* p, int32_t v)
    {
        p[0] = static_cast<uint8_t>(static_cast<uint32_t>(v) + 128U);
    }
};

template <>
struct Format<kSampleInt8> {
    static constexpr uint32_t kBytes = 1;
    static int32_t Read(const uint8_t* p) { return static_cast<int8_t>(p[0]); }
    static void Write(uint8_t* p, int32_t v) { p[0] = static_cast<uint8_t>(v); }
};

template <>
struct Format<kSampleInt16> {
    static constexpr uint32_t kBytes = 2;
    static int32_t Read(const uint8_t* p) { return Load<int16_t>(p); }
    static void Write(uint8_t* p, int32_t v) { Store(p, static_cast<int16_t>(v)); }
};

template <>
struct Format<kSampleInt24> {
    static constexpr uint32_t kBytes = 3;
    static int32_t Read(const uint8_t* p)
    {
        // Build the value in the upper three bytes, then shift it down with its sign.
        const uint32_t bits
            = (uint32_t { p[0] } << 8) | (uint32_t { p[1] } << 16) | (uint32_t { p[2] } << 24);
        return static_cast<int32_t>(bits) >> 8;
    }
    static void Write(uint8_t* p, int32_t v)
    {
        const auto bits = static_cast<uint32_t>(v);
        p[0] = static_cast<uint8_t>(bits);
        p[1] = static_cast<uint8_t>(bits >> 8);
        p[2] = static_cast<uint8_t>(bits >> 16);
    }
};

struct Container32 {
    static constexpr uint32_t kBytes = 4;
    static int32_t Read(const uint8_t* p) { return Load<int32_t>(p); }
    static void Write(uint8_t* p, int32_t v) { Store(p, v); }
};

template <>
struct Format<kSampleInt32> : Container32 {
};
template <>
struct Format<kSampleInt32Lsb16> : Container32 {
};
template <>
struct Format<kSampleInt32Lsb18> : Container32 {
};
template <>
struct Format<kSampleInt32Lsb20> : Container32 {
};
template <>
struct Format<kSampleInt32Lsb24> : Container32 {
};

template <>
struct Format<kSampleFloat32> {
    static constexpr uint32_t kBytes = 4;
    static float Read(const uint8_t* p) { return Load<float>(p); }
    static void Write(uint8_t* p, float v) { Store(p, v); }
};

template <>
struct Format<kSampleFloat64> {
    static constexpr uint32_t kBytes = 8;
    static double Read(const uint8_t* p) { return Load<double>(p); }
    static void Write(uint8_t* p, double v) { Store(p, v); }
};

float NarrowToFloat(double v)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax)
        return std::numeric_limits<float>::infinity();
    if (v < -kMax)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v); // in range (or NaN): defined
}

// Converts one sample from format S to format D.
template <SampleType S, SampleType D>
inline void ConvertOne(const uint8_t* src, uint8_t* dst)
{
    constexpr int kFromWidth = SampleIntegerWidth(S);
    constexpr int kToWidth = SampleIntegerWidth(D);
    if constexpr (kFromWidth != 0 && kToWidth != 0) {
        int32_t v = Format<S>::Read(src);
        if constexpr (kToWidth > kFromWidth)
            v = static_cast<int32_t>(static_cast<uint32_t>(v) << (kToWidth - kFromWidth));
        else if constexpr (kToWidth < kFromWidth)
            v >>= kFromWidth - kToWidth; // arithmetic: keeps the sign
        Format<D>::Write(dst, v);
    } else if constexpr (kFromWidth != 0) {
        using Target = decltype(Format<D>::Read(dst));
        Format<D>::Write(dst, static_cast<Target>(Format<S>::Read(src)));
    } else if constexpr (kToWidth != 0) {
        int32_t v = TruncateToInt32(Format<S>::Read(src));
        if constexpr (D == kSampleInt24)
            v >>= 8; // the upper three bytes of the 32-bit value
        Format<D>::Write(dst, v);
    } else if constexpr (D == kSampleFloat32) {
        Format<D>::Write(dst, NarrowToFloat(Format<S>::Read(src)));
    } else {
        Format<D>::Write(dst, static_cast<double>(Format<S>::Read(src)));
    }
}

template <SampleType S, SampleType D>
void ConvertRun(const uint8_t* src, uint8_t* dst, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        ConvertOne<S, D>(
            src + size_t { i } * Format<S>::kBytes, dst + size_t { i } * Format<D>::kBytes);
}

using RunFunction = void (*)(const uint8_t*, uint8_t*, uint32_t);

template <SampleType... Codes>
struct CodeList {
};

using SupportedCodes
    = CodeList<kSampleUInt8, kSampleInt8, kSampleInt16, kSampleInt24, kSampleInt32, kSampleFloat32,
        kSampleFloat64, kSampleInt32Lsb16, kSampleInt32Lsb18, kSampleInt32Lsb20, kSampleInt32Lsb24>;

template <SampleType S, SampleType... Codes>
RunFunction PickTarget(SampleType to, CodeList<Codes...>)
{
    RunFunction run = nullptr;
    static_cast<void>(((to == Codes ? (run = &ConvertRun<S, Codes>, true) : false) || ...));
    return run;
}

template <SampleType... Codes>
RunFunction PickRun(SampleType from, SampleType to, CodeList<Codes...> codes)
{
    RunFunction run = nullptr;
    static_cast<void>(
        ((from == Codes ? (run = PickTarget<Codes>(to, codes), true) : false) || ...));
    return run;
}

} // namespace

int32_t TruncateToInt32(double value) noexcept
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483649.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value); // within (-2^31 - 1, 2^31): truncation is defined
}

bool ConvertSamples(
    SampleType from, const uint8_t* src, SampleType to, uint8_t* dst, uint32_t n) noexcept
{
    if (!IsSampleTypeSupported(from) || !IsSampleTypeSupported(to))
        return false;
    if (n == 0)
        return true;
    if (from == to) {
        std::memmove(dst, src, size_t { n } * SampleBytes(from));
        return true;
    }
    PickRun(from, to, SupportedCodes {})(src, dst, n);
    return true;
}

} // namespace kerrion
