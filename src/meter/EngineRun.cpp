#include "meter/EngineRun.h"

#include "meter/SndIODeviceFactory.h"
#include "sndio/SndIOThreadContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>

namespace kerrion {
namespace {

using PL = CSndIOPlayList;

constexpr int kMaxStreamChannels = 64;
constexpr int kDumpBitsPerSample = 16;
constexpr int32_t kStopCommand = CSndIOThreadContext::kCommandStop;

// trunc(x) as an unsigned 32-bit value; values outside the range (and NaN) are held to it.
uint32_t TruncToUInt32(double x)
{
    if (!(x > 0.0))
        return 0;
    if (x >= 4294967295.0)
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(x);
}

// trunc(x) as an unsigned 64-bit value; values outside the range (and NaN) are held to it.
uint64_t TruncToUInt64(double x)
{
    if (!(x > 0.0))
        return 0;
    if (x >= 18446744073709551615.0)
        return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(x);
}

int32_t TruncToInt32(double x)
{
    if (!(x > -2147483648.0))
        return std::numeric_limits<int32_t>::min();
    if (x >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(x);
}

} // namespace

double ThreadCpuSeconds()
{
    timespec now {};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return 0.0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int EngineThreadProc(EngineContext& context)
{
    context.status.store(PL::kStatusOk);
    int result = 0;
    if (context.entries.GetCount() == 0) {
        context.status.store(PL::kStatusNoEntry);
        result = 1;
    }
    for (int i = 0; i < context.entries.GetCount(); ++i) {
        if (RunEntry(context, i) == 1)
            break;
    }
    // Posted in every case, so that a receiver waiting for the end of the run always sees it.
    context.Post(WM_SNDIO_FINISHED, -1, 0);
    return result;
}

int RunEntry(EngineContext& context, int entryIndex)
{
    context.status.store(PL::kStatusOk);
    const CSndIOBlockInfo* entry = context.entries.GetAt(entryIndex);
    if (entry == nullptr) {
        context.status.store(PL::kStatusNoEntry);
        return 1;
    }
    EngineRun run(context, *entry);
    return run.Run() == PL::kStatusOk ? 0 : 1;
}

EngineRun::EngineRun(EngineContext& context, const CSndIOBlockInfo& entry)
    : m_context(context)
    , m_entry(entry)
{
}

EngineRun::~EngineRun() { End(); }

int32_t EngineRun::Fail(int32_t status, bool post)
{
    m_context.status.store(status);
    if (post)
        m_context.Post(WM_SNDIO_FINISHED, -1, 0);
    return status;
}

int32_t EngineRun::Run()
{
    int32_t status = SetUp();
    if (status == PL::kStatusOk) {
        status = RunRepetitions();
        StoreCpuTime();
    }
    End();
    return status == PL::kStatusOk ? m_context.status.load() : status;
}

void EngineRun::StoreCpuTime()
{
    m_context.engineCpuSeconds.store(ThreadCpuSeconds() - m_cpuStart, std::memory_order_relaxed);
}

int32_t EngineRun::SetUp()
{
    int32_t status = OpenDevice();
    if (status == PL::kStatusOk)
        status = PrepareRings();
    if (status == PL::kStatusOk)
        status = CreateBuffersAndProcessors();
    if (status != PL::kStatusOk)
        return status;
    if (m_device->Start() == 0)
        return Fail(PL::kStatusStartFailed, false);
    if (m_dumpEnabled && !OpenDumpFiles(m_dumpChannels, true))
        return Fail(PL::kStatusDumpFile, false);
    m_context.Post(WM_SNDIO_STARTED, 0, 0);
    m_buffers.output.Clear();
    return Prime();
}

int32_t EngineRun::OpenDevice()
{
    const PL::DeviceFactory factory
        = m_context.deviceFactory != nullptr ? m_context.deviceFactory : &CreateSndIODevice;
    m_device = factory(m_context.deviceKind);
    if (!m_device || m_device->Initialize() != 1
        || m_device->SelectDevice(static_cast<uint32_t>(m_context.deviceIndex)) != 1) {
        m_device.reset();
        return Fail(PL::kStatusNoDevice, true);
    }
    CSndIOStream& in = m_device->InputStream();
    // A device without input has no input rate: its output's is the run's rate.
    m_rate = in.m_sampleRate > 0.0 ? in.m_sampleRate : m_device->OutputStream().m_sampleRate;
    m_context.sampleRate.store(m_rate);

    // The dump's budget limits what the meters see only while the dump is enabled, so that a
    // disabled dump configuration with any duration never stops the meters.
    m_dumpEnabled = m_context.dumpEnabled != 0;
    m_dumpBudget = m_dumpEnabled ? TruncToUInt64(m_context.dumpSeconds * m_rate)
                                 : std::numeric_limits<uint64_t>::max();
    m_dumpSizesFrames = std::max<uint32_t>(1, TruncToUInt32(m_rate));
    if (m_dumpEnabled && !OpenDumpFiles(2, false))
        return Fail(PL::kStatusDumpFile, true);

    if (!m_device->IsOpened() || (!m_device->HasInput() && !m_device->HasOutput()))
        return Fail(PL::kStatusNoDevice, true);
    return PL::kStatusOk;
}

int32_t EngineRun::PrepareRings()
{
    CSndIOStream& out = m_device->OutputStream();
    CSndIOStream& in = m_device->InputStream();
    m_outputs = static_cast<int>(std::min<uint32_t>(out.m_availableChannels, kMaxStreamChannels));
    m_inputs = static_cast<int>(std::min<uint32_t>(in.m_availableChannels, kMaxStreamChannels));
    m_dumpChannels = std::min(2, m_inputs);
    m_processorChannels = std::max(8, m_inputs);
    out.m_activeChannels = static_cast<uint32_t>(m_outputs);
    if (m_device->HasOutput())
        out.m_enabled = 1;
    in.m_activeChannels = static_cast<uint32_t>(m_inputs);
    if (m_device->HasInput())
        in.m_enabled = 1;
    // The block follows the output stream; a device without output blocks by its input.
    const CSndIOStream& block = out.m_bufferFrames > 0 && out.m_sampleType != 0 ? out : in;
    m_blockFrames = m_device->IsOpened() ? block.m_bufferFrames : 0;
    m_blockType = m_device->IsOpened() ? block.m_sampleType : 0;
    m_context.blockFrames.store(m_blockFrames);
    m_context.inputChannels.store(m_inputs);
    if (m_device->AllocateRings(block.m_bufferFrames) != 1)
        return Fail(PL::kStatusNoMemory, true);
    return PL::kStatusOk;
}

int32_t EngineRun::CreateBuffersAndProcessors()
{
    if (!m_buffers.Create(
            m_outputs, m_inputs, m_processorChannels, m_dumpChannels, m_blockType, m_blockFrames))
        return Fail(PL::kStatusNoMemory, false);
    try {
        m_peak = std::make_unique<CSndSPPeak>();
        m_vu = std::make_unique<CSndSPVU>();
        m_needle = std::make_unique<CSndSPNeedle>();
        m_secondLoudness = std::make_unique<CSndSPLoudnessMarvane>();
        m_loudness = std::make_unique<CSndSPLoudnessBS1770>();
        m_r128 = std::make_unique<CSndSPLoudnessR128>();
    } catch (const std::bad_alloc&) {
        return Fail(PL::kStatusNoMemory, false);
    }
    // A processor whose initialisation failed produces no values, so its results are ignored.
    m_peak->Init();
    m_vu->InitFilter(m_rate, m_context.vuCutoff, m_context.vuOrder);
    m_vu->SetReference(static_cast<int16_t>(TruncToInt32(m_context.vuReference)));
    m_needle->Init(m_rate > 0.0 ? m_rate : CSndSPNeedle::kDefaultRate); // every channel kVu
    FollowNeedleTypes();
    m_secondLoudness->SetParameters(m_context.secondLoudnessParameters);
    m_secondLoudness->Init();
    m_loudness->SetRequestedWindow(std::min(m_context.loudnessWindow, 10.0));
    m_loudness->Init();
    m_r128->SetRate(m_rate > 0.0 ? m_rate : 48000.0);
    m_r128->SetLayout(m_context.loudnessLayout);
    m_r128->Init();
    m_context.loudnessR128.Publish(m_r128->GetReadings());
    return PL::kStatusOk;
}

bool EngineRun::OpenDumpFiles(int channels, bool keepOpen)
{
    for (int j = 0; j < PL::kDumpFiles; ++j) {
        const char* name = m_context.dumpNames[j];
        if (m_context.dumpNameTooLong[static_cast<size_t>(j)])
            return false;
        if (name[0] == '\0')
            continue;
        CWaveFile& file = m_dumpFiles[j];
        file.SetFormat(static_cast<uint16_t>(channels), TruncToUInt32(m_rate), kDumpBitsPerSample);
        if (!file.Open(name, 1))
            return false;
        if (!keepOpen)
            file.Close();
    }
    return true;
}

int32_t EngineRun::Prime()
{
    char name[CSndIODevice::kNameLength] = {};
    m_primes = 0;
    if (m_context.deviceKind == static_cast<int32_t>(CSndIODevice::kKindAsio)
        && m_device->GetDeviceName(name) == 1 && std::strstr(name, "Yamaha") != nullptr)
        m_primes = CSndIOPlayList::kYamahaPrimingBlocks;
    m_context.primingBlocks.store(m_primes);
    uint32_t request = m_blockFrames;
    for (int i = 0; i < m_primes; ++i) {
        if (m_device->Transfer(m_buffers.output.Get(), m_outputs, m_blockFrames,
                m_buffers.input.Get(), m_inputs, request)
            == 0)
            return Fail(PL::kStatusTransferFailed, false);
    }
    return PL::kStatusOk;
}

int32_t EngineRun::RunRepetitions()
{
    m_context.outputTotal.store(0);
    m_context.inputTotal.store(0);
    m_cpuStart = ThreadCpuSeconds();
    const int32_t repeats = m_entry.m_repeatCount;
    for (int32_t r = 0;; ++r) {
        if (repeats == 0 ? !m_context.run.load() : r >= repeats)
            break;
        for (int s = 0; s < m_entry.m_segments.GetCount(); ++s) {
            m_context.Post(WM_SNDIO_SEGMENT, m_context.outputPosition.load(), 0);
            // A segment's tracks are played only in play mode: meter mode opens no file here.
            while (m_context.run.load()) {
                const int32_t status = RunBlock();
                if (status != PL::kStatusOk)
                    return status;
            }
        }
    }
    return PL::kStatusOk;
}

void EngineRun::End()
{
    if (m_device) {
        if (m_device->HasThread() && m_device->IsStreaming()) {
            m_device->SendCommand(kStopCommand);
            m_device->WaitReply(CSndIODevice::kCommandTimeoutMs);
            m_device->SetStreaming(false);
        }
        m_device->Close();
        m_device->FreeRings();
        m_device.reset();
    }
    for (CWaveFile& file : m_dumpFiles)
        file.Close();
    m_peak.reset();
    m_vu.reset();
    m_needle.reset();
    m_secondLoudness.reset();
    m_loudness.reset();
    m_r128.reset();
}

} // namespace kerrion
