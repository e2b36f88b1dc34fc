#include "meter/LoudnessLayout.h"

namespace kerrion {
namespace {

constexpr double kSide = 1.41; // +1.5 dB for the channels beside the listener

struct LayoutEntry {
    LoudnessLayout layout;
    const char* name;
    LoudnessChannels channels;
};

constexpr std::array<LayoutEntry, 4> kLayouts = { {
    { LoudnessLayout::Stereo, "stereo", { 2, { 0, 1 }, { 1.0, 1.0 } } },
    { LoudnessLayout::Mono, "mono", { 1, { 0 }, { 1.0 } } },
    { LoudnessLayout::Surround51, "5.1",
        { 6, { 0, 1, 2, 3, 4, 5 }, { 1.0, 1.0, 1.0, 0.0, kSide, kSide } } },
    { LoudnessLayout::Surround71, "7.1",
        { 8, { 0, 1, 2, 3, 4, 5, 6, 7 }, { 1.0, 1.0, 1.0, 0.0, kSide, kSide, 1.0, 1.0 } } },
} };

const LayoutEntry& EntryOf(LoudnessLayout layout)
{
    for (const LayoutEntry& entry : kLayouts)
        if (entry.layout == layout)
            return entry;
    return kLayouts[0];
}

} // namespace

LoudnessChannels ChannelsOf(LoudnessLayout layout) { return EntryOf(layout).channels; }

const char* LayoutName(LoudnessLayout layout) { return EntryOf(layout).name; }

bool ParseLayout(std::string_view name, LoudnessLayout& layout)
{
    for (const LayoutEntry& entry : kLayouts) {
        if (name == entry.name) {
            layout = entry.layout;
            return true;
        }
    }
    return false;
}

} // namespace kerrion
