#include "platform/instance/InstanceGuard.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using Role = CInstanceGuard::Role;
using kerrion::test::TempDir;

TEST(InstanceGuard, SecondInstanceNotifiesTheFirst)
{
    TempDir dir;
    CInstanceGuard first("_SONALT_EXE", dir.Path());
    ASSERT_EQ(first.Acquire(), Role::kFirst);
    EXPECT_FALSE(first.TakeNotices());

    CInstanceGuard second("_SONALT_EXE", dir.Path());
    ASSERT_EQ(second.Acquire(), Role::kSecond);
    EXPECT_TRUE(second.NotifyFirst());

    pollfd descriptor { first.NoticeDescriptor(), POLLIN, 0 };
    EXPECT_EQ(poll(&descriptor, 1, 1000), 1); // an event loop would wake up
    EXPECT_TRUE(first.TakeNotices());
    EXPECT_FALSE(first.TakeNotices()); // each notice is taken once
}

TEST(InstanceGuard, TheLockEndsWithTheProcessHoweverItEnds)
{
    TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* guard = new CInstanceGuard("_SONALT_EXE", dir.Path()); // never destroyed
        _exit(guard->Acquire() == Role::kFirst ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    // The crashed instance left its socket file behind; the next first instance replaces it.
    CInstanceGuard next("_SONALT_EXE", dir.Path());
    ASSERT_EQ(next.Acquire(), Role::kFirst);
    CInstanceGuard second("_SONALT_EXE", dir.Path());
    ASSERT_EQ(second.Acquire(), Role::kSecond);
    EXPECT_TRUE(second.NotifyFirst());
    EXPECT_TRUE(next.TakeNotices());
}

TEST(InstanceGuard, AFirstInstanceThatDoesNotListenYetIsNotNotified)
{
    TempDir dir;
    // A first instance that holds the lock but has no socket yet (still starting).
    const int lock = open((dir / "_SONALT_EXE.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
    CInstanceGuard second("_SONALT_EXE", dir.Path());
    EXPECT_EQ(second.Acquire(), Role::kSecond);
    EXPECT_FALSE(second.NotifyFirst());
    close(lock);
}

TEST(InstanceGuard, NoFolderForTheLockFails)
{
    TempDir dir;
    CInstanceGuard guard("_SONALT_EXE", dir / "missing");
    EXPECT_EQ(guard.Acquire(), Role::kFailed);
}
