#include "meter/SndSPVU.h"

#include "meter/FlushToZeroScope.h"

#include <cmath>
#include <new>

CSndSPVU::~CSndSPVU() = default;

int CSndSPVU::InitFilter(double /*sampleRate*/, double cutoff, int order)
{
    m_filters.reset();
    if (!m_working.Create(kerrion::kSampleInt16, kMaxBlockFrames, kMaxChannels)
        || !m_rectified.Allocate(size_t { kMaxBlockFrames } * sizeof(double))) {
        m_working.Destroy();
        return kNoMemory;
    }
    std::unique_ptr<CBwLPF[]> filters(new (std::nothrow) CBwLPF[kMaxChannels]);
    bool designed = filters != nullptr;
    for (uint32_t c = 0; designed && c < kMaxChannels; ++c) {
        filters[c].SetFs(kDesignRate);
        filters[c].SetFcutoff(cutoff);
        filters[c].SetOrder(order);
        filters[c].SetFixedOrder(1);
        designed = filters[c].Design() == 1;
    }
    if (!designed) {
        m_working.Destroy();
        m_rectified.Free();
        return kNoMemory;
    }
    m_filters = std::move(filters);
    return kOk;
}

int CSndSPVU::InitFilter(double cutoff, int order)
{
    return InitFilter(kDesignRate, cutoff, order);
}

const CBwLPF* CSndSPVU::GetFilter(uint32_t c) const
{
    return m_filters && c < kMaxChannels ? &m_filters[c] : nullptr;
}

int CSndSPVU::Process(CSndIOBuffer* outputs, uint32_t /*outputCount*/, uint32_t /*outputCapacity*/,
    const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* /*frameCount*/)
{
    if (!m_filters || outputs == nullptr || inputs == nullptr)
        return kOk;
    const kerrion::FlushToZeroScope flushToZero;
    const uint32_t channels = ClampChannels(channelCount);
    for (uint32_t c = 0; c < channels; ++c)
        WriteResult(outputs[c], ChannelLevel(inputs[c], c));
    return kOk;
}

double CSndSPVU::ChannelLevel(const CSndIOBuffer& input, uint32_t c)
{
    uint32_t n = 0;
    const int16_t* samples = ReadBlock<int16_t>(input, m_working[c], n);
    if (samples == nullptr || n == 0)
        return kEmptyBlockLevel;
    auto* rectified = static_cast<double*>(m_rectified.Data());
    for (uint32_t i = 0; i < n; ++i)
        rectified[i] = std::fabs(static_cast<double>(samples[i]));
    m_filters[c].FilterBlock(rectified, n);
    m_filters[c].FlushBelow(kFlushBelow);
    const double y = rectified[n - 1];
    if (y >= 0.5)
        return 20.0 * std::log10(y / 32767.0) - m_referenceDb + kSineCorrectionDb;
    return kSilenceDb;
}
