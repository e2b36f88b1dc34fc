#include "PlayerProcess.h"

#include "BenchWorkload.h"
#include "drivers/jack/JackTestClient.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <vector>

extern char** environ;

namespace kerrion::bench {
namespace {

constexpr int kMeters = 8;

std::vector<std::string> KerrionInputs()
{
    std::vector<std::string> inputs;
    for (int i = 1; i <= kMeters; ++i)
        inputs.push_back("Kerrion:in_" + std::to_string(i));
    return inputs;
}

} // namespace

PlayerProcess::PlayerProcess(const std::string& program, const std::string& server)
{
    int commands[2] = { -1, -1 };
    int replies[2] = { -1, -1 };
    if (pipe(commands) != 0 || pipe(replies) != 0)
        return;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, commands[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&files, replies[1], STDOUT_FILENO);
    for (int fd : { commands[0], commands[1], replies[0], replies[1] })
        posix_spawn_file_actions_addclose(&files, fd);
    const char* argv[] = { program.c_str(), "--play", server.c_str(), nullptr };
    if (posix_spawn(&m_pid, program.c_str(), &files, nullptr, const_cast<char**>(argv), environ)
        != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&files);
    close(commands[0]);
    close(replies[1]);
    m_commands = commands[1];
    m_replies = replies[0];
}

PlayerProcess::~PlayerProcess()
{
    if (m_commands >= 0)
        close(m_commands); // the player's input ends: it leaves the server and exits
    if (m_pid > 0) {
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    if (m_replies >= 0)
        close(m_replies);
}

bool PlayerProcess::Connect()
{
    if (!Running() || write(m_commands, "connect\n", 8) != 8)
        return false;
    char reply[8] = {};
    ssize_t got = 0;
    while (got < 3) {
        const ssize_t n = read(m_replies, reply + got, sizeof reply - 1 - static_cast<size_t>(got));
        if (n <= 0)
            return false;
        got += n;
    }
    return std::string(reply, 3) == "ok\n";
}

int RunPlayer(const std::string& server)
{
    kerrion::test::JackTestClient player(server, ModulatedNoise(kMeters, 48000.0, 4.0));
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "connect") {
            const bool connected = player.Ok() && player.ConnectTo(KerrionInputs());
            std::fputs(connected ? "ok\n" : "failed\n", stdout);
            std::fflush(stdout);
        }
    }
    return player.Ok() ? 0 : 1;
}

} // namespace kerrion::bench
