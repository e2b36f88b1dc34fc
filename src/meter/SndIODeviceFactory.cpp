#include "meter/SndIODeviceFactory.h"

#include "sndio/SndIODeviceASIO.h"
#include "sndio/SndIODeviceWMME.h"

#include <new>

namespace kerrion {

std::unique_ptr<CSndIODevice> CreateSndIODevice(int32_t deviceKind)
{
    try {
        if (deviceKind == static_cast<int32_t>(CSndIODevice::kKindAsio))
            return std::make_unique<CSndIODeviceASIO>();
        return std::make_unique<CSndIODeviceWMME>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace kerrion
