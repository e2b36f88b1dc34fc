#pragma once

// Which registry files list the installed drivers. Engine or UI thread; reads the environment.
//
// - KERRION_ASIO_REGISTRY set and not empty: that file alone.
// - Otherwise the registry shipped with the program (<program's folder>/../share/kerrion/asio.reg
//   when it exists, as in an installed or moved prefix; else the build tree's generated one when
//   the running program lies inside the build tree; else the one of the configured install
//   prefix), followed by the optional per-user file asio.reg in ConfigFolder()
//   ($XDG_CONFIG_HOME/Marvane/Kerrion, default ~/.config), which can add drivers or remove
//   shipped ones with [-key] lines.
//
// A file is read only when it is a regular file of at most 1 MiB (kMaxTextFileBytes).
//
// A relative plug-in path in a registry file starts at that file's folder (the installed
// registry names ../../lib/kerrion/...).

#include "platform/asio/Registry.h"

#include <filesystem>
#include <vector>

namespace kerrion {

std::vector<std::filesystem::path> AsioRegistryFiles();

// Loads every file of AsioRegistryFiles() that exists and may be read; 1 when at least one was
// read, else 0.
int LoadAsioRegistry(Registry& registry);

// The registry paths of the driver entries.
inline constexpr const char* kAsioDriversKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO";
inline constexpr const char* kClassIdsKey = "HKEY_CLASSES_ROOT\\CLSID";

} // namespace kerrion
