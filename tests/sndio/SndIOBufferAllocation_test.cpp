// Counts every heap allocation of the program (operator new, and malloc/calloc/realloc through
// the linker's --wrap), so the per-block operations can be shown to allocate nothing and the
// allocating ones can be made to fail on demand.
#include "sndio/SndIOBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* p, size_t size);
}

namespace {

std::atomic<long> g_allocations{0}; // every allocation since the program started
std::atomic<long> g_live{0};        // operator new blocks not yet deleted
std::atomic<long> g_failAt{-1};     // allocation number that returns no memory; -1: none

void* CountedAllocate(size_t size)
{
    const long number = g_allocations.fetch_add(1);
    if (number == g_failAt.load())
        return nullptr;
    void* p = __real_malloc(size == 0 ? 1 : size);
    if (p != nullptr)
        g_live.fetch_add(1);
    return p;
}

void CountedFree(void* p)
{
    if (p != nullptr)
        g_live.fetch_sub(1);
    std::free(p);
}

} // namespace

extern "C" {
void* __wrap_malloc(size_t size)
{
    g_allocations.fetch_add(1);
    return __real_malloc(size);
}
void* __wrap_calloc(size_t n, size_t size)
{
    g_allocations.fetch_add(1);
    return __real_calloc(n, size);
}
void* __wrap_realloc(void* p, size_t size)
{
    g_allocations.fetch_add(1);
    return __real_realloc(p, size);
}
}

void* operator new(size_t size)
{
    void* p = CountedAllocate(size);
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
    return CountedAllocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return CountedAllocate(size);
}
void operator delete(void* p) noexcept
{
    CountedFree(p);
}
void operator delete[](void* p) noexcept
{
    CountedFree(p);
}
void operator delete(void* p, size_t) noexcept
{
    CountedFree(p);
}
void operator delete[](void* p, size_t) noexcept
{
    CountedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    CountedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    CountedFree(p);
}

using namespace kerrion;

namespace {

constexpr uint32_t kFrames = 256;
const SampleType kTypes[] = {14, 15, 16, 17, 18, 19, 20, 24, 25, 26, 27};

// Fails allocation number `first + offset` (counted from now) for the life of the object.
class FailingAllocation {
public:
    explicit FailingAllocation(long offset) { g_failAt = g_allocations.load() + offset; }
    ~FailingAllocation() { g_failAt = -1; }
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
};

} // namespace

TEST(SndIOBufferAllocation, PerBlockOperationsAllocateNothing)
{
    CSndIOBuffer* sources = nullptr;
    CSndIOBuffer* targets = nullptr;
    ASSERT_EQ(CreateBufferArray(sources, kSampleInt16, kFrames, 11), 1);
    ASSERT_EQ(CreateBufferArray(targets, kSampleInt16, kFrames, 11), 1);
    for (int i = 0; i < 11; ++i) {
        ASSERT_EQ(sources[i].Allocate(kTypes[i], kFrames), 1);
        ASSERT_EQ(targets[i].Allocate(kTypes[i], kFrames * 2), 1);
    }
    CSndIOBuffer block;
    ASSERT_EQ(block.Allocate(kSampleInt32, kFrames * 4), 1);
    CSndIOBuffer view;

    const long before = g_allocations.load();
    for (const CSndIOBuffer* source = sources; source != sources + 11; ++source) {
        for (CSndIOBuffer* target = targets; target != targets + 11; ++target) {
            target->Convert(*source);
            target->Clear();
            target->Append(*source);
            target->Append(*source);
        }
    }
    view.Convert(sources[3]);
    block.Interleave(&sources[4], 4);
    block.Deinterleave(&targets[4], 4);
    block.Interleave(&sources[4], 1);
    block.Deinterleave(&targets[4], 1);
    EXPECT_EQ(g_allocations.load(), before);

    DestroyBufferArray(sources, 11);
    DestroyBufferArray(targets, 11);
}

TEST(SndIOBufferAllocation, AllocateReportsFailureWithAnEmptyBuffer)
{
    CSndIOBuffer buffer;
    ASSERT_EQ(buffer.Allocate(kSampleInt16, 64), 1);
    const long live = g_live.load();
    {
        FailingAllocation fail(0);
        EXPECT_EQ(buffer.Allocate(kSampleFloat64, 64), 0);
    }
    EXPECT_FALSE(buffer.HasData());
    EXPECT_FALSE(buffer.OwnsData());
    EXPECT_EQ(buffer.Type(), 0U);
    EXPECT_EQ(buffer.Capacity(), 0U);
    EXPECT_EQ(buffer.Count(), 0U);
    EXPECT_EQ(g_live.load(), live - 1) << "the old samples were freed";
    EXPECT_EQ(buffer.Allocate(kSampleFloat64, 64), 1);
}

TEST(SndIOBufferAllocation, CreateBufferArrayLeavesNothingBehindOnFailure)
{
    // Allocation 0 is the array itself, 1 to 8 are the buffers' samples.
    for (long failing : {0L, 1L, 4L, 8L}) {
        const long live = g_live.load();
        CSndIOBuffer* array = nullptr;
        {
            FailingAllocation fail(failing);
            EXPECT_EQ(CreateBufferArray(array, kSampleInt24, 4096, 8), 0) << failing;
        }
        EXPECT_EQ(array, nullptr);
        EXPECT_EQ(g_live.load(), live) << "allocation " << failing << " failed";
    }
}
