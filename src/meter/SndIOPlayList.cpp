#include "meter/SndIOPlayList.h"

#include "meter/EngineContext.h"
#include "platform/sync/Thread.h"
#include "sndio/SndIODeviceASIO.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

namespace kerrion {

EngineContext::EngineContext()
{
    for (std::atomic<double>& highest : peakSinceTaken)
        highest.store(std::nan(""), std::memory_order_relaxed);
}

bool EngineContext::Post(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    // Paired with StopPosting: either this post sees the abandonment, or StopPosting sees the
    // post under way and waits for it (both sides use sequentially consistent operations).
    m_posting.fetch_add(1);
    bool posted = false;
    if (!m_abandoned.load() && notify != nullptr)
        posted = notify->PostMessage(message, wParam, lParam);
    m_posting.fetch_sub(1);
    return posted;
}

void EngineContext::StopPosting()
{
    m_abandoned.store(true);
    while (m_posting.load() != 0)
        std::this_thread::yield(); // a post is a few atomic operations: this ends at once
}

void EngineContext::CopySettingsFrom(const EngineContext& other)
{
    vuReference = other.vuReference;
    secondLoudnessParameters = other.secondLoudnessParameters;
    loudnessWindow = other.loudnessWindow;
    vuCutoff = other.vuCutoff;
    vuOrder = other.vuOrder;
    loudnessLayout = other.loudnessLayout;
    for (size_t i = 0; i < needleTypes.size(); ++i)
        needleTypes[i].store(other.needleTypes[i].load());
    // A ring of its own: the abandoned worker may still write the old one.
    if (other.blockLevels)
        blockLevels = std::make_unique<BlockLevelsRing>(other.blockLevels->Capacity());
    for (size_t i = 0; i < vu.size(); ++i) {
        vu[i].store(other.vu[i].load());
        needle[i].store(other.needle[i].load());
        peak[i].store(other.peak[i].load());
        secondLoudness[i].store(other.secondLoudness[i].load());
    }
    loudness.store(other.loudness.load());
}

void EngineContext::CopyCountersFrom(const EngineContext& other)
{
    for (auto [to, from] : { std::pair { &outputPosition, &other.outputPosition },
             { &inputPosition, &other.inputPosition }, { &outputTotal, &other.outputTotal },
             { &inputTotal, &other.inputTotal }, { &blockCounter, &other.blockCounter } })
        to->store(from->load());
    for (auto [to, from] :
        { std::pair { &status, &other.status }, { &primingBlocks, &other.primingBlocks },
            { &inputChannels, &other.inputChannels }, { &dumpError, &other.dumpError } })
        to->store(from->load());
    lastBlockFrames.store(other.lastBlockFrames.load());
    blockFrames.store(other.blockFrames.load());
    missedSlots.store(other.missedSlots.load());
    sampleRate.store(other.sampleRate.load());
    engineCpuSeconds.store(other.engineCpuSeconds.load());
}

} // namespace kerrion

using kerrion::EngineContext;

CSndIOPlayList::CSndIOPlayList()
    : m_engine(std::make_shared<EngineContext>())
{
}

CSndIOPlayList::~CSndIOPlayList()
{
    if (m_thread)
        StopEngine();
}

int CSndIOPlayList::StartEngine(intptr_t, uint8_t mute, int32_t repeatCount, intptr_t,
    const DumpConfig* dumpConfig, const int32_t* deviceChannels, int32_t deviceKind,
    int32_t deviceIndex, CNotifyTarget* notifyWindow, double gainDb)
{
    if (m_thread)
        StopEngine(); // two workers must never share one context
    EngineContext& c = *m_engine;
    c.meterMode = 1;
    for (int i = 0; i < kMeters; ++i)
        c.deviceChannels[static_cast<size_t>(i)]
            = deviceChannels != nullptr ? deviceChannels[i] : -1;

    m_entries.m_outputChannelLimit = m_entries.m_inputChannelLimit = m_entries.m_trackSlots = 64;
    if (m_entries.Prepare(repeatCount) != 1 || ApplySegmentGains(mute, gainDb) != 1)
        return 0;
    // The worker runs on its own copy, so nothing it reads changes under it.
    if (c.entries.CopyFrom(m_entries) != 1)
        return 0;
    c.entries.m_outputChannelLimit = m_entries.m_outputChannelLimit;
    c.entries.m_inputChannelLimit = m_entries.m_inputChannelLimit;
    c.entries.m_trackSlots = m_entries.m_trackSlots;

    c.notify = notifyWindow;
    c.run.store(true);
    std::memset(c.dumpNames, 0, sizeof c.dumpNames);
    c.dumpNameTooLong.fill(false);
    c.dumpEnabled = 0;
    c.dumpSeconds = kDefaultDumpSeconds;
    if (dumpConfig != nullptr) {
        for (int j = 0; j < kDumpFiles; ++j) {
            const std::string& name = dumpConfig->names[j];
            c.dumpNameTooLong[static_cast<size_t>(j)] = name.size() >= kPathLength;
            if (name.size() < kPathLength)
                std::memcpy(c.dumpNames[j], name.data(), name.size());
        }
        c.dumpEnabled = dumpConfig->enabled;
        c.dumpSeconds = dumpConfig->seconds;
    }

    c.deviceKind = deviceKind;
    c.deviceIndex = deviceIndex;
    c.deviceFactory = m_deviceFactory;
    for (std::atomic<int64_t>* counter : { &c.outputPosition, &c.inputPosition, &c.outputTotal,
             &c.inputTotal, &c.blockCounter, &c.levelBlocks })
        counter->store(0);
    for (std::atomic<int32_t>* counter : { &c.primingBlocks, &c.inputChannels, &c.dumpError })
        counter->store(0);
    c.lastBlockFrames = c.blockFrames = c.missedSlots = 0;
    c.sampleRate = 0.0;
    c.engineCpuSeconds = 0.0;
    c.status.store(kStatusOk);
    for (int i = 0; i < kLevels; ++i) {
        c.peak[static_cast<size_t>(i)].store(kSilenceDb);
        c.peakSinceTaken[static_cast<size_t>(i)].store(std::nan(""));
        c.secondLoudness[static_cast<size_t>(i)].store(kSilenceDb);
    }
    c.loudness.store(kSilenceDb);
    c.loudnessResetRequested.store(false);
    c.loudnessR128.Publish(kerrion::LoudnessReadings {}); // nothing measured in this run yet
    // No block of an earlier run is left to take. Its worker has ended: an abandoned one
    // writes the old context's ring, not this one.
    if (c.blockLevels)
        c.blockLevels->Clear();

    try {
        m_thread = std::make_unique<kerrion::Thread>();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::shared_ptr<EngineContext> context = m_engine;
    if (!m_thread->Start([context] { kerrion::EngineThreadProc(*context); },
            kerrion::Thread::Priority::AboveNormal)) {
        m_thread.reset();
        return 0;
    }
    return 1;
}

int CSndIOPlayList::StopEngine()
{
    if (!m_thread)
        return kStopped;
    m_engine->run.store(false);
    int result = kStopped;
    if (!m_thread->Join(kStopWaitMs)) {
        Abandon();
        result = kStopTimedOut;
    }
    m_thread.reset();
    return result;
}

void CSndIOPlayList::Abandon()
{
    // The worker keeps the old context; from here on it posts nothing, and the play list goes
    // on with a fresh context that carries the settings and the levels shown so far.
    m_engine->StopPosting();
    m_thread->Abandon();
    const int32_t kind = m_engine->deviceKind;
    auto fresh = std::make_shared<EngineContext>();
    fresh->CopySettingsFrom(*m_engine);
    fresh->CopyCountersFrom(*m_engine);
    m_engine = std::move(fresh);
    if (kind == CSndIODevice::kKindAsio) {
        // A fresh device object's Initialize releases the driver the stuck run had loaded.
        CSndIODeviceASIO release;
        release.Initialize();
    }
}

int CSndIOPlayList::GetMeterLevels(double* peakOut, double* vuOut) const
{
    const EngineContext& c = *m_engine;
    for (size_t i = 0; i < kLevels; ++i) {
        if (peakOut != nullptr)
            peakOut[i] = c.peak[i].load(std::memory_order_relaxed);
        if (vuOut != nullptr)
            vuOut[i] = c.vu[i].load(std::memory_order_relaxed);
    }
    return 1;
}

int64_t CSndIOPlayList::TakeLevelBlocks()
{
    return m_engine->levelBlocks.exchange(0, std::memory_order_acq_rel);
}

int CSndIOPlayList::TakePeakLevels(double* peakOut)
{
    EngineContext& c = *m_engine;
    for (size_t i = 0; i < kLevels; ++i) {
        const double highest
            = c.peakSinceTaken[i].exchange(std::nan(""), std::memory_order_relaxed);
        peakOut[i] = std::isnan(highest) ? c.peak[i].load(std::memory_order_relaxed) : highest;
    }
    return 1;
}

double CSndIOPlayList::GetLoudness() const
{
    return m_engine->loudness.load(std::memory_order_relaxed);
}

int CSndIOPlayList::GetSecondLoudnessLevels(double* levelsOut) const
{
    for (size_t i = 0; i < kLevels; ++i)
        levelsOut[i] = m_engine->secondLoudness[i].load(std::memory_order_relaxed);
    return 1;
}

uint8_t CSndIOPlayList::ApplySegmentGains(uint8_t mute, double gainDb)
{
    m_entries.ApplyGains(mute == 1, gainDb);
    return 1;
}

void CSndIOPlayList::SetLoudnessLayout(kerrion::LoudnessLayout layout)
{
    m_engine->loudnessLayout = layout;
}

kerrion::LoudnessLayout CSndIOPlayList::GetLoudnessLayout() const
{
    return m_engine->loudnessLayout;
}

void CSndIOPlayList::SetNeedleType(int meter, kerrion::NeedleType type)
{
    if (meter >= 0 && meter < kMeters)
        m_engine->needleTypes[static_cast<size_t>(meter)].store(type, std::memory_order_relaxed);
}

int CSndIOPlayList::GetNeedleLevels(double* needleOut) const
{
    for (size_t i = 0; i < kLevels; ++i)
        needleOut[i] = m_engine->needle[i].load(std::memory_order_relaxed);
    return 1;
}

void CSndIOPlayList::KeepBlockLevels(std::size_t capacity)
{
    m_engine->blockLevels
        = capacity == 0 ? nullptr : std::make_unique<kerrion::BlockLevelsRing>(capacity);
}

bool CSndIOPlayList::TakeBlockLevels(kerrion::BlockLevels& out)
{
    return m_engine->blockLevels && m_engine->blockLevels->Take(out);
}

uint64_t CSndIOPlayList::DroppedBlockLevels() const
{
    return m_engine->blockLevels ? m_engine->blockLevels->Dropped() : 0;
}

kerrion::LoudnessReadings CSndIOPlayList::GetLoudnessR128() const
{
    return m_engine->loudnessR128.Read();
}

void CSndIOPlayList::ResetLoudnessR128()
{
    m_engine->loudnessResetRequested.store(true, std::memory_order_relaxed);
}

void CSndIOPlayList::SetVUFilter(double cutoffHz, int32_t order)
{
    m_engine->vuCutoff = cutoffHz;
    m_engine->vuOrder = order;
}

void CSndIOPlayList::SetDeviceFactory(DeviceFactory factory) { m_deviceFactory = factory; }

bool CSndIOPlayList::IsRunning() const { return m_thread != nullptr; }

bool CSndIOPlayList::HasEnded() const { return m_thread != nullptr && m_thread->HasEnded(); }

int32_t CSndIOPlayList::GetStatus() const { return m_engine->status.load(); }

CSndIOPlayList::Counters CSndIOPlayList::GetCounters() const
{
    const EngineContext& c = *m_engine;
    Counters counters;
    counters.status = c.status.load();
    counters.blocks = c.blockCounter.load();
    counters.outputPosition = c.outputPosition.load();
    counters.inputPosition = c.inputPosition.load();
    counters.outputFrames = c.outputTotal.load();
    counters.inputFrames = c.inputTotal.load();
    counters.lastBlockFrames = c.lastBlockFrames.load();
    counters.blockFrames = c.blockFrames.load();
    counters.sampleRate = c.sampleRate.load();
    counters.missedSlots = c.missedSlots.load();
    counters.primingBlocks = c.primingBlocks.load();
    counters.inputChannels = c.inputChannels.load();
    counters.engineCpuSeconds = c.engineCpuSeconds.load();
    counters.dumpError = c.dumpError.load();
    return counters;
}
