#pragma once

// The driver plug-ins' settings files: where a driver's file lies, its numbers read with the
// plug-ins' rules, and keys written back. The files themselves are read and written by
// CIniProfile, as Kerrion.ini is (sections and keys matched without regard to case, the first of
// duplicates counts, comments and other lines kept as the user wrote them). Host threads or a
// driver's own threads, never an audio callback.

#include "app/IniProfile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kerrion::driver {

// The file named by the environment variable `overrideVariable` when it is set, else
// `fileName` in the per-user configuration folder (ConfigFolder(): $XDG_CONFIG_HOME/Marvane/
// Kerrion, default ~/.config); empty when the user has no private folder for it.
std::filesystem::path DriverConfigPath(const char* overrideVariable, const char* fileName);

// The file at `path` (regular and at most 1 MiB, else nothing is read), new lines ending in LF.
CIniProfile ReadDriverIni(const std::filesystem::path& path);

// The key's number, or `fallback` when the key is missing, does not start with a number or is
// not finite ("nan", "inf", or too large for a double). A decimal point is always '.'.
double IniNumber(
    const CIniProfile& ini, std::string_view section, std::string_view key, double fallback);
// The key's number cut to a whole number and held within `lowest`..`highest` (bounds of at most
// 2^53 in size), or `fallback` as IniNumber gives it.
int64_t IniInteger(const CIniProfile& ini, std::string_view section, std::string_view key,
    int64_t fallback, int64_t lowest, int64_t highest);

// Key and value; an empty value removes the key.
using IniAssignments = std::vector<std::pair<std::string, std::string>>;

// Sets `keys` in `section` of the file at `path` and saves it (CIniProfile::SaveFile: atomic,
// flushed, a link followed), creating the file and its folder when missing. A file that is there
// but cannot be read (unreadable, not a regular file, too large) is never replaced: false. False
// too when the file could not be written; the old file is then untouched. A file that would not
// change is not written.
bool WriteIniKeys(
    const std::filesystem::path& path, std::string_view section, const IniAssignments& keys);

} // namespace kerrion::driver
