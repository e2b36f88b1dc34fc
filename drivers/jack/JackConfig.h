#pragma once

// Settings of the JACK driver, read when the driver initialises: the file named by
// KERRION_JACK_CONFIG, else $XDG_CONFIG_HOME/Marvane/Kerrion/jack.ini (default ~/.config), else
// built-in defaults. Host thread only.

#include <filesystem>
#include <string>

namespace kerrion::jack {

inline constexpr int kMaxChannels = 64;

struct JackConfig {
    int inputs = 8;          // capture ports in_1 .. in_N, 1 to 64
    int outputs = 2;         // playback ports out_1 .. out_N, 0 to 64
    bool autoConnect = true; // connect the server's physical capture ports to in_1.. in order
};

std::filesystem::path JackConfigPath();

// Defaults, overridden by the file's [JACK] section where it exists; counts are clamped.
JackConfig LoadJackConfig(const std::filesystem::path& path);

} // namespace kerrion::jack
