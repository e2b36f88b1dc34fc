#pragma once

#include <optional>
#include <string>
#include <vector>

// The options of kerrion-render, parsed without side effects so that they can be tested alone.
struct RenderOptions {
    std::optional<std::string> iniFile; // --ini FILE instead of the per-user Kerrion.ini
    int meter = 1;                      // --meter N, 1 .. 8
    int layoutWidth = 0;                // --layout WxH: the whole monitor instead of one meter
    int layoutHeight = 0;
    double scale = 1.0;                   // --scale S, one meter's display scale
    double vuDb = -100.0;                 // --vu DB: the meter's reading in VU (needle at rest)
    double peakDbfs = -96.0;              // --peak DBFS
    std::optional<double> holdDbfs;       // --hold DBFS
    std::optional<std::string> meterType; // --meter-type TYPE instead of the meter's meter_type
    bool lamp = false;                    // --lamp
    bool displayOff = false;              // --display-off
    std::string out;                      // --out FILE.png
    bool help = false;                    // --help
};

struct RenderOptionsResult {
    RenderOptions options;
    std::string error; // empty when the arguments were understood
};

// Parses the arguments after the program name ("--opt VALUE" or "--opt=VALUE").
RenderOptionsResult ParseRenderOptions(const std::vector<std::string>& args);

std::string RenderUsage();
