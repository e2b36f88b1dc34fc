#pragma once

// The text kerrion-meter prints for the levels of one block: a JSON line, a CSV row, or the
// table of eight meter lines with bars. Pure formatting, no output of its own.

#include "meter/LoudnessReadings.h"
#include "meter/LoudnessStandard.h"

#include <array>
#include <cstdint>
#include <string>

namespace kerrion::cli {

constexpr int kMeters = 8;

struct LevelRecord {
    long long block = 0;                 // 1 for the first block printed
    uint32_t frames = 0;                 // input frames of the block
    std::array<double, kMeters> peak {}; // dBFS, the engine's peak levels
    std::array<double, kMeters> vu {};   // dB, the engine's VU levels (0 = 20 dB below full scale)
    std::array<double, kMeters> meterVu {}; // dB, what the meter shows: vu - (cal_vu + 20)
    // dB re each meter's reference point, after its needle type's ballistics (meterVu for vu)
    std::array<double, kMeters> needle {};
    double loudness = 0.0; // LKFS, BS.1770 over the meters
    bool hasR128 = false;  // the record carries the broadcast loudness below
    LoudnessReadings r128; // of the programme layout; NaN: not defined yet
};

// {"block":N,"frames":F,"peak":[...],"vu":[...],"meter_vu":[...],"needle":[...],"loudness":L}
// and a newline;
// with the broadcast loudness, "r128":{"momentary":M,"short_term":S,"integrated":I,"range":LRA,
// "true_peak":[one per programme channel],"true_peak_max":TP} before the closing brace.
std::string JsonRecord(const LevelRecord& record);
// block, frames, peak1..8, vu1..8, meter_vu1..8, needle1..8, loudness; with `r128`, the
// columns momentary,short_term,integrated,range,true_peak_max follow.
std::string CsvHeader(bool r128 = false);
std::string CsvRecord(const LevelRecord& record);
// The same record in `text`, which keeps its capacity from one record to the next.
void WriteCsvRecord(const LevelRecord& record, std::string& text);
// Eight lines, one per meter: its device channel, the meter's VU reading with a bar over
// -20..+3 dB, the peak level with a bar over -60..0 dBFS and what its needle reads.
std::string TableText(const LevelRecord& record, const std::array<int, kMeters>& channels);
constexpr int kTableLines = kMeters;
// The table's line of the broadcast loudness, judged by `standard`, with its newline.
std::string R128Line(const LoudnessReadings& r128, const LoudnessStandard& standard);
constexpr int kR128Lines = 1;

// "integrated -24.1 LKFS: within 1 LU of ARIB TR-B32 -24.0; range 5.2 LU; true peak -1.3 dBTP:
// within the ARIB TR-B32 limit -1.0", without a newline.
std::string LoudnessSummary(const LoudnessReadings& r128, const LoudnessStandard& standard);

// The records of a file's check, one per 100 ms of it: {"file":NAME,"seconds":S,"r128":{...}}
// with "momentary_max" and "short_term_max" in the r128 object, and its newline; the csv header
// and row "file,seconds,momentary,short_term,integrated,range,true_peak_max,momentary_max,
// short_term_max" (the name quoted where it must be).
std::string FileJsonRecord(const std::string& file, double seconds, const LoudnessReadings& r128);
std::string FileCsvHeader();
std::string FileCsvRecord(const std::string& file, double seconds, const LoudnessReadings& r128);

// A number with at least 6 significant digits; JSON's null for infinities and NaN.
std::string FormatNumber(double value);
// Appends what FormatNumber returns.
void AppendNumber(std::string& text, double value);

} // namespace kerrion::cli
