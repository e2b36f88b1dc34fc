#include "MeterRun.h"

#include "DeviceList.h"
#include "HistoryPlot.h"
#include "LevelOutput.h"
#include "meter/LoudnessLog.h"
#include "meter/SndIODeviceFactory.h"
#include "meter/SndIOPlayList.h"
#include "platform/messages/MessageQueue.h"
#include "platform/sync/Clock.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kerrion::cli {
namespace {

using PL = CSndIOPlayList;

constexpr int kBatchMs = 20;              // between two takings of the waiting records
constexpr std::size_t kKeptBlocks = 1024; // records that may wait: 1.4 s of 64-frame blocks

std::atomic<bool> g_interrupted { false };

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

struct DeviceChoice {
    int32_t kind = 0;
    int32_t index = 0;
    std::string name; // how it is found again after it went away; empty: by its index
};

// The device from the settings, overridden by the options; false (with the line printed) when
// --device matches nothing.
bool ChooseDevice(
    const MeterCommandLine& options, const CSettingsRecord& settings, DeviceChoice& choice)
{
    choice.kind = options.deviceType.value_or(settings.Device.Type);
    choice.index = options.deviceId.value_or(settings.Device.ID);
    if (!options.deviceName && (options.deviceType || options.deviceId))
        return true;
    if (!options.deviceName) {
        // The settings' device by its name: its index may have moved since they were written.
        choice.name = settings.Device.Name;
        choice.index = LocateDevice(choice.kind, choice.index, choice.name);
        if (choice.index < 0)
            std::fprintf(stderr,
                "kerrion-meter: the device \"%s\" of %s is not there; the list of devices is "
                "shown by --list-devices\n",
                settings.Device.Name.c_str(), FamilyName(choice.kind).c_str());
        return choice.index >= 0;
    }
    const std::optional<DeviceInfo> found
        = FindDeviceByPrefix(EnumerateDevices(false), *options.deviceName);
    if (!found) {
        std::fprintf(stderr,
            "kerrion-meter: no device name begins with \"%s\"; the list of devices is shown by "
            "--list-devices\n",
            options.deviceName->c_str());
        return false;
    }
    if (!found->failure.empty()) {
        std::fprintf(stderr, "kerrion-meter: %s cannot be used: %s\n", found->name.c_str(),
            found->failure.c_str());
        return false;
    }
    choice.kind = found->kind;
    choice.index = found->index;
    choice.name = found->name;
    return true;
}

// A run that ended because its device went away, which --reconnect waits out.
bool DeviceWentAway(int32_t status)
{
    return status == PL::kStatusDeviceLost || status == PL::kStatusTransferFailed;
}

// Waits until the device can be opened again (found by its name where it has one); false when
// metering is to end first (an interrupt, --seconds).
bool AwaitDevice(DeviceChoice& device, int32_t status, const std::function<bool()>& stop)
{
    std::fprintf(stderr, "kerrion-meter: %s; waiting for it to come back\n", StatusText(status));
    for (uint64_t next = 0; !stop(); std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
        if (NowMilliseconds() < next)
            continue;
        next = NowMilliseconds() + 1000;
        const int32_t index = LocateOpenableDevice(device.kind, device.index, device.name);
        if (index >= 0) {
            device.index = index;
            std::fprintf(stderr, "kerrion-meter: the device is back; metering again\n");
            return true;
        }
    }
    return false;
}

std::array<int, kMeters> ChooseChannels(
    const MeterCommandLine& options, const CSettingsRecord& settings)
{
    std::array<int, kMeters> channels {};
    for (size_t i = 0; i < channels.size(); ++i)
        channels[i]
            = i < options.channels.size() ? options.channels[i] : settings.Channel[i].device_ch;
    return channels;
}

PL::DumpConfig MakeDump(const MeterCommandLine& options)
{
    PL::DumpConfig dump;
    dump.enabled = options.dumpFiles.empty() ? 0 : 1;
    dump.seconds = options.dumpSeconds;
    for (size_t j = 0; j < options.dumpFiles.size() && j < 3; ++j)
        dump.names[j] = options.dumpFiles[j];
    return dump;
}

void InstallInterruptHandlers()
{
    g_interrupted.store(false);
    struct sigaction action { };
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void ReportFailure(
    int32_t status, int32_t dumpError, const DeviceChoice& device, const MeterCommandLine& options)
{
    const std::string which
        = "device " + std::to_string(device.index) + " of " + FamilyName(device.kind);
    switch (status) {
    case PL::kStatusNoDevice:
    case PL::kStatusStartFailed:
    case PL::kStatusTransferFailed:
    case PL::kStatusDeviceLost:
        std::fprintf(stderr,
            "kerrion-meter: %s: %s; the list of devices is shown by --list-devices\n",
            which.c_str(), StatusText(status));
        break;
    case PL::kStatusDumpFile: {
        std::string names;
        for (const std::string& name : options.dumpFiles)
            names += (names.empty() ? "" : ", ") + name;
        if (dumpError != 0)
            std::fprintf(stderr, "kerrion-meter: writing a dump file failed (%s): %s\n",
                names.c_str(), std::strerror(dumpError));
        else
            std::fprintf(
                stderr, "kerrion-meter: a dump file cannot be created (%s)\n", names.c_str());
        break;
    }
    default:
        std::fprintf(
            stderr, "kerrion-meter: metering %s failed: %s\n", which.c_str(), StatusText(status));
        break;
    }
}

// The run's loudness session log (--log): a line a second and one at each start and stop. A
// line that cannot be written is said once; metering goes on and the exit status tells.
class SessionLog {
public:
    SessionLog(const MeterCommandLine& options, const LoudnessStandard& standard)
        : m_on(options.logFile.has_value())
        , m_standard(standard)
    {
        if (m_on)
            m_log.WriteTo(*options.logFile);
    }

    void Event(const char* event)
    {
        Said(m_on && m_log.Event(std::time(nullptr), event, m_standard));
    }

    // A line of the readings when a new second has begun.
    void Tick(const CSndIOPlayList& playList)
    {
        const std::time_t now = std::time(nullptr);
        if (m_on && now != m_lastSecond) {
            m_lastSecond = now;
            Said(m_log.Reading(now, playList.GetLoudnessR128(), m_standard));
        }
    }

    bool Failed() const { return m_failed; }

private:
    void Said(bool written)
    {
        if (written || !m_on || m_failed)
            return;
        m_failed = true;
        std::fprintf(stderr, "kerrion-meter: cannot write the loudness log %s: %s\n",
            m_log.File().c_str(), m_log.Error().c_str());
    }

    bool m_on;
    LoudnessStandard m_standard;
    LoudnessLog m_log;
    std::time_t m_lastSecond = std::time(nullptr); // the first reading a second after the start
    bool m_failed = false;
};

// Prints the records of one run until it ends by itself (`ended`) or `stop` holds.
void MeterUntilEnd(CMessageQueue& queue, CSndIOPlayList& playList, LevelOutput& output,
    long long limit, const std::function<bool()>& stop, bool& ended,
    const std::function<void()>& eachBatch)
{
    while (!ended && !stop()) {
        // Records are taken in batches: a wake-up for every block would cost more than the
        // metering at small blocks. The engine has at most one level message waiting, so the
        // queue keeps room for its last message however long the output stalls.
        std::this_thread::sleep_for(std::chrono::milliseconds(kBatchMs));
        CMessageQueue::Message m;
        while (!ended && queue.TakeMessage(m) && !(limit > 0 && output.Blocks() >= limit)) {
            if (m.message == WM_SNDIO_LEVELS)
                output.Levels(playList, limit);
            ended = m.message == WM_SNDIO_FINISHED;
        }
        output.Flush();
        eachBatch();
    }
}

} // namespace

const char* StatusText(int32_t status)
{
    switch (status) {
    case PL::kStatusOk:
        return "ran normally";
    case PL::kStatusNoEntry:
        return "had nothing to run";
    case PL::kStatusStartFailed:
        return "the device could not be started";
    case PL::kStatusNoDevice:
        return "the device cannot be opened, or it has no channels";
    case PL::kStatusNoMemory:
        return "out of memory for the buffers or the device rings";
    case PL::kStatusDumpFile:
        return "a dump file cannot be created";
    case PL::kStatusTransferFailed:
        return "the device stopped delivering blocks";
    case PL::kStatusDeviceLost:
        return "the device went away (unplugged, or its server stopped)";
    default:
        return "unknown status";
    }
}

int ExitStatusFor(int32_t status)
{
    switch (status) {
    case PL::kStatusOk:
        return kExitOk;
    case PL::kStatusNoDevice:
    case PL::kStatusStartFailed:
    case PL::kStatusTransferFailed:
    case PL::kStatusDeviceLost:
        return kExitDevice;
    case PL::kStatusDumpFile:
        return kExitDumpFile;
    default:
        return kExitFailure;
    }
}

// The programme layout and the standard from the settings, overridden by the options.
LoudnessLayout ChooseLayout(const MeterCommandLine& options, const CSettingsRecord& settings)
{
    LoudnessLayout layout = LoudnessLayout::Stereo;
    ParseLayout(options.loudnessLayout.value_or(settings.Loudness.Layout), layout);
    return layout;
}

LoudnessStandard ChooseStandard(const MeterCommandLine& options, const CSettingsRecord& settings)
{
    LoudnessStandardId id = LoudnessStandardId::Arib;
    LoudnessStandard::Parse(options.standard.value_or(settings.Loudness.Standard), id);
    return LoudnessStandard::Of(id, settings.Loudness.Target, settings.Loudness.TruePeakLimit);
}

void PrintLoudnessSummary(const LoudnessReadings& r, const LoudnessStandard& standard)
{
    std::fprintf(stderr, "kerrion-meter: %s\n", LoudnessSummary(r, standard).c_str());
}

int RunMetering(const MeterCommandLine& options, const CSettingsRecord& settings)
{
    DeviceChoice device;
    if (!ChooseDevice(options, settings, device))
        return kExitDevice;
    const std::array<int, kMeters> channels = ChooseChannels(options, settings);
    std::array<double, kMeters> calibration {};
    for (size_t i = 0; i < calibration.size(); ++i)
        calibration[i] = settings.Channel[i].cal_vu;
    const PL::DumpConfig dump = MakeDump(options);

    CMessageQueue queue;
    CSndIOPlayList playList;
    playList.SetVUFilter(settings.BWLPF.cutoff, settings.BWLPF.order);
    playList.SetLoudnessLayout(ChooseLayout(options, settings));
    for (size_t i = 0; i < kMeters; ++i)
        playList.SetNeedleType(static_cast<int>(i),
            ParseNeedleType(options.meterType.value_or(settings.Channel[i].meter_type)));
    const LoudnessStandard standard = ChooseStandard(options, settings);
    SessionLog log(options, standard);
    std::unique_ptr<LoudnessHistory> history;
    if (options.plotFile)
        history = std::make_unique<LoudnessHistory>();
    InstallInterruptHandlers();
    LevelOutput output(options.format, channels, calibration, standard);
    if (output.EveryBlock())
        playList.KeepBlockLevels(kKeptBlocks);
    const auto startEngine = [&] {
        if (playList.StartEngine(
                0, 0, 0, 0, &dump, channels.data(), device.kind, device.index, &queue, 0.0)
            == 1) {
            log.Event("start");
            return true;
        }
        std::fprintf(stderr, "kerrion-meter: the metering engine cannot be started\n");
        return false;
    };
    if (!startEngine())
        return kExitFailure;
    const uint64_t start = NowMilliseconds();
    const auto timeUp = [&] {
        return options.seconds && (NowMilliseconds() - start) / 1000.0 >= *options.seconds;
    };
    const long long limit = options.blocks.value_or(0);
    const auto stopAsked = [&] {
        return g_interrupted.load() || timeUp() || (limit > 0 && output.Blocks() >= limit);
    };
    bool ended = false;
    for (;;) {
        MeterUntilEnd(queue, playList, output, limit, stopAsked, ended, [&] {
            log.Tick(playList);
            if (history)
                history->Follow(playList.GetLoudnessR128(), standard.truePeakLimit);
        });
        if (!ended || !options.reconnect || !DeviceWentAway(playList.GetStatus()))
            break;
        const int32_t status = playList.GetStatus();
        playList.StopEngine();
        log.Event("stop");
        if (!AwaitDevice(device, status, stopAsked) || !startEngine())
            break;
        ended = false;
    }
    const int stopped = playList.StopEngine();
    log.Event("stop");

    output.Stopped(playList, limit);
    output.Finish(playList);
    const PL::Counters counters = playList.GetCounters();
    std::fprintf(stderr,
        "kerrion-meter: %lld blocks, %lld frames, %u missed slots; engine status %d: %s%s\n",
        output.Blocks(), static_cast<long long>(counters.inputFrames), counters.missedSlots,
        counters.status, StatusText(counters.status),
        stopped == PL::kStopTimedOut ? " (the engine did not stop in time and was abandoned)" : "");
    if (const uint64_t lost = playList.DroppedBlockLevels(); lost > 0)
        std::fprintf(stderr,
            "kerrion-meter: the records of %llu blocks were lost: the output did not keep up\n",
            static_cast<unsigned long long>(lost));
    PrintLoudnessSummary(playList.GetLoudnessR128(), standard);
    if (counters.status != PL::kStatusOk)
        ReportFailure(counters.status, counters.dumpError, device, options);
    const int status = counters.status == PL::kStatusOk && stopped != PL::kStopped
        ? kExitFailure
        : ExitStatusFor(counters.status);
    std::string why;
    const bool plotFailed
        = history && !WriteHistoryPlot(*options.plotFile, *history, standard, why);
    if (plotFailed)
        std::fprintf(stderr, "kerrion-meter: cannot write the plot %s: %s\n",
            options.plotFile->c_str(), why.c_str());
    return status == kExitOk && (log.Failed() || plotFailed) ? kExitFailure : status;
}

} // namespace kerrion::cli
