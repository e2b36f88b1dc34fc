#include "meter/SndSPLoudnessR128.h"

#include "meter/FlushToZeroScope.h"

#include <algorithm>
#include <cmath>
#include <new>

using kerrion::LoudnessHistogram;
using kerrion::LoudnessReadings;

namespace {

// Filter states below this (full scale 1.0) are set to zero after every block, so that in
// silence they end at zero rather than in subnormal numbers.
constexpr double kFlushBelow = 1e-150;

double LoudnessOrFloor(double energy)
{
    return energy > 0.0 ? std::max(LoudnessReadings::kFloor, LoudnessHistogram::LoudnessOf(energy))
                        : LoudnessReadings::kFloor;
}

double PeakDb(double peak)
{
    return peak > 0.0 ? std::max(LoudnessReadings::kFloor, 20.0 * std::log10(peak))
                      : LoudnessReadings::kFloor;
}

// NaN counts as below everything.
double Highest(double seen, double value)
{
    return std::isnan(seen) ? value : std::max(seen, value);
}

double FullScaleOf(kerrion::SampleType type)
{
    const int width = kerrion::SampleIntegerWidth(type);
    return width > 0 ? std::ldexp(1.0, width - 1) : 1.0;
}

} // namespace

CSndSPLoudnessR128::~CSndSPLoudnessR128() = default;

int CSndSPLoudnessR128::Init()
{
    m_ready = false;
    m_channels = kerrion::ChannelsOf(m_layout);
    m_shelf = kerrion::KWeighting::Shelf(m_rate);
    m_highPass = kerrion::KWeighting::HighPass(m_rate);
    m_stepFrames = std::max<uint32_t>(1, static_cast<uint32_t>(std::lround(m_rate / 10.0)));
    try {
        if (!m_gated)
            m_gated = std::make_unique<LoudnessHistogram>();
        if (!m_range)
            m_range = std::make_unique<LoudnessHistogram>();
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    if (!m_working.Create(kerrion::kSampleFloat64, kMaxBlockFrames, kChannels)
        || !m_floats.Create(kerrion::kSampleFloat32, kMaxBlockFrames, kChannels)) {
        m_working.Destroy();
        return kNoMemory;
    }
    for (auto& peak : m_peaks)
        peak.Design(m_rate);
    m_state = {};
    Reset();
    m_ready = true;
    return kOk;
}

void CSndSPLoudnessR128::Reset()
{
    if (m_gated)
        m_gated->Clear();
    if (m_range)
        m_range->Clear();
    // The windows start empty too, so that no gating block or peak after the reset holds
    // programme from before it. The filter states run on: clearing them would make a step.
    m_readings = {};
    m_readings.channels = m_channels.count;
    m_stepSum = {};
    m_stepEnergy = {};
    m_stepFill = 0;
    m_stepIndex = 0;
    m_steps = 0;
    m_stepPeak = LoudnessReadings::kUndefined;
    for (auto& peak : m_peaks)
        peak.Reset();
    m_framesSinceReset = 0;
}

int CSndSPLoudnessR128::Process(CSndIOBuffer* outputs, uint32_t /*outputCount*/,
    uint32_t /*outputCapacity*/, const CSndIOBuffer* inputs, uint32_t channelCount,
    const uint32_t* /*frameCount*/)
{
    if (!m_ready)
        return kOk;
    const kerrion::FlushToZeroScope flushToZero;
    const uint32_t frames = ReadChannels(inputs, channelCount);
    uint32_t done = 0;
    while (done < frames) {
        const uint32_t length = std::min(frames - done, m_stepFrames - m_stepFill);
        for (int c = 0; c < m_channels.count; ++c)
            m_stepSum[static_cast<std::size_t>(c)] += FilterRange(c, done, done + length);
        done += length;
        m_stepFill += length;
        if (m_stepFill == m_stepFrames)
            EndStep();
    }
    UpdateTruePeaks(frames);
    const auto flush = [](double& w) { w = std::fabs(w) < kFlushBelow ? 0.0 : w; };
    for (FilterState& s : m_state) {
        flush(s.s1);
        flush(s.s2);
        flush(s.h1);
        flush(s.h2);
    }
    m_framesSinceReset += frames;
    m_readings.seconds = static_cast<double>(m_framesSinceReset) / m_rate;
    if (outputs != nullptr)
        WriteResult(outputs[0], m_readings.momentary);
    return kOk;
}

// Points every programme channel at this block's samples; returns the block's frames (the
// longest channel; shorter and missing channels are silent for the rest).
uint32_t CSndSPLoudnessR128::ReadChannels(const CSndIOBuffer* inputs, uint32_t channelCount)
{
    uint32_t frames = 0;
    for (int c = 0; c < m_channels.count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const auto meter = static_cast<uint32_t>(m_channels.meter[i]);
        m_block[i] = nullptr;
        m_blockCount[i] = 0;
        if (inputs == nullptr || meter >= channelCount)
            continue;
        uint32_t count = 0;
        m_block[i] = ReadBlock<double>(inputs[meter], m_working[static_cast<uint32_t>(c)], count);
        m_blockCount[i] = m_block[i] != nullptr ? std::min(count, kMaxBlockFrames) : 0;
        m_scale[i] = 1.0 / FullScaleOf(inputs[meter].Type());
        frames = std::max(frames, m_blockCount[i]);
    }
    return frames;
}

// K-weights frames begin .. end - 1 of channel c, returns the sum of their squares and leaves
// the samples as floats for the true peak. Direct form II per stage:
//   w = x - a1 w1 - a2 w2;  y = b0 w + b1 w1 + b2 w2  (the high-pass numerator is 1, -2, 1).
double CSndSPLoudnessR128::FilterRange(int c, uint32_t begin, uint32_t end)
{
    const auto i = static_cast<std::size_t>(c);
    float* peakSamples = m_floats[static_cast<uint32_t>(c)].Samples<float>();
    const uint32_t real = std::clamp(m_blockCount[i], begin, end);
    const double* x = m_block[i];
    const double scale = m_scale[i];
    if (m_channels.weight[i] == 0.0) { // left out of the loudness: only its peak matters
        for (uint32_t n = begin; n < real; ++n)
            peakSamples[n] = static_cast<float>(x[n] * scale);
        std::fill(peakSamples + real, peakSamples + end, 0.0f);
        return 0.0;
    }
    const kerrion::KWeighting::Biquad f = m_shelf;
    const double ha1 = m_highPass.a1;
    const double ha2 = m_highPass.a2;
    FilterState s = m_state[i];
    double sum = 0.0;
    for (uint32_t n = begin; n < end; ++n) {
        const double in = n < real ? x[n] * scale : 0.0;
        peakSamples[n] = static_cast<float>(in);
        const double w = in - f.a1 * s.s1 - f.a2 * s.s2;
        const double y = f.b0 * w + f.b1 * s.s1 + f.b2 * s.s2;
        s.s2 = s.s1;
        s.s1 = w;
        const double v = y - ha1 * s.h1 - ha2 * s.h2;
        const double z = v - 2.0 * s.h1 + s.h2;
        s.h2 = s.h1;
        s.h1 = v;
        sum += z * z;
    }
    m_state[i] = s;
    return sum;
}

// A 100 ms step is complete: new momentary and short-term values, and the blocks they close
// go into the histograms.
void CSndSPLoudnessR128::EndStep()
{
    double energy = 0.0;
    for (int c = 0; c < m_channels.count; ++c)
        energy += m_channels.weight[static_cast<std::size_t>(c)]
            * m_stepSum[static_cast<std::size_t>(c)];
    m_stepSum = {};
    m_stepFill = 0;
    m_stepEnergy[m_stepIndex] = energy;
    m_stepIndex = (m_stepIndex + 1) % kStepsShortTerm;
    ++m_steps;
    m_readings.steps = static_cast<long long>(m_steps);
    m_readings.truePeakStep = m_stepPeak;
    m_stepPeak = LoudnessReadings::kUndefined;
    const auto meanOfLast = [&](int steps) {
        double sum = 0.0;
        for (int k = 1; k <= steps; ++k)
            sum += m_stepEnergy[(m_stepIndex + kStepsShortTerm - k) % kStepsShortTerm];
        return sum / (static_cast<double>(steps) * m_stepFrames);
    };
    LoudnessReadings& r = m_readings;
    if (m_steps >= kStepsMomentary) {
        const double block = meanOfLast(kStepsMomentary);
        r.momentary = LoudnessOrFloor(block);
        r.momentaryMax = Highest(r.momentaryMax, r.momentary);
        m_gated->Add(block);
        r.integrated = m_gated->GatedLoudness(kIntegratedGateLu);
    }
    if (m_steps >= kStepsShortTerm) {
        const double block = meanOfLast(kStepsShortTerm);
        r.shortTerm = LoudnessOrFloor(block);
        r.shortTermMax = Highest(r.shortTermMax, r.shortTerm);
        m_range->Add(block);
        r.range = m_range->Range(kRangeGateLu, kRangeLow, kRangeHigh);
    }
}

void CSndSPLoudnessR128::UpdateTruePeaks(uint32_t frames)
{
    if (frames == 0)
        return;
    for (int c = 0; c < m_channels.count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const float* x = m_floats[static_cast<uint32_t>(c)].Samples<float>();
        const double peak = PeakDb(m_peaks[i].Run(x, frames));
        m_readings.truePeak[i] = Highest(m_readings.truePeak[i], peak);
        m_readings.truePeakMax = Highest(m_readings.truePeakMax, peak);
        m_stepPeak = Highest(m_stepPeak, peak);
    }
}
