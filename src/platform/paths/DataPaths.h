#pragma once

#include <filesystem>

// The per-user data folder and the settings file in it. User-interface thread only.
//
// The root is $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; it is created when
// missing. When it cannot be had (no home folder, a root that cannot be created), the root falls
// back to $TMPDIR/Marvane-<uid> (/tmp when TMPDIR is unset), created with access for the user
// only; if even that fails, the current folder is the root. The data folder is
// <root>/Marvane/Kerrion and the settings file Kerrion.ini in it.
namespace kerrion {

std::filesystem::path DataRoot();
std::filesystem::path DataFolder();
std::filesystem::path SettingsFilePath();

// A folder for this user's run-time files (locks, sockets): $XDG_RUNTIME_DIR when it is an
// absolute folder, else the private temporary folder described above.
std::filesystem::path RuntimeFolder();

// Creates <root>/Marvane, then <root>/Marvane/Kerrion. Errors, an existing folder among them,
// are ignored: writing the file then tells whether the folder is usable.
void CreateDataFolder();

} // namespace kerrion
