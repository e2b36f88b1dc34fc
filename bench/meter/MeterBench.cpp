// Cost of the metering processors per channel-sample, for 8 channels of 32-bit input (what
// the low-latency drivers deliver) and 16-bit input (plain devices), at the block sizes the
// devices use. "per_ch_sample" (CPU time, "n" = ns) is the figure to compare; "All" runs peak, VU
// and loudness in the engine's order. "Silence" runs them on digital silence after a loud start,
// which must cost the same as signal. "Needle/*" runs the needle processor with every channel of
// one type, to compare with "VU" (the needle every meter had before).

#include "meter/SndSPLoudnessBS1770.h"
#include "meter/SndSPLoudnessR128.h"
#include "meter/SndSPNeedle.h"
#include "meter/SndSPPeak.h"
#include "meter/SndSPVU.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kChannels = 8;

enum Which { kPeak = 1, kVU = 2, kLoudness = 4, kAll = 7, kNeedle = 8 };

class Bench {
public:
    Bench(kerrion::SampleType type, uint32_t frames)
        : m_frames(frames)
    {
        CreateBufferArray(m_in, type, frames, kChannels);
        CreateBufferArray(m_out, kerrion::kSampleFloat64, 16384, kChannels);
        m_peak.Init();
        m_vu.InitFilter(48000.0, 1.8, 2);
        m_vu.SetReference(-20);
        m_loudness.SetRequestedWindow(3.0);
        m_loudness.Init();
        m_needle.Init(48000.0);
        Fill(0.3);
    }
    ~Bench()
    {
        DestroyBufferArray(m_in, kChannels);
        DestroyBufferArray(m_out, kChannels);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // A different sine on every channel at `level` of full scale (0: digital silence).
    void Fill(double level)
    {
        for (int c = 0; c < kChannels; ++c) {
            for (uint32_t i = 0; i < m_frames; ++i) {
                const double x = level * std::sin(0.05 * (c + 1) * i);
                if (m_in[c].Type() == kerrion::kSampleInt16)
                    m_in[c].Samples<int16_t>()[i] = static_cast<int16_t>(x * 32767.0);
                else
                    m_in[c].Samples<int32_t>()[i] = static_cast<int32_t>(x * 2147483647.0);
            }
        }
    }

    void Run(int which)
    {
        if (which & kPeak)
            m_peak.Process(m_out, kChannels, 16384, m_in, kChannels, &m_frames);
        if (which & kVU)
            m_vu.Process(m_out, kChannels, 16384, m_in, kChannels, &m_frames);
        if (which & kLoudness)
            m_loudness.Process(m_out, kChannels, 16384, m_in, kChannels, &m_frames);
        if (which & kNeedle)
            m_needle.Process(m_out, kChannels, 16384, m_in, kChannels, &m_frames);
    }

    void SetNeedle(kerrion::NeedleType type)
    {
        for (uint32_t c = 0; c < kChannels; ++c)
            m_needle.SetType(c, type);
    }

    double Result() const { return m_out[0].Samples<double>()[0]; }

private:
    CSndSPPeak m_peak;
    CSndSPVU m_vu;
    CSndSPLoudnessBS1770 m_loudness;
    CSndSPNeedle m_needle;
    CSndIOBuffer* m_in = nullptr;
    CSndIOBuffer* m_out = nullptr;
    uint32_t m_frames;
};

void Measure(benchmark::State& state, int which, kerrion::SampleType type, bool silence,
    kerrion::NeedleType needle = kerrion::NeedleType::kVu)
{
    const auto frames = static_cast<uint32_t>(state.range(0));
    Bench bench(type, frames);
    bench.SetNeedle(needle);
    if (silence) {
        // Loud for a second, then 30 s of silence: every filter state has decayed to zero.
        for (uint32_t done = 0; done < 48000; done += frames)
            bench.Run(kAll);
        bench.Fill(0.0);
        for (uint32_t done = 0; done < 30 * 48000; done += frames)
            bench.Run(kAll);
    }
    for (auto _ : state) {
        bench.Run(which);
        benchmark::DoNotOptimize(bench.Result());
    }
    // CPU seconds per channel-sample, printed with its SI prefix (n = ns).
    state.counters["per_ch_sample"] = benchmark::Counter(static_cast<double>(frames) * kChannels,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int frames : { 64, 256, 1024, 4096 })
        b->Arg(frames);
}

void ShortAndLong(benchmark::internal::Benchmark* b) { b->Arg(64)->Arg(1024); }

constexpr kerrion::SampleType kI32 = kerrion::kSampleInt32;

// Every channel's needle of `type`, on a moving signal.
void Needle(benchmark::State& state, kerrion::NeedleType type, kerrion::SampleType sampleType)
{
    Measure(state, kNeedle, sampleType, false, type);
}

// The broadcast loudness (K-weighting, 100 ms steps, histograms, 4x true peak) of a programme
// layout over eight 32-bit meter buffers; per_ch_sample counts the programme's channels only.
void MeasureR128(benchmark::State& state, kerrion::LoudnessLayout layout)
{
    const auto frames = static_cast<uint32_t>(state.range(0));
    CSndIOBuffer* in = nullptr;
    CreateBufferArray(in, kerrion::kSampleInt32, frames, kChannels);
    for (int c = 0; c < kChannels; ++c)
        for (uint32_t i = 0; i < frames; ++i)
            in[c].Samples<int32_t>()[i] = static_cast<int32_t>(0.3 * std::sin(0.05 * (c + 1) * i) * 2147483647.0);
    CSndSPLoudnessR128 meter;
    meter.SetRate(48000.0);
    meter.SetLayout(layout);
    meter.Init();
    for (auto _ : state) {
        meter.Process(nullptr, 0, 0, in, kChannels, &frames);
        benchmark::DoNotOptimize(meter.GetReadings().momentary);
    }
    const int channels = kerrion::ChannelsOf(layout).count;
    state.counters["per_ch_sample"] = benchmark::Counter(static_cast<double>(frames) * channels,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    DestroyBufferArray(in, kChannels);
}

} // namespace

BENCHMARK_CAPTURE(MeasureR128, R128_Stereo, kerrion::LoudnessLayout::Stereo)->Arg(64)->Arg(4096);
BENCHMARK_CAPTURE(MeasureR128, R128_71, kerrion::LoudnessLayout::Surround71)->Arg(64)->Arg(4096);
BENCHMARK_CAPTURE(Measure, Peak_32bit, kPeak, kerrion::kSampleInt32, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, VU_32bit, kVU, kerrion::kSampleInt32, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Needle, VuIec_32bit, kerrion::NeedleType::kVuIec, kI32)->Apply(ShortAndLong);
BENCHMARK_CAPTURE(Needle, PpmDin_32bit, kerrion::NeedleType::kPpmDin, kI32)->Apply(ShortAndLong);
BENCHMARK_CAPTURE(Needle, PpmNordic_32bit, kerrion::NeedleType::kPpmNordic, kI32)
    ->Apply(ShortAndLong);
BENCHMARK_CAPTURE(Needle, PpmBbc_32bit, kerrion::NeedleType::kPpmBbc, kI32)->Apply(ShortAndLong);
BENCHMARK_CAPTURE(Needle, PpmEbu_32bit, kerrion::NeedleType::kPpmEbu, kI32)->Apply(ShortAndLong);
BENCHMARK_CAPTURE(Needle, PpmBbc_16bit, kerrion::NeedleType::kPpmBbc, kerrion::kSampleInt16)
    ->Arg(64);
BENCHMARK_CAPTURE(Measure, VU_16bit, kVU, kerrion::kSampleInt16, false)->Arg(64);
BENCHMARK_CAPTURE(Measure, Loudness_32bit, kLoudness, kerrion::kSampleInt32, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, All_32bit, kAll, kerrion::kSampleInt32, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, All_16bit, kAll, kerrion::kSampleInt16, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, All_32bit_Silence, kAll, kerrion::kSampleInt32, true)->Apply(Sizes);

BENCHMARK_MAIN();
