#include "meter/LoudnessStandard.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <strings.h>

namespace kerrion {
namespace {

constexpr std::array<LoudnessStandard, 4> kStandards = { {
    { LoudnessStandardId::Arib, "ARIB", "ARIB TR-B32", "LKFS", -24.0, -1.0 },
    { LoudnessStandardId::Ebu, "EBU", "EBU R128", "LUFS", -23.0, -1.0 },
    { LoudnessStandardId::Atsc, "ATSC", "ATSC A/85", "LKFS", -24.0, -2.0 },
    { LoudnessStandardId::Custom, "Custom", "custom", "LKFS", -24.0, -1.0 },
} };

// "%.1f" of `value`.
std::string Fixed1(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

LoudnessStandard LoudnessStandard::Of(LoudnessStandardId id, double customTarget, double customLimit)
{
    for (const LoudnessStandard& standard : kStandards) {
        if (standard.id != id)
            continue;
        LoudnessStandard result = standard;
        if (id == LoudnessStandardId::Custom) {
            result.target = customTarget;
            result.truePeakLimit = customLimit;
        }
        return result;
    }
    return kStandards[0];
}

bool LoudnessStandard::Parse(std::string_view key, LoudnessStandardId& id)
{
    for (const LoudnessStandard& standard : kStandards) {
        const std::string_view candidate = standard.key;
        if (key.size() == candidate.size()
            && strncasecmp(key.data(), candidate.data(), key.size()) == 0) {
            id = standard.id;
            return true;
        }
    }
    return false;
}

LoudnessStandard::Level LoudnessStandard::Judge(double integrated) const
{
    if (std::isnan(integrated))
        return Level::Unknown;
    // Compared as shown (one decimal), so that "-25.0" never reads as outside 1 LU of -24.0.
    const double shown = std::round(integrated * 10.0) / 10.0;
    if (std::fabs(shown - target) <= kToleranceLu + 1e-9)
        return Level::Within;
    return shown > target ? Level::Above : Level::Below;
}

bool LoudnessStandard::TruePeakOver(double truePeak) const
{
    return !std::isnan(truePeak) && std::round(truePeak * 10.0) / 10.0 > truePeakLimit;
}

std::string LoudnessStandard::IntegratedVerdict(double integrated) const
{
    const std::string rule = std::string(name) + " " + Fixed1(target);
    const Level level = Judge(integrated);
    if (level == Level::Unknown)
        return "integrated -: nothing measured yet (" + rule + ")";
    const std::string head = "integrated " + Fixed1(integrated) + " " + unit + ": ";
    if (level == Level::Within)
        return head + "within 1 LU of " + rule;
    const double off = std::fabs(std::round(integrated * 10.0) / 10.0 - target);
    return head + Fixed1(off) + " LU " + (level == Level::Above ? "above " : "below ") + rule;
}

std::string LoudnessStandard::TruePeakVerdict(double truePeak) const
{
    const std::string limit = std::string(name) + " limit " + Fixed1(truePeakLimit);
    if (std::isnan(truePeak))
        return "true peak -: nothing measured yet (" + limit + ")";
    return "true peak " + Fixed1(truePeak) + " dBTP: " + (TruePeakOver(truePeak) ? "over" : "within")
        + " the " + limit;
}

} // namespace kerrion
