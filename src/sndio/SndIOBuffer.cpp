#include "sndio/SndIOBuffer.h"

#include "sndio/SampleConvert.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace kerrion;

namespace {

// Copies one channel's samples between a plain block and every k-th sample of an interleaved
// block. Bytes is the sample width, a constant so that each copy compiles to a single move.
template <uint32_t Bytes>
void CopyStrided(const uint8_t* src, size_t srcStep, uint8_t* dst, size_t dstStep, uint32_t n)
{
    for (uint32_t f = 0; f < n; ++f)
        std::memcpy(dst + f * dstStep, src + f * srcStep, Bytes);
}

void CopySamplesStrided(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride,
    uint32_t bytes, uint32_t n)
{
    const size_t srcStep = srcStride * bytes;
    const size_t dstStep = dstStride * bytes;
    switch (bytes) {
    case 1:
        return CopyStrided<1>(src, srcStep, dst, dstStep, n);
    case 2:
        return CopyStrided<2>(src, srcStep, dst, dstStep, n);
    case 3:
        return CopyStrided<3>(src, srcStep, dst, dstStep, n);
    case 4:
        return CopyStrided<4>(src, srcStep, dst, dstStep, n);
    case 8:
        return CopyStrided<8>(src, srcStep, dst, dstStep, n);
    default:
        for (uint32_t f = 0; f < n; ++f)
            std::memmove(dst + f * dstStep, src + f * srcStep, bytes);
    }
}

void FillStrided(
    uint8_t* dst, size_t stride, uint32_t bytes, uint8_t silence, uint32_t from, uint32_t to)
{
    for (uint32_t f = from; f < to; ++f)
        std::memset(dst + f * stride * bytes, silence, bytes);
}

} // namespace

CSndIOBuffer::~CSndIOBuffer() { Release(); }

int CSndIOBuffer::Allocate(SampleType type, uint32_t samples) noexcept
{
    const uint32_t bytes = IsSampleTypeSupported(type) ? SampleBytes(type) : m_bytesPerSample;
    Release();
    const size_t size = size_t { samples } * bytes;
    auto* data = new (std::nothrow) uint8_t[size];
    if (data == nullptr)
        return 0;
    std::memset(data, SampleSilence(type), size);
    m_type = type;
    m_bytesPerSample = bytes;
    m_capacity = samples;
    m_count = samples;
    m_data = data;
    m_ownsData = 1;
    return 1;
}

void CSndIOBuffer::Attach(void* data, SampleType type, uint32_t samples) noexcept
{
    const uint32_t bytes = IsSampleTypeSupported(type) ? SampleBytes(type) : m_bytesPerSample;
    Release();
    m_type = type;
    m_bytesPerSample = bytes;
    // A view of nothing holds nothing, so no caller can read samples through a null pointer.
    m_capacity = data != nullptr ? samples : 0;
    m_count = m_capacity;
    m_data = static_cast<uint8_t*>(data);
}

void CSndIOBuffer::Release() noexcept
{
    if (m_ownsData != 0)
        delete[] m_data;
    m_type = 0;
    m_bytesPerSample = 0;
    m_capacity = 0;
    m_count = 0;
    m_data = nullptr;
    m_ownsData = 0;
}

void CSndIOBuffer::MakeViewOf(const CSndIOBuffer& source) noexcept
{
    Release();
    m_type = source.m_type;
    m_bytesPerSample = source.m_bytesPerSample;
    m_capacity = source.m_capacity;
    m_count = source.m_count;
    m_data = source.m_data;
}

void CSndIOBuffer::FillSilence(uint32_t from) noexcept
{
    if (m_data == nullptr || from >= m_capacity)
        return;
    std::memset(m_data + size_t { from } * m_bytesPerSample, SampleSilence(m_type),
        size_t { m_capacity - from } * m_bytesPerSample);
}

void CSndIOBuffer::ConvertSamples(const CSndIOBuffer& source, uint32_t n) noexcept
{
    // Unsupported codes on either side move nothing; the count is still set.
    m_count = n;
    if (source.m_data != nullptr)
        kerrion::ConvertSamples(source.m_type, source.m_data, m_type, m_data, n);
}

void CSndIOBuffer::TakeTypeOf(SampleType type, uint32_t bytesPerSample) noexcept
{
    // The capacity follows the width, so the memory the buffer covers stays the same.
    if (bytesPerSample != m_bytesPerSample) {
        const size_t bytes = size_t { m_capacity } * m_bytesPerSample;
        m_capacity = bytesPerSample != 0 ? static_cast<uint32_t>(bytes / bytesPerSample) : 0;
        m_count = std::min(m_count, m_capacity);
    }
    m_type = type;
    m_bytesPerSample = bytesPerSample;
}

void CSndIOBuffer::Convert(const CSndIOBuffer& source) noexcept
{
    if (m_data == nullptr) {
        MakeViewOf(source);
        return;
    }
    if (m_type == source.m_type && IsSampleTypeSupported(m_type) && m_capacity >= source.m_count) {
        FillSilence(source.m_count);
        if (source.m_count > 0)
            std::memmove(m_data, source.m_data, size_t { source.m_count } * m_bytesPerSample);
        m_count = source.m_count;
        return;
    }
    ConvertSamples(source, std::min(m_capacity, source.m_count));
}

void CSndIOBuffer::Append(const CSndIOBuffer& source) noexcept
{
    // Without data there is no tail to write into (a view made of nothing would overrun).
    if (m_data == nullptr)
        return;
    uint8_t* tail = m_data + size_t { m_count } * m_bytesPerSample;
    if (m_type == source.m_type && IsSampleTypeSupported(m_type)
        && uint64_t { m_count } + source.m_count <= m_capacity) {
        if (source.m_count > 0)
            std::memmove(tail, source.m_data, size_t { source.m_count } * m_bytesPerSample);
        m_count += source.m_count;
        return;
    }
    CSndIOBuffer view;
    view.m_type = m_type;
    view.m_bytesPerSample = m_bytesPerSample;
    view.m_capacity = m_capacity - m_count;
    view.m_data = tail;
    view.Convert(source);
    m_count += view.m_count;
}

void CSndIOBuffer::Interleave(const CSndIOBuffer* sources, int k) noexcept
{
    if (sources == nullptr || k < 1)
        return;
    if (k == 1) {
        Convert(sources[0]);
        return;
    }
    const auto channels = static_cast<uint32_t>(k);
    uint32_t longest = 0;
    for (uint32_t c = 0; c < channels; ++c)
        longest = std::max(longest, sources[c].m_count);
    TakeTypeOf(sources[0].m_type, sources[0].m_bytesPerSample);
    const uint32_t frames = std::min(m_capacity / channels, longest);
    m_count = channels * frames;
    FillSilence(m_count);
    if (m_data == nullptr)
        return;
    const uint8_t silence = SampleSilence(m_type);
    for (uint32_t c = 0; c < channels; ++c) {
        const CSndIOBuffer& source = sources[c];
        uint8_t* dst = m_data + size_t { c } * m_bytesPerSample;
        // A source of another width, or shorter than the block, contributes silence where it
        // has no sample of this width to give.
        uint32_t have = 0;
        if (source.m_data != nullptr && source.m_bytesPerSample == m_bytesPerSample)
            have = std::min(frames, source.m_capacity);
        CopySamplesStrided(source.m_data, 1, dst, channels, m_bytesPerSample, have);
        FillStrided(dst, channels, m_bytesPerSample, silence, have, frames);
    }
}

void CSndIOBuffer::Deinterleave(CSndIOBuffer* targets, int k) const noexcept
{
    if (targets == nullptr || k < 1)
        return;
    if (k == 1) {
        targets[0].Convert(*this);
        return;
    }
    const auto channels = static_cast<uint32_t>(k);
    uint32_t largest = 0;
    for (uint32_t c = 0; c < channels; ++c) {
        targets[c].TakeTypeOf(m_type, m_bytesPerSample);
        largest = std::max(largest, targets[c].m_capacity);
    }
    const uint32_t frames = std::min(largest, m_count / channels);
    for (uint32_t c = 0; c < channels; ++c) {
        CSndIOBuffer& target = targets[c];
        // A target shorter than the block takes what fits.
        target.m_count = std::min(frames, target.m_capacity);
        target.FillSilence(target.m_count);
        if (target.m_data != nullptr && m_data != nullptr)
            CopySamplesStrided(m_data + size_t { c } * m_bytesPerSample, channels, target.m_data, 1,
                m_bytesPerSample, target.m_count);
    }
}

void CSndIOBuffer::Clear() noexcept
{
    m_count = 0;
    FillSilence(0);
}

void CSndIOBuffer::SetCount(uint32_t samples) noexcept { m_count = std::min(samples, m_capacity); }

int CreateBufferArray(CSndIOBuffer*& array, SampleType type, uint32_t samples, int n) noexcept
{
    array = nullptr;
    if (n <= 0)
        return 0;
    auto* buffers = new (std::nothrow) CSndIOBuffer[static_cast<size_t>(n)];
    if (buffers == nullptr)
        return 0;
    for (int i = 0; i < n; ++i) {
        if (buffers[i].Allocate(type, samples) == 0) {
            delete[] buffers;
            return 0;
        }
    }
    array = buffers;
    return 1;
}

void DestroyBufferArray(CSndIOBuffer*& array, [[maybe_unused]] int n) noexcept
{
    delete[] array; // the array knows its own length; n is kept for the callers' symmetry
    array = nullptr;
}
