#pragma once

// Known-answer signals for the processor tests, written into CSndIOBuffer channel sets.

#include "sndio/SndIOBuffer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace kerrion::test {

constexpr double kRate = 48000.0;

// Built with the address or thread sanitizer: resident sizes mean nothing and long runs are
// many times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif
constexpr double kPi = 3.14159265358979323846;

// n samples of a sine of `peak` (in the units of the target type) at `hz`, starting at sample
// index `start` of an endless signal.
inline std::vector<double> Sine(double peak, double hz, uint32_t n, uint64_t start = 0)
{
    std::vector<double> v(n);
    for (uint32_t i = 0; i < n; ++i)
        v[i] = peak * std::sin(2.0 * kPi * hz * static_cast<double>(start + i) / kRate);
    return v;
}

// Stores `values` (already in the type's units, rounded to the nearest integer for integer
// types) as the samples of `buffer`, which must be an owning buffer of type 16, 18 or 20 with
// room for them, and sets its count.
inline void Store(CSndIOBuffer& buffer, const std::vector<double>& values)
{
    const auto n = static_cast<uint32_t>(values.size());
    for (uint32_t i = 0; i < n; ++i) {
        switch (buffer.Type()) {
        case kSampleInt16:
            buffer.Samples<int16_t>()[i] = static_cast<int16_t>(std::lround(values[i]));
            break;
        case kSampleInt32:
            buffer.Samples<int32_t>()[i] = static_cast<int32_t>(std::llround(values[i]));
            break;
        case kSampleInt32Lsb24:
            buffer.Samples<int32_t>()[i] = static_cast<int32_t>(std::lround(values[i]));
            break;
        default:
            buffer.Samples<double>()[i] = values[i];
            break;
        }
    }
    buffer.SetCount(n);
}

// A channel set of `channels` owning buffers of `type` and `capacity` samples, count 0.
class ChannelSet {
public:
    ChannelSet(SampleType type, uint32_t capacity, int channels)
        : m_channels(channels)
    {
        CreateBufferArray(m_buffers, type, capacity, channels);
        for (int c = 0; c < channels; ++c)
            m_buffers[c].SetCount(0);
    }
    ~ChannelSet() { DestroyBufferArray(m_buffers, m_channels); }
    ChannelSet(const ChannelSet&) = delete;
    ChannelSet& operator=(const ChannelSet&) = delete;

    CSndIOBuffer* Data() { return m_buffers; }
    CSndIOBuffer& operator[](int c) { return m_buffers[c]; }
    // First element of buffer c read as a double (for result sets of type 20).
    double Value(int c) const { return m_buffers[c].Samples<double>()[0]; }
    // Marks every result with a value no processor writes, count 0.
    void Poison()
    {
        for (int c = 0; c < m_channels; ++c) {
            m_buffers[c].Samples<double>()[0] = kPoison;
            m_buffers[c].SetCount(0);
        }
    }
    static constexpr double kPoison = -12345.0;

private:
    CSndIOBuffer* m_buffers = nullptr;
    int m_channels;
};

} // namespace kerrion::test
