#include "BackgroundLaunch.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

extern char** environ;

namespace kerrion::driver {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    void Reset()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Reads the program's exit status, written as text by the subshell; -1 when nothing came within
// `settleMs` (still running) or the pipe closed without a status.
int WaitForStatus(int fd, int settleMs)
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(settleMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd watch { fd, POLLIN, 0 };
        if (left <= 0 || poll(&watch, 1, static_cast<int>(left)) <= 0)
            return -1;
        char buffer[16];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return text.empty() ? -1 : std::atoi(text.c_str());
        text.append(buffer, static_cast<size_t>(got));
    }
}

} // namespace

bool LaunchInBackground(std::vector<std::string> words, int settleMs)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    Descriptor reading(ends[0]);
    Descriptor writing(ends[1]);
    // The subshell outlives the shell, so it belongs to init, not to the host; it reports the
    // program's status on descriptor 3, which the program itself does not inherit.
    char shell[] = "sh";
    char dashC[] = "-c";
    char script[] = "( \"$@\" >/dev/null 2>&1 </dev/null 3>&-; echo $? >&3 ) & exit 0";
    std::vector<char*> argv { shell, dashC, script, shell };
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writing.Get(), 3);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, "/bin/sh", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    writing.Reset(); // the subshell holds the only writing end: its exit closes the pipe
    int status = 0;
    waitpid(child, &status, 0); // the shell ends as soon as the subshell is in the background
    const int programStatus = WaitForStatus(reading.Get(), settleMs);
    return programStatus <= 0;
}

} // namespace kerrion::driver
