// The per-block path of EngineRun: one Transfer, the routing to the meters, the processors, the
// dump and the positions. Nothing here allocates, locks or calls into the user interface.

#include "meter/EngineRun.h"

#include "platform/sync/Clock.h"

#include <algorithm>
#include <cstdint>

namespace kerrion {
namespace {

using PL = CSndIOPlayList;

// A device that has answered nothing but time-outs for this long is gone (unplugged, its server
// stopped): the run ends with the transfer failure status instead of metering frozen silence.
// Single time-outs of a slow moment stay harmless.
constexpr uint64_t kDeviceLostMs = 5000;
constexpr uint32_t kCpuTimeBlocks = 32;

double FirstValue(const CSndIOBuffer& result)
{
    return result.HasData() ? result.Samples<double>()[0] : 0.0;
}

// The position followed in 64 bits, less the primed frames, is stored when that is above 0;
// otherwise the old value stays.
void StorePosition(
    DevicePosition& tracked, std::atomic<int64_t>& target, uint32_t position, int64_t primedFrames)
{
    const int64_t frames = tracked.Advance(position) - primedFrames;
    if (frames > 0)
        target.store(frames, std::memory_order_relaxed);
}

} // namespace

int32_t EngineRun::RunBlock()
{
    uint32_t frames = static_cast<uint32_t>(std::min<uint64_t>(m_blockFrames, m_dumpBudget));
    m_buffers.input.Clear();
    // A time-out (512) is no failure: the block counts with the frames it delivered.
    const int result = m_device->Transfer(
        m_buffers.output.Get(), m_outputs, m_blockFrames, m_buffers.input.Get(), m_inputs, frames);
    if (m_device->IsLost())
        return Fail(PL::kStatusDeviceLost, false);
    if (result == 0 || DeviceLost(result, frames))
        return Fail(PL::kStatusTransferFailed, false);
    m_context.outputTotal.fetch_add(m_blockFrames, std::memory_order_relaxed);
    m_context.inputTotal.fetch_add(frames, std::memory_order_relaxed);
    m_context.lastBlockFrames.store(frames, std::memory_order_relaxed);

    for (int i = 0; i < EngineBuffers::kMeters; ++i) {
        const int32_t ch = m_context.deviceChannels[static_cast<size_t>(i)];
        if (ch >= 0 && ch < m_inputs)
            m_buffers.meters[i].Convert(m_buffers.input[ch]);
        else
            m_buffers.meters[i].Clear();
    }
    if (frames > 0)
        Measure(frames);
    if (m_dumpEnabled && frames > 0) {
        if (!Dump(frames))
            return Fail(PL::kStatusDumpFile, false);
        m_dumpBudget -= frames;
    }
    m_buffers.output.Clear();
    StorePositions();
    m_context.missedSlots.store(
        m_device->InputStream().m_missedSlots.load(std::memory_order_relaxed),
        std::memory_order_relaxed);
    // A thread's CPU clock is a system call; read every few blocks and when the run ends.
    if (m_context.blockCounter.fetch_add(1, std::memory_order_relaxed) % kCpuTimeBlocks == 0)
        StoreCpuTime();
    if (m_context.blockLevels)
        KeepLevels(frames);
    PostLevels();
    return PL::kStatusOk;
}

// One level message waits at a time: it is posted when the receiver has taken the previous one
// back (the count was 0), or when the previous post found no room.
void EngineRun::PostLevels()
{
    const int64_t waiting = m_context.levelBlocks.fetch_add(1, std::memory_order_acq_rel);
    if (waiting == 0 || m_levelsPostFailed)
        m_levelsPostFailed = !m_context.Post(WM_SNDIO_LEVELS, 0, 0);
}

// True once the device has only timed out, without input, for kDeviceLostMs.
bool EngineRun::DeviceLost(int transferResult, uint32_t frames)
{
    const uint64_t now = NowMilliseconds();
    if (m_lastInputMs == 0 || transferResult != CSndIODevice::kWaitTimedOut || frames > 0) {
        m_lastInputMs = now;
        return false;
    }
    return now - m_lastInputMs >= kDeviceLostMs;
}

void EngineRun::Measure(uint32_t frames)
{
    const uint32_t channels = static_cast<uint32_t>(m_processorChannels);
    const uint32_t capacity = EngineBuffers::kResultCapacity;
    const CSndIOBuffer* meters = m_buffers.meters.Get();
    const uint32_t unread = frames; // handed to every processor; none reads it

    CSndIOBuffer* peak = m_buffers.results[EngineBuffers::kPeak].Get();
    m_peak->Process(peak, channels, capacity, meters, PL::kMeters, &unread);
    for (int i = 0; i < PL::kMeters; ++i)
        m_context.StorePeak(static_cast<size_t>(i), CSndSPPeak::PeakLevelDb(FirstValue(peak[i])));

    CSndIOBuffer* vu = m_buffers.results[EngineBuffers::kVU].Get();
    m_vu->Process(vu, channels, capacity, meters, PL::kMeters, &unread);
    for (int i = 0; i < PL::kMeters; ++i)
        m_context.vu[static_cast<size_t>(i)].store(FirstValue(vu[i]), std::memory_order_relaxed);
    MeasureNeedles(vu, meters);

    CSndIOBuffer* second = m_buffers.results[EngineBuffers::kSecondLoudness].Get();
    m_secondLoudness->Process(second, channels, capacity, meters, 2, &unread);
    for (int i = 0; i < 2; ++i) {
        const CSndIOBuffer& values = second[i];
        if (values.Count() == 0 || !values.HasData())
            continue;
        const double* v = values.Samples<double>();
        const double level = *std::max_element(v, v + values.Count());
        m_context.secondLoudness[static_cast<size_t>(i)].store(
            std::max(PL::kSilenceDb, level), std::memory_order_relaxed);
    }

    CSndIOBuffer* loudness = m_buffers.results[EngineBuffers::kLoudness].Get();
    m_loudness->Process(loudness, channels, capacity, meters, PL::kMeters, &unread);
    if (loudness[0].Count() > 0)
        m_context.loudness.store(FirstValue(loudness[0]), std::memory_order_relaxed);
    MeasureR128();
}

// A type chosen while metering takes over at this block, its needle from rest (the processor's
// set-up allocates nothing).
void EngineRun::FollowNeedleTypes()
{
    for (size_t i = 0; i < m_needleTypes.size(); ++i) {
        const NeedleType type = m_context.needleTypes[i].load(std::memory_order_relaxed);
        if (type != m_needleTypes[i]) {
            m_needle->SetType(static_cast<uint32_t>(i), type);
            m_needleTypes[i] = type;
        }
    }
}

// A VU meter's needle reads the VU level; the others read their own ballistics, moved from the
// needle processor's reference point (the sine 20 dB below full scale) to the VU's reference.
void EngineRun::MeasureNeedles(const CSndIOBuffer* vu, const CSndIOBuffer* meters)
{
    FollowNeedleTypes();
    const uint32_t channels = static_cast<uint32_t>(m_processorChannels);
    const uint32_t unread = 0;
    CSndIOBuffer* needle = m_buffers.results[EngineBuffers::kNeedle].Get();
    m_needle->Process(
        needle, channels, EngineBuffers::kResultCapacity, meters, PL::kMeters, &unread);
    const double shift = CSndSPNeedle::kReferenceDbfs - m_vu->GetReference();
    for (int i = 0; i < PL::kMeters; ++i) {
        double level = FirstValue(vu[i]);
        if (m_needleTypes[static_cast<size_t>(i)] != NeedleType::kVu) {
            level = FirstValue(needle[i]);
            if (level > CSndSPNeedle::kSilenceDb)
                level += shift;
        }
        m_context.needle[static_cast<size_t>(i)].store(level, std::memory_order_relaxed);
    }
}

// The broadcast loudness runs after the peak, VU and loudness processors, over the same meter
// buffers, and publishes its readings whole; a reset asked for by another thread is honoured
// here.
void EngineRun::MeasureR128()
{
    if (m_context.loudnessResetRequested.exchange(false, std::memory_order_relaxed))
        m_r128->Reset();
    const uint32_t unread = 0;
    m_r128->Process(nullptr, 0, 0, m_buffers.meters.Get(), PL::kMeters, &unread);
    m_readings = m_r128->GetReadings();
    m_context.loudnessR128.Publish(m_readings);
}

// What this block left in the context, for a reader that takes every block.
void EngineRun::KeepLevels(uint32_t frames)
{
    BlockLevels& levels = m_blockLevels;
    levels.block = m_context.blockCounter.load(std::memory_order_relaxed); // this one counted
    levels.frames = frames;
    for (size_t i = 0; i < levels.peak.size(); ++i) {
        levels.peak[i] = m_context.peak[i].load(std::memory_order_relaxed);
        levels.vu[i] = m_context.vu[i].load(std::memory_order_relaxed);
        levels.needle[i] = m_context.needle[i].load(std::memory_order_relaxed);
    }
    levels.loudness = m_context.loudness.load(std::memory_order_relaxed);
    levels.r128 = m_readings;
    m_context.blockLevels->Push(levels);
}

// False when a file could not take the block (its errno is kept for the report). About once a
// second each file's sizes are brought up to what it holds, so that a file left by a crash
// still plays up to there.
bool EngineRun::Dump(uint32_t frames)
{
    for (int j = 0; j < PL::kDumpFiles; ++j) {
        const int start = j * m_dumpChannels;
        if (m_context.dumpNames[j][0] == '\0')
            continue;
        if (start >= m_inputs)
            break;
        for (int k = 0; k < m_dumpChannels; ++k)
            m_buffers.dump[k].Convert(m_buffers.input[(start + k) % m_inputs]);
        m_buffers.interleave.Interleave(m_buffers.dump.Get(), m_dumpChannels);
        CWaveFile& file = m_dumpFiles[j];
        file.WriteFrames(m_buffers.interleave.Bytes(), frames); // block align x frames bytes
        if (m_dumpSinceSizes + frames >= m_dumpSizesFrames)
            file.UpdateSizes();
        if (file.Error() != 0) {
            m_context.dumpError.store(file.Error(), std::memory_order_relaxed);
            return false;
        }
    }
    m_dumpSinceSizes += frames;
    if (m_dumpSinceSizes >= m_dumpSizesFrames)
        m_dumpSinceSizes = 0;
    return true;
}

void EngineRun::StorePositions()
{
    uint32_t out = 0;
    uint32_t in = 0;
    if (m_device->GetPosition(out, in) == 0)
        return;
    const int64_t primed = static_cast<int64_t>(m_primes) * m_blockFrames;
    StorePosition(m_outputPosition, m_context.outputPosition, out, primed);
    StorePosition(m_inputPosition, m_context.inputPosition, in, primed);
}

} // namespace kerrion
