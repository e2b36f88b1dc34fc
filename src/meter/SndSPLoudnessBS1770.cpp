#include "meter/SndSPLoudnessBS1770.h"

#include "meter/FlushToZeroScope.h"

#include <algorithm>
#include <cmath>

namespace {

// ITU-R BS.1770-4, tables 1 and 2: the K-weighting stages at 48 kHz as published.
constexpr double kShelfB0 = 1.53512485958697;
constexpr double kShelfB1 = -2.69169618940638;
constexpr double kShelfB2 = 1.19839281085285;
constexpr double kShelfA1 = -1.69065929318241;
constexpr double kShelfA2 = 0.73248077421585;
constexpr double kHighPassB0 = 1.0;
constexpr double kHighPassB1 = -2.0;
constexpr double kHighPassB2 = 1.0;
constexpr double kHighPassA1 = -1.99004745483398;
constexpr double kHighPassA2 = 0.99007225036621;

constexpr uint32_t kChunksPerRing
    = kerrion::WindowSums::ChunkCount(CSndSPLoudnessBS1770::kRingCapacity);
constexpr uint32_t kGroupsPerRing
    = kerrion::WindowSums::GroupCount(CSndSPLoudnessBS1770::kRingCapacity);
constexpr size_t kSumsPerChannel = size_t { kChunksPerRing } + kGroupsPerRing;

} // namespace

CSndSPLoudnessBS1770::~CSndSPLoudnessBS1770() = default;

// Channel order of the meters: L, R, C, LFE, Ls, Rs, then meters 7 and 8.
// The first six weights are this meter's own table (LFE at 10.0 included); BS.1770 gives the
// surround pair 1.41 (+1.5 dB). Meters 7 and 8 carry the back surround pair of a 7.1 layout
// (L, R, C, LFE, Ls, Rs, Lb, Rb), at azimuths of about 135 to 150 degrees; BS.1770-4 weights
// 1.41 only the channels between 60 and 120 degrees and every other main channel 1.0, so meters
// 7 and 8 weigh 1.0. Excluding them instead would let two assigned, visible meters vanish from
// the loudness. Channels beyond the eighth (the engine passes eight) weigh 1.0 for the same
// reason.
double CSndSPLoudnessBS1770::ChannelWeight(uint32_t c)
{
    static constexpr std::array<double, 8> kWeights = { 1.0, 1.0, 1.0, 10.0, 1.41, 1.41, 1.0, 1.0 };
    return c < kWeights.size() ? kWeights[c] : 1.0;
}

double CSndSPLoudnessBS1770::InputScale(kerrion::SampleType type)
{
    const int width = kerrion::SampleIntegerWidth(type);
    return width > 0 ? std::ldexp(1.0, width - 1) : 32768.0;
}

int CSndSPLoudnessBS1770::Init()
{
    Release();
    m_stage1Coefficients = { kShelfB0, kShelfB1, kShelfB2, kShelfA1, kShelfA2 };
    m_stage2Coefficients = { kHighPassB0, kHighPassB1, kHighPassB2, kHighPassA1, kHighPassA2 };
    for (uint32_t c = 0; c < kMaxChannels; ++c)
        m_weights[c] = ChannelWeight(c);
    m_offset = kOffsetDb;
    m_referenceRate = kReferenceRate;
    m_effectiveWindow = m_requestedWindow;
    if (!Allocate()) {
        Release();
        return kNoMemory;
    }
    m_ringPosition.fill(0);
    for (auto& stages : m_state)
        stages = {};
    m_channelsTouched = 0;
    const double window = std::clamp(m_effectiveWindow, kMinWindow, kMaxWindow);
    m_window = static_cast<uint32_t>(window * m_referenceRate);
    auto* sums = static_cast<double*>(m_sumMemory.Data());
    for (uint32_t c = 0; c < kMaxChannels; ++c) {
        double* chunkSums = sums + kSumsPerChannel * c;
        m_sums[c].Bind(
            m_rings[c].Samples<double>(), chunkSums, chunkSums + kChunksPerRing, m_window);
    }
    m_ready = true;
    return kOk;
}

bool CSndSPLoudnessBS1770::Allocate()
{
    using kerrion::kSampleFloat64;
    return m_working.Create(kSampleFloat64, kMaxBlockFrames, kMaxChannels)
        && m_rings.Create(kSampleFloat64, kRingCapacity, kMaxChannels)
        && m_sumMemory.Allocate(kSumsPerChannel * kMaxChannels * sizeof(double));
}

void CSndSPLoudnessBS1770::Release()
{
    m_ready = false;
    for (auto& sums : m_sums)
        sums.Bind(nullptr, nullptr, nullptr, 0);
    m_working.Destroy();
    m_rings.Destroy();
    m_sumMemory.Free();
}

int CSndSPLoudnessBS1770::Process(CSndIOBuffer* outputs, uint32_t /*outputCount*/,
    uint32_t /*outputCapacity*/, const CSndIOBuffer* inputs, uint32_t channelCount,
    const uint32_t* /*frameCount*/)
{
    if (!m_ready || outputs == nullptr)
        return kOk;
    const kerrion::FlushToZeroScope flushToZero;
    m_effectiveWindow = std::clamp(m_requestedWindow, kMinWindow, kMaxWindow);
    const auto window = static_cast<uint32_t>(m_effectiveWindow * m_referenceRate);
    if (window != m_window)
        SetWindow(window);

    const uint32_t channels = inputs != nullptr ? ClampChannels(channelCount) : 0;
    const double invScale = channels > 0 ? 1.0 / InputScale(inputs[0].Type()) : 1.0;
    for (uint32_t c = 0; c < channels; ++c)
        FilterChannel(inputs[c], c, invScale, window);

    double sum = 0.0;
    for (uint32_t c = 0; c < channels; ++c) {
        const double mean = m_sums[c].Total() / window;
        sum += mean * m_weights[c];
    }
    WriteResult(outputs[0], sum < 1e-300 ? kSilenceLkfs : 10.0 * std::log10(sum) + m_offset);
    return kOk;
}

// The window length changed between blocks: rings keep their entries, positions are taken
// modulo the new length, and the sums of the rings that hold data are made again (once).
void CSndSPLoudnessBS1770::SetWindow(uint32_t samples)
{
    m_window = samples;
    for (uint32_t c = 0; c < kMaxChannels; ++c) {
        if (c < m_channelsTouched)
            m_sums[c].Rebuild(samples);
        else
            m_sums[c].Bind(m_rings[c].Samples<double>(),
                static_cast<double*>(m_sumMemory.Data()) + kSumsPerChannel * c,
                static_cast<double*>(m_sumMemory.Data()) + kSumsPerChannel * c + kChunksPerRing,
                samples);
    }
}

void CSndSPLoudnessBS1770::FilterChannel(
    const CSndIOBuffer& input, uint32_t c, double invScale, uint32_t window)
{
    uint32_t n = 0;
    const double* x = ReadBlock<double>(input, m_working[c], n);
    const uint32_t first = m_ringPosition[c] % window;
    m_ringPosition[c] = first;
    if (x != nullptr && n > 0) {
        RunFilters(x, n, invScale, c, window);
        m_sums[c].Update(first, n);
        m_channelsTouched = std::max(m_channelsTouched, c + 1);
    }
    m_rings[c].SetCount(std::min(kRingCapacity, window));
}

// Both K-weighting stages in direct form II, then the squares into the ring, in one pass:
//   w = x - a1 w1 - a2 w2;  y = b0 w + b1 w1 + b2 w2.
void CSndSPLoudnessBS1770::RunFilters(
    const double* x, uint32_t n, double invScale, uint32_t c, uint32_t window)
{
    const Biquad f = m_stage1Coefficients;
    const Biquad g = m_stage2Coefficients;
    BiquadState& s = m_state[c][0];
    BiquadState& t = m_state[c][1];
    double sw1 = s.w1, sw2 = s.w2, tw1 = t.w1, tw2 = t.w2;
    double* ring = m_rings[c].Samples<double>();
    uint32_t p = m_ringPosition[c];
    for (uint32_t i = 0; i < n; ++i) {
        const double in = x[i] * invScale; // exact: the scale is a power of two
        const double sw = in - f.a1 * sw1 - f.a2 * sw2;
        const double y1 = f.b0 * sw + f.b1 * sw1 + f.b2 * sw2;
        sw2 = sw1;
        sw1 = sw;
        const double tw = y1 - g.a1 * tw1 - g.a2 * tw2;
        const double y2 = g.b0 * tw + g.b1 * tw1 + g.b2 * tw2;
        tw2 = tw1;
        tw1 = tw;
        ring[p] = y2 * y2;
        if (++p == window)
            p = 0;
    }
    const auto flush = [](double w) { return std::fabs(w) < kFlushBelow ? 0.0 : w; };
    s = { flush(sw1), flush(sw1), flush(sw2) };
    t = { flush(tw1), flush(tw1), flush(tw2) };
    m_ringPosition[c] = p;
}
