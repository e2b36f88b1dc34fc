#include "meter/EngineBuffers.h"

namespace kerrion {

bool BufferArray::Create(SampleType type, uint32_t samples, int count)
{
    DestroyBufferArray(m_buffers, m_count);
    m_count = 0;
    if (count <= 0)
        return true;
    if (CreateBufferArray(m_buffers, type, samples, count) != 1)
        return false;
    m_count = count;
    return true;
}

void BufferArray::Clear() const
{
    for (int i = 0; i < m_count; ++i)
        m_buffers[i].Clear();
}

bool EngineBuffers::Create(int outputs, int inputs, int processorChannels, int dumpChannels,
    SampleType blockType, uint32_t blockFrames)
{
    if (!output.Create(blockType, blockFrames, outputs) || !input.Create(blockType, blockFrames, inputs)
        || !meters.Create(blockType, blockFrames, kMeters))
        return false;
    for (BufferArray& set : results) {
        if (!set.Create(kSampleFloat64, kResultCapacity, processorChannels))
            return false;
        set.Clear(); // no values yet: a processor that writes none leaves its levels alone
    }
    if (!dump.Create(kSampleInt16, blockFrames, dumpChannels))
        return false;
    if (dumpChannels > 0
        && interleave.Allocate(kSampleInt16, blockFrames * static_cast<uint32_t>(dumpChannels)) != 1)
        return false;
    return true;
}

} // namespace kerrion
