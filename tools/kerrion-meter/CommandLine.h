#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

// How kerrion-meter prints the levels while it meters.
enum class MeterFormat { Table, Csv, Jsonl };

// The options of kerrion-meter, parsed without side effects so that they can be tested alone.
// Metering is what the command does when none of --print-settings, --save-settings,
// --list-devices and --help is given.
struct MeterCommandLine {
    std::optional<std::string> iniFile; // --ini FILE instead of the per-user Kerrion.ini
    bool printSettings = false;         // --print-settings
    bool saveSettings = false;          // --save-settings
    bool listDevices = false;           // --list-devices
    bool help = false;                  // --help

    // Metering; each given value overrides the settings file.
    std::optional<int> deviceType;             // --device-type N (settings Device/Type)
    std::optional<int> deviceId;               // --device-id N (settings Device/ID)
    std::optional<std::string> deviceName;     // --device NAME: first device whose name begins so
    std::vector<int> channels;                 // --channels a,b,...: device channels of meters 1..
    std::optional<long long> blocks;           // --blocks N: stop after N level messages
    std::optional<double> seconds;             // --seconds S: stop after S seconds
    MeterFormat format = MeterFormat::Table;   // --format table|csv|jsonl
    std::vector<std::string> dumpFiles;        // --dump FILE[,FILE[,FILE]]
    double dumpSeconds = 600.0;                // --dump-seconds S
    std::optional<std::string> loudnessLayout; // --loudness stereo|mono|5.1|7.1 (Loudness/Layout)
    std::optional<std::string> standard; // --standard ARIB|EBU|ATSC|Custom (Loudness/Standard)
    bool reconnect = false; // --reconnect: a device that goes away is awaited, then metered again
    std::optional<std::string> meterType; // --meter-type TYPE: every meter's needle (meter_type)

    std::optional<std::string> logFile;  // --log FILE: the loudness session log of the run
    std::optional<std::string> plotFile; // --plot FILE.png: the run's or the file's history

    // --file PATH [PATH...]: the sound files to check instead of metering a device.
    std::vector<std::string> files;
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
