#pragma once

// The workload's JACK client in a process of its own, so that the benchmark's figures for the
// program hold none of the player's CPU. The benchmark program runs itself with --play SERVER
// (RunPlayer) and drives it over a pipe: a line "connect" connects the player's eight outputs to
// Kerrion's inputs and is answered "ok" or "failed"; the end of the pipe ends the player.

#include <string>
#include <sys/types.h>

namespace kerrion::bench {

class PlayerProcess {
public:
    // Starts `program` --play `server`; Running() tells whether it came up.
    PlayerProcess(const std::string& program, const std::string& server);
    ~PlayerProcess();
    PlayerProcess(const PlayerProcess&) = delete;
    PlayerProcess& operator=(const PlayerProcess&) = delete;

    bool Running() const { return m_pid > 0; }
    // Connects the player to Kerrion:in_1..8; false when it could not.
    bool Connect();

private:
    pid_t m_pid = -1;
    int m_commands = -1; // the player's standard input
    int m_replies = -1;  // its standard output
};

// The body of the player process: plays modulated noise on `server` until its input ends.
int RunPlayer(const std::string& server);

} // namespace kerrion::bench
