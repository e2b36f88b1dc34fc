#include "platform/sync/Thread.h"
#include "platform/sync/WaitSet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using kerrion::Event;
using kerrion::Thread;

TEST(Thread, RunsItsBodyAboveNormalPriorityAndJoins)
{
    std::atomic<int> ran { 0 };
    Thread thread;
    ASSERT_TRUE(thread.Start([&] { ran = 1; }, Thread::Priority::AboveNormal));
    EXPECT_TRUE(thread.HasThread());
    EXPECT_TRUE(thread.Join());
    EXPECT_EQ(ran.load(), 1);
    EXPECT_FALSE(thread.HasThread());
    EXPECT_TRUE(thread.Join()); // nothing left to join
}

TEST(Thread, JoinTimesOutWhileTheBodyRunsAndSucceedsLater)
{
    Event release;
    Thread thread;
    ASSERT_TRUE(thread.Start([&] { release.Wait(kerrion::kWaitForever); }));
    EXPECT_FALSE(thread.Join(30));
    EXPECT_FALSE(thread.HasEnded());
    release.Set();
    EXPECT_TRUE(thread.Join(5000));
}

TEST(Thread, EndedEventJoinsAWaitSet)
{
    Event reply;
    Thread thread;
    ASSERT_TRUE(thread.Start([] {}));
    kerrion::WaitSet set { &reply, thread.EndedEvent() };
    EXPECT_EQ(set.Wait(5000), 1);
    EXPECT_TRUE(thread.HasEnded());
    EXPECT_EQ(set.Wait(0), 1); // the end stays signalled
}

TEST(Thread, AbandonedThreadKeepsWhatItCapturedAliveUntilItEnds)
{
    auto release = std::make_shared<Event>();
    auto state = std::make_shared<std::atomic<int>>(0);
    std::weak_ptr<std::atomic<int>> watch = state;
    {
        Thread thread;
        ASSERT_TRUE(thread.Start([release, state] {
            release->Wait(kerrion::kWaitForever);
            *state = 7; // the owner is gone by now: this must still be valid memory
        }));
        EXPECT_FALSE(thread.Join(20));
        thread.Abandon();
        EXPECT_FALSE(thread.HasThread());
    } // the Thread object is destroyed; the body still runs
    state.reset();
    EXPECT_FALSE(watch.expired());
    release->Set();
    for (int i = 0; i < 500 && !watch.expired(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(watch.expired());
}
