#include "app/ColorSet.h"

const std::array<ColorSlotInfo, kColorSlotCount> kColorSlots = { {
    { "meter_bg", "メーターの背景", MakeColor(236, 255, 172) },
    { "meter_frame", "メーターの枠", MakeColor(128, 128, 128) },
    { "name", "ＣＨ名", MakeColor(0, 0, 0) },
    { "needle", "針", MakeColor(0, 0, 0) },
    { "peak", "ピーク", MakeColor(62, 198, 99) },
    { "scale_l", "スケール(左)", MakeColor(0, 0, 64) },
    { "scale_r", "スケール(右)", MakeColor(255, 0, 0) },
    { "over", "ピークインジケータ", MakeColor(255, 128, 0) },
    { "over_th", "（閾値）", MakeColor(62, 198, 99) },
} };

ColorSet DefaultColorSet()
{
    ColorSet set {};
    for (int slot = 0; slot < kColorSlotCount; ++slot)
        set[static_cast<std::size_t>(slot)]
            = kColorSlots[static_cast<std::size_t>(slot)].defaultColor;
    return set;
}
