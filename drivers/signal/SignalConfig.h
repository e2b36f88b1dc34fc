#pragma once

// Settings of the signal generator driver, read from an INI file when the driver initialises:
// the file named by KERRION_SIGNAL_CONFIG, else signal.ini in the per-user configuration folder
// ($XDG_CONFIG_HOME/Marvane/Kerrion, default ~/.config), else built-in defaults. Host thread only.

#include "app/IniProfile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kerrion::signal {

inline constexpr int kMaxChannels = 64;

enum class SourceKind { Sine, Noise, Silence, File, Burst };

struct InputSettings {
    SourceKind source = SourceKind::Silence;
    double frequency = 1000.0;  // Hz
    double level = -20.0;       // dBFS: peak of a sine or burst, RMS of noise
    double burstOn = 250.0;     // ms of tone per burst
    double burstOff = 750.0;    // ms of silence between bursts
    std::filesystem::path file; // 16-bit PCM WAVE, at most 64 MiB (relative to the INI's folder)
    int fileChannel = 1;        // 1-based
    bool loop = true;
};

struct SignalConfig {
    int inputs = 8;
    int outputs = 2;
    double rate = 48000.0;   // Hz
    int bufferFrames = 512;  // frames per buffer half
    int32_t sampleType = 18; // ASIO sample type code of every channel
    double speed = 1.0;      // clock speed relative to real time
    uint64_t stallAfter = 0; // buffer switches before the clock stops (0 = never)
    bool failInit = false;
    std::vector<InputSettings> input = std::vector<InputSettings>(kMaxChannels);
};

// The file the driver reads (it may not exist).
std::filesystem::path SignalConfigPath();

// Defaults, overridden by the file's values where it exists and is readable. Out-of-range
// numbers are clamped to what the driver can run.
SignalConfig LoadSignalConfig(const std::filesystem::path& path);
// The same from a file already read; relative WAVE file names start at `folder`.
SignalConfig ReadSignalConfig(const CIniProfile& ini, const std::filesystem::path& folder);

// The defaults as INI text, with comments explaining every key.
std::string DefaultSignalConfigText();

} // namespace kerrion::signal
