#pragma once

// What a benchmark reads of its own process and of the X server: CPU time per thread and in
// all, resident memory, and the CPU time of the X server named by DISPLAY (a desktop's display
// server pays for every pixel a program flushes, so it counts with the program).

#include <map>
#include <optional>
#include <string>

namespace kerrion::bench {

struct ThreadTime {
    std::string name;
    double seconds = 0.0; // on a CPU
};

// Every thread of a process (this one unless `pid` is given) by thread id.
std::map<int, ThreadTime> ReadThreadTimes(int pid = 0);
// The time on a CPU of all the threads of `times`, in seconds.
double TotalSeconds(const std::map<int, ThreadTime>& times);
// User plus system time of this process, in seconds.
double ProcessCpuSeconds();
// Context switches of a thread of this process so far: voluntary ones (it slept, and each
// is followed by a wake-up) and involuntary ones (it was preempted).
struct ContextSwitches {
    long long voluntary = 0;
    long long involuntary = 0;
};
ContextSwitches ThreadContextSwitches(int tid);
// Resident memory of this process, in KiB.
long ResidentKiB();
// User plus system time of the X server process that serves DISPLAY, when it runs on this
// machine and can be found (an Xvfb or Xorg whose command line names the display).
std::optional<double> XServerCpuSeconds();

} // namespace kerrion::bench
