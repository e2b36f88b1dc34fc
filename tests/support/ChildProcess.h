#pragma once

// Running a program the way a user's shell does, for the tests that drive whole processes:
// started, waited for with a time-out, and polled for what it has written meanwhile.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace kerrion::test {

// `command` run by /bin/sh, which then becomes the program itself (exec): the pid is the
// program's, for kill and waitpid. -1 when it cannot be started.
inline pid_t SpawnShell(
    const std::string& command, const posix_spawn_file_actions_t* actions = nullptr)
{
    pid_t pid = 0;
    const std::string line = "exec " + command;
    const char* argv[] = { "/bin/sh", "-c", line.c_str(), nullptr };
    if (posix_spawn(&pid, "/bin/sh", actions, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

// The exit status of `pid`, or -1 when it has not ended within `timeoutMs` (it is then killed)
// or ended by a signal.
inline int WaitExit(pid_t pid, int timeoutMs)
{
    for (int waited = 0;; waited += 20) {
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid)
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        if (waited >= timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Polls `done` (every 50 ms: a check may itself start a process) until it holds or `timeoutMs`
// passes; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

} // namespace kerrion::test
