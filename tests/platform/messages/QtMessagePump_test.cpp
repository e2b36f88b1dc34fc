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
