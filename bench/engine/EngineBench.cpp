// The whole metering engine on the signal generator, run faster than real time so that the
// engine is the limit: 8 meters at 48 kHz, blocks of 64, 256 and 4096 frames. Reports the
// worker thread's CPU time per second of audio (a fraction of one core), the whole process's,
// and the peak resident memory of this process and of kerrion-meter metering 8 channels.

#include "SignalSetup.h"
#include "meter/SndIOPlayList.h"
#include "platform/messages/MessageQueue.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

constexpr double kAudioSeconds = 30.0; // of audio metered per measurement

using kerrion::bench::BenchFolder;
using kerrion::bench::WriteText;

void Configure(int frames, double speed)
{
    kerrion::bench::ConfigureSignal(KERRION_SIGNAL_DRIVER, frames, speed);
}

double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// VmHWM of a running process, MiB (0 when it cannot be read).
double HighWaterMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0.0;
}

double PeakResidentMiB(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_EngineCpuPerAudioSecond(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Configure(frames, 64.0);
    const std::array<int32_t, 8> channels { 0, 1, 2, 3, 4, 5, 6, 7 };
    double engineFraction = 0.0;
    double processFraction = 0.0;
    double missed = 0.0;
    for (auto _ : state) {
        CMessageQueue queue(1 << 20);
        CSndIOPlayList playList;
        playList.SetVUFilter(1.8, 2);
        // The widest programme: the broadcast loudness over all eight meters, true peaks too.
        playList.SetLoudnessLayout(kerrion::LoudnessLayout::Surround71);
        const double processStart = ProcessCpuSeconds();
        playList.StartEngine(0, 0, 0, 0, nullptr, channels.data(), 2, 0, &queue, 0.0);
        const auto frameGoal = static_cast<int32_t>(kAudioSeconds * 48000.0);
        while (playList.GetCounters().inputFrames < frameGoal && !playList.HasEnded()) {
            CMessageQueue::Message m;
            while (queue.TakeMessage(m)) { }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const CSndIOPlayList::Counters counters = playList.GetCounters();
        playList.StopEngine();
        const double audioSeconds = counters.inputFrames / 48000.0;
        if (audioSeconds <= 0.0) {
            state.SkipWithError("the engine metered nothing");
            return;
        }
        engineFraction = counters.engineCpuSeconds / audioSeconds;
        processFraction = (ProcessCpuSeconds() - processStart) / audioSeconds;
        missed = counters.missedSlots;
    }
    state.counters["engine_core_fraction"] = engineFraction;
    state.counters["process_core_fraction"] = processFraction;
    state.counters["missed_slots"] = missed;
    state.counters["peak_rss_MiB"] = PeakResidentMiB(RUSAGE_SELF);
}
BENCHMARK(BM_EngineCpuPerAudioSecond)
    ->Arg(64)
    ->Arg(256)
    ->Arg(4096)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// kerrion-meter metering 8 channels for 3 s of audio; its peak resident memory.
void BM_KerrionMeterPeakResidentMemory(benchmark::State& state)
{
    Configure(512, 10.0);
    const std::string ini = (BenchFolder() / "Kerrion.ini").string();
    WriteText(ini, "[Device]\nType=2\nID=0\n");
    double peakMiB = 0.0;
    for (auto _ : state) {
        const std::string command = std::string("exec ") + KERRION_METER_PATH + " --ini '" + ini
            + "' --channels 0,1,2,3,4,5,6,7 --seconds 0.5 --format csv >/dev/null 2>&1";
        const char* argv[] = { "/bin/sh", "-c", command.c_str(), nullptr };
        pid_t pid = 0;
        if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ)
            != 0) {
            state.SkipWithError("kerrion-meter could not be started");
            return;
        }
        // The child's own high-water mark, read while it runs (a forked child's rusage would
        // also count the pages it shared with this process).
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            peakMiB = std::max(peakMiB, HighWaterMiB(pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    state.counters["peak_rss_MiB"] = peakMiB;
}
BENCHMARK(BM_KerrionMeterPeakResidentMemory)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
