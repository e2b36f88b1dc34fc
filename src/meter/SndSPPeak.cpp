#include "meter/SndSPPeak.h"

#include <cmath>

CSndSPPeak::~CSndSPPeak() = default;

int CSndSPPeak::Init()
{
    return m_working.Create(kerrion::kSampleInt16, kMaxBlockFrames, kMaxChannels) ? kOk : kNoMemory;
}

int CSndSPPeak::Process(CSndIOBuffer* outputs, uint32_t /*outputCount*/,
    uint32_t /*outputCapacity*/, const CSndIOBuffer* inputs, uint32_t channelCount,
    const uint32_t* /*frameCount*/)
{
    if (m_working.Empty() || outputs == nullptr || inputs == nullptr)
        return kOk;
    const uint32_t channels = ClampChannels(channelCount);
    for (uint32_t c = 0; c < channels; ++c) {
        uint32_t n = 0;
        const int16_t* samples = ReadBlock<int16_t>(inputs[c], m_working[c], n);
        // |s| in int keeps -32768 as 32768; the loop vectorises.
        int peak = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const int s = samples[i];
            peak = std::max(peak, s < 0 ? -s : s);
        }
        WriteResult(outputs[c], static_cast<double>(peak));
    }
    return kOk;
}

double CSndSPPeak::PeakLevelDb(double p)
{
    if (p < 1e-300)
        return -96.0;
    return 20.0 * std::log10(p * 3.0517578125e-05);
}
