#include "meter/SndSP.h"

#include "sndio/SampleType.h"

#include <cstring>

CSndSP::~CSndSP() = default;

int CSndSP::Init() { return kOk; }

int CSndSP::Process(CSndIOBuffer* /*outputs*/, uint32_t /*outputCount*/,
    uint32_t /*outputCapacity*/, const CSndIOBuffer* /*inputs*/, uint32_t /*channelCount*/,
    const uint32_t* /*frameCount*/)
{
    return kOk;
}

void CSndSP::WriteResult(CSndIOBuffer& output, double value)
{
    if (!output.HasData() || output.Capacity() == 0 || output.Type() != kerrion::kSampleFloat64)
        return;
    std::memcpy(output.Bytes(), &value, sizeof value);
    output.SetCount(1);
}

// An input of the working type that is not aligned for it: copied byte for byte into the
// working buffer. Convert would do the same and then make the rest of the working buffer
// silent, which costs a clear of the whole buffer per block for samples nobody reads.
bool CSndSP::CopySameType(const CSndIOBuffer& input, CSndIOBuffer& working)
{
    if (input.Type() != working.Type() || !input.HasData() || !working.HasData())
        return false;
    const uint32_t n = std::min(input.Count(), working.Capacity());
    std::memcpy(working.Bytes(), input.Bytes(), size_t { n } * working.BytesPerSample());
    working.SetCount(n);
    return true;
}
