#pragma once

// The signal generator as the benchmarks' audio device: a registry naming the plug-in and its
// settings in a private folder, found through the environment by this process and its children.

#include <filesystem>
#include <string>

namespace kerrion::bench {

// A private folder, made on first use.
std::filesystem::path BenchFolder();

void WriteText(const std::filesystem::path& path, const std::string& text);

// Eight sines at different frequencies and levels, `frames` per buffer, the clock `speed` times
// faster than real time, from the plug-in at `driverPath`.
void ConfigureSignal(const std::string& driverPath, int frames, double speed);

} // namespace kerrion::bench
