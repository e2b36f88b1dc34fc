#pragma once

#include <optional>
#include <string>
#include <vector>

// The options of kerrion-meter, parsed without side effects so that they can be tested alone.
struct MeterCommandLine {
    std::optional<std::string> iniFile; // --ini FILE instead of the per-user Kerrion.ini
    bool printSettings = false;         // --print-settings
    bool saveSettings = false;          // --save-settings
    bool help = false;                  // --help
};

struct MeterCommandLineResult {
    MeterCommandLine options;
    std::string error; // empty when the arguments were understood
};

// Parses the arguments after the program name. Options may be given as "--opt VALUE" or
// "--opt=VALUE".
MeterCommandLineResult ParseMeterCommandLine(const std::vector<std::string>& args);

// The usage text printed by --help and after an argument error.
std::string MeterUsage();
