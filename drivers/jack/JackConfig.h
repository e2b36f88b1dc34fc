#pragma once

// Settings of the JACK driver, read when the driver initialises: the file named by
// KERRION_JACK_CONFIG, else jack.ini in the per-user configuration folder
// ($XDG_CONFIG_HOME/Marvane/Kerrion, default ~/.config), else built-in defaults. Host thread only.

#include "app/IniProfile.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace kerrion::jack {

inline constexpr int kMaxChannels = 64;
inline constexpr int kMaxBufferPeriods = 64;

struct JackConfig {
    int inputs = 8;          // capture ports in_1 .. in_N, 1 to 64
    int outputs = 2;         // playback ports out_1 .. out_N, 0 to 64
    bool autoConnect = true; // connect the server's physical capture ports to in_1.. in order
    // Server periods gathered into one buffer for the host, 1 to 64; 0: as many as make about
    // 10 ms. A meter needs no more often than that, and each buffer wakes the host's threads.
    int bufferPeriods = 0;
};

// The server periods of `periodFrames` at `rate` Hz that one host buffer holds.
int BufferPeriods(const JackConfig& config, uint32_t periodFrames, uint32_t rate);

std::filesystem::path JackConfigPath();

// Defaults, overridden by the file's [JACK] section where it exists; counts are clamped.
JackConfig LoadJackConfig(const std::filesystem::path& path);
JackConfig ReadJackConfig(const CIniProfile& ini);

} // namespace kerrion::jack
