// Speed of CSndIOBuffer::Convert on 4096-sample blocks: the equal-type copy against a plain
// memcpy of the same bytes, and samples per second for the conversions the engine and the
// processors use. Prints a summary of ratios after the usual table.
#include "sndio/SndIOBuffer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace kerrion;

namespace {

constexpr uint32_t kBlock = 4096;

// A block of `type` holding one cycle of a sine near full scale in that type's own scale.
void FillSine(CSndIOBuffer& buffer, SampleType type)
{
    CSndIOBuffer sine;
    sine.Allocate(kSampleFloat64, kBlock);
    for (uint32_t i = 0; i < kBlock; ++i)
        sine.Samples<double>()[i] = 2147483000.0 * std::sin(6.283185307179586 * i / kBlock);
    CSndIOBuffer wide;
    wide.Allocate(kSampleInt32, kBlock);
    wide.Convert(sine);
    buffer.Allocate(type, kBlock);
    if (type == kSampleFloat32) {
        for (uint32_t i = 0; i < kBlock; ++i)
            buffer.Samples<float>()[i] = static_cast<float>(sine.Samples<double>()[i] / 65536.0);
    } else {
        buffer.Convert(wide);
    }
}

// memcpy between buffers made exactly as BM_Convert makes them, so both copy the same bytes
// between the same kind of addresses.
void BM_Memcpy(benchmark::State& state)
{
    CSndIOBuffer source;
    FillSine(source, kSampleInt16);
    CSndIOBuffer target;
    target.Allocate(kSampleInt16, kBlock);
    // A size the compiler cannot see, so the C library's memcpy runs rather than an inlined
    // string move.
    size_t bytes = size_t { kBlock } * source.BytesPerSample();
    benchmark::DoNotOptimize(bytes);
    for (auto _ : state) {
        std::memcpy(target.Bytes(), source.Bytes(), bytes);
        benchmark::DoNotOptimize(target.Bytes());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_Convert(benchmark::State& state)
{
    const auto from = static_cast<SampleType>(state.range(0));
    const auto to = static_cast<SampleType>(state.range(1));
    CSndIOBuffer source;
    FillSine(source, from);
    CSndIOBuffer target;
    target.Allocate(to, kBlock);
    for (auto _ : state) {
        target.Convert(source);
        benchmark::DoNotOptimize(target.Bytes());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Convert)
    ->ArgNames({ "from", "to" })
    ->Args({ 16, 16 })
    ->Args({ 16, 18 })
    ->Args({ 18, 16 })
    ->Args({ 17, 16 })
    ->Args({ 19, 16 })
    ->Args({ 16, 20 })
    ->Args({ 18, 20 });

// Keeps each run's time per block and samples per second for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            m_nsPerBlock[run.benchmark_name()] = run.GetAdjustedCPUTime();
            const auto items = run.counters.find("items_per_second");
            if (items != run.counters.end())
                m_samplesPerSecond[run.benchmark_name()] = items->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintSummary() const
    {
        const auto copy = m_nsPerBlock.find("BM_Convert/from:16/to:16");
        const auto plain = m_nsPerBlock.find("BM_Memcpy");
        if (copy != m_nsPerBlock.end() && plain != m_nsPerBlock.end())
            std::printf("\nequal-type copy / memcpy (16-bit, %u samples): %.2fx\n", kBlock,
                copy->second / plain->second);
        for (const auto& [name, rate] : m_samplesPerSecond) {
            if (name.rfind("BM_Convert/", 0) == 0)
                std::printf("%-28s %8.0f million samples/s\n", name.c_str() + 11, rate / 1e6);
        }
    }

private:
    std::map<std::string, double> m_nsPerBlock;
    std::map<std::string, double> m_samplesPerSecond;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
