#include "platform/messages/QtMessagePump.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <thread>
#include <vector>

TEST(QtMessagePump, DeliversMessagesFromAnotherThreadInOrderOnTheOwningThread)
{
    int argc = 1;
    char name[] = "QtMessagePump_test";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    CMessageQueue queue(64);
    std::vector<intptr_t> received;
    bool onOwningThread = true;
    CQtMessagePump pump(queue, [&](const CMessageQueue::Message& message) {
        received.push_back(message.wParam);
        onOwningThread = onOwningThread && QThread::currentThread() == app.thread();
    });

    constexpr int kCount = 1000;
    std::thread poster([&queue] {
        for (int i = 0; i < kCount;)
            if (queue.PostMessage(WM_APP + 3, i, 0))
                ++i;
            else
                std::this_thread::yield();
    });
    QElapsedTimer timer;
    timer.start();
    while (received.size() < kCount && timer.elapsed() < 10000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    poster.join();

    ASSERT_EQ(received.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(onOwningThread);
}

// With a batch interval, a steady stream wakes the receiver about once per interval, in order
// and complete; a message after a quiet spell is not held back.
TEST(QtMessagePump, ABatchIntervalGathersASteadyStreamButNotALoneMessage)
{
    int argc = 1;
    char name[] = "QtMessagePump_test";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    constexpr int kIntervalMs = 60;
    CMessageQueue queue(4096);
    std::vector<intptr_t> received;
    std::vector<qint64> deliveredAt; // ms since the start, per message
    QElapsedTimer clock;
    clock.start();
    CQtMessagePump pump(queue, [&](const CMessageQueue::Message& message) {
        received.push_back(message.wParam);
        deliveredAt.push_back(clock.elapsed());
    });
    pump.SetBatchInterval(kIntervalMs);
    const auto runUntil = [&](std::size_t count, int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (received.size() < count && timer.elapsed() < timeoutMs)
            app.processEvents(QEventLoop::WaitForMoreEvents, 10);
        return received.size() >= count;
    };

    // 600 messages, one every half millisecond: about 0.3 s of stream.
    constexpr int kCount = 600;
    std::thread poster([&queue] {
        for (int i = 0; i < kCount; ++i) {
            while (!queue.PostMessage(WM_APP + 3, i, 0))
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    const bool all = runUntil(kCount, 10000);
    poster.join();
    ASSERT_TRUE(all);
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
    int batches = 1; // deliveries apart by more than a quarter interval
    for (std::size_t i = 1; i < deliveredAt.size(); ++i)
        batches += deliveredAt[i] - deliveredAt[i - 1] > kIntervalMs / 4 ? 1 : 0;
    const qint64 span = deliveredAt.back() - deliveredAt.front();
    EXPECT_LE(batches, span / kIntervalMs + 2) << "over " << span << " ms";
    EXPECT_GE(batches, 2);

    // After a quiet spell longer than the interval a lone message comes at once, not a whole
    // interval later; one right behind it waits for the next batch.
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 3 * kIntervalMs)
        app.processEvents(QEventLoop::WaitForMoreEvents, 10);
    const qint64 postedAt = clock.elapsed();
    queue.PostMessage(WM_APP + 3, kCount, 0);
    ASSERT_TRUE(runUntil(kCount + 1, 5000));
    const qint64 loneDelay = deliveredAt.back() - postedAt;
    queue.PostMessage(WM_APP + 3, kCount + 1, 0);
    ASSERT_TRUE(runUntil(kCount + 2, 5000));
    const qint64 gap = deliveredAt[kCount + 1] - deliveredAt[kCount];
    EXPECT_LT(loneDelay, gap) << "the lone message came " << loneDelay << " ms after posting";
    EXPECT_GE(gap, kIntervalMs - 5);
}
