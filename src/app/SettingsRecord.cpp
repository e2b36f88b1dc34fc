#include "app/SettingsRecord.h"

#include "app/IniProfile.h"
#include "app/ProfileText.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

const std::array<double, kScaleVuMarks> kDefaultScaleVU
    = { 0, 1.9, 12.9, 20.5, 23.9, 27.7, 32.2, 37.2, 43.0, 49.7, 53.5, 57.4, 61.7, 66.3, 76.5, 88 };

namespace {

using kerrion::FormatFixed;
using kerrion::FormatShortest;
using kerrion::ParseProfileDouble;
using kerrion::ParseProfileInt;
using kerrion::SplitProfileList;

constexpr const char* kDefaultScaleVUText
    = "0,1.9,12.9,20.5,23.9,27.7,32.2,37.2,43.0,49.7,53.5,57.4,61.7,66.3,76.5,88";

std::string ChannelSectionName(int meter) { return "Channel" + std::to_string(meter + 1); }

std::string ColorText(ColorRef color)
{
    return std::to_string(RedOf(color)) + "," + std::to_string(GreenOf(color)) + ","
        + std::to_string(BlueOf(color));
}

// "r,g,b": each piece by the integer conversion, low 8 bits kept. A missing piece (a value with
// fewer than three numbers) keeps the default's component, so "255,0" changes only red and green.
ColorRef ReadColor(const CIniProfile& profile, const std::string& section, const std::string& key,
    ColorRef defaultColor)
{
    const std::string text = profile.GetString(section, key, ColorText(defaultColor));
    const auto pieces = SplitProfileList(text);
    int rgb[3] = { RedOf(defaultColor), GreenOf(defaultColor), BlueOf(defaultColor) };
    for (std::size_t i = 0; i < 3 && i < pieces.size(); ++i)
        rgb[i] = ParseProfileInt(pieces[i]) & 0xFF;
    return MakeColor(rgb[0], rgb[1], rgb[2]);
}

// "x,y", used whole; a missing piece keeps the default's coordinate.
CSettingsRecord::Point ReadPoint(const CIniProfile& profile, const char* section, const char* key,
    CSettingsRecord::Point defaultPoint)
{
    const std::string text = profile.GetString(
        section, key, std::to_string(defaultPoint.x) + "," + std::to_string(defaultPoint.y));
    const auto pieces = SplitProfileList(text);
    CSettingsRecord::Point point = defaultPoint;
    if (!pieces.empty())
        point.x = ParseProfileInt(pieces[0]);
    if (pieces.size() > 1)
        point.y = ParseProfileInt(pieces[1]);
    return point;
}

double ReadDouble(const CIniProfile& profile, const std::string& section, const char* key,
    const char* defaultText)
{
    return ParseProfileDouble(profile.GetString(section, key, defaultText));
}

int ReadIntText(
    const CIniProfile& profile, const char* section, const char* key, const char* defaultText)
{
    return ParseProfileInt(profile.GetString(section, key, defaultText));
}

void ReadColorSet(
    const CIniProfile& profile, const std::string& section, const char* suffix, ColorSet& colors)
{
    for (std::size_t slot = 0; slot < colors.size(); ++slot)
        colors[slot] = ReadColor(profile, section, std::string(kColorSlots[slot].key) + suffix,
            kColorSlots[slot].defaultColor);
}

void WriteColorSet(
    CIniProfile& profile, const std::string& section, const char* suffix, const ColorSet& colors)
{
    for (std::size_t slot = 0; slot < colors.size(); ++slot)
        profile.WriteString(
            section, std::string(kColorSlots[slot].key) + suffix, ColorText(colors[slot]));
}

void WriteInt(CIniProfile& profile, const std::string& section, const char* key, int value)
{
    profile.WriteString(section, key, std::to_string(value));
}

// `text` when it is one of `allowed` (case ignored, written as listed), else `fallback`.
std::string OneOf(
    const std::string& text, std::initializer_list<const char*> allowed, const char* fallback)
{
    for (const char* candidate : allowed) {
        if (kerrion::EqualNoCase(text, candidate))
            return candidate;
    }
    return fallback;
}

// The whole text as a decimal number within [low, high], else `fallback`.
double StrictDouble(const std::string& text, double low, double high, double fallback)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || *end != '\0' || !(value >= low && value <= high))
        return fallback;
    return value;
}

void LoadLoudness(const CIniProfile& profile, CSettingsRecord::LoudnessSection& loudness)
{
    const CSettingsRecord::LoudnessSection defaults;
    loudness.Layout = OneOf(profile.GetString("Loudness", "Layout", defaults.Layout),
        { "stereo", "mono", "5.1", "7.1" }, "stereo");
    loudness.Standard = OneOf(profile.GetString("Loudness", "Standard", defaults.Standard),
        { "ARIB", "EBU", "ATSC", "Custom" }, "ARIB");
    loudness.Target
        = StrictDouble(profile.GetString("Loudness", "Target", ""), -60.0, 0.0, defaults.Target);
    loudness.TruePeakLimit = StrictDouble(
        profile.GetString("Loudness", "TruePeakLimit", ""), -20.0, 3.0, defaults.TruePeakLimit);
    const std::string show = profile.GetString("Loudness", "Show", "1");
    loudness.Show = show == "0" ? 0 : 1;
    loudness.Log = profile.GetString("Loudness", "Log", "0") == "1" ? 1 : 0;
    loudness.History = profile.GetString("Loudness", "History", "0") == "1" ? 1 : 0;
    loudness.HistoryMinutes = std::stoi(OneOf(
        profile.GetString("Loudness", "HistoryMinutes", ""), { "1", "3", "10", "30", "60" }, "10"));
}

void SaveLoudness(CIniProfile& profile, const CSettingsRecord::LoudnessSection& loudness)
{
    profile.WriteString("Loudness", "Layout", loudness.Layout);
    profile.WriteString("Loudness", "Standard", loudness.Standard);
    profile.WriteString("Loudness", "Target", FormatShortest(loudness.Target));
    profile.WriteString("Loudness", "TruePeakLimit", FormatShortest(loudness.TruePeakLimit));
    WriteInt(profile, "Loudness", "Show", loudness.Show);
    // Written once used, so that the files of those who never touch them stay as they were.
    const auto writeOnceUsed = [&](const char* key, int value, int unused) {
        if (value != unused || profile.GetString("Loudness", key, "\x01") != "\x01")
            WriteInt(profile, "Loudness", key, value);
    };
    writeOnceUsed("Log", loudness.Log, 0);
    writeOnceUsed("History", loudness.History, 0);
    writeOnceUsed("HistoryMinutes", loudness.HistoryMinutes, 10);
}

} // namespace

CSettingsRecord::CSettingsRecord()
{
    Meter.ScaleVU = kDefaultScaleVU;
    for (int i = 0; i < kMeterCount; ++i) {
        Channel[static_cast<std::size_t>(i)].name = std::to_string(i + 1);
        Channel[static_cast<std::size_t>(i)].device_ch = i;
    }
}

void CSettingsRecord::Load(const CIniProfile& profile)
{
    Meter.Num = std::min(profile.GetInt("Meter", "Num", 4), kMeterCount);
    Meter.Size_w = profile.GetInt("Meter", "Size.w", 1360);
    Meter.Size_h = profile.GetInt("Meter", "Size.h", 768);
    Meter.Refresh = profile.GetInt("Meter", "Refresh", 1);
    const int frameRate = profile.GetInt("Meter", "FrameRate", 30);
    Meter.FrameRate = frameRate >= 10 && frameRate <= 60 ? frameRate : 30;
    Meter.VuFontSize = ReadDouble(profile, "Meter", "VuFontSize", "60.0");
    Meter.VuPenWidth = ReadIntText(profile, "Meter", "VuPenWidth", "3");

    Meter.ScaleVU.fill(0.0);
    const std::string scale = profile.GetString("Meter", "ScaleVU", kDefaultScaleVUText);
    const auto marks = SplitProfileList(scale);
    for (std::size_t i = 0; i < marks.size() && i < Meter.ScaleVU.size(); ++i)
        Meter.ScaleVU[i] = ParseProfileDouble(marks[i]);

    PeakHold.type = profile.GetInt("PeakHold", "type", 0);

    for (int i = 0; i < kMeterCount; ++i) {
        const std::string section = ChannelSectionName(i);
        ChannelSection& channel = Channel[static_cast<std::size_t>(i)];
        channel.name_visible = profile.GetInt(section, "name_visible", 1);
        channel.name_pos = profile.GetInt(section, "name_pos", 3);
        channel.name = profile.GetString(section, "name", std::to_string(i + 1));
        channel.device_ch = profile.GetInt(section, "device_ch", i);
        channel.cal_vu = ReadDouble(profile, section, "cal_vu", "-20.0");
        channel.over_enable = profile.GetInt(section, "over_enable", 1);
        channel.over_th = ReadDouble(profile, section, "over_th", "");
        channel.color_enable = profile.GetInt(section, "color_enable", 0);
        ReadColorSet(profile, section, "_color", channel.colors);
        channel.meter_type = profile.GetString(section, "meter_type", "vu");
    }

    BWLPF.cutoff = std::clamp(ReadDouble(profile, "BWLPF", "cutoff", "1.8"), 1.0, 3.0);
    BWLPF.order = ReadIntText(profile, "BWLPF", "order", "2");

    Visible.vu = profile.GetInt("Visible", "vu", 1);
    Visible.peak = profile.GetInt("Visible", "peak", 1);
    Needle.type = profile.GetInt("Needle", "type", 1);
    Needle.thick = profile.GetInt("Needle", "thick", 1);
    Needle.only_upper = profile.GetInt("Needle", "only_upper", 0);

    ReadColorSet(profile, "Color", "", Color);

    Logo.file = profile.GetString("Logo", "file", ".\\marvane.bmp");
    Logo.pos = ReadPoint(profile, "Logo", "pos", Point {});
    Dump.enable = profile.GetInt("Dump", "enable", 0);

    Device.Type = ReadIntText(profile, "Device", "Type", "0");
    Device.ID = ReadIntText(profile, "Device", "ID", "0");
    Device.Name = profile.GetString("Device", "Name", "");

    LoadLoudness(profile, Loudness);
}

void CSettingsRecord::Save(CIniProfile& profile) const
{
    WriteInt(profile, "Device", "Type", Device.Type);
    WriteInt(profile, "Device", "ID", Device.ID);
    profile.WriteString("Device", "Name", Device.Name);

    WriteInt(profile, "PeakHold", "type", PeakHold.type);

    WriteInt(profile, "Meter", "Num", Meter.Num);
    profile.WriteString("Meter", "VuFontSize", FormatFixed(Meter.VuFontSize, 1));
    WriteInt(profile, "Meter", "VuPenWidth", Meter.VuPenWidth);

    for (int i = 0; i < kMeterCount; ++i) {
        const std::string section = ChannelSectionName(i);
        const ChannelSection& channel = Channel[static_cast<std::size_t>(i)];
        WriteInt(profile, section, "name_visible", channel.name_visible);
        WriteInt(profile, section, "name_pos", channel.name_pos);
        profile.WriteString(section, "name", channel.name);
        WriteInt(profile, section, "device_ch", channel.device_ch);
        profile.WriteString(section, "cal_vu", FormatFixed(channel.cal_vu, 6));
        WriteInt(profile, section, "over_enable", channel.over_enable);
        profile.WriteString(section, "over_th", FormatFixed(channel.over_th, 6));
        WriteInt(profile, section, "color_enable", channel.color_enable);
        WriteColorSet(profile, section, "_color", channel.colors);
        if (channel.meter_type != "vu"
            || profile.GetString(section, "meter_type", "\x01") != "\x01")
            profile.WriteString(section, "meter_type", channel.meter_type);
    }

    WriteInt(profile, "Visible", "vu", Visible.vu);
    WriteInt(profile, "Visible", "peak", Visible.peak);
    WriteInt(profile, "Needle", "type", Needle.type);
    WriteInt(profile, "Needle", "thick", Needle.thick);
    WriteInt(profile, "Needle", "only_upper", Needle.only_upper);

    WriteColorSet(profile, "Color", "", Color);

    bool present = false;
    for (const char* key : { "Layout", "Standard", "Target", "TruePeakLimit", "Show" })
        present = present || profile.GetString("Loudness", key, "\x01") != "\x01";
    if (present || !(Loudness == LoudnessSection {}))
        SaveLoudness(profile, Loudness);
}

void CSettingsRecord::SaveAll(CIniProfile& profile) const
{
    Save(profile);
    WriteInt(profile, "Meter", "Size.w", Meter.Size_w);
    WriteInt(profile, "Meter", "Size.h", Meter.Size_h);
    WriteInt(profile, "Meter", "Refresh", Meter.Refresh);
    std::string scale;
    for (std::size_t i = 0; i < Meter.ScaleVU.size(); ++i)
        scale += (i == 0 ? "" : ",") + FormatShortest(Meter.ScaleVU[i]);
    profile.WriteString("Meter", "ScaleVU", scale);
    WriteInt(profile, "Meter", "FrameRate", Meter.FrameRate);
    profile.WriteString("BWLPF", "cutoff", FormatShortest(BWLPF.cutoff));
    WriteInt(profile, "BWLPF", "order", BWLPF.order);
    profile.WriteString("Logo", "file", Logo.file);
    profile.WriteString(
        "Logo", "pos", std::to_string(Logo.pos.x) + "," + std::to_string(Logo.pos.y));
    WriteInt(profile, "Dump", "enable", Dump.enable);
    SaveLoudness(profile, Loudness);
}
