#pragma once

// Writing a driver's settings file back: one section's keys are set or removed, every other
// line (comments, blank lines, other keys and sections) stays as the user wrote it. Host
// thread only; never from a driver's audio callback.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kerrion::driver {

// Key and value; an empty value removes the key.
using IniAssignments = std::vector<std::pair<std::string, std::string>>;

// Sets `keys` in the section `section` of `path` (names matched without regard to case, as
// ReadIniFile does): a key that is there has its first line replaced (later duplicates are
// dropped), a new one goes after the section's last key, and a missing section is added at the
// end when it has something to hold. The file is replaced atomically (a temporary file in the
// same folder, then rename), its folder created when missing, a symbolic link followed. False
// when it could not be written; the old file is then untouched.
bool UpdateIniSection(
    const std::filesystem::path& path, const std::string& section, const IniAssignments& keys);

} // namespace kerrion::driver
