// kerrion-meter's cost where the hardware's block rate is the workload, against the floor of any
// program whose blocks cross the same threads: the signal generator at FRAMES-frame blocks (64
// unless given) and 48 kHz, eight channels, csv output (one record per block) to /dev/null,
// beside a bare wake-up chain (a timer and three hand-offs) at the same block rate. The two run
// in turn, ROUNDS times each (2 unless given), SECONDS each (8 unless given); prints the CPU of
// each as a share of one core, and the ratio of their means.
//
//   HeadlessBench [SECONDS] [--frames FRAMES] [--rounds ROUNDS]

#include "ProcessTimes.h"
#include "SignalSetup.h"
#include "WakeChain.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

using kerrion::bench::BenchFolder;

constexpr double kRate = 48000.0;
// The engine started and the loudness window (3 s) filled once, so that its pages are in place.
constexpr double kWarmUpSeconds = 4.0;

struct Options {
    double seconds = 8.0;
    int frames = 64;
    int rounds = 2;
};

bool Parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--frames") == 0 && hasValue)
            options.frames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--rounds") == 0 && hasValue)
            options.rounds = std::atoi(argv[++i]);
        else if (argv[i][0] != '-')
            options.seconds = std::atof(argv[i]);
        else
            return false;
    }
    return options.seconds > 0.0 && options.frames >= 16 && options.rounds >= 1;
}

// kerrion-meter's threads' CPU per second over `seconds` of steady metering, as a fraction of
// one core; negative when it could not be run.
double MeterCoreFraction(double seconds)
{
    const std::string ini = (BenchFolder() / "Kerrion.ini").string();
    kerrion::bench::WriteText(ini, "[Device]\nType=2\nID=0\n");
    const std::string runFor = std::to_string(seconds + kWarmUpSeconds + 2.0);
    const char* argv[] = { KERRION_METER_PATH, "--ini", ini.c_str(), "--channels",
        "0,1,2,3,4,5,6,7", "--seconds", runFor.c_str(), "--format", "csv", nullptr };
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned
        = posix_spawn(&pid, argv[0], &files, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return -1.0;
    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUpSeconds));
    const double before = kerrion::bench::TotalSeconds(kerrion::bench::ReadThreadTimes(pid));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const auto threads = kerrion::bench::ReadThreadTimes(pid);
    const double after = kerrion::bench::TotalSeconds(threads);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    const bool ranThrough = WIFEXITED(status) && WEXITSTATUS(status) == 0 && threads.size() >= 4;
    return ranThrough ? (after - before) / seconds : -1.0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: HeadlessBench [SECONDS] [--frames FRAMES] [--rounds N]\n");
        return 2;
    }
    kerrion::bench::ConfigureSignal(KERRION_SIGNAL_DRIVER, options.frames, 1.0);
    const double rate = kRate / options.frames;
    std::printf("kerrion-meter, signal generator at %d-frame blocks (%.1f blocks/s), 8 channels, "
                "csv to /dev/null; %.1f s per measurement\n",
        options.frames, rate, options.seconds);
    double chainSum = 0.0;
    double meterSum = 0.0;
    for (int round = 1; round <= options.rounds; ++round) {
        const double chain = kerrion::bench::WakeChainCoreFraction(rate, options.seconds);
        const double meter = MeterCoreFraction(options.seconds);
        if (meter < 0.0) {
            std::fprintf(stderr, "HeadlessBench: kerrion-meter did not run through\n");
            return 1;
        }
        std::printf("round %d: bare wake-up chain %.2f%% of one core, kerrion-meter %.2f%% "
                    "(%.2f x)\n",
            round, 100.0 * chain, 100.0 * meter, meter / chain);
        chainSum += chain;
        meterSum += meter;
    }
    std::printf("mean: bare wake-up chain %.2f%%, kerrion-meter %.2f%%: %.2f x the chain\n",
        100.0 * chainSum / options.rounds, 100.0 * meterSum / options.rounds, meterSum / chainSum);
    return 0;
}
