// Counts every allocation of the program (operator new; malloc, calloc, realloc and mmap
// through the linker's --wrap), to show that no processor allocates in Process, and fails
// chosen allocations to show that a processor whose set-up failed produces nothing.

#include "meter/SndSPLoudnessBS1770.h"
#include "meter/SndSPLoudnessMarvane.h"
#include "meter/SndSPPeak.h"
#include "meter/SndSPVU.h"

#include "meter/MeterSignals.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* p, size_t size);
void* __real_mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset);
}

namespace {

std::atomic<long> g_allocations { 0 }; // every allocation since the program started
std::atomic<long> g_failAt { -1 }; // allocation number that gets no memory; -1: none

// Counts one allocation; false when it is the one to fail.
bool CountAllocation()
{
    return g_allocations.fetch_add(1) != g_failAt.load();
}

void* CountedNew(size_t size)
{
    return CountAllocation() ? __real_malloc(size == 0 ? 1 : size) : nullptr;
}

// Out of line, so that the compiler does not see operator delete calling free.
[[gnu::noinline]] void CountedDelete(void* p)
{
    std::free(p);
}

} // namespace

extern "C" {
void* __wrap_malloc(size_t size)
{
    return CountAllocation() ? __real_malloc(size) : nullptr;
}
void* __wrap_calloc(size_t n, size_t size)
{
    return CountAllocation() ? __real_calloc(n, size) : nullptr;
}
void* __wrap_realloc(void* p, size_t size)
{
    return CountAllocation() ? __real_realloc(p, size) : nullptr;
}
void* __wrap_mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset)
{
    if (!CountAllocation())
        return MAP_FAILED;
    return __real_mmap(address, length, protection, flags, fd, offset);
}
}

void* operator new(size_t size)
{
    void* p = CountedNew(size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return CountedNew(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return CountedNew(size);
}
void operator delete(void* p) noexcept
{
    CountedDelete(p);
}
void operator delete[](void* p) noexcept
{
    CountedDelete(p);
}
void operator delete(void* p, size_t) noexcept
{
    CountedDelete(p);
}
void operator delete[](void* p, size_t) noexcept
{
    CountedDelete(p);
}

using kerrion::test::ChannelSet;

namespace {

constexpr int kChannels = 8;

struct Processors {
    CSndSPPeak peak;
    CSndSPVU vu;
    CSndSPLoudnessMarvane marvane;
    CSndSPLoudnessBS1770 loudness;

    void Init()
    {
        ASSERT_EQ(peak.Init(), 1);
        ASSERT_EQ(vu.InitFilter(48000.0, 1.8, 4), 1);
        ASSERT_EQ(marvane.Init(), 1);
        ASSERT_EQ(loudness.Init(), 1);
    }
    void Process(ChannelSet& out, ChannelSet& in, uint32_t channels)
    {
        for (CSndSP* p : { static_cast<CSndSP*>(&peak), static_cast<CSndSP*>(&vu),
                 static_cast<CSndSP*>(&marvane), static_cast<CSndSP*>(&loudness) })
            p->Process(out.Data(), 70, 16384, in.Data(), channels, nullptr);
    }
};

} // namespace

TEST(MeterAllocation, ProcessAllocatesNothing)
{
    Processors processors;
    processors.Init();
    ChannelSet out(kerrion::kSampleFloat64, 16384, 70);
    std::vector<std::unique_ptr<ChannelSet>> inputs;
    for (kerrion::SampleType type : { kerrion::kSampleInt16, kerrion::kSampleInt32,
             kerrion::kSampleFloat32, kerrion::kSampleFloat64, kerrion::kSampleInt32Lsb24 })
        inputs.push_back(std::make_unique<ChannelSet>(type, 32768, 70));
    for (auto& set : inputs)
        for (int c = 0; c < 70; ++c)
            kerrion::test::Store((*set)[c], kerrion::test::Sine(1000.0 + c, 440.0, 4096));

    const long before = g_allocations.load();
    for (int round = 0; round < 3; ++round) {
        for (uint32_t frames : { 1u, 63u, 64u, 256u, 1024u, 4096u }) {
            for (auto& set : inputs) {
                for (int c = 0; c < 70; ++c)
                    (*set)[c].SetCount(frames);
                processors.Process(out, *set, kChannels);
            }
        }
        processors.loudness.SetRequestedWindow(round == 1 ? 1.5 : 3.0); // window change
        processors.Process(out, *inputs[0], 0);
        processors.Process(out, *inputs[1], 70);
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
}

// Fails each allocation of a processor's set-up in turn: the set-up reports kNoMemory and
// the processor then writes nothing, until no allocation is left to fail.
TEST(MeterAllocation, FailedSetUpProducesNothing)
{
    const std::vector<std::pair<const char*, std::function<int(CSndSP*&)>>> makers = {
        { "peak",
            [](CSndSP*& p) {
                auto* q = new CSndSPPeak;
                p = q;
                return q->Init();
            } },
        { "vu",
            [](CSndSP*& p) {
                auto* q = new CSndSPVU;
                p = q;
                return q->InitFilter(1.8, 3);
            } },
        { "marvane",
            [](CSndSP*& p) {
                auto* q = new CSndSPLoudnessMarvane;
                p = q;
                return q->Init();
            } },
        { "loudness",
            [](CSndSP*& p) {
                auto* q = new CSndSPLoudnessBS1770;
                p = q;
                return q->Init();
            } },
    };
    ChannelSet in(kerrion::kSampleInt16, 256, kChannels);
    ChannelSet out(kerrion::kSampleFloat64, 4, kChannels);
    for (int c = 0; c < kChannels; ++c)
        kerrion::test::Store(in[c], kerrion::test::Sine(5000.0, 1000.0, 256));

    for (const auto& [name, make] : makers) {
        int failures = 0;
        for (long k = 1;; ++k) { // allocation 0 is the processor object itself
            SCOPED_TRACE(testing::Message() << name << ", allocation " << k);
            CSndSP* processor = nullptr;
            g_failAt = g_allocations.load() + k;
            const int result = make(processor);
            const bool hit = g_allocations.load() > g_failAt.load();
            g_failAt = -1;
            out.Poison();
            EXPECT_EQ(
                processor->Process(out.Data(), kChannels, 4, in.Data(), kChannels, nullptr), 1);
            delete processor;
            if (!hit) {
                EXPECT_EQ(result, CSndSP::kOk);
                break;
            }
            ++failures;
            ASSERT_EQ(result, CSndSP::kNoMemory);
            for (int c = 0; c < kChannels; ++c)
                ASSERT_EQ(out[c].Count(), 0u);
        }
        EXPECT_GT(failures, 0) << name;
    }
}
