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

int32_t LocateDevice(int32_t deviceKind, int32_t index, const std::string& name)
{
    if (name.empty())
        return index;
    std::unique_ptr<CSndIODevice> device = CreateSndIODevice(deviceKind);
    if (!device || device->Initialize() != 1)
        return -1;
    return device->FindDevice(name, static_cast<uint32_t>(index));
}

int32_t LocateOpenableDevice(int32_t deviceKind, int32_t index, const std::string& name)
{
    const int32_t found = LocateDevice(deviceKind, index, name);
    if (found < 0)
        return -1;
    std::unique_ptr<CSndIODevice> device = CreateSndIODevice(deviceKind);
    const bool opens = device && device->Initialize() == 1
        && device->SelectDevice(static_cast<uint32_t>(found)) > 0;
    return opens ? found : -1;
}

} // namespace kerrion
