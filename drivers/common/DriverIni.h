#pragma once

// Settings files of the driver plug-ins: a small INI reader (sections and keys matched without
// regard to case) and where a driver's file lies. Host thread only; the plug-ins link no host
// library, so they share this instead.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kerrion::driver {

using IniSection = std::map<std::string, std::string>; // lower-case key -> value
using IniFile = std::map<std::string, IniSection>;     // lower-case section name -> keys

// The sections of `path`; empty when it does not exist or cannot be read. Lines starting with
// ';' or '#' are comments; spaces around names and values are dropped.
IniFile ReadIniFile(const std::filesystem::path& path);

// The key's number, or `fallback` when the key is missing, does not start with a number or is
// not finite ("nan", "inf", or too large for a double).
double IniNumber(const IniSection& section, const char* key, double fallback);
// The key's number cut to a whole number and held within `lowest`..`highest` (bounds of at most
// 2^53 in size), or `fallback` as IniNumber gives it.
int64_t IniInteger(
    const IniSection& section, const char* key, int64_t fallback, int64_t lowest, int64_t highest);

std::string Lower(std::string_view text);
// `text` without the spaces, tabs and carriage return around it.
std::string_view Trim(std::string_view text);

// The file named by the environment variable `overrideVariable` when it is set, else
// $XDG_CONFIG_HOME/Marvane/Kerrion/`fileName` (default ~/.config).
std::filesystem::path DriverConfigPath(const char* overrideVariable, const char* fileName);

} // namespace kerrion::driver
