#pragma once

// kerrion-meter's metering: resolves the device and channel map from the settings and the
// options, runs the engine, prints the levels of every block, stops on the first of --blocks,
// --seconds, the engine's own end or an interrupt (SIGINT/SIGTERM), and prints the summary.

#include "CommandLine.h"
#include "app/SettingsRecord.h"
#include "meter/LoudnessStandard.h"

namespace kerrion::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDevice = 3; // the device failed (status 0x100, 2 or 0x103), or no device matched
constexpr int kExitDumpFile = 4; // a dump file cannot be created

// Meters until a stop condition; returns the exit status.
int RunMetering(const MeterCommandLine& options, const CSettingsRecord& settings);

// The standard of the settings, or of --standard.
LoudnessStandard ChooseStandard(const MeterCommandLine& options, const CSettingsRecord& settings);

// The engine status in words.
const char* StatusText(int32_t status);
// The exit status for an engine status.
int ExitStatusFor(int32_t status);

} // namespace kerrion::cli
