#pragma once

// The devices kerrion-meter can meter: both families, drivers (family 2) first, as the device
// dialog lists them. Enumerating loads every driver in turn, so it runs before metering starts.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kerrion::cli {

struct DeviceInfo {
    int32_t kind = 0;  // 2: low-latency driver; 1: plain audio device
    int32_t index = 0; // within its family
    std::string name;
    bool selectable = false;   // the device could be opened to read the figures below
    uint32_t inputs = 0;       // channels
    uint32_t outputs = 0;      // channels
    uint32_t bufferFrames = 0; // frames per block
    double sampleRate = 0.0;   // Hz
    std::string failure;       // a driver that could not be started says why (index is then -1)
};

// Every device; with `details`, each is opened to read its channels, buffer size and rate.
std::vector<DeviceInfo> EnumerateDevices(bool details);
void PrintDevices(const std::vector<DeviceInfo>& devices, std::FILE* out);
// The first device (in list order) whose name begins with `prefix`, case ignored; drivers that
// could not be started come after every usable device.
std::optional<DeviceInfo> FindDeviceByPrefix(
    const std::vector<DeviceInfo>& devices, const std::string& prefix);
// "family 2 (drivers)" or "family 1 (plain audio devices)".
std::string FamilyName(int32_t kind);

} // namespace kerrion::cli
