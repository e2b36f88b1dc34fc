// The whole program's cost while it meters: the main window with eight meters on the signal
// generator at 64-frame blocks, Refresh 1, for a number of seconds (10 unless given as the first
// argument). Prints the process's CPU use and each thread's, the level messages taken per second,
// the delay from the posting of a level message to the first paint of a meter it changed
// (largest and 99th percentile), and the largest backlog of the window's message queue.
//
// The window is watched from outside: an application event filter sees the socket notifier of
// the window's queue (or the timer of a batched delivery) fire and runs that delivery itself, so
// that it can look at the meters' state before and after the window took the waiting messages;
// it sees the meters' paints too.
//
// Runs on the offscreen platform, or on the X server named by DISPLAY when there is one.

#include "app/IniProfile.h"
#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"
#include "display/SonaltDlg.h"
#include "meter/SndIODeviceFactory.h"
#include "platform/messages/QtMessagePump.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMeters = 8;
const char* const kDriverName = "Kerrion Signal Generator";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time of every thread of this process, in seconds, by thread id, with the thread's name.
struct ThreadTime {
    std::string name;
    double seconds = 0.0;
};

std::string ReadLine(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::map<int, ThreadTime> ReadThreadTimes()
{
    std::map<int, ThreadTime> times;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        const int tid = std::atoi(entry.path().filename().c_str());
        // schedstat's first field is the time on a CPU in nanoseconds.
        const std::string schedstat = ReadLine(entry.path() / "schedstat");
        times[tid] = { ReadLine(entry.path() / "comm"), std::atof(schedstat.c_str()) * 1e-9 };
    }
    return times;
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

// The signal generator's index in the list of ASIO drivers, or -1.
int FindDriver()
{
    std::unique_ptr<CSndIODevice> device = kerrion::CreateSndIODevice(2);
    if (!device || device->Initialize() != 1)
        return -1;
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] {};
    const int count = device->GetDeviceNames(names);
    for (int i = 0; i < count; ++i)
        if (std::string(names[i]) == kDriverName)
            return i;
    return -1;
}

using MeterState = CSonaltDlg::NeedleState;

// Watches the window's message deliveries and its meters' paints.
class WindowProbe final : public QObject {
public:
    explicit WindowProbe(CSonaltDlg& window)
        : m_window(window)
    {
        for (int i = 0; i < kMeters; ++i)
            m_shown[static_cast<std::size_t>(i)] = CSonaltDlg::StateOf(window.Meter(i));
    }

    void Reset()
    {
        m_delays.clear();
        m_maxPending = 0;
        m_paints = 0;
        m_paintTime = {};
    }
    std::vector<double>& Delays() { return m_delays; } // seconds
    std::size_t MaxPending() const { return m_maxPending; }
    int Paints() const { return m_paints; }
    double PaintSeconds() const { return Seconds(m_paintTime); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::SockAct) {
            auto* notifier = qobject_cast<QSocketNotifier*>(watched);
            if (notifier != nullptr
                && notifier->socket() == m_window.EngineQueue().WakeDescriptor())
                return Deliver(watched, event);
        } else if (event->type() == QEvent::Timer
            && qobject_cast<CQtMessagePump*>(watched) != nullptr) {
            return Deliver(watched, event); // a batch gathered while the descriptor rested
        } else if (event->type() == QEvent::Paint) {
            for (int i = 0; i < kMeters; ++i)
                if (watched == &m_window.Meter(i))
                    return Paint(i, watched, event);
        }
        return false;
    }

private:
    // Runs the delivery of the waiting messages; a meter whose state now differs from what it
    // last painted waits for a paint since the oldest of these messages was posted (unless it
    // waited already). Every message of this delivery was posted after the previous delivery
    // emptied the queue, so that moment bounds the oldest one's posting from below.
    bool Deliver(QObject* receiver, QEvent* event)
    {
        const Clock::time_point now = Clock::now();
        const Clock::time_point posted = m_lastEmptied.value_or(now);
        m_maxPending = std::max(m_maxPending, m_window.EngineQueue().Pending());
        receiver->event(event);
        m_lastEmptied = Clock::now();
        for (int i = 0; i < kMeters; ++i) {
            const auto index = static_cast<std::size_t>(i);
            if (CSonaltDlg::SameOnScreen(CSonaltDlg::StateOf(m_window.Meter(i)), m_shown[index]))
                m_waiting[index].reset(); // back to what the screen shows
            else if (!m_waiting[index])
                m_waiting[index] = posted;
        }
        return true;
    }

    bool Paint(int i, QObject* meter, QEvent* event)
    {
        const auto index = static_cast<std::size_t>(i);
        const Clock::time_point start = Clock::now();
        if (m_waiting[index])
            m_delays.push_back(Seconds(start - *m_waiting[index]));
        m_waiting[index].reset();
        m_shown[index] = CSonaltDlg::StateOf(m_window.Meter(i));
        static_cast<QObject*>(meter)->event(event);
        m_paintTime += Clock::now() - start;
        ++m_paints;
        return true;
    }

    CSonaltDlg& m_window;
    std::array<MeterState, kMeters> m_shown {};
    std::array<std::optional<Clock::time_point>, kMeters> m_waiting {};
    std::optional<Clock::time_point> m_lastEmptied;
    std::vector<double> m_delays;
    std::size_t m_maxPending = 0;
    int m_paints = 0;
    Clock::duration m_paintTime {};
};

void RunEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        RunEventLoop(10);
    return done();
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[rank];
}

void PrintThreads(
    const std::map<int, ThreadTime>& before, const std::map<int, ThreadTime>& after, double wall)
{
    double ui = 0.0;
    double rest = 0.0;
    for (const auto& [tid, time] : after) {
        const auto start = before.find(tid);
        const double used = time.seconds - (start == before.end() ? 0.0 : start->second.seconds);
        const bool isUi = tid == getpid();
        (isUi ? ui : rest) += used;
        std::printf("  thread %-7d %-16s %6.2f%%%s\n", tid, time.name.c_str(), 100.0 * used / wall,
            isUi ? "  (UI)" : "");
    }
    std::printf("UI thread:     %6.2f%% of one core\n", 100.0 * ui / wall);
    std::printf("other threads: %6.2f%% of one core\n", 100.0 * rest / wall);
}

std::filesystem::path WriteSignalConfig()
{
    char pattern[] = "/tmp/kerrion-bench-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    std::ofstream(dir / "signal.ini") << "[Signal]\nInputs=8\nBufferFrames=64\n";
    return dir;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    const std::filesystem::path dir = WriteSignalConfig();
    qputenv("KERRION_SIGNAL_CONFIG", QByteArray::fromStdString((dir / "signal.ini").string()));
    if (qEnvironmentVariableIsEmpty("KERRION_ASIO_REGISTRY"))
        qputenv("KERRION_ASIO_REGISTRY", KERRION_REGISTRY);
    QApplication app(argc, argv);

    const int driver = FindDriver();
    if (driver < 0) {
        std::fprintf(stderr, "no driver named \"%s\"\n", kDriverName);
        std::filesystem::remove_all(dir);
        return 1;
    }
    CSettingsRecord settings;
    settings.Load(CIniProfile(
        "[Meter]\nNum=8\nRefresh=1\n[Device]\nType=2\nID=" + std::to_string(driver) + "\n"));
    CSonaltDlg window(settings);
    window.show();
    WindowProbe probe(window);
    app.installEventFilter(&probe);
    RunEventLoop(500);

    window.OnCommand(CSonaltDlg::IDC_START);
    if (!WaitFor([&] { return window.IsRunning(); }, 5000)) {
        std::fprintf(stderr, "metering did not start\n");
        std::filesystem::remove_all(dir);
        return 1;
    }
    RunEventLoop(1000); // the meters settle, the caches warm up

    probe.Reset();
    const auto taken = [&] {
        return window.Engine().GetCounters().blocks
            - static_cast<int64_t>(window.EngineQueue().Pending());
    };
    const int64_t takenBefore = taken();
    const auto threadsBefore = ReadThreadTimes();
    const double cpuBefore = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    RunEventLoop(seconds * 1000);
    const double wall = Seconds(Clock::now() - start);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const auto threadsAfter = ReadThreadTimes();
    const int64_t takenCount = taken() - takenBefore;
    const auto counters = window.Engine().GetCounters();

    std::printf("main window, %d meters on the signal generator, 64-frame blocks, Refresh 1, "
                "%.1f s on %s\n",
        kMeters, wall, qPrintable(QGuiApplication::platformName()));
    std::printf("process CPU:   %6.2f%% of one core\n", 100.0 * cpu / wall);
    PrintThreads(threadsBefore, threadsAfter, wall);
    std::printf("level messages taken: %.1f /s (engine blocks %d, %.1f kHz, %u frames)\n",
        static_cast<double>(takenCount) / wall, counters.blocks, counters.sampleRate / 1000.0,
        counters.blockFrames);
    std::printf("meter paints: %.1f /s, %.3f ms each\n", probe.Paints() / wall,
        probe.Paints() > 0 ? 1000.0 * probe.PaintSeconds() / probe.Paints() : 0.0);
    std::printf("delay from a level message posted to its meter's paint: max %.1f ms, "
                "99th percentile %.1f ms (%zu paints)\n",
        1000.0 * Percentile(probe.Delays(), 1.0), 1000.0 * Percentile(probe.Delays(), 0.99),
        probe.Delays().size());
    std::printf("largest queue backlog: %zu messages; dropped: %llu\n", probe.MaxPending(),
        static_cast<unsigned long long>(window.EngineQueue().DroppedCount()));

    app.removeEventFilter(&probe);
    window.OnCommand(CSonaltDlg::IDC_STOP);
    WaitFor([&] { return !window.IsRunning(); }, 5000);
    std::filesystem::remove_all(dir);
    return 0;
}
