#pragma once

// The engine context: what CSndIOPlayList and its worker thread share for one run. The play list
// and the worker each hold it by shared ownership, so a worker that has been abandoned keeps it
// (and through it everything the run touches) alive until it ends by itself.
//
// Threads: the controlling thread fills the set-up fields before the worker starts and reads
// the levels and counters at any time; the worker writes the levels, counters and status. Every
// field that both sides touch while the worker runs is an atomic read and written whole.

#include "meter/BlockLevelsRing.h"
#include "meter/LoudnessLayout.h"
#include "meter/LoudnessSnapshot.h"
#include "meter/NeedleType.h"
#include "meter/SndIOPlayList.h"
#include "meter/SndSPLoudnessMarvane.h"
#include "sndio/SndIOBlockInfoList.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kerrion {

struct EngineContext {
    static_assert(
        std::atomic<double>::is_always_lock_free, "levels must be written as whole 64-bit values");

    EngineContext();

    // Posts to the notify target unless the run has been abandoned; any thread, lock-free.
    bool Post(uint32_t message, intptr_t wParam, intptr_t lParam);
    // Worker: stores a block's peak level of meter `i` and raises its highest since taken.
    void StorePeak(std::size_t i, double level)
    {
        peak[i].store(level, std::memory_order_relaxed);
        std::atomic<double>& highest = peakSinceTaken[i];
        double seen = highest.load(std::memory_order_relaxed);
        while ((std::isnan(seen) || level > seen)
            && !highest.compare_exchange_weak(seen, level, std::memory_order_relaxed)) { }
    }
    // Controlling thread: no message is posted once this returns (waits out a post under way).
    void StopPosting();
    // Copies what a new context carries over from this one (parameters and VU levels).
    void CopySettingsFrom(const EngineContext& other);
    // Copies the counters and the status (what the run reached when it was abandoned).
    void CopyCountersFrom(const EngineContext& other);

    // Set up by StartEngine before the worker starts; read-only for the worker.
    CNotifyTarget* notify = nullptr; // none: nothing is posted
    CSndIOBlockInfoList entries;     // the worker's copy of the play list's entries
    char dumpNames[CSndIOPlayList::kDumpFiles][CSndIOPlayList::kPathLength] = {};
    // A name too long for its field: the file is refused rather than one of a cut name made.
    std::array<bool, CSndIOPlayList::kDumpFiles> dumpNameTooLong {};
    uint8_t meterMode = 0;
    uint8_t dumpEnabled = 0;
    double dumpSeconds = CSndIOPlayList::kDefaultDumpSeconds; // s
    int32_t deviceKind = 0; // 2: ASIO; anything else: plain device
    int32_t deviceIndex = 0;
    double vuReference = -20.0; // dB
    CSndSPLoudnessMarvane::Parameters secondLoudnessParameters
        = CSndSPLoudnessMarvane::kDefaultParameters;
    double loudnessWindow = 3.0; // s
    std::array<int32_t, CSndIOPlayList::kMeters>
        deviceChannels {}; // device input channel per meter
    double vuCutoff = 1.8; // Hz
    int32_t vuOrder = 2;
    LoudnessLayout loudnessLayout = LoudnessLayout::Stereo; // meters of the broadcast loudness
    CSndIOPlayList::DeviceFactory deviceFactory = nullptr;

    // Controlling thread writes, worker polls once per block.
    std::atomic<bool> run { false };
    // The ballistics per meter: a change reaches a running worker at its next block.
    std::array<std::atomic<NeedleType>, CSndIOPlayList::kMeters> needleTypes {};
    std::atomic<bool> loudnessResetRequested { false }; // the worker clears it when it resets

    // Written by the worker, read by the controlling thread.
    std::atomic<int32_t> status { CSndIOPlayList::kStatusOk };
    std::atomic<int64_t> outputPosition { 0 }; // frames
    std::atomic<int64_t> inputPosition { 0 };  // frames
    std::atomic<int64_t> outputTotal { 0 };    // frames
    std::atomic<int64_t> inputTotal { 0 };     // frames
    std::atomic<int64_t> blockCounter { 0 };
    // Blocks whose levels were stored since the receiver last took WM_SNDIO_LEVELS back: the
    // worker raises it after storing a block's levels and posts the message when it was 0; the
    // receiver swaps in 0 before reading the levels (both read-modify-write, so the receiver
    // sees every level stored before the count it takes).
    std::atomic<int64_t> levelBlocks { 0 };
    std::atomic<int32_t> dumpError { 0 }; // errno of a failed dump write
    std::atomic<uint32_t> lastBlockFrames { 0 };
    std::atomic<uint32_t> blockFrames { 0 };
    std::atomic<double> sampleRate { 0.0 }; // Hz
    std::atomic<uint32_t> missedSlots { 0 };
    std::atomic<int32_t> primingBlocks { 0 };
    std::atomic<int32_t> inputChannels { 0 };
    std::atomic<double> engineCpuSeconds {
        0.0
    }; // s of the worker's CPU time since its blocks began
    std::array<std::atomic<double>, CSndIOPlayList::kLevels> peak {}; // dBFS
    // The highest block peak of each meter since the controlling thread last took them; NaN
    // when no block came since. The worker only raises it, the controlling thread swaps in NaN.
    std::array<std::atomic<double>, CSndIOPlayList::kLevels> peakSinceTaken {}; // dBFS
    std::array<std::atomic<double>, CSndIOPlayList::kLevels> secondLoudness {}; // dB
    std::atomic<double> loudness { 0.0 };                                       // LKFS
    std::array<std::atomic<double>, CSndIOPlayList::kLevels> vu {}; // dB re the VU reference
    // What each meter's needle reads after its type's ballistics: dB re the VU reference (the
    // VU level itself for the VU type).
    std::array<std::atomic<double>, CSndIOPlayList::kLevels> needle {};
    LoudnessSnapshot loudnessR128; // broadcast loudness after the latest block
    // Every block's levels, for one reading thread; none unless asked for before the start.
    std::unique_ptr<BlockLevelsRing> blockLevels;

private:
    std::atomic<bool> m_abandoned {
        false
    };                                // the controlling thread gave up waiting for the worker
    std::atomic<int> m_posting { 0 }; // posts under way
};

// The worker thread's body: runs the entries of the context until one fails or all are done,
// then posts WM_SNDIO_FINISHED. 0, or 1 when there was no entry to run.
int EngineThreadProc(EngineContext& context);

// The calling thread's CPU time in seconds (0 when the system cannot tell).
double ThreadCpuSeconds();

// Runs one entry in meter mode (set-up, repetitions, ending). 1 when the run ended with an error
// status, 0 when the status is still 1.
int RunEntry(EngineContext& context, int entryIndex);

} // namespace kerrion
