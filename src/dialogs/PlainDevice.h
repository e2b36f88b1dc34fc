#pragma once

// Where the device dialog gets its device object of the plain family (1). User-interface thread.

#include <memory>

class CSndIODevice;

namespace kerrion {

// A new, not yet initialised device object of the plain family, or null when this build has
// no plain devices.
std::unique_ptr<CSndIODevice> CreatePlainDevice();

} // namespace kerrion
