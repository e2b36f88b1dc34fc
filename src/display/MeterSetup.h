#pragma once

// Settings record -> meter window: what the main window sets in each meter after every settings
// change, kept here so that every window and tool that shows meters does it the same way.
// User-interface thread only.

#include "app/ColorSet.h"

#include <string>

class CDlgMeter;
class CSettingsRecord;
class MeterFaceSurface;

namespace kerrion {

// The colour set meter i (0 .. 7) uses: its own when color_enable is 1, else the common set.
const ColorSet& ActiveColorSet(const CSettingsRecord& settings, int meter);

// Peak hold time in milliseconds for PeakHold/type 0, 1, 2 (0 for any other value).
int HoldMsForType(int type);

// Sets meter i's face, name, indicator, hold time, needle, colours and visibility from the
// record, kills its timers and clears the hold and the lamp.
void ApplyMeterSettings(
    CDlgMeter& meter, const CSettingsRecord& settings, int index, const MeterFaceSurface* face);

// The diagnostic block shown when Dump/enable is 1.
std::string DiagnosticText(
    int index, int inputChannel, double vuDb, double peakDbfs, double vuPos, double peakPos);

} // namespace kerrion
