#include "platform/sync/Clock.h"
#include "platform/sync/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using kerrion::Event;

TEST(Event, AutoResetReleasesOneWaitPerSet)
{
    Event event;
    EXPECT_FALSE(event.TryWait());
    event.Set();
    event.Set(); // a second set before any wait does not count twice
    EXPECT_TRUE(event.TryWait());
    EXPECT_FALSE(event.TryWait());
}

TEST(Event, ManualResetStaysSetUntilReset)
{
    Event event(true);
    event.Set();
    EXPECT_TRUE(event.TryWait());
    EXPECT_TRUE(event.Wait(10));
    event.Reset();
    EXPECT_FALSE(event.TryWait());
}

TEST(Event, TimedWaitGivesUpAfterItsTime)
{
    Event event;
    const uint64_t start = kerrion::NowMilliseconds();
    EXPECT_FALSE(event.Wait(50));
    const uint64_t elapsed = kerrion::NowMilliseconds() - start;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 2000u);
}

TEST(Event, SetFromAnotherThreadWakesAWaiterAndPublishesData)
{
    Event event;
    int payload = 0; // written before Set, read after the wait: the event orders the two
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        payload = 42;
        event.Set();
    });
    EXPECT_TRUE(event.Wait(kerrion::kWaitForever));
    EXPECT_EQ(payload, 42);
    setter.join();
}

TEST(Clock, NeverGoesBackwardsAndCountsMilliseconds)
{
    const uint64_t first = kerrion::NowMilliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint64_t second = kerrion::NowMilliseconds();
    EXPECT_GE(second - first, 30u);
    EXPECT_LT(second - first, 2000u);
}
