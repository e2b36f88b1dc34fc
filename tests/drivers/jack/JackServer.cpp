#include "drivers/jack/JackServer.h"

#include "support/TempDir.h"

#include <jack/jack.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace kerrion::test {
namespace {

std::string FindJackd()
{
    for (const char* folder : { "/usr/bin", "/usr/local/bin", "/usr/sbin", "/bin" }) {
        const std::string path = std::string(folder) + "/jackd";
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

void Silent(const char*) { }

} // namespace

std::string JackServer::UniqueName()
{
    static std::atomic<int> counter { 0 };
    return "kerrion-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool JackServer::Available(std::string& reason)
{
    if (!FindJackd().empty())
        return true;
    reason = "jackd is not installed (scripts/install-deps.sh installs jackd2)";
    return false;
}

JackServer::JackServer(Options options)
    : m_options(options)
    , m_name(UniqueName())
{
    m_ready = Launch() && WaitUntilReady();
}

bool JackServer::Launch()
{
    const std::string jackd = FindJackd();
    if (jackd.empty())
        return false;
    // A client may take long to open or activate on a loaded machine: 5 s rather than 0.5 s
    // before the server gives up on it.
    const std::vector<std::string> args = { jackd, "--no-realtime", "-t", "5000", "-n", m_name,
        "-d", "dummy", "-r", std::to_string(m_options.rate), "-p", std::to_string(m_options.period),
        "-C", std::to_string(m_options.captures), "-P", std::to_string(m_options.playbacks) };
    std::vector<char*> argv;
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
    jack_set_error_function(&Silent);
    jack_set_info_function(&Silent);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        jack_status_t jackStatus {};
        jack_client_t* probe = jack_client_open("probe",
            static_cast<jack_options_t>(JackNoStartServer | JackServerName), &jackStatus,
            m_name.c_str());
        if (probe != nullptr) {
            jack_client_close(probe);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string JackServer::Log() const { return ReadFileBytes(m_dir / "jackd.log"); }

bool JackServer::Stop(int signal, int graceMilliseconds)
{
    if (m_pid <= 0)
        return false;
    kill(m_pid, signal);
    const auto deadline
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMilliseconds);
    int status = 0;
    bool clean = true;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            clean = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // jackd ends with status 0 after SIGTERM; dying of a signal (SIGPIPE when a client closes
    // under a stopping server) leaves its slot in JACK's registry behind.
    clean = clean && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    m_pid = -1;
    m_ready = false;
    // A killed server leaves its sockets and shared memory files behind.
    std::error_code error;
    const std::string socket = "jack_" + m_name + "_";
    const std::string semaphore = "jack_sem." + std::to_string(getuid()) + "_" + m_name + "_";
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
        const std::string file = entry.path().filename().string();
        if (file.starts_with(socket) || file.starts_with(semaphore))
            std::filesystem::remove(entry.path(), error);
    }
    return clean;
}

bool JackServer::Kill() { return Stop(SIGTERM, 3000); }

JackServer::~JackServer() { Stop(SIGTERM, 3000); }

} // namespace kerrion::test
