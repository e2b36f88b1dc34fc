#include "display/MeterSetup.h"

#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"
#include "display/geometry/ScaleLaw.h"

#include <cstdio>

namespace kerrion {

const ColorSet& ActiveColorSet(const CSettingsRecord& settings, int meter)
{
    const auto& channel = settings.Channel[static_cast<size_t>(meter)];
    return channel.color_enable == 1 ? channel.colors : settings.Color;
}

int HoldMsForType(int type)
{
    switch (type) {
    case 1:
        return 2000;
    case 2:
        return 4000;
    default:
        return 0;
    }
}

void ApplyMeterSettings(
    CDlgMeter& meter, const CSettingsRecord& settings, int index, const MeterFaceSurface* face)
{
    const auto& channel = settings.Channel[static_cast<size_t>(index)];
    meter.SetFaceSurface(face);
    if (channel.name_visible == 1)
        meter.SetName(channel.name, channel.name_pos);
    else
        meter.SetName(std::string(), 0);
    meter.SetOverIndicator(channel.over_enable, PeakDbToScalePos(channel.over_th));
    meter.ResetPeak();
    meter.SetHoldMs(HoldMsForType(settings.PeakHold.type));
    meter.SetNeedle(settings.Needle.type, settings.Needle.thick, settings.Needle.only_upper);
    meter.SetColors(ActiveColorSet(settings, index));
    meter.SetVisible(settings.Visible.vu, settings.Visible.peak);
}

std::string DiagnosticText(
    int index, int inputChannel, double vuDb, double peakDbfs, double vuPos, double peakPos)
{
    char text[256];
    std::snprintf(text, sizeof text,
        "Meter %2d\nInput %2dch\nVU    % 8.5lf\nPeak  % 8.5lf\nAngleV% 8.5lf\nAngleP% 8.5lf",
        index + 1, inputChannel + 1, vuDb, peakDbfs, vuPos, peakPos);
    return text;
}

} // namespace kerrion
