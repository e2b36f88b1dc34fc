#include "WmmeTestDevice.h"

#include <gtest/gtest.h>

#include <cstring>

using kerrion::WaveCaps;
using kerrion::WaveDirection;

void CStubEndpointsDevice::ScanEndpoints()
{
    if (scanSystem)
        CSndIODeviceWMME::ScanEndpoints();
}

uint32_t CStubEndpointsDevice::EndpointCount(WaveDirection direction) const
{
    return static_cast<uint32_t>(
        direction == WaveDirection::Capture ? inputs.size() : outputs.size());
}

int CStubEndpointsDevice::EndpointCaps(
    uint32_t index, WaveDirection direction, WaveCaps* caps) const
{
    const auto& list = direction == WaveDirection::Capture ? inputs : outputs;
    if (index >= list.size())
        return kerrion::kWaveBadDeviceId;
    *caps = WaveCaps {};
    std::strncpy(caps->name, list[index].name.c_str(), sizeof caps->name - 1);
    caps->formats = list[index].formats;
    caps->channels = (list[index].formats & kerrion::kWaveFormatAnyStereo) != 0 ? 2 : 1;
    return kerrion::kWaveNoError;
}

EngineSide::EngineSide(kerrion::SampleType type, uint32_t frames, int channels)
    : m_frames(frames)
    , m_channels(channels)
{
    CreateBufferArray(m_out, type, frames, channels);
    CreateBufferArray(m_in, type, frames, channels);
}

EngineSide::~EngineSide()
{
    DestroyBufferArray(m_out, m_channels);
    DestroyBufferArray(m_in, m_channels);
}

int EngineSide::Transfer(CSndIODevice& device, uint32_t& frames)
{
    frames = m_frames;
    return device.Transfer(m_out, m_channels, m_frames, m_in, m_channels, frames);
}

void PrepareStreams(CSndIODevice& device, uint32_t frames)
{
    device.OutputStream().m_enabled = 1;
    device.InputStream().m_enabled = 1;
    ASSERT_EQ(device.AllocateRings(frames), 1);
}

int StopStreaming(CSndIODevice& device, int32_t command)
{
    device.SendCommand(command);
    int reply = device.WaitReply(3000);
    device.SetStreaming(false);
    if (reply == CSndIOThreadContext::kReplyAcknowledged)
        reply = device.WaitReply(3000);
    return reply;
}

int FindDevice(const CSndIODevice& device, const std::string& name)
{
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] = {};
    const int count = device.GetDeviceNames(names);
    for (int i = 0; i < count; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}
