#include "sndio/SndIODeviceWMME.h"

#include <algorithm>
#include <cstring>

using kerrion::WaveCaps;
using kerrion::WaveDirection;

namespace {

void CopyName(char (&row)[CSndIODevice::kNameLength], const char* name)
{
    const size_t length = strnlen(name, CSndIODevice::kNameLength - 1);
    std::memcpy(row, name, length);
    row[length] = '\0';
}

} // namespace

CSndIODeviceWMME::CSndIODeviceWMME()
    : m_state(std::make_shared<kerrion::WmmeDeviceState>())
{
    Context().m_deviceData = m_state;
}

CSndIODeviceWMME::~CSndIODeviceWMME() { CSndIODeviceWMME::Close(); }

int CSndIODeviceWMME::Initialize()
{
    CSndIODevice::Initialize();
    m_deviceKind = kKindWave;
    for (CSndIOStream* stream : { &OutputStream(), &InputStream() }) {
        stream->m_interleaved = 1;
        stream->m_bufferFrames = kDefaultBufferFrames;
    }
    Context().m_deviceData = m_state;
    ScanEndpoints();
    const uint32_t inputs = std::min<uint32_t>(EndpointCount(WaveDirection::Capture), kMaxDevices);
    const uint32_t outputs
        = std::min<uint32_t>(EndpointCount(WaveDirection::Playback), kMaxDevices);
    // Input names first; an output name replaces the input name of the same index.
    WaveCaps caps;
    for (uint32_t i = 0; i < inputs; ++i) {
        if (EndpointCaps(i, WaveDirection::Capture, &caps) == kerrion::kWaveNoError)
            CopyName(m_deviceNames[i], caps.name);
    }
    for (uint32_t i = 0; i < outputs; ++i) {
        if (EndpointCaps(i, WaveDirection::Playback, &caps) == kerrion::kWaveNoError)
            CopyName(m_deviceNames[i], caps.name);
    }
    m_outputDeviceCount = outputs;
    m_inputDeviceCount = inputs;
    m_deviceCount = std::max(inputs, outputs);
    if (m_deviceCount == 0)
        return 0;
    SelectDevice(0);
    return 1;
}

int CSndIODeviceWMME::SelectDevice(uint32_t index)
{
    // Rings of an earlier selection have that device's format: they go with it (the slot size
    // stays as it was).
    if (m_opened && m_ringsAllocated) {
        const uint32_t outputFrames = OutputStream().m_bufferFrames;
        const uint32_t inputFrames = InputStream().m_bufferFrames;
        FreeRings();
        OutputStream().m_bufferFrames = outputFrames;
        InputStream().m_bufferFrames = inputFrames;
    }
    m_opened = m_hasOutput = m_hasInput = 0;
    if (CSndIODevice::SelectDevice(index) != 1)
        return 0;
    CSndIOStream& out = OutputStream();
    CSndIOStream& in = InputStream();
    if (EndpointCaps(index, WaveDirection::Playback, &m_outputCaps) != kerrion::kWaveNoError)
        return 0;
    FillStream(out, m_outputCaps);
    m_opened = 1;
    m_hasOutput = 1;
    out.m_activeChannels = out.m_availableChannels;
    // A device index needs both directions: without a capture endpoint the selection fails.
    if (EndpointCaps(index, WaveDirection::Capture, &m_inputCaps) != kerrion::kWaveNoError)
        return 0;
    FillStream(in, m_inputCaps);
    m_hasInput = 1;
    in.m_activeChannels = in.m_availableChannels;
    return 1;
}

int CSndIODeviceWMME::Start()
{
    Context().m_deviceData = m_state;
    return StartThread(&kerrion::WmmeDeviceThread);
}

int CSndIODeviceWMME::Close() { return CSndIODevice::Close(); }

void CSndIODeviceWMME::FillStream(CSndIOStream& stream, const WaveCaps& caps)
{
    const uint32_t formats = caps.formats;
    stream.m_sampleRate = 11025.0;
    if ((formats & 0x0F0u) != 0)
        stream.m_sampleRate = 22050.0;
    if ((formats & 0xF00u) != 0)
        stream.m_sampleRate = 44100.0;
    stream.m_availableChannels = (formats & 0xAAAu) != 0 ? 2 : 1;
    const bool sixteen = (formats & 0xCCCu) != 0;
    stream.m_bitsPerSample = sixteen ? 16 : 8;
    stream.m_bytesPerSample = sixteen ? 2 : 1;
    stream.m_sampleType = sixteen ? kerrion::kSampleInt16 : kerrion::kSampleUInt8;
}

void CSndIODeviceWMME::ScanEndpoints() { m_state->endpoints.Scan(); }

uint32_t CSndIODeviceWMME::EndpointCount(WaveDirection direction) const
{
    return direction == WaveDirection::Capture ? m_state->endpoints.CaptureCount()
                                               : m_state->endpoints.PlaybackCount();
}

int CSndIODeviceWMME::EndpointCaps(uint32_t index, WaveDirection direction, WaveCaps* caps) const
{
    return m_state->endpoints.GetCaps(index, direction, caps);
}

void CSndIODeviceWMME::OnThreadAbandoned()
{
    // The abandoned thread keeps reading the old list; this device goes on with its own copy.
    m_state = std::make_shared<kerrion::WmmeDeviceState>(*m_state);
    Context().m_deviceData = m_state;
}
