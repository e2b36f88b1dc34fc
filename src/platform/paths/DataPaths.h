#pragma once

#include <filesystem>

// The per-user folders of Kerrion and its driver plug-ins, worked out here only. Any thread but
// a per-block one (they read the environment, which nothing here changes while running).
//
// The data root is $XDG_DATA_HOME when it is an absolute path, else ~/.local/share (the home
// folder is $HOME when absolute, else the user's entry in the password database); it is created
// when missing. When it cannot be had (no home folder, a root that cannot be created), the root
// falls back to $TMPDIR/Marvane-<uid> (/tmp when TMPDIR is unset), created with access for the
// user only and used only when it is the user's own folder closed to everyone else; if even that
// fails there is no root, and the folders and the settings path below are empty: a folder that
// other users could write (the current one, /tmp itself) is never used. The data folder is
// <root>/Marvane/Kerrion and the settings file Kerrion.ini in it.
namespace kerrion {

std::filesystem::path DataRoot();
std::filesystem::path DataFolder();
std::filesystem::path SettingsFilePath();

// The configuration folder of the driver plug-ins and the user's driver registry:
// <config root>/Marvane/Kerrion, where the config root is $XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config, else the private temporary folder above; empty when none can be had.
// Nothing is created here but the private temporary folder.
std::filesystem::path ConfigFolder();

// A folder for this user's run-time files (locks, sockets): $XDG_RUNTIME_DIR when it is an
// absolute folder, else the private temporary folder described above.
std::filesystem::path RuntimeFolder();

// Creates <root>/Marvane, then <root>/Marvane/Kerrion. Errors, an existing folder among them,
// are ignored: writing the file then tells whether the folder is usable.
void CreateDataFolder();

} // namespace kerrion
