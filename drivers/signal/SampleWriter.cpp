#include "SampleWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace kerrion::signal {
namespace {

constexpr int32_t kSystemUnsigned8 = 14; // 8-bit unsigned, offset 128
constexpr int32_t kSystemSigned8 = 15;

// Full scale to a 32-bit integer, rounding, clipped at the largest positive value; NaN is 0.
int32_t ToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    const double scaled = std::nearbyint(std::clamp(value, -1.0, 1.0) * 2147483648.0);
    return static_cast<int32_t>(std::clamp(scaled, -2147483648.0, 2147483647.0));
}

// Stores the low `bytes` bytes of `bits`, low byte first or last.
void Store(unsigned char* out, uint64_t bits, int bytes, bool bigEndian)
{
    for (int i = 0; i < bytes; ++i) {
        const auto byte = static_cast<unsigned char>(bits >> (8 * i));
        out[bigEndian ? bytes - 1 - i : i] = byte;
    }
}

uint64_t FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint64_t DoubleBits(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The bits of one sample and its width; false for an unknown type.
bool Encode(ASIOSampleType type, double value, uint64_t& bits, int& bytes, bool& bigEndian)
{
    const int32_t full = ToInt32(value);
    const auto u = [](int64_t v) { return static_cast<uint64_t>(v); };
    bigEndian = type < ASIOSTInt16LSB;
    switch (type) {
    case kSystemUnsigned8:
        bits = u((full >> 24) + 128);
        bytes = 1;
        return true;
    case kSystemSigned8:
        bits = u(full >> 24);
        bytes = 1;
        return true;
    case ASIOSTInt16LSB:
    case ASIOSTInt16MSB:
        bits = u(full >> 16);
        bytes = 2;
        return true;
    case ASIOSTInt24LSB:
    case ASIOSTInt24MSB:
        bits = u(full >> 8);
        bytes = 3;
        return true;
    case ASIOSTInt32LSB:
    case ASIOSTInt32MSB:
        bits = u(full);
        bytes = 4;
        return true;
    case ASIOSTFloat32LSB:
    case ASIOSTFloat32MSB:
        bits = FloatBits(static_cast<float>(value));
        bytes = 4;
        return true;
    case ASIOSTFloat64LSB:
    case ASIOSTFloat64MSB:
        bits = DoubleBits(value);
        bytes = 8;
        return true;
    case ASIOSTInt32LSB16:
    case ASIOSTInt32MSB16:
        bits = u(full >> 16);
        bytes = 4;
        return true;
    case ASIOSTInt32LSB18:
    case ASIOSTInt32MSB18:
        bits = u(full >> 14);
        bytes = 4;
        return true;
    case ASIOSTInt32LSB20:
    case ASIOSTInt32MSB20:
        bits = u(full >> 12);
        bytes = 4;
        return true;
    case ASIOSTInt32LSB24:
    case ASIOSTInt32MSB24:
        bits = u(full >> 8);
        bytes = 4;
        return true;
    default:
        bits = 0;
        bytes = 4;
        return false;
    }
}

} // namespace

int SampleBytes(ASIOSampleType type)
{
    uint64_t bits;
    int bytes;
    bool bigEndian;
    Encode(type, 0.0, bits, bytes, bigEndian);
    return bytes;
}

void WriteSamples(ASIOSampleType type, const double* values, int count, void* target)
{
    auto* out = static_cast<unsigned char*>(target);
    if (type == ASIOSTInt32LSB && std::endian::native == std::endian::little) {
        // The type the bridge and most drivers use, in the machine's own order: stored whole.
        for (int i = 0; i < count; ++i) {
            const int32_t sample = ToInt32(values[i]);
            std::memcpy(out + 4 * static_cast<size_t>(i), &sample, sizeof sample);
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        uint64_t bits;
        int bytes;
        bool bigEndian;
        Encode(type, values[i], bits, bytes, bigEndian);
        Store(out, bits, bytes, bigEndian);
        out += bytes;
    }
}

} // namespace kerrion::signal
