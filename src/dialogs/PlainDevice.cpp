#include "dialogs/PlainDevice.h"

#include "sndio/SndIODevice.h"

namespace kerrion {

std::unique_ptr<CSndIODevice> CreatePlainDevice()
{
    // The plain family (ALSA endpoints) is not part of this build yet: the list then holds the
    // drivers only.
    return nullptr;
}

} // namespace kerrion
