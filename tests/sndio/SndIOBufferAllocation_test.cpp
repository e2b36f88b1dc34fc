// Counts every heap allocation of the program (the counting allocator of tests/support), so the
// per-block operations can be shown to allocate nothing and the allocating ones can be made to
// fail on demand.
#include "sndio/SndIOBuffer.h"
#include "support/CountingAllocator.h"

#include <gtest/gtest.h>

using namespace kerrion;

namespace {

constexpr uint32_t kFrames = 256;
const SampleType kTypes[] = { 14, 15, 16, 17, 18, 19, 20, 24, 25, 26, 27 };

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

    const long before = kerrion::test::AllocationCount();
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
    EXPECT_EQ(kerrion::test::AllocationCount(), before);

    DestroyBufferArray(sources, 11);
    DestroyBufferArray(targets, 11);
}

TEST(SndIOBufferAllocation, AllocateReportsFailureWithAnEmptyBuffer)
{
    CSndIOBuffer buffer;
    ASSERT_EQ(buffer.Allocate(kSampleInt16, 64), 1);
    const long live = kerrion::test::LiveNewBlocks();
    {
        kerrion::test::FailingAllocation fail(0);
        EXPECT_EQ(buffer.Allocate(kSampleFloat64, 64), 0);
    }
    EXPECT_FALSE(buffer.HasData());
    EXPECT_FALSE(buffer.OwnsData());
    EXPECT_EQ(buffer.Type(), 0U);
    EXPECT_EQ(buffer.Capacity(), 0U);
    EXPECT_EQ(buffer.Count(), 0U);
    EXPECT_EQ(kerrion::test::LiveNewBlocks(), live - 1) << "the old samples were freed";
    EXPECT_EQ(buffer.Allocate(kSampleFloat64, 64), 1);
}

TEST(SndIOBufferAllocation, CreateBufferArrayLeavesNothingBehindOnFailure)
{
    // Allocation 0 is the array itself, 1 to 8 are the buffers' samples.
    for (long failing : { 0L, 1L, 4L, 8L }) {
        const long live = kerrion::test::LiveNewBlocks();
        CSndIOBuffer* array = nullptr;
        {
            kerrion::test::FailingAllocation fail(failing);
            EXPECT_EQ(CreateBufferArray(array, kSampleInt24, 4096, 8), 0) << failing;
        }
        EXPECT_EQ(array, nullptr);
        EXPECT_EQ(kerrion::test::LiveNewBlocks(), live) << "allocation " << failing << " failed";
    }
}
