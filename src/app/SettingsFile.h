#pragma once

#include "app/SettingsRecord.h"

#include <filesystem>
#include <string>

// Loading and saving the settings record as the program does at start-up, after each change and
// at exit. User-interface thread only.
namespace kerrion {

// What loading found. A file that is there but could not be read (its permissions, an I/O error,
// a folder or a pipe in its place) must never be written over in that run: the record then holds
// defaults, and saving them would lose every setting the file holds.
struct SettingsLoad {
    bool unreadable = false; // the file is there (or may be) but could not be read
    std::string reason;      // why, in the system's words, when unreadable
};

// Fills `record` from the file at `path`; a missing or unreadable file gives every default.
SettingsLoad LoadSettingsFile(CSettingsRecord& record, const std::filesystem::path& path);

// Writes the record into the file at `path`, keeping every line it does not own. Nothing is
// written when `Meter.Num` is 0 or less (a run that never loaded its settings), over a file that
// exists but cannot be read, or when the file already holds what would be written. Returns 1
// when the file holds the record, 0 when nothing was written or the write failed (the old file is
// then kept as it was).
int SaveSettingsFile(const CSettingsRecord& record, const std::filesystem::path& path);

// The same for the per-user Kerrion.ini; saving creates the data folder first.
SettingsLoad LoadUserSettings(CSettingsRecord& record);
int SaveUserSettings(const CSettingsRecord& record);

} // namespace kerrion
