#include "platform/sync/Semaphore.h"

#include <gtest/gtest.h>

#include <thread>

using kerrion::Semaphore;

TEST(Semaphore, GiveAtTheMaximumIsDropped)
{
    Semaphore semaphore(3, 4);
    EXPECT_TRUE(semaphore.Give());
    EXPECT_FALSE(semaphore.Give());
    EXPECT_FALSE(semaphore.Give());
    EXPECT_EQ(semaphore.Count(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(semaphore.TryWait());
    EXPECT_FALSE(semaphore.TryWait());
}

TEST(Semaphore, InitialCountIsClampedToTheMaximum)
{
    Semaphore semaphore(9, 2);
    EXPECT_EQ(semaphore.Count(), 2u);
}

TEST(Semaphore, TimedTakeOfAnEmptySemaphoreTimesOut)
{
    Semaphore semaphore(0, 4);
    EXPECT_FALSE(semaphore.Wait(30));
    semaphore.Give();
    EXPECT_TRUE(semaphore.Wait(30));
}

TEST(Semaphore, ResetSetsCountAndMaximum)
{
    Semaphore semaphore(0, 4);
    semaphore.Reset(6, 6);
    EXPECT_EQ(semaphore.Count(), 6u);
    EXPECT_FALSE(semaphore.Give());
    semaphore.Reset(10, 2);
    EXPECT_EQ(semaphore.Count(), 2u);
}

TEST(Semaphore, ProducerAndConsumerPassEveryUnitThroughABoundedRing)
{
    // Two semaphores guard a 4-slot ring, as the device transfer ring does.
    Semaphore freeSlots(4, 4);
    Semaphore filledSlots(0, 4);
    int ring[4] = {};
    constexpr int kItems = 2000;
    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i) {
            ASSERT_TRUE(freeSlots.Wait(5000));
            ring[i % 4] = i;
            filledSlots.Give();
        }
    });
    long long sum = 0;
    for (int i = 0; i < kItems; ++i) {
        ASSERT_TRUE(filledSlots.Wait(5000));
        EXPECT_EQ(ring[i % 4], i);
        sum += ring[i % 4];
        freeSlots.Give();
    }
    producer.join();
    EXPECT_EQ(sum, static_cast<long long>(kItems) * (kItems - 1) / 2);
}
