#include "sndio/SndIODeviceASIO.h"

#include "platform/asio/AsioHost.h"
#include "sndio/AsioDriverList.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

using kerrion::AsioDriverList;

constexpr double kPreferredRate = 48000.0; // Hz
constexpr double kLowestRate = 48000.0;    // Hz; rates outside [48000, 96000] are changed
constexpr double kHighestRate = 96000.0;   // Hz

std::unique_ptr<AsioDriverList>& DriverList()
{
    static std::unique_ptr<AsioDriverList> list;
    return list;
}

std::atomic<void*> g_systemReference { nullptr };

// The device object that last initialised or selected through the driver list (guarded by the
// process mutex). Close releases the list only for it: a device whose run was abandoned and that
// closes late must not release the driver of the device that took over since.
const CSndIODeviceASIO* g_driverUser = nullptr;

// Bytes per sample of a driver channel type; 0 (with type 0) for the types the ring cannot use.
uint32_t ChannelTypeBytes(ASIOSampleType type)
{
    switch (type) {
    case ASIOSTInt16LSB:
        return 2;
    case ASIOSTInt24LSB:
        return 3;
    case ASIOSTInt32LSB:
        return 4;
    case ASIOSTFloat32LSB:
        return 4;
    case ASIOSTFloat64LSB:
        return 8;
    case ASIOSTInt32LSB16:
    case ASIOSTInt32LSB18:
    case ASIOSTInt32LSB20:
    case ASIOSTInt32LSB24:
        return 4;
    default:
        return 0;
    }
}

} // namespace

CSndIODeviceASIO::CSndIODeviceASIO()
    : m_state(std::make_shared<kerrion::AsioDeviceState>())
{
    Context().m_deviceData = m_state;
}

CSndIODeviceASIO::~CSndIODeviceASIO() { CSndIODeviceASIO::Close(); }

void CSndIODeviceASIO::SetSystemReference(void* reference) { g_systemReference = reference; }

int CSndIODeviceASIO::Initialize()
{
    CSndIODevice::Initialize();
    m_deviceKind = kKindAsio;
    for (CSndIOStream* stream : { &OutputStream(), &InputStream() }) {
        stream->m_interleaved = 0;
        stream->m_bufferFrames = kDefaultBufferFrames;
    }
    Context().m_deviceData = m_state;
    std::lock_guard lock(kerrion::AsioProcessMutex());
    g_driverUser = this;
    auto& list = DriverList();
    if (!list) {
        list = std::make_unique<AsioDriverList>();
        list->Build();
    }
    m_driverFailures.clear();
    for (int i = 0; i < list->Count() && i < kMaxDevices; ++i) {
        list->ReleaseCurrent();
        const std::string name = AsioDriverList::DisplayName(list->At(i).name);
        if (list->LoadDriver(name)) {
            ASIODriverInfo info {};
            info.asioVersion = 2;
            if (ASIOInit(&info) == ASE_OK)
                AddDeviceName(name.c_str());
            else
                m_driverFailures.push_back({ name, info.errorMessage });
        }
        list->ReleaseCurrent();
    }
    if (list->Count() == 0)
        list.reset();
    m_outputDeviceCount = m_inputDeviceCount = m_deviceCount;
    return m_deviceCount > 0 ? 1 : 0;
}

int CSndIODeviceASIO::CloseDriver()
{
    auto& list = DriverList();
    if (list && list->Current() >= 0) {
        ASIOStop();
        ASIODisposeBuffers();
        list->ReleaseCurrent();
    }
    return 1;
}

int CSndIODeviceASIO::SelectDevice(uint32_t index)
{
    std::lock_guard lock(kerrion::AsioProcessMutex());
    if (!DriverList())
        return 0;
    g_driverUser = this;
    CloseDriver();
    m_deviceIndex = index;
    m_opened = m_hasOutput = m_hasInput = 0;
    for (CSndIOStream* stream : { &OutputStream(), &InputStream() }) {
        stream->FreeRing();
        stream->m_deviceIndex = index;
        stream->m_enabled = stream->m_interleaved = 0;
        stream->m_availableChannels = stream->m_activeChannels = 0;
        stream->m_sampleRate = kPreferredRate;
        stream->m_sampleType = stream->m_bytesPerSample = stream->m_bitsPerSample = 0;
        stream->m_bufferFrames = 0;
    }
    m_ringsAllocated = 0;
    if (index >= m_deviceCount || !DriverList()->LoadDriver(m_deviceNames[index]))
        return 0;
    return SetUpDriver(index);
}

int CSndIODeviceASIO::SetUpDriver(uint32_t index)
{
    kerrion::AsioDeviceState& st = *m_state;
    st.driverInfo = ASIODriverInfo {};
    st.driverInfo.asioVersion = 2;
    st.driverInfo.sysRef = g_systemReference.load();
    if (ASIOInit(&st.driverInfo) != ASE_OK)
        return 0; // ASIOInit has taken the driver's message
    if (QueryDriver() == 1) {
        m_opened = 1;
        m_hasOutput = st.outputChannels > 0 ? 1 : 0;
        m_hasInput = st.inputChannels > 0 ? 1 : 0;
        OutputStream().m_deviceIndex = InputStream().m_deviceIndex = index;
        FillStream(OutputStream(), st.outputChannels, st.outputBuffers,
            &st.channelInfos[static_cast<size_t>(st.inputBuffers)]);
        FillStream(InputStream(), st.inputChannels, st.inputBuffers, &st.channelInfos[0]);
        return 1;
    }
    KeepDriverError();
    return 0;
}

// Steps after the driver's init: figures, rate, callbacks, buffers. 1 or 0.
int CSndIODeviceASIO::QueryDriver()
{
    kerrion::AsioDeviceState& st = *m_state;
    if (ASIOGetChannels(&st.inputChannels, &st.outputChannels) != ASE_OK
        || ASIOGetBufferSize(&st.minSize, &st.maxSize, &st.preferredSize, &st.granularity) != ASE_OK
        || ASIOGetSampleRate(&st.sampleRate) != ASE_OK)
        return 0;
    if (st.sampleRate < kLowestRate || st.sampleRate > kHighestRate) {
        if (ASIOSetSampleRate(kPreferredRate) != ASE_OK
            || ASIOGetSampleRate(&st.sampleRate) != ASE_OK)
            return 0;
    }
    st.postOutput = ASIOOutputReady() == ASE_OK ? 1 : 0;
    st.callbacks = kerrion::AsioDeviceCallbacks();
    st.outputBuffers = st.outputChannels > 2 ? st.outputChannels : 2;
    st.inputBuffers = st.inputChannels > 2 ? st.inputChannels : 2;
    return CreateBuffers();
}

// A driver that initialised and then refused a step says why in its error message (a JACK
// server at 44.1 kHz refusing 48 kHz); the driver info carries it as after a failed init.
void CSndIODeviceASIO::KeepDriverError()
{
    ASIODriverInfo& info = m_state->driverInfo;
    const auto driver = kerrion::AsioCurrentDriver();
    if (driver == nullptr)
        return;
    char message[sizeof info.errorMessage] = {};
    driver->Driver()->getErrorMessage(message);
    std::memcpy(info.errorMessage, message, sizeof message);
    std::snprintf(info.name, sizeof info.name, "%s", "No ASIO Driver");
}

int CSndIODeviceASIO::CreateBuffers()
{
    kerrion::AsioDeviceState& st = *m_state;
    st.bufferInfos.clear();
    for (int32_t i = 0; i < st.inputBuffers; ++i)
        st.bufferInfos.push_back(ASIOBufferInfo { ASIOTrue, i, { nullptr, nullptr } });
    for (int32_t o = 0; o < st.outputBuffers; ++o)
        st.bufferInfos.push_back(ASIOBufferInfo { ASIOFalse, o, { nullptr, nullptr } });
    const auto count = static_cast<int32_t>(st.bufferInfos.size());
    if (ASIOCreateBuffers(st.bufferInfos.data(), count, st.preferredSize, &st.callbacks) != ASE_OK)
        return 0;
    st.channelInfos.assign(st.bufferInfos.size(), ASIOChannelInfo {});
    for (size_t i = 0; i < st.bufferInfos.size(); ++i) {
        st.channelInfos[i].channel = st.bufferInfos[i].channelNum;
        st.channelInfos[i].isInput = st.bufferInfos[i].isInput;
        if (ASIOGetChannelInfo(&st.channelInfos[i]) != ASE_OK)
            return 0;
    }
    return ASIOGetLatencies(&st.inputLatency, &st.outputLatency) == ASE_OK ? 1 : 0;
}

void CSndIODeviceASIO::FillStream(
    CSndIOStream& stream, int32_t channels, int32_t buffers, const ASIOChannelInfo* first)
{
    stream.m_availableChannels = static_cast<uint32_t>(channels);
    stream.m_activeChannels = static_cast<uint32_t>(buffers);
    stream.m_sampleRate = m_state->sampleRate;
    const uint32_t bytes = ChannelTypeBytes(first->type);
    stream.m_sampleType = bytes > 0 ? static_cast<kerrion::SampleType>(first->type) : 0;
    stream.m_bytesPerSample = bytes;
    stream.m_bitsPerSample = bytes * 8;
    stream.m_bufferFrames = static_cast<uint32_t>(m_state->preferredSize);
}

int CSndIODeviceASIO::Start()
{
    Context().m_deviceData = m_state;
    return StartThread(&kerrion::AsioDeviceThread);
}

int CSndIODeviceASIO::Close()
{
    CSndIODevice::Close();
    std::lock_guard lock(kerrion::AsioProcessMutex());
    auto& list = DriverList();
    if (list && (g_driverUser == this || g_driverUser == nullptr)) {
        CloseDriver();
        list.reset(); // releases every driver object
    }
    if (g_driverUser == this)
        g_driverUser = nullptr;
    return 1;
}

int CSndIODeviceASIO::ControlPanel(std::string* why)
{
    std::lock_guard lock(kerrion::AsioProcessMutex());
    if (!DriverList() || DriverList()->Current() < 0)
        return 0;
    if (ASIOControlPanel() == ASE_OK)
        return 1;
    const auto driver = kerrion::AsioCurrentDriver();
    if (why != nullptr && driver != nullptr) {
        char message[124] = {};
        driver->Driver()->getErrorMessage(message);
        *why = message;
    }
    return 0;
}

void CSndIODeviceASIO::OnThreadAbandoned()
{
    // The stuck thread keeps the old state; the driver it was using is in an unknown state, so
    // the device must be selected again before it can start.
    m_state = std::make_shared<kerrion::AsioDeviceState>();
    Context().m_deviceData = m_state;
    m_opened = 0;
}
