#include "platform/messages/MessageQueue.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <array>
#include <thread>
#include <vector>

namespace {

bool Readable(int fd)
{
    pollfd descriptor { fd, POLLIN, 0 };
    return poll(&descriptor, 1, 0) == 1;
}

} // namespace

TEST(MessageQueue, DeliversInPostingOrderAndSignalsWhileMessagesWait)
{
    CMessageQueue queue(8);
    CMessageQueue::Message message;
    EXPECT_FALSE(queue.TakeMessage(message));
    EXPECT_FALSE(Readable(queue.WakeDescriptor()));

    EXPECT_TRUE(queue.PostMessage(WM_APP + 1, 0, 0));
    EXPECT_TRUE(queue.PostMessage(WM_APP + 3, -1, 7));
    EXPECT_TRUE(Readable(queue.WakeDescriptor()));
    EXPECT_EQ(queue.Pending(), 2u);

    ASSERT_TRUE(queue.TakeMessage(message));
    EXPECT_EQ(message.message, WM_APP + 1);
    EXPECT_EQ(queue.Pending(), 1u);
    ASSERT_TRUE(queue.TakeMessage(message));
    EXPECT_EQ(message.message, WM_APP + 3);
    EXPECT_EQ(message.wParam, -1);
    EXPECT_EQ(message.lParam, 7);
    EXPECT_FALSE(queue.TakeMessage(message));
    EXPECT_EQ(queue.Pending(), 0u);
    EXPECT_FALSE(Readable(queue.WakeDescriptor())); // an empty queue does not keep a loop awake
}

TEST(MessageQueue, AFullQueueDropsAndCountsInsteadOfBlocking)
{
    CMessageQueue queue(4);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(queue.PostMessage(WM_USER, i, 0));
    EXPECT_FALSE(queue.PostMessage(WM_USER, 99, 0));
    EXPECT_EQ(queue.DroppedCount(), 1u);
    EXPECT_EQ(queue.Pending(), 4u); // a dropped message never counts as waiting
    CMessageQueue::Message message;
    ASSERT_TRUE(queue.TakeMessage(message));
    EXPECT_EQ(message.wParam, 0);
    EXPECT_TRUE(queue.PostMessage(WM_USER, 4, 0)); // room again, and the ring wraps
    EXPECT_EQ(queue.Pending(), 4u);
    for (intptr_t expected = 1; expected <= 4; ++expected) {
        ASSERT_TRUE(queue.TakeMessage(message));
        EXPECT_EQ(message.wParam, expected);
    }
}

TEST(MessageQueue, WaitReturnsOnPostFromAnotherThreadOrAfterTimeout)
{
    CMessageQueue queue;
    EXPECT_FALSE(queue.WaitForMessage(10));
    std::thread poster([&queue] { queue.PostMessage(WM_APP + 4, -1, 0); });
    EXPECT_TRUE(queue.WaitForMessage(5000));
    poster.join();
    CMessageQueue::Message message;
    ASSERT_TRUE(queue.TakeMessage(message));
    EXPECT_EQ(message.message, WM_APP + 4);
}

TEST(MessageQueue, ManyPostersKeepTheirOwnOrderAndLoseNothing)
{
    constexpr int kPosters = 4;
    constexpr int kEach = 20000;
    CMessageQueue queue(1024);
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
        posters.emplace_back([&queue, p] {
            for (int i = 0; i < kEach;) {
                if (queue.PostMessage(WM_USER + static_cast<uint32_t>(p), i, 0))
                    ++i;
                else
                    std::this_thread::yield(); // full: the receiver will catch up
            }
        });
    std::array<intptr_t, kPosters> next {};
    int received = 0;
    CMessageQueue::Message message;
    while (received < kPosters * kEach) {
        if (!queue.TakeMessage(message)) {
            queue.WaitForMessage(100);
            continue;
        }
        const auto poster = static_cast<std::size_t>(message.message - WM_USER);
        ASSERT_LT(poster, next.size());
        ASSERT_EQ(message.wParam, next[poster]) << "poster " << poster;
        ++next[poster];
        ++received;
    }
    for (auto& thread : posters)
        thread.join();
    EXPECT_FALSE(queue.TakeMessage(message));
}
