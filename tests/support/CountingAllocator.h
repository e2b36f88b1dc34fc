#pragma once

// Counts every allocation of a test program (operator new; malloc, calloc, realloc and mmap
// through the linker's --wrap) and fails a chosen one, so tests can show that the per-block path
// allocates nothing and that a failed set-up leaves nothing behind. Link the program with
// kerrion_counting_allocator, which replaces operator new for that program only.

namespace kerrion::test {

// Allocations since the program started.
long AllocationCount();
// Blocks from operator new not yet deleted.
long LiveNewBlocks();
// Makes allocation number `number` (as counted by AllocationCount) fail; -1 fails none.
void FailAllocationNumber(long number);

// Fails allocation number AllocationCount() + offset for the life of the object.
class FailingAllocation {
public:
    explicit FailingAllocation(long offset) { FailAllocationNumber(AllocationCount() + offset); }
    ~FailingAllocation() { FailAllocationNumber(-1); }
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
};

} // namespace kerrion::test
