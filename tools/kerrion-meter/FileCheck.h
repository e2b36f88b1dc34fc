#pragma once

// kerrion-meter --file: measures the broadcast loudness of sound files as fast as they can be
// read, through the same loudness processor as the metering engine, and judges each by the
// standard. Per file on standard error: what was read, the summary and the verdict; on standard
// output, when --format csv or jsonl asks, a record per 100 ms of the file; with --plot, the
// history of the one file checked drawn into an image.

#include "CommandLine.h"
#include "app/SettingsRecord.h"

namespace kerrion::cli {

constexpr int kExitNotMet = 5; // a file was measured and does not meet the standard

// Checks every file of `options.files`; returns kExitOk when every one meets the standard,
// kExitFailure when one could not be read (the others are still checked) or the plot could
// not be written, kExitUsage for --plot with several files, else kExitNotMet.
int CheckFiles(const MeterCommandLine& options, const CSettingsRecord& settings);

} // namespace kerrion::cli
