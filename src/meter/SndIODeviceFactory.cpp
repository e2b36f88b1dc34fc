#include "meter/SndIODeviceFactory.h"

#include "sndio/SndIODeviceASIO.h"

#include <new>

namespace kerrion {

std::unique_ptr<CSndIODevice> CreateSndIODevice(int32_t deviceKind)
{
    try {
        if (deviceKind == static_cast<int32_t>(CSndIODevice::kKindAsio))
            return std::make_unique<CSndIODeviceASIO>();
        // Plain audio devices (family 1) are not built yet: the engine reports such a device as
        // one that cannot be initialised (status 0x100).
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace kerrion
