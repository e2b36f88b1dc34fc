#include "support/DriverTestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace kerrion::test {
namespace {

DriverCapture g_capture;

void Record(int32_t half, uint64_t position)
{
    std::lock_guard lock(g_capture.mutex);
    g_capture.halves.push_back(half);
    g_capture.positions.push_back(position);
    const size_t bytes = g_capture.frames * g_capture.bytesPerSample;
    for (size_t i = 0; i < g_capture.infos.size(); ++i) {
        const auto* data = static_cast<const unsigned char*>(g_capture.infos[i].buffers[half]);
        g_capture.inputs[i].insert(g_capture.inputs[i].end(), data, data + bytes);
    }
    for (const ASIOBufferInfo& info : g_capture.outputs) {
        if (g_capture.bytesPerSample == sizeof(int32_t))
            std::fill_n(
                static_cast<int32_t*>(info.buffers[half]), g_capture.frames, g_capture.outputValue);
        else
            std::memset(info.buffers[half], 0, bytes);
    }
    g_capture.changed.notify_all();
}

ASIOTime* OnSwitchTimeInfo(ASIOTime* time, int32_t half, ASIOBool)
{
    Record(half,
        (static_cast<uint64_t>(time->timeInfo.samplePosition.hi) << 32)
            | time->timeInfo.samplePosition.lo);
    return time;
}

void OnSwitch(int32_t half, ASIOBool)
{
    {
        std::lock_guard lock(g_capture.mutex);
        ++g_capture.plainSwitches;
    }
    Record(half, 0);
}

void OnRateChange(ASIOSampleRate) { }

int32_t OnMessage(int32_t selector, int32_t value, void*, double*)
{
    std::lock_guard lock(g_capture.mutex);
    if (selector == kAsioSelectorSupported)
        return value == kAsioSupportsTimeInfo && g_capture.timeInfo ? 1 : 0;
    if (selector == kAsioSupportsTimeInfo)
        return g_capture.timeInfo ? 1 : 0;
    g_capture.messages.push_back(selector);
    g_capture.changed.notify_all();
    return selector == kAsioResetRequest ? 1 : 0;
}

ASIOCallbacks g_callbacks { &OnSwitch, &OnRateChange, &OnMessage, &OnSwitchTimeInfo };

} // namespace

void DriverCapture::Reset()
{
    std::lock_guard lock(mutex);
    timeInfo = true;
    plainSwitches = 0;
    halves.clear();
    positions.clear();
    inputs.clear();
    infos.clear();
    outputs.clear();
    messages.clear();
    outputValue = 0;
}

std::vector<int32_t> DriverCapture::Int32Input(size_t input) const
{
    const auto& bytes = inputs[input];
    std::vector<int32_t> out(bytes.size() / 4);
    std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

DriverCapture& TheCapture() { return g_capture; }

ASIOCallbacks* TheCallbacks() { return &g_callbacks; }

IAsioDriver* CreateDriver(
    const char* path, const char* classId, std::shared_ptr<AsioDriverObject>& object)
{
    AsioClassId id {};
    EXPECT_TRUE(ParseClassId(classId, id)) << classId;
    EXPECT_EQ(AsioDriverObject::Create(path, id, object), AsioDriverObject::kCreated) << path;
    return object ? object->Driver() : nullptr;
}

ASIOError CreateDriverBuffers(
    IAsioDriver* driver, int inputs, int outputs, int32_t frames, size_t bytesPerSample)
{
    std::vector<ASIOBufferInfo> infos;
    for (int i = 0; i < inputs; ++i)
        infos.push_back(ASIOBufferInfo { ASIOTrue, i, { nullptr, nullptr } });
    for (int i = 0; i < outputs; ++i)
        infos.push_back(ASIOBufferInfo { ASIOFalse, i, { nullptr, nullptr } });
    const ASIOError result = driver->createBuffers(
        infos.data(), static_cast<int32_t>(infos.size()), frames, &g_callbacks);
    if (result != ASE_OK)
        return result;
    std::lock_guard lock(g_capture.mutex);
    g_capture.infos.assign(infos.begin(), infos.begin() + inputs);
    g_capture.outputs.assign(infos.begin() + inputs, infos.end());
    g_capture.inputs.assign(static_cast<size_t>(inputs), {});
    g_capture.frames = static_cast<size_t>(frames);
    g_capture.bytesPerSample = bytesPerSample;
    return result;
}

} // namespace kerrion::test
