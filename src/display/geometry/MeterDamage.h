#pragma once

// What a meter must repaint when its moving parts go from one drawn state to another: the
// places of the old and the new needle, the part of the peak ring between the old and the new
// end of the bar, the old and the new hold tick, and the lamp when it changed. Everything else
// of the face is the same in both frames, so a frame costs the pixels that moved, not the whole
// needle sweep. Pure functions, pixels of one meter.
//
// The area is given as horizontal bands of a few lines, each as wide as what it must hold of
// the shapes within its lines (with a margin for the rasteriser's rounding): a superset of every
// changed pixel, a few times the changed area at most.

#include "display/geometry/Shapes.h"

#include <vector>

namespace kerrion {

// The moving parts as drawn: positions in degrees of deflection.
struct MovingParts {
    double vuPos = 0.0;
    double peakPos = 0.0;
    double holdPos = 0.0;
    bool holdShown = false; // the hold tick is drawn (held position above 0, a hold time set)
    bool lampOn = false;
    bool operator==(const MovingParts&) const = default;
};

// What the parts look like for this meter.
struct MovingLook {
    double s = 1.0; // display scale
    int width = 0;  // pixels of the meter
    int height = 0;
    bool vuVisible = false;
    bool peakVisible = false;
    bool overEnable = false; // the lamp is drawn
    int needleType = 0;      // 0 sword, else a bar of `needleThick`
    int needleThick = 0;
};

// Lines of a band. Fewer, taller bands copy a few more pixels but cost less per frame: every
// rectangle of the area is one more clip, copy and request for Qt and for the X server, and at
// 16 lines a moving meter's area is about a dozen of them.
inline constexpr int kDamageBandLines = 16;

// The bands to repaint when the parts go from `from` to `to`, within the meter.
std::vector<BoxI> MeterDamage(
    const MovingLook& look, const MovingParts& from, const MovingParts& to);

} // namespace kerrion
