#include "PeerMeter.h"

#include "ProcessTimes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace kerrion::bench {
namespace {

constexpr int kWarmUpSeconds = 3; // connected, its window shown and its needles moving

pid_t StartPeer(const std::vector<std::string>& ports)
{
    std::vector<std::string> args = { "meterbridge", "-t", "vu", "-n", "peer-meter" };
    args.insert(args.end(), ports.begin(), ports.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "meterbridge", &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return spawned == 0 ? pid : -1;
}

} // namespace

std::optional<PeerCost> MeasurePeerMeter(const std::vector<std::string>& ports, int seconds)
{
    const pid_t pid = StartPeer(ports);
    if (pid <= 0)
        return std::nullopt;
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));
    const double before = TotalSeconds(ReadThreadTimes(pid));
    const std::optional<double> xBefore = XServerCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto threads = ReadThreadTimes(pid);
    const std::optional<double> xAfter = XServerCpuSeconds();
    const double wall
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int status = 0;
    const bool stillRunning = waitpid(pid, &status, WNOHANG) == 0 && !threads.empty();
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    if (!stillRunning) // not installed (the child found nothing to run), or it failed
        return std::nullopt;
    PeerCost cost;
    cost.program = (TotalSeconds(threads) - before) / wall;
    if (xBefore && xAfter)
        cost.xServer = (*xAfter - *xBefore) / wall;
    return cost;
}

} // namespace kerrion::bench
