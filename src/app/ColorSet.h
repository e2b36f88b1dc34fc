#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A 24-bit RGB colour packed with red in the low byte, green in the second, blue in the third; the
// top byte is 0 (pure red is 255). This is the layout the settings file and the faces use.
using ColorRef = uint32_t;

constexpr ColorRef MakeColor(int red, int green, int blue)
{
    return static_cast<ColorRef>(red & 0xFF) | (static_cast<ColorRef>(green & 0xFF) << 8)
        | (static_cast<ColorRef>(blue & 0xFF) << 16);
}
constexpr int RedOf(ColorRef color) { return static_cast<int>(color & 0xFF); }
constexpr int GreenOf(ColorRef color) { return static_cast<int>((color >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef color) { return static_cast<int>((color >> 16) & 0xFF); }

// The nine colour slots of a meter, in the order of the colour dialog rows, of the settings file
// and of the default table.
enum ColorSlot : int {
    kColorMeterBg = 0,
    kColorMeterFrame,
    kColorName,
    kColorNeedle,
    kColorPeak,
    kColorScaleL,
    kColorScaleR,
    kColorOver,
    kColorOverTh,
    kColorSlotCount
};

using ColorSet = std::array<ColorRef, kColorSlotCount>;

struct ColorSlotInfo {
    const char* key;   // key in section Color; "<key>_color" in a Channel section
    const char* label; // row label of the colour dialog
    ColorRef defaultColor;
};

// Keys, labels and defaults of the nine slots, indexed by ColorSlot.
extern const std::array<ColorSlotInfo, kColorSlotCount> kColorSlots;

// The default colour set (every slot at its default).
ColorSet DefaultColorSet();
