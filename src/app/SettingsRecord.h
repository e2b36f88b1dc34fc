#pragma once

#include "app/ColorSet.h"

#include <array>
#include <string>

class CIniProfile;

constexpr int kMeterCount = 8;    // meters 1..8 in the file and the UI, 0..7 here
constexpr int kScaleVuMarks = 16; // start of the VU scale and its 15 marks

// Every persistent setting of Kerrion. Each field is named after its INI section and key
// (`Meter.Num` is `Meter`/`Num`, `Channel[i].cal_vu` is `Channel<i+1>`/`cal_vu`). The record is
// read and written on the user-interface thread only; the engine gets copies of what it needs.
//
// A default-constructed record holds the load defaults, except `Meter.Num`, which stays 0 until
// Load: a run that never loaded its settings (a second instance) must not save them.
class CSettingsRecord {
public:
    struct MeterSection {
        int Num = 0;              // meters shown; 4 when loaded from an empty file; capped at 8
        int Size_w = 1360;        // face units; width of each meter face (read only)
        int Size_h = 768;         // face units; height of each meter face (read only)
        int Refresh = 1;          // take every Refresh-th level message (read only)
        int FrameRate = 30;       // needle frames a second, 10 .. 60 (read only)
        int VuPenWidth = 3;       // pixels, not scaled; VU scale pen width
        double VuFontSize = 60.0; // kept and written back; nothing uses it
        std::array<double, kScaleVuMarks> ScaleVU {}; // degrees of deflection (read only)
    };
    struct PeakHoldSection {
        int type = 0; // 0 none, 1 two seconds, 2 four seconds
    };
    struct ChannelSection {
        int name_visible = 1;
        int name_pos = 3;      // 0 top left, 1 top centre, 2 top right, 3 bottom centre
        std::string name;      // UTF-8; "1".."8" by default
        int device_ch = 0;     // 0-based device input channel feeding this meter
        double cal_vu = -20.0; // dBFS that reads 0 VU
        int over_enable = 1;
        double over_th = 0.0; // dBFS; peak indicator threshold
        int color_enable = 0; // 1: use `colors` below, 0: the common set
        ColorSet colors = DefaultColorSet();
        // The needle's ballistics and face: vu, vu-iec, ppm-din, ppm-nordic, ppm-bbc or
        // ppm-ebu; kept as written (anything else meters as vu) and written back only when the
        // file has it or it is not vu, so that a VU meter's section stays as it always was.
        std::string meter_type = "vu";
    };
    struct BwlpfSection {
        double cutoff = 1.8; // VU low-pass cutoff, clamped to 1.0..3.0 (read only)
        int order = 2;       // VU low-pass order, not clamped (read only)
    };
    struct VisibleSection {
        int vu = 1;
        int peak = 1;
    };
    struct NeedleSection {
        int type = 1;       // 0 sword, 1 bar
        int thick = 1;      // bar needle thickness index 0..4
        int only_upper = 0; // 1: needle drawn only near the scale
    };
    struct Point {
        int x = 30;
        int y = 30;
    };
    struct LogoSection {
        std::string file = ".\\marvane.bmp"; // empty hides the built-in logo (read only)
        Point pos; // face units; x of left edge, y above the bottom (read only)
    };
    struct DumpSection {
        int enable = 0; // 1: diagnostic text on every meter (read only)
    };
    // Broadcast loudness readout. Values in the file: Layout "stereo", "mono", "5.1", "7.1";
    // Standard "ARIB", "EBU", "ATSC", "Custom"; Target and TruePeakLimit are the custom rule's.
    // A value outside these (or not a number) reads as the default.
    struct LoudnessSection {
        std::string Layout = "stereo";
        std::string Standard = "ARIB";
        double Target = -24.0;       // LKFS; -60 .. 0
        double TruePeakLimit = -1.0; // dBTP; -20 .. +3
        int Show = 1;                // 0/1: the readout on screen
        int Log = 0;                 // 0/1: the session log (Kerrion-YYYY-MM-DD.csv) while metering
        int History = 0;             // 0/1: the meters make room for the history graph
        int HistoryMinutes = 10;     // the graph's span: 1, 3, 10, 30 or 60

        bool operator==(const LoudnessSection&) const = default;
    };
    struct DeviceSection {
        int Type = 0;     // 2 low-latency driver family, anything else plain devices
        int ID = 0;       // index within the family's device list
        std::string Name; // UTF-8; as the device list shows it
    };

    CSettingsRecord();

    // Fills every field from the profile or its default, in the documented order and with the
    // documented clamps. Never fails.
    void Load(const CIniProfile& profile);

    // Writes the keys the program owns, in the documented order, into the profile. The read-only
    // keys are left as the profile holds them. The Loudness section comes last, and only once
    // it differs from the defaults or the profile has it already, so that the files of users
    // who never touch it keep exactly the sections they always had.
    void Save(CIniProfile& profile) const;

    // Writes every field, read-only keys included, in the save order: a complete picture of the
    // record for people and scripts.
    void SaveAll(CIniProfile& profile) const;

    MeterSection Meter;
    PeakHoldSection PeakHold;
    std::array<ChannelSection, kMeterCount> Channel;
    BwlpfSection BWLPF;
    VisibleSection Visible;
    NeedleSection Needle;
    ColorSet Color = DefaultColorSet();
    LogoSection Logo;
    DumpSection Dump;
    DeviceSection Device;
    LoudnessSection Loudness;
};

// The default VU scale table: the start of the scale and its 15 marks, in degrees.
extern const std::array<double, kScaleVuMarks> kDefaultScaleVU;
