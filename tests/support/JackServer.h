#pragma once

// A private JACK server for one test: jackd on the dummy driver under a name no other test
// uses, without real-time scheduling (so it runs as any user, root in CI included). It is a
// process of its own: nothing here needs JACK's headers, and JACK's client library is loaded
// only to see that the server takes clients. The destructor ends it and waits for it, whatever
// the test did; if the test program itself dies, the kernel asks the server to end too. Test
// thread only.

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/types.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace kerrion::test {

// Under the thread sanitizer every thread runs many times slower: the test's own JACK clients
// miss their cycles and ring slots time out. Real-time behaviour (no frame lost, no transfer
// timed out) is checked only without it.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kRealTimeChecks = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kRealTimeChecks = false;
#else
inline constexpr bool kRealTimeChecks = true;
#endif
#else
inline constexpr bool kRealTimeChecks = true;
#endif

class JackServer {
public:
    struct Options {
        uint32_t rate = 48000; // Hz
        uint32_t period = 256; // frames per cycle
        int captures = 8;      // physical capture ports system:capture_1..
        int playbacks = 2;     // physical playback ports system:playback_1..
        // While the object lives, the JACK client library's default server (JACK_DEFAULT_SERVER,
        // none started on demand), for clients that name no server: ALSA's jack plug-in.
        bool makeDefault = false;
    };

    // Starts the server and waits (up to 10 s) until it takes clients; see Ready().
    explicit JackServer(Options options);
    JackServer()
        : JackServer(Options {})
    {
    }
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool Ready() const { return m_ready; }
    const std::string& Name() const { return m_name; }
    // jackd's own output, for failure messages.
    std::string Log() const;

    // Ends the server while clients use it, as `kill` or a stopping service manager does, and
    // reaps it; true when it shut down cleanly. (With SIGTERM, not SIGKILL: a server killed
    // outright keeps its slot in JACK's registry of servers, which has eight, and its shared
    // memory, which the next server reuses under any process still mapping it: tests on a
    // shared machine must not leave that behind.)
    bool Kill();
    // Ends the server at once with SIGKILL, as an interface that is unplugged vanishes: its
    // clients get no notice. For the tests that need exactly that; its sockets and semaphores
    // are removed, and its registry slot is reclaimed by Restart() or the destructor.
    void KillAtOnce();
    // Starts the server again under the same name once it has ended, as a session tool
    // restarting it or an interface plugged back in; true once it takes clients.
    bool Restart() { return m_pid <= 0 && Start(); }

    // A name for a server that does not run.
    static std::string UniqueName();
    // False (with a reason) when jackd or JACK's client library cannot be found.
    static bool Available(std::string& reason);

private:
    bool Start();
    bool Launch();
    bool WaitUntilReady();
    bool Responds() const;
    bool Stop(); // true when it exited with status 0
    void Reaped(bool clean);
    void RemoveLeftovers() const;

    Options m_options;
    TempDir m_dir; // jackd.log: the server's output over every start
    std::string m_name;
    std::optional<ScopedEnv> m_defaultServer; // with Options::makeDefault
    std::optional<ScopedEnv> m_noStartServer;
    pid_t m_pid = -1;
    bool m_ready = false;
    bool m_slotTaken = false; // ended uncleanly and not started again: its registry slot is held
};

} // namespace kerrion::test

// Skips the test when jackd is missing, except in CI (CI=true), where that is a failure.
#define KERRION_REQUIRE_JACKD()                                                                    \
    do {                                                                                           \
        std::string reason_;                                                                       \
        if (!kerrion::test::JackServer::Available(reason_)) {                                      \
            const char* ci_ = std::getenv("CI");                                                   \
            if (ci_ != nullptr && std::string(ci_) == "true")                                      \
                FAIL() << reason_;                                                                 \
            GTEST_SKIP() << reason_;                                                               \
        }                                                                                          \
    } while (false)
