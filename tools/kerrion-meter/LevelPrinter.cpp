#include "LevelPrinter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kerrion::cli {
namespace {

constexpr int kBarWidth = 24;

std::string JsonArray(const std::array<double, kMeters>& values)
{
    std::string text = "[";
    for (int i = 0; i < kMeters; ++i) {
        if (i > 0)
            text += ',';
        text += FormatNumber(values[static_cast<size_t>(i)]);
    }
    return text + "]";
}

void AppendCsvFields(std::string& text, const std::array<double, kMeters>& values)
{
    for (double value : values) {
        text += ',';
        AppendNumber(text, value);
    }
}

// A bar of kBarWidth cells, filled for `value` between `low` and `high`.
std::string Bar(double value, double low, double high)
{
    double fraction = std::isfinite(value) ? (value - low) / (high - low) : 0.0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int filled = static_cast<int>(fraction * kBarWidth + 0.5);
    return "|" + std::string(static_cast<size_t>(filled), '#')
        + std::string(static_cast<size_t>(kBarWidth - filled), '.') + "|";
}

std::string R128Json(const LoudnessReadings& m, bool maxima = false);
std::string Dash(double value);

} // namespace

std::string FormatNumber(double value)
{
    std::string text;
    AppendNumber(text, value);
    return text;
}

// Nine significant digits, as printf's %.9g writes them; a record is dozens of numbers and
// kerrion-meter writes one per block, so they are converted without the stream machinery.
void AppendNumber(std::string& text, double value)
{
    if (!std::isfinite(value)) {
        text += "null";
        return;
    }
    char digits[40];
    const std::to_chars_result end
        = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 9);
    text.append(digits, end.ptr);
}

namespace {

// With `maxima`, the highest momentary and short-term loudness follow the true peaks.
std::string R128Json(const LoudnessReadings& m, bool maxima)
{
    std::string peaks = "[";
    for (int c = 0; c < m.channels; ++c)
        peaks += (c > 0 ? "," : "") + FormatNumber(m.truePeak[static_cast<size_t>(c)]);
    return ",\"r128\":{\"momentary\":" + FormatNumber(m.momentary)
        + ",\"short_term\":" + FormatNumber(m.shortTerm)
        + ",\"integrated\":" + FormatNumber(m.integrated) + ",\"range\":" + FormatNumber(m.range)
        + ",\"true_peak\":" + peaks + "],\"true_peak_max\":" + FormatNumber(m.truePeakMax)
        + (maxima ? ",\"momentary_max\":" + FormatNumber(m.momentaryMax)
                    + ",\"short_term_max\":" + FormatNumber(m.shortTermMax)
                  : std::string())
        + "}";
}

// One decimal, or a dash for a value not measured yet.
std::string Dash(double value)
{
    if (std::isnan(value))
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

std::string JsonRecord(const LevelRecord& r)
{
    return "{\"block\":" + std::to_string(r.block) + ",\"frames\":" + std::to_string(r.frames)
        + ",\"peak\":" + JsonArray(r.peak) + ",\"vu\":" + JsonArray(r.vu) + ",\"meter_vu\":"
        + JsonArray(r.meterVu) + ",\"needle\":" + JsonArray(r.needle) + ",\"loudness\":"
        + FormatNumber(r.loudness) + (r.hasR128 ? R128Json(r.r128) : std::string()) + "}\n";
}

std::string CsvHeader(bool r128)
{
    std::string text = "block,frames";
    for (const char* group : { "peak", "vu", "meter_vu", "needle" }) {
        for (int i = 1; i <= kMeters; ++i)
            text += "," + std::string(group) + std::to_string(i);
    }
    return text + ",loudness" + (r128 ? ",momentary,short_term,integrated,range,true_peak_max" : "")
        + "\n";
}

std::string CsvRecord(const LevelRecord& r)
{
    std::string text;
    WriteCsvRecord(r, text);
    return text;
}

void WriteCsvRecord(const LevelRecord& r, std::string& text)
{
    char integer[24];
    text.clear();
    text.append(integer, std::to_chars(integer, integer + sizeof integer, r.block).ptr);
    text += ',';
    text.append(integer, std::to_chars(integer, integer + sizeof integer, r.frames).ptr);
    AppendCsvFields(text, r.peak);
    AppendCsvFields(text, r.vu);
    AppendCsvFields(text, r.meterVu);
    AppendCsvFields(text, r.needle);
    text += ',';
    AppendNumber(text, r.loudness);
    if (r.hasR128) {
        for (double v : { r.r128.momentary, r.r128.shortTerm, r.r128.integrated, r.r128.range,
                 r.r128.truePeakMax }) {
            text += ',';
            AppendNumber(text, v);
        }
    }
    text += '\n';
}

std::string R128Line(const LoudnessReadings& m, const LoudnessStandard& standard)
{
    const std::string unit = standard.unit;
    return "M " + Dash(m.momentary) + "  S " + Dash(m.shortTerm) + "  I " + Dash(m.integrated) + " "
        + unit + "  LRA " + Dash(m.range) + " LU  TP max " + Dash(m.truePeakMax) + " dBTP  ("
        + standard.name + " " + Dash(standard.target) + " " + unit + ", "
        + Dash(standard.truePeakLimit) + " dBTP)\n";
}

std::string TableText(const LevelRecord& r, const std::array<int, kMeters>& channels)
{
    std::string text;
    char line[256];
    for (int i = 0; i < kMeters; ++i) {
        const auto m = static_cast<size_t>(i);
        char channel[16] = " --";
        if (channels[m] >= 0)
            std::snprintf(channel, sizeof channel, "%3d", channels[m]);
        std::snprintf(line, sizeof line,
            "meter %d  ch %s  VU %+7.2f %s  peak %7.2f dBFS %s  needle %+7.2f\n", i + 1, channel,
            r.meterVu[m], Bar(r.meterVu[m], -20.0, 3.0).c_str(), r.peak[m],
            Bar(r.peak[m], -60.0, 0.0).c_str(), r.needle[m]);
        text += line;
    }
    return text;
}

std::string LoudnessSummary(const LoudnessReadings& r, const LoudnessStandard& standard)
{
    return standard.IntegratedVerdict(r.integrated) + "; range " + Dash(r.range) + " LU; "
        + standard.TruePeakVerdict(r.truePeakMax);
}

namespace {

// `text` as a JSON string, quotes included.
std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// `text` as a csv field: quoted, quotes doubled, when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

} // namespace

std::string FileJsonRecord(const std::string& file, double seconds, const LoudnessReadings& r128)
{
    return "{\"file\":" + JsonString(file) + ",\"seconds\":" + FormatNumber(seconds)
        + R128Json(r128, true) + "}\n";
}

std::string FileCsvHeader()
{
    return "file,seconds,momentary,short_term,integrated,range,true_peak_max\n";
}

std::string FileCsvRecord(const std::string& file, double seconds, const LoudnessReadings& r)
{
    std::string text = CsvField(file) + ',' + FormatNumber(seconds);
    for (double v : { r.momentary, r.shortTerm, r.integrated, r.range, r.truePeakMax,
             r.momentaryMax, r.shortTermMax }) {
        text += ',';
        AppendNumber(text, v);
    }
    return text + '\n';
}

} // namespace kerrion::cli
