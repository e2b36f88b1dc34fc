#pragma once

// One run of a play list entry in meter mode, on the engine's worker thread: the set-up (device,
// rings, buffers, processors, dump files), the repetitions of the block loop, and the ending
// sequence, which the destructor performs so that every path out releases what it made.
//
// Threads: the worker thread only. The block loop allocates nothing, takes no lock and calls
// nothing that may block other than the device's Transfer (bounded waits) and, with the dump
// enabled, the dump files' writes; GetPosition only reads what the streaming device published.

#include "meter/EngineBuffers.h"
#include "meter/EngineContext.h"
#include "meter/SndSPLoudnessBS1770.h"
#include "meter/SndSPLoudnessMarvane.h"
#include "meter/SndSPLoudnessR128.h"
#include "meter/SndSPNeedle.h"
#include "meter/SndSPPeak.h"
#include "meter/SndSPVU.h"
#include "sndio/SndIODevice.h"
#include "sndio/WaveFile.h"

#include <array>
#include <memory>

namespace kerrion {

// A device counts its position in 32 bits, which wrap after a day at 48 kHz; the engine follows
// it in 64 bits by adding what it moved since it last looked, read as a signed step: forward
// across the wrap, or back a little (a device may correct its position), never 2^31 frames.
struct DevicePosition {
    uint32_t last = 0;  // frames, as the device last gave it
    int64_t frames = 0; // frames since the device started

    int64_t Advance(uint32_t position)
    {
        frames += static_cast<int32_t>(position - last);
        last = position;
        return frames;
    }
};

class EngineRun {
public:
    EngineRun(EngineContext& context, const CSndIOBlockInfo& entry);
    ~EngineRun();
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    // Sets up, runs the repetitions and ends; returns the status the run ended with.
    int32_t Run();

private:
    int32_t SetUp();
    int32_t OpenDevice();
    int32_t PrepareRings();
    int32_t CreateBuffersAndProcessors();
    bool OpenDumpFiles(int channels, bool keepOpen);
    int32_t Prime();
    int32_t RunRepetitions();
    int32_t RunBlock();
    void StoreCpuTime(); // the worker's CPU time since its blocks began, into the counters
    bool DeviceLost(int transferResult, uint32_t frames);
    void Measure(uint32_t frames);
    void FollowNeedleTypes();
    void MeasureNeedles(const CSndIOBuffer* vu, const CSndIOBuffer* meters);
    void MeasureR128();
    void KeepLevels(uint32_t frames);
    void PostLevels();
    bool Dump(uint32_t frames);
    void StorePositions();
    void End();
    // Sets the status and, when `post`, posts WM_SNDIO_FINISHED; returns the status.
    int32_t Fail(int32_t status, bool post);

    EngineContext& m_context;
    const CSndIOBlockInfo& m_entry;
    std::unique_ptr<CSndIODevice> m_device;
    EngineBuffers m_buffers;
    CWaveFile m_dumpFiles[CSndIOPlayList::kDumpFiles];
    std::unique_ptr<CSndSPPeak> m_peak;
    std::unique_ptr<CSndSPVU> m_vu;
    std::unique_ptr<CSndSPNeedle> m_needle; // the meters whose needle is not the VU
    std::array<NeedleType, CSndIOPlayList::kMeters> m_needleTypes {}; // what m_needle follows
    std::unique_ptr<CSndSPLoudnessMarvane> m_secondLoudness;
    std::unique_ptr<CSndSPLoudnessBS1770> m_loudness;
    std::unique_ptr<CSndSPLoudnessR128> m_r128; // broadcast loudness of the programme layout
    LoudnessReadings m_readings;                // of m_r128 after the latest block
    BlockLevels m_blockLevels;                  // the record KeepLevels fills

    double m_rate = 0.0;             // Hz of the device's input
    uint64_t m_dumpBudget = 0;       // frames still to be written to each dump file
    uint32_t m_dumpSizesFrames = 0;  // frames between two updates of the dump files' sizes
    uint32_t m_dumpSinceSizes = 0;   // frames written since the last update
    bool m_levelsPostFailed = false; // the last WM_SNDIO_LEVELS found no room: post again
    DevicePosition m_outputPosition;
    DevicePosition m_inputPosition;
    bool m_dumpEnabled = false;
    int m_outputs = 0;           // device output channels streamed
    int m_inputs = 0;            // device input channels streamed
    int m_dumpChannels = 0;      // channels per dump file (at most 2)
    int m_processorChannels = 0; // max(8, inputs)
    uint32_t m_blockFrames = 0;  // frames per block
    SampleType m_blockType = 0;  // sample type of the engine's device-side buffers
    int32_t m_primes = 0;        // blocks discarded before the first metered one
    double m_cpuStart = 0.0;     // s; the worker thread's CPU time when its blocks began
    uint64_t m_lastInputMs = 0;  // ms (monotonic); when the device last delivered input or
                                 // answered in time
};

} // namespace kerrion
