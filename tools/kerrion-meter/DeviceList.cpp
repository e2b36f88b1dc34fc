#include "DeviceList.h"

#include "meter/SndIODeviceFactory.h"
#include "platform/text/AsciiText.h"
#include "sndio/SndIODeviceASIO.h"

#include <algorithm>

namespace kerrion::cli {
namespace {

void AddFamily(int32_t kind, bool details, std::vector<DeviceInfo>& devices)
{
    std::unique_ptr<CSndIODevice> device = CreateSndIODevice(kind);
    if (!device)
        return;
    const int initialized = device->Initialize();
    // Drivers that refused to start are listed with their reason ("JACK server not running").
    std::vector<DeviceInfo> failed;
    if (const auto* asio = dynamic_cast<const CSndIODeviceASIO*>(device.get())) {
        for (const CSndIODeviceASIO::DriverFailure& f : asio->DriverFailures())
            failed.push_back(
                DeviceInfo { .kind = kind, .index = -1, .name = f.name, .failure = f.message });
    }
    if (initialized != 1) {
        devices.insert(devices.end(), failed.begin(), failed.end());
        return;
    }
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] = {};
    const int listed = device->GetDeviceNames(names);
    for (uint32_t i = 0; i < device->DeviceCount(); ++i) {
        DeviceInfo info;
        info.kind = kind;
        info.index = static_cast<int32_t>(i);
        if (static_cast<int>(i) < listed)
            info.name = names[i];
        if (details && device->SelectDevice(i) == 1 && device->IsOpened()) {
            char name[CSndIODevice::kNameLength] = {};
            if (device->GetDeviceName(name) == 1)
                info.name = name;
            info.selectable = true;
            info.inputs = device->InputStream().m_availableChannels;
            info.outputs = device->OutputStream().m_availableChannels;
            info.bufferFrames = device->OutputStream().m_bufferFrames > 0
                ? device->OutputStream().m_bufferFrames
                : device->InputStream().m_bufferFrames;
            info.sampleRate = device->InputStream().m_sampleRate > 0.0
                ? device->InputStream().m_sampleRate
                : device->OutputStream().m_sampleRate;
        }
        devices.push_back(info);
    }
    devices.insert(devices.end(), failed.begin(), failed.end());
}

} // namespace

std::vector<DeviceInfo> EnumerateDevices(bool details)
{
    std::vector<DeviceInfo> devices;
    AddFamily(static_cast<int32_t>(CSndIODevice::kKindAsio), details, devices);
    AddFamily(static_cast<int32_t>(CSndIODevice::kKindWave), details, devices);
    return devices;
}

std::string FamilyName(int32_t kind)
{
    return kind == static_cast<int32_t>(CSndIODevice::kKindAsio) ? "family 2 (drivers)"
                                                                 : "family 1 (plain audio devices)";
}

void PrintDevices(const std::vector<DeviceInfo>& devices, std::FILE* out)
{
    std::fprintf(out, "family index  inputs outputs  buffer  rate(Hz)  name\n");
    for (const DeviceInfo& d : devices) {
        if (!d.failure.empty())
            std::fprintf(out, "%6d %5s  %6s %7s  %6s  %8s  %s (not available: %s)\n", d.kind, "-",
                "-", "-", "-", "-", d.name.c_str(), d.failure.c_str());
        else if (d.selectable)
            std::fprintf(out, "%6d %5d  %6u %7u  %6u  %8.0f  %s\n", d.kind, d.index, d.inputs,
                d.outputs, d.bufferFrames, d.sampleRate, d.name.c_str());
        else
            std::fprintf(out, "%6d %5d  %6s %7s  %6s  %8s  %s (cannot be opened)\n", d.kind,
                d.index, "-", "-", "-", "-", d.name.c_str());
    }
    if (std::none_of(
            devices.begin(), devices.end(), [](const DeviceInfo& d) { return d.kind == 1; }))
        std::fprintf(out, "(no plain audio input devices found)\n");
}

std::optional<DeviceInfo> FindDeviceByPrefix(
    const std::vector<DeviceInfo>& devices, const std::string& prefix)
{
    for (const DeviceInfo& d : devices) {
        if (d.name.size() >= prefix.size() && EqualNoCase(d.name.substr(0, prefix.size()), prefix))
            return d;
    }
    return std::nullopt;
}

} // namespace kerrion::cli
