#pragma once

// The one place where the engine and the tools turn a device family into a device object.
// Any thread that owns the device it gets; nothing here is shared.

#include "sndio/SndIODevice.h"

#include <cstdint>
#include <memory>

namespace kerrion {

// The device of family `deviceKind` (2: ASIO driver; any other value: plain audio device), not
// yet initialised; null when this build has no device of that family.
std::unique_ptr<CSndIODevice> CreateSndIODevice(int32_t deviceKind);

} // namespace kerrion
