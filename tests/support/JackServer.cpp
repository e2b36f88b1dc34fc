#include "support/JackServer.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace kerrion::test {
namespace {

constexpr auto kStartPatience = std::chrono::seconds(10);
constexpr auto kStopPatience = std::chrono::seconds(3);
constexpr auto kPollStep = std::chrono::milliseconds(10);

// Where jackd keeps its sockets and semaphores (its build's tmpdir, as `jackd --version` says).
const std::filesystem::path kJackDir = "/dev/shm";

// The two calls of JACK's client library the readiness probe makes (jack/jack.h declares them
// with enum types of int size; JackNoStartServer | JackServerName is 0x05).
using ClientOpen = void* (*)(const char* client, int options, int* status, ...);
using ClientClose = int (*)(void*);
constexpr int kNoStartNamedServer = 0x01 | 0x04;

struct ClientLibrary {
    ClientOpen open = nullptr;
    ClientClose close = nullptr;
};

void Silent(const char*) { }

// libjack, found at run time (it is there wherever jackd is) and kept for the process's life; the
// test's own clients and ALSA's jack plug-in share the loaded copy. Quiet: a probe of a server
// that is not up yet fails by design.
const ClientLibrary& Library()
{
    static const ClientLibrary library = [] {
        ClientLibrary found;
        void* jack = dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
        if (jack == nullptr)
            return found;
        using SetReporter = void (*)(void (*)(const char*));
        for (const char* name : { "jack_set_error_function", "jack_set_info_function" }) {
            if (auto set = reinterpret_cast<SetReporter>(dlsym(jack, name)))
                set(&Silent);
        }
        found.open = reinterpret_cast<ClientOpen>(dlsym(jack, "jack_client_open"));
        found.close = reinterpret_cast<ClientClose>(dlsym(jack, "jack_client_close"));
        return found;
    }();
    return library;
}

// jackd on the PATH, else in the usual places: a test may run under a bare PATH.
std::string FindJackd()
{
    const char* path = std::getenv("PATH");
    const std::string dirs
        = std::string(path != nullptr ? path : "") + ":/usr/bin:/usr/local/bin:/usr/sbin:/bin";
    for (std::size_t start = 0; start < dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        std::string jackd = dirs.substr(start, end - start) + "/jackd";
        if (end > start && access(jackd.c_str(), X_OK) == 0)
            return jackd;
        start = end + 1;
    }
    return {};
}

std::vector<std::string> Arguments(
    const std::string& jackd, const std::string& name, const JackServer::Options& options)
{
    // A client may take long to open or activate on a loaded machine: 5 s rather than 0.5 s
    // before the server gives up on it.
    return { jackd, "--no-realtime", "-t", "5000", "-n", name, "-d", "dummy", "-r",
        std::to_string(options.rate), "-p", std::to_string(options.period), "-C",
        std::to_string(options.captures), "-P", std::to_string(options.playbacks) };
}

// Waits up to `patience` for `pid` to end; false (status untouched) if it still runs.
bool WaitForExit(pid_t pid, std::chrono::milliseconds patience, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

std::string JackServer::UniqueName()
{
    static std::atomic<int> counter { 0 };
    return "kerrion-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool JackServer::Available(std::string& reason)
{
    if (FindJackd().empty())
        reason = "jackd is not installed (scripts/install-deps.sh installs jackd2)";
    else if (Library().open == nullptr || Library().close == nullptr)
        reason = "JACK's client library (libjack.so.0) does not load";
    else
        return true;
    return false;
}

JackServer::JackServer(Options options)
    : m_options(options)
    , m_name(UniqueName())
{
    if (m_options.makeDefault) {
        m_defaultServer.emplace("JACK_DEFAULT_SERVER", m_name.c_str());
        m_noStartServer.emplace("JACK_NO_START_SERVER", "1");
    }
    Start();
}

JackServer::~JackServer()
{
    Stop();
    // A server started under the name of one that ended uncleanly takes over its slot in JACK's
    // registry of servers; stopped cleanly, it gives the slot back.
    if (m_slotTaken && Start())
        Stop();
}

bool JackServer::Start()
{
    m_ready = Launch() && WaitUntilReady();
    if (m_ready)
        m_slotTaken = false;
    return m_ready;
}

bool JackServer::Launch()
{
    const std::string jackd = FindJackd();
    if (jackd.empty())
        return false;
    const std::vector<std::string> args = Arguments(jackd, m_name, m_options);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string log = (m_dir / "jackd.log").string();
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec. A test program that dies ends
        // its server too, gently, so that the server frees its slot in JACK's registry.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return m_pid > 0;
}

bool JackServer::WaitUntilReady()
{
    const auto deadline = std::chrono::steady_clock::now() + kStartPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        if (Responds())
            return true;
        std::this_thread::sleep_for(kPollStep);
    }
    return false;
}

// Ready once a client gets through. (A connection to its request socket is not enough: jackd
// listens there, with a backlog of one, before it serves, and clients that came in that moment
// were seen to be turned away.)
bool JackServer::Responds() const
{
    const ClientLibrary& jack = Library();
    if (jack.open == nullptr || jack.close == nullptr)
        return false;
    int status = 0;
    void* probe = jack.open("probe", kNoStartNamedServer, &status, m_name.c_str());
    if (probe == nullptr)
        return false;
    jack.close(probe);
    return true;
}

std::string JackServer::Log() const { return ReadFileBytes(m_dir / "jackd.log"); }

bool JackServer::Kill() { return Stop(); }

bool JackServer::Stop()
{
    if (m_pid <= 0)
        return false;
    kill(m_pid, SIGTERM);
    int status = 0;
    const bool ended = WaitForExit(m_pid, kStopPatience, status);
    if (!ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
    // jackd ends with status 0 after SIGTERM; dying of a signal (SIGPIPE when a client closes
    // under a stopping server) leaves its slot in JACK's registry behind.
    const bool clean = ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    Reaped(clean);
    return clean;
}

void JackServer::KillAtOnce()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    Reaped(false);
}

void JackServer::Reaped(bool clean)
{
    m_pid = -1;
    m_ready = false;
    m_slotTaken = !clean;
    RemoveLeftovers();
}

// A server that did not end cleanly leaves its sockets and semaphores behind, named after it
// (jack_NAME_..., jack_sem.UID_NAME_...): removed, so that a server started under the name does
// not meet them and no other test sees them.
void JackServer::RemoveLeftovers() const
{
    std::error_code error;
    const std::string mark = "_" + m_name + "_";
    for (const auto& entry : std::filesystem::directory_iterator(kJackDir, error)) {
        if (entry.path().filename().string().find(mark) != std::string::npos)
            std::filesystem::remove(entry.path(), error);
    }
}

} // namespace kerrion::test
