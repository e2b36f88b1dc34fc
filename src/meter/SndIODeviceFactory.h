#pragma once

// The one place where the engine and the tools turn a device family into a device object.
// Any thread that owns the device it gets; nothing here is shared.

#include "sndio/SndIODevice.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kerrion {

// The device of family `deviceKind` (2: ASIO driver; any other value: plain audio device), not
// yet initialised; null when this build has no device of that family.
std::unique_ptr<CSndIODevice> CreateSndIODevice(int32_t deviceKind);

// Where the device the settings call `name` lies now in family `deviceKind`. Devices are listed
// in the order the system finds them, which changes when an interface is plugged in elsewhere or
// after a reboot, so the stored `index` is only a hint. Settings without a name (older files,
// hand-written ones) keep `index`. -1 when the family has no device of that name: metering it
// would meter another device without a word.
int32_t LocateDevice(int32_t deviceKind, int32_t index, const std::string& name);

// The same, and only when that device can be opened now (a driver whose server is back, an
// interface plugged in again): what a program waiting for a lost device asks once a second.
int32_t LocateOpenableDevice(int32_t deviceKind, int32_t index, const std::string& name);

} // namespace kerrion
