#include "dialogs/PlainDevice.h"

#include "meter/SndIODeviceFactory.h"
#include "sndio/SndIODevice.h"

namespace kerrion {

std::unique_ptr<CSndIODevice> CreatePlainDevice()
{
    // The same factory the engine uses, so that the list shows the devices metering can open.
    // A build without plain devices gets null: the list then holds the drivers only.
    return CreateSndIODevice(static_cast<int32_t>(CSndIODevice::kKindWave));
}

} // namespace kerrion
