// The whole program's cost while it meters: the main window with eight meters whose needles keep
// moving (noise modulated at a different slow rate on each channel), Refresh 1, for a number of
// seconds. Prints the CPU use of the process, of each thread and of the X server, the resident
// memory, the UI thread's wake-ups per second (its context switches: each sleep ends in one), the
// blocks metered per second, the frames each meter was repainted per second
// and the longest gap between two of them (while it had something new to show), the delay from the
// posting of a level message to the first paint of a meter it changed (largest and 99th
// percentile), and the largest backlog of the window's message queue.
//
//   MainWindowBench [SECONDS] [--frames N | --jack PERIOD [--peer]] [--fps RATE] [--no-readout]
//
// --frames: the signal generator at N-frame blocks (64 unless given). --jack: a private JACK
// server on the dummy driver at PERIOD frames, metered through the JACK bridge, the noise
// played by a client in a process of its own, which the figures leave out. --peer: then the same
// for the lightest needle meter on the same server and signal (see PeerMeter.h), and Kerrion's
// cost as a multiple of its. --fps: Meter/FrameRate. --no-readout: the loudness readout hidden.
//
// The window is watched from outside: an application event filter sees the socket notifier of
// the window's queue (or the timer of a batched delivery) fire and runs that delivery itself, so
// that it can look at the meters' state before and after the window took the waiting messages;
// it sees the meters' paints too.
//
// Runs on the offscreen platform, or on the X server named by DISPLAY when there is one.

#include "BenchWorkload.h"
#include "PeerMeter.h"
#include "PlayerProcess.h"
#include "ProcessTimes.h"
#include "app/IniProfile.h"
#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"
#include "display/SonaltDlg.h"
#include "meter/SndIODeviceFactory.h"
#include "platform/messages/QtMessagePump.h"

#include "support/JackServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPaintEvent>
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

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The index of the driver named `driverName` in the list of ASIO drivers, or -1.
int FindDriver(const std::string& driverName)
{
    std::unique_ptr<CSndIODevice> device = kerrion::CreateSndIODevice(2);
    if (!device || device->Initialize() != 1)
        return -1;
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] {};
    const int count = device->GetDeviceNames(names);
    for (int i = 0; i < count; ++i)
        if (std::string(names[i]) == driverName)
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
        m_meterPaints.fill(0);
        m_lastPaint.fill(std::nullopt);
        m_longestGap = 0.0;
        m_delays.clear();
        m_maxPending = 0;
        m_paints = 0;
        m_paintTime = {};
        m_paintRects = 0;
        m_paintPixels = 0;
    }
    std::vector<double>& Delays() { return m_delays; } // seconds
    std::size_t MaxPending() const { return m_maxPending; }
    int Paints() const { return m_paints; }
    int MeterPaints(int i) const { return m_meterPaints[static_cast<std::size_t>(i)]; }
    double LongestGap() const { return m_longestGap; } // seconds between two paints of a meter
    double PaintSeconds() const { return Seconds(m_paintTime); }
    // Rectangles and pixels of the paints' regions, which the window flushes to the X server.
    long long PaintRects() const { return m_paintRects; }
    long long PaintPixels() const { return m_paintPixels; }

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
            if (CSonaltDlg::SameOnScreen(CSonaltDlg::StateOf(m_window.Meter(i)), m_shown[index])) {
                m_waiting[index].reset(); // back to what the screen shows
                // Nothing to paint (a needle resting at the end of the scale, or still for a
                // frame): the screen is current, so a gap between frames counts from here.
                if (m_lastPaint[index])
                    m_lastPaint[index] = m_lastEmptied;
            } else if (!m_waiting[index])
                m_waiting[index] = posted;
        }
        return true;
    }

    bool Paint(int i, QObject* meter, QEvent* event)
    {
        const auto index = static_cast<std::size_t>(i);
        const Clock::time_point start = Clock::now();
        if (m_lastPaint[index])
            m_longestGap = std::max(m_longestGap, Seconds(start - *m_lastPaint[index]));
        m_lastPaint[index] = start;
        ++m_meterPaints[index];
        if (m_waiting[index])
            m_delays.push_back(Seconds(start - *m_waiting[index]));
        m_waiting[index].reset();
        m_shown[index] = CSonaltDlg::StateOf(m_window.Meter(i));
        const QRegion& region = static_cast<QPaintEvent*>(event)->region();
        m_paintRects += region.rectCount();
        for (const QRect& rect : region)
            m_paintPixels += static_cast<long long>(rect.width()) * rect.height();
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
    std::array<int, kMeters> m_meterPaints {};
    std::array<std::optional<Clock::time_point>, kMeters> m_lastPaint {};
    double m_longestGap = 0.0;
    std::size_t m_maxPending = 0;
    int m_paints = 0;
    Clock::duration m_paintTime {};
    long long m_paintRects = 0;
    long long m_paintPixels = 0;
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

void PrintThreads(const std::map<int, kerrion::bench::ThreadTime>& before,
    const std::map<int, kerrion::bench::ThreadTime>& after, double wall)
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

struct Options {
    int seconds = 10;
    int frames = 64; // signal generator block, or JACK period
    bool jack = false;
    bool peer = false;   // with jack: measure the peer meter too
    int frameRate = 0;   // Meter/FrameRate; 0 leaves the default
    bool readout = true; // Loudness/Show
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if ((arg == "--frames" || arg == "--jack") && hasValue) {
            options.jack = arg == "--jack";
            options.frames = std::max(16, std::atoi(argv[++i]));
        } else if (arg == "--no-readout") {
            options.readout = false;
        } else if (arg == "--peer") {
            options.peer = true;
        } else if (arg == "--fps" && hasValue) {
            options.frameRate = std::atoi(argv[++i]);
        } else {
            options.seconds = std::max(1, std::atoi(arg.c_str()));
        }
    }
    return options;
}

// The workload's files in a folder of their own: the noise as a WAVE file and the signal
// generator's settings playing it, or the JACK bridge's settings.
std::filesystem::path PrepareWorkload(const Options& options)
{
    char pattern[] = "/tmp/kerrion-bench-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    std::ofstream signal(dir / "signal.ini");
    signal << "[Signal]\nInputs=8\nBufferFrames=" << options.frames << "\n";
    const auto wave = dir / "noise.wav";
    kerrion::bench::WriteWave(wave, kerrion::bench::ModulatedNoise(kMeters, 48000.0, 4.0), 48000);
    for (int i = 1; i <= kMeters; ++i)
        signal << "[Input" << i << "]\nSource=file\nFile=" << wave.string() << "\nFileChannel=" << i
               << "\nLoop=1\n";
    std::ofstream(dir / "jack.ini") << "[JACK]\nInputs=8\nAutoConnect=0\n";
    qputenv("KERRION_SIGNAL_CONFIG", QByteArray::fromStdString((dir / "signal.ini").string()));
    qputenv("KERRION_JACK_CONFIG", QByteArray::fromStdString((dir / "jack.ini").string()));
    return dir;
}

void PrintFrames(const WindowProbe& probe, double wall)
{
    double fewest = 1e9;
    for (int i = 0; i < kMeters; ++i)
        fewest = std::min(fewest, probe.MeterPaints(i) / wall);
    std::printf("meter paints: %.1f /s in all, %.3f ms each; the least painted meter %.1f "
                "frames/s; longest gap between two frames of a meter %.1f ms\n",
        probe.Paints() / wall,
        probe.Paints() > 0 ? 1000.0 * probe.PaintSeconds() / probe.Paints() : 0.0, fewest,
        1000.0 * probe.LongestGap());
    if (probe.Paints() > 0)
        std::printf("paint regions: %.1f rectangles and %.0f pixels a paint on average\n",
            static_cast<double>(probe.PaintRects()) / probe.Paints(),
            static_cast<double>(probe.PaintPixels()) / probe.Paints());
}

// Meters for the options' time and prints the figures; `share` is set to the program's and the
// X server's CPU in all, as a share of one core.
int Measure(QApplication& app, const Options& options, int driver,
    const std::function<void()>& started, double& share)
{
    CSettingsRecord settings;
    std::string ini = "[Meter]\nNum=8\nRefresh=1\n";
    if (options.frameRate > 0)
        ini += "FrameRate=" + std::to_string(options.frameRate) + "\n";
    if (!options.readout)
        ini += "[Loudness]\nShow=0\n";
    settings.Load(CIniProfile(ini + "[Device]\nType=2\nID=" + std::to_string(driver) + "\n"));
    CSonaltDlg window(settings);
    window.show();
    WindowProbe probe(window);
    app.installEventFilter(&probe);
    RunEventLoop(500);

    window.OnCommand(CSonaltDlg::IDC_START);
    if (!WaitFor([&] { return window.IsRunning(); }, 5000)) {
        std::fprintf(stderr, "metering did not start\n");
        return 1;
    }
    started();
    RunEventLoop(1500); // the needles move, the caches warm up

    probe.Reset();
    const auto taken = [&] { return window.Engine().GetCounters().blocks; };
    const int64_t takenBefore = taken();
    const auto threadsBefore = kerrion::bench::ReadThreadTimes();
    const auto switchesBefore = kerrion::bench::ThreadContextSwitches(getpid());
    const double cpuBefore = kerrion::bench::ProcessCpuSeconds();
    const std::optional<double> xBefore = kerrion::bench::XServerCpuSeconds();
    const Clock::time_point start = Clock::now();
    RunEventLoop(options.seconds * 1000);
    const double wall = Seconds(Clock::now() - start);
    const double cpu = kerrion::bench::ProcessCpuSeconds() - cpuBefore;
    const std::optional<double> xAfter = kerrion::bench::XServerCpuSeconds();
    const auto threadsAfter = kerrion::bench::ReadThreadTimes();
    const auto switchesAfter = kerrion::bench::ThreadContextSwitches(getpid());
    const int64_t takenCount = taken() - takenBefore;
    const auto counters = window.Engine().GetCounters();

    std::printf("main window, %d moving meters, %s at %d frames, Refresh 1, loudness readout %s, "
                "%.1f s on %s\n",
        kMeters, options.jack ? "JACK" : "signal generator", options.frames,
        options.readout ? "shown" : "hidden", wall, qPrintable(QGuiApplication::platformName()));
    std::printf("process CPU:   %6.2f%% of one core\n", 100.0 * cpu / wall);
    share = cpu / wall;
    if (xBefore && xAfter) {
        share = (cpu + *xAfter - *xBefore) / wall;
        std::printf("X server CPU:  %6.2f%% of one core; program + X server %.2f%%\n",
            100.0 * (*xAfter - *xBefore) / wall, 100.0 * share);
    }
    std::printf("resident memory: %ld KiB\n", kerrion::bench::ResidentKiB());
    PrintThreads(threadsBefore, threadsAfter, wall);
    const long long slept = switchesAfter.voluntary - switchesBefore.voluntary;
    const long long preempted = switchesAfter.involuntary - switchesBefore.involuntary;
    std::printf("UI thread wake-ups: %.1f /s (context switches: %.1f /s voluntary, %.1f /s "
                "involuntary)\n",
        static_cast<double>(slept + preempted) / wall, static_cast<double>(slept) / wall,
        static_cast<double>(preempted) / wall);
    std::printf("blocks metered: %.1f /s (%lld in all, %.1f kHz, %u frames)\n",
        static_cast<double>(takenCount) / wall, static_cast<long long>(counters.blocks),
        counters.sampleRate / 1000.0, counters.blockFrames);
    PrintFrames(probe, wall);
    std::printf("delay from a level message posted to its meter's paint: max %.1f ms, "
                "99th percentile %.1f ms (%zu paints)\n",
        1000.0 * Percentile(probe.Delays(), 1.0), 1000.0 * Percentile(probe.Delays(), 0.99),
        probe.Delays().size());
    if (!window.EngineReport().isEmpty())
        std::printf("the run ended: %s\n", qPrintable(window.EngineReport()));
    std::printf("largest queue backlog: %zu messages; dropped: %llu\n", probe.MaxPending(),
        static_cast<unsigned long long>(window.EngineQueue().DroppedCount()));

    app.removeEventFilter(&probe);
    window.OnCommand(CSonaltDlg::IDC_STOP);
    WaitFor([&] { return !window.IsRunning(); }, 5000);
    return 0;
}

void PrintPeer(const Options& options, double kerrionShare)
{
    std::vector<std::string> ports;
    for (int i = 1; i <= kMeters; ++i)
        ports.push_back("player:out_" + std::to_string(i));
    const auto peer = kerrion::bench::MeasurePeerMeter(ports, options.seconds);
    if (!peer) {
        std::printf("peer meter: not run (apt-get install meterbridge)\n");
        return;
    }
    const double inAll = peer->program + peer->xServer;
    std::printf("peer meter (meterbridge, 8 VU needles, same server and signal): program %.2f%%, "
                "X server %.2f%%, in all %.2f%%; Kerrion %.2f x that\n",
        100.0 * peer->program, 100.0 * peer->xServer, 100.0 * inAll,
        inAll > 0.0 ? kerrionShare / inAll : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--play")
        return kerrion::bench::RunPlayer(argv[2]);
    const Options options = ParseOptions(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    const std::filesystem::path dir = PrepareWorkload(options);
    if (qEnvironmentVariableIsEmpty("KERRION_ASIO_REGISTRY"))
        qputenv("KERRION_ASIO_REGISTRY", KERRION_REGISTRY);
    QApplication app(argc, argv);

    std::unique_ptr<kerrion::test::JackServer> server;
    std::unique_ptr<kerrion::bench::PlayerProcess> player;
    if (options.jack) {
        kerrion::test::JackServer::Options serverOptions;
        serverOptions.period = static_cast<uint32_t>(options.frames);
        server = std::make_unique<kerrion::test::JackServer>(serverOptions);
        if (!server->Ready()) {
            std::fprintf(stderr, "jackd did not start:\n%s\n", server->Log().c_str());
            return 1;
        }
        qputenv("JACK_DEFAULT_SERVER", QByteArray::fromStdString(server->Name()));
        player = std::make_unique<kerrion::bench::PlayerProcess>("/proc/self/exe", server->Name());
    }
    const char* driverName = options.jack ? "JACK" : "Kerrion Signal Generator";
    const int driver = FindDriver(driverName);
    int status = 1;
    if (driver < 0) {
        std::fprintf(stderr, "no driver named \"%s\"\n", driverName);
    } else {
        double share = 0.0;
        status = Measure(
            app, options, driver,
            [&] {
                if (player && !player->Connect())
                    std::fprintf(stderr, "the player could not be connected to Kerrion\n");
            },
            share);
        if (status == 0 && options.jack && options.peer)
            PrintPeer(options, share);
    }
    player.reset();
    server.reset();
    std::filesystem::remove_all(dir);
    return status;
}
