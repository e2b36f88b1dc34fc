#include "platform/sync/Event.h"
#include "platform/sync/Semaphore.h"
#include "platform/sync/WaitSet.h"

#include <gtest/gtest.h>

#include <thread>

using kerrion::Event;
using kerrion::Semaphore;
using kerrion::WaitSet;

TEST(WaitSet, ReturnsTheFirstSignalledObjectInTheSetsOrderAndTakesOnlyIt)
{
    Event command;
    Semaphore driver(0, 6);
    WaitSet set { &command, &driver };
    driver.Give();
    driver.Give();
    command.Set();
    EXPECT_EQ(set.Wait(0), 0);
    EXPECT_EQ(driver.Count(), 2u);
    EXPECT_EQ(set.Wait(0), 1);
    EXPECT_EQ(set.Wait(0), 1);
    EXPECT_EQ(set.Wait(0), WaitSet::kTimedOut);
}

TEST(WaitSet, TimesOutWhenNothingIsSignalled)
{
    Event a;
    Event b;
    WaitSet set { &a, &b };
    EXPECT_EQ(set.Wait(30), WaitSet::kTimedOut);
}

TEST(WaitSet, WakesWhenAnObjectIsSignalledFromAnotherThread)
{
    Event a;
    Semaphore b(0, 4);
    WaitSet set { &a, &b };
    std::thread giver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        b.Give();
    });
    EXPECT_EQ(set.Wait(kerrion::kWaitForever), 1);
    giver.join();
}

TEST(WaitSet, LosesNoSignalUnderLoad)
{
    // One thread gives a semaphore many times while the waiter also watches an event; every
    // unit must come out of the set (the semaphore's maximum is never reached: the giver waits).
    Event stop;
    Semaphore units(0, 1000000);
    WaitSet set { &stop, &units };
    constexpr int kUnits = 20000;
    std::thread giver([&] {
        for (int i = 0; i < kUnits; ++i)
            units.Give();
        stop.Set();
    });
    int received = 0;
    bool stopped = false;
    while (!stopped || received < kUnits) {
        const int index = set.Wait(5000);
        ASSERT_NE(index, WaitSet::kTimedOut);
        if (index == 0)
            stopped = true;
        else
            ++received;
    }
    giver.join();
    EXPECT_EQ(received, kUnits);
}

TEST(WaitSet, ObjectsOutliveAndUnregisterFromTheSet)
{
    Event event;
    {
        WaitSet set { &event };
        event.Set();
        EXPECT_EQ(set.Wait(0), 0);
    }
    event.Set(); // no set to notify any more
    EXPECT_TRUE(event.TryWait());
}
