#pragma once

#include "app/SettingsRecord.h"

#include <filesystem>

// Loading and saving the settings record as the program does at start-up and at exit.
// User-interface thread only.
namespace kerrion {

// Fills `record` from the file at `path`; a missing or unreadable file gives every default.
void LoadSettingsFile(CSettingsRecord& record, const std::filesystem::path& path);

// Writes the record into the file at `path`, keeping every line it does not own. Nothing is
// written when `Meter.Num` is 0 or less (a run that never loaded its settings), nor over a file
// that exists but cannot be read. Returns 1 when the file was written, 0 when nothing was
// written or the write failed (the old file is then kept as it was).
int SaveSettingsFile(const CSettingsRecord& record, const std::filesystem::path& path);

// The same for the per-user Kerrion.ini; saving creates the data folder first.
void LoadUserSettings(CSettingsRecord& record);
int SaveUserSettings(const CSettingsRecord& record);

} // namespace kerrion
