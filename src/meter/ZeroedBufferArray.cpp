#include "meter/ZeroedBufferArray.h"

#include <new>

namespace kerrion {

bool ZeroedBufferArray::Create(SampleType type, uint32_t samples, uint32_t count) noexcept
{
    Destroy();
    const size_t bytesPerBuffer = size_t { samples } * SampleBytes(type);
    if (count == 0 || bytesPerBuffer == 0 || !m_memory.Allocate(bytesPerBuffer * count))
        return false;
    m_buffers.reset(new (std::nothrow) CSndIOBuffer[count]);
    if (!m_buffers) {
        m_memory.Free();
        return false;
    }
    auto* bytes = static_cast<uint8_t*>(m_memory.Data());
    for (uint32_t i = 0; i < count; ++i) {
        m_buffers[i].Attach(bytes + bytesPerBuffer * i, type, samples);
        m_buffers[i].SetCount(0);
    }
    m_count = count;
    return true;
}

void ZeroedBufferArray::Destroy() noexcept
{
    m_buffers.reset();
    m_memory.Free();
    m_count = 0;
}

} // namespace kerrion
