#include "ProcessTimes.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kerrion::bench {

namespace {

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::string FirstLine(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// utime + stime of /proc/<pid>/stat, in seconds.
double StatCpuSeconds(const std::filesystem::path& stat)
{
    const std::string text = ReadAll(stat);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::atol(field.c_str());
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

ContextSwitches ThreadContextSwitches(int tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/status");
    ContextSwitches switches;
    for (std::string line; std::getline(in, line);) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, colon);
        if (key == "voluntary_ctxt_switches")
            switches.voluntary = std::atoll(line.c_str() + colon + 1);
        else if (key == "nonvoluntary_ctxt_switches")
            switches.involuntary = std::atoll(line.c_str() + colon + 1);
    }
    return switches;
}

namespace {

// The pid of the X server whose command line holds `display` (":99") as an argument.
std::optional<int> FindXServer(const std::string& display)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string cmdline = ReadAll(entry.path() / "cmdline");
        std::istringstream args(cmdline);
        std::string program;
        std::getline(args, program, '\0');
        if (program.find("Xvfb") == std::string::npos && program.find("Xorg") == std::string::npos)
            continue;
        for (std::string arg; std::getline(args, arg, '\0');)
            if (arg == display)
                return std::atoi(name.c_str());
    }
    return std::nullopt;
}

} // namespace

std::map<int, ThreadTime> ReadThreadTimes(int pid)
{
    std::map<int, ThreadTime> times;
    const std::filesystem::path tasks
        = std::filesystem::path("/proc") / (pid == 0 ? "self" : std::to_string(pid)) / "task";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
        const int tid = std::atoi(entry.path().filename().c_str());
        // schedstat's first field is the time on a CPU in nanoseconds.
        const std::string schedstat = FirstLine(entry.path() / "schedstat");
        times[tid] = { FirstLine(entry.path() / "comm"), std::atof(schedstat.c_str()) * 1e-9 };
    }
    return times;
}

double TotalSeconds(const std::map<int, ThreadTime>& times)
{
    double total = 0.0;
    for (const auto& [tid, time] : times)
        total += time.seconds;
    return total;
}

double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long ResidentKiB()
{
    std::istringstream status(ReadAll("/proc/self/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

std::optional<double> XServerCpuSeconds()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return std::nullopt;
    std::string name(display);
    name = name.substr(0, name.find('.')); // ":99.0" -> ":99"
    const std::optional<int> pid = FindXServer(name);
    if (!pid)
        return std::nullopt;
    return StatCpuSeconds("/proc/" + std::to_string(*pid) + "/stat");
}

} // namespace kerrion::bench
