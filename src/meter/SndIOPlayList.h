#pragma once

// The metering engine: the play list object that the main window (or kerrion-meter) owns, and
// through which it starts and stops metering. StartEngine starts a worker thread that opens the
// device, creates the processors and then, block by block until StopEngine, takes one block of
// input, routes up to eight device channels to the eight meters, runs the peak, VU and loudness
// processors, optionally writes the input to WAVE files (the dump), stores the levels and tells
// the notify target with WM_SNDIO_LEVELS that new levels wait. That message is not queued once
// per block: it is posted when a block's levels are stored and none is waiting to be taken, and
// the receiver takes it back with TakeLevelBlocks, which also tells how many blocks came since.
// So the notify target's queue holds at most one level message, however long its receiver
// sleeps, and the run's control messages (started, segment, finished) always find room.
//
// Threads: one controlling thread (the user-interface thread, or the tool's main thread) calls
// every member function here. The worker thread runs the block loop; it shares no lock with the
// controlling thread: it posts messages through CNotifyTarget::PostMessage, writes each level as
// one whole 64-bit value, raises an atomic count of blocks not taken and polls an atomic run
// flag once per block.
//
// A worker that has not ended 2000 ms after StopEngine is abandoned, never killed: it keeps its
// engine context, device and buffers alive by shared ownership until it ends by itself, it posts
// no message after StopEngine has returned, and the next StartEngine runs on a fresh context.

#include "meter/BlockLevels.h"
#include "meter/LoudnessLayout.h"
#include "meter/LoudnessReadings.h"
#include "meter/NeedleType.h"
#include "platform/messages/NotifyTarget.h"
#include "sndio/SndIOBlockInfoList.h"
#include "sndio/SndIOSegmentInfo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CSndIODevice;
namespace kerrion {
class Thread;
struct EngineContext;
} // namespace kerrion

// Messages posted to the notify target (message numbers WM_APP + n).
constexpr uint32_t WM_SNDIO_STARTED
    = WM_APP + 1; // 0x8001 (0, 0): device started, before the first block
constexpr uint32_t WM_SNDIO_SEGMENT = WM_APP + 2; // 0x8002 (output position, 0): a segment starts
// 0x8003 (0, 0): levels of one block or more are stored since the receiver last took them
// (TakeLevelBlocks); no other one is posted until it has.
constexpr uint32_t WM_SNDIO_LEVELS = WM_APP + 3;
constexpr uint32_t WM_SNDIO_FINISHED
    = WM_APP + 4; // 0x8004 (-1, 0): early failure, and at the worker's end

class CSndIOPlayList {
public:
    // The engine status (GetStatus).
    static constexpr int kStatusOk = 1;          // running, or ended normally
    static constexpr int kStatusNoEntry = 0;     // the play list held no entry to run
    static constexpr int kStatusStartFailed = 2; // the device's Start failed
    static constexpr int kStatusNoDevice
        = 0x100; // device cannot be initialised/selected, or has no channels
    static constexpr int kStatusNoMemory
        = 0x101; // a buffer or the device rings cannot be allocated
    static constexpr int kStatusDumpFile = 0x102;       // a dump file cannot be created
    static constexpr int kStatusTransferFailed = 0x103; // Transfer returned 0 (no device thread)
    static constexpr int kStatusDeviceLost = 0x104; // the device went away (unplugged, server gone)

    // StopEngine results.
    static constexpr int kStopped = 1;
    static constexpr int kStopTimedOut = 0x200; // the worker was abandoned after kStopWaitMs

    static constexpr int kMeters = 8;
    static constexpr int kLevels = 64; // entries of each level array
    static constexpr int kDumpFiles = 3;
    static constexpr int kPathLength = 260; // characters of a dump name, with the NUL
    static constexpr uint32_t kStopWaitMs = 2000;
    static constexpr double kSilenceDb = -96.0;
    static constexpr double kDefaultDumpSeconds = 600.0;
    static constexpr int kYamahaPrimingBlocks = 128;

    // What the engine writes to WAVE files while it meters (16-bit PCM, two channels per file).
    struct DumpConfig {
        std::string names[kDumpFiles]; // empty: no file; a name above 259 bytes is refused
                                       // (the run ends with kStatusDumpFile)
        uint8_t enabled = 0;
        double seconds = kDefaultDumpSeconds; // budget of frames written to each file
    };

    // Makes the device for a family (2: ASIO driver, any other value: plain audio device), or
    // null when that family has no device here.
    using DeviceFactory = std::unique_ptr<CSndIODevice> (*)(int32_t deviceKind);

    // Counters of the current (or last) run, read together by the controlling thread. Counts of
    // blocks and frames are 64-bit: at 48 kHz frames pass 2^31 in half a day.
    struct Counters {
        int32_t status = kStatusOk;
        int64_t blocks = 0;           // blocks metered (their levels stored)
        int64_t outputPosition = 0;   // device frames, less the priming blocks
        int64_t inputPosition = 0;    // device frames, less the priming blocks
        int64_t outputFrames = 0;     // frames handed to Transfer since the entry started
        int64_t inputFrames = 0;      // frames received from Transfer since the entry started
        uint32_t lastBlockFrames = 0; // input frames of the latest block
        uint32_t blockFrames = 0; // frames per block of the device (0 before the device is set up)
        double sampleRate = 0.0;  // Hz of the device's input (0 before the device is set up)
        uint32_t missedSlots = 0; // input slots the device thread dropped because the engine lagged
        int32_t primingBlocks = 0;     // blocks discarded before the first metered one
        int32_t inputChannels = 0;     // device input channels streamed
        double engineCpuSeconds = 0.0; // CPU time of the worker thread since its blocks began
        int32_t dumpError = 0;         // errno of the dump write that ended the run (0: none)
    };

    CSndIOPlayList();
    // Stops a running engine first (StopEngine).
    virtual ~CSndIOPlayList();
    CSndIOPlayList(const CSndIOPlayList&) = delete;
    CSndIOPlayList& operator=(const CSndIOPlayList&) = delete;

    // Starts metering in meter mode: entry 0 of the play list runs `repeatCount` times (0: until
    // StopEngine) on the device `deviceIndex` of family `deviceKind`; meter i shows device input
    // channel deviceChannels[i] (8 entries; a channel out of range leaves the meter silent).
    // `dumpConfig` may be null (no dump). Messages go to `notifyWindow` (none when null); the
    // target must outlive the run, that is until StopEngine returns or WM_SNDIO_FINISHED's
    // final post. The caller stops a running engine before starting it again. Returns 1, or 0
    // when the play list or the worker thread cannot be created.
    int StartEngine(intptr_t reserved1, uint8_t mute, int32_t repeatCount, intptr_t reserved2,
        const DumpConfig* dumpConfig, const int32_t* deviceChannels, int32_t deviceKind,
        int32_t deviceIndex, CNotifyTarget* notifyWindow, double gainDb);

    // Clears the run flag and waits up to kStopWaitMs for the worker: kStopped, or kStopTimedOut
    // when it had to be abandoned (its device is then released: for an ASIO device through a
    // fresh device object's Initialize). kStopped at once when there is no worker.
    int StopEngine();

    // Copies the 64 peak levels (dBFS; -96.0 for silence) and the 64 VU levels (dB relative to
    // 20 dB below full scale) of meters 0..63 (0..7 are used). Returns 1. Any thread.
    int GetMeterLevels(double* peakOut, double* vuOut) const;
    // The receiver of WM_SNDIO_LEVELS takes it back: returns the blocks whose levels were stored
    // since the previous call (0 when none), and the next block posts WM_SNDIO_LEVELS again.
    // Call it before reading the levels, so that a block stored after the reading posts anew.
    // One reading thread.
    int64_t TakeLevelBlocks();
    // Copies the 64 peak levels as the highest of every block since the previous call (the
    // latest block's when none came since), so that a reader who folds several level messages
    // into one reading still sees a peak of a single block. Returns 1. One reading thread.
    int TakePeakLevels(double* peakOut);
    // The BS.1770 loudness of all meters together (LKFS; -96.0 before the first value).
    double GetLoudness() const;
    // The second loudness levels (64 entries; 0 and 1 are written).
    int GetSecondLoudnessLevels(double* levelsOut) const;

    // Makes sure entry 0 and its first segment exist and updates its tracks' gains. Returns 1.
    uint8_t ApplySegmentGains(uint8_t mute, double gainDb);

    // The broadcast loudness (EBU R128 style: momentary, short-term, integrated, range, true
    // peaks) of the programme that `layout` makes of the meters, measured on every block of the
    // next run; stereo (meters 1-2) by default.
    void SetLoudnessLayout(kerrion::LoudnessLayout layout);
    kerrion::LoudnessLayout GetLoudnessLayout() const;
    // The ballistics of meter `meter` (0..7): the VU by default. A running engine takes a new
    // type at its next block, that needle starting from rest. Any thread.
    void SetNeedleType(int meter, kerrion::NeedleType type);
    // Copies the 64 needle readings (dB relative to the VU reference: for the VU type the VU
    // level, for the others the level their ballistics read, the reference sine reading 0.0 on
    // every type). Returns 1. Any thread.
    int GetNeedleLevels(double* needleOut) const;
    // The readings after the latest block (NaN where not defined yet); every value of one
    // block, never a mix of two. Lock-free; any thread.
    kerrion::LoudnessReadings GetLoudnessR128() const;
    // Asks the engine to start integrated loudness, range and maxima anew at its next block (a
    // start does so too). Any thread.
    void ResetLoudnessR128();

    // Keeps the levels of every block of the next runs, up to `capacity` blocks not taken yet
    // (0, the default: none kept), for a reader that wakes less often than blocks come.
    // Allocates; call while no run is under way.
    void KeepBlockLevels(std::size_t capacity);
    // The oldest block of this run not taken yet (it is posted after it is kept); false when
    // none waits. One reading thread.
    bool TakeBlockLevels(kerrion::BlockLevels& out);
    // Blocks of this run whose levels found the ring full.
    uint64_t DroppedBlockLevels() const;

    // The VU ballistics of the next run (settings BWLPF/cutoff in Hz and BWLPF/order).
    void SetVUFilter(double cutoffHz, int32_t order);
    // Replaces the device factory for later runs (null: the built-in one).
    void SetDeviceFactory(DeviceFactory factory);

    // True while a worker thread exists (from StartEngine until StopEngine).
    bool IsRunning() const;
    // True once the worker thread has ended by itself (its WM_SNDIO_FINISHED is posted).
    bool HasEnded() const;
    int32_t GetStatus() const;
    Counters GetCounters() const;

    CSndIOSegmentInfoList m_segments; // the play list's own segment list (play mode; unused)
    CSndIOBlockInfoList m_entries;    // the entries; entry 0 is the metering run

private:
    void Abandon();

    std::shared_ptr<kerrion::EngineContext> m_engine; // the engine context, shared with the worker
    std::unique_ptr<kerrion::Thread> m_thread;        // the worker thread, or none
    DeviceFactory m_deviceFactory = nullptr;
};
