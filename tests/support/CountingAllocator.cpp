#include "support/CountingAllocator.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <new>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* p, size_t size);
void* __real_mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset);
}

namespace {

std::atomic<long> g_allocations { 0 }; // every allocation since the program started
std::atomic<long> g_live { 0 };        // operator new blocks not yet deleted
std::atomic<long> g_failAt { -1 };     // allocation number that gets no memory; -1: none

// Counts one allocation; false when it is the one to fail.
bool CountAllocation() { return g_allocations.fetch_add(1) != g_failAt.load(); }

void* CountedNew(size_t size)
{
    void* p = CountAllocation() ? __real_malloc(size == 0 ? 1 : size) : nullptr;
    if (p != nullptr)
        g_live.fetch_add(1);
    return p;
}

// Out of line, so that the compiler does not see operator delete calling free.
[[gnu::noinline]] void CountedDelete(void* p)
{
    if (p != nullptr)
        g_live.fetch_sub(1);
    std::free(p);
}

} // namespace

namespace kerrion::test {

long AllocationCount() { return g_allocations.load(); }
long LiveNewBlocks() { return g_live.load(); }
void FailAllocationNumber(long number) { g_failAt = number; }

} // namespace kerrion::test

extern "C" {
void* __wrap_malloc(size_t size) { return CountAllocation() ? __real_malloc(size) : nullptr; }
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
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, size_t) noexcept { CountedDelete(p); }
