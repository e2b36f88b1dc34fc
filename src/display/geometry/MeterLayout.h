#pragma once

// Where the meters of the main window stand on a monitor: one, two or four columns, a display
// scale shared by every meter, and the offsets and gaps between them. Pure functions.

#include "display/geometry/Shapes.h"

namespace kerrion {

struct MeterLayout {
    bool valid = false; // false for a meter count above 8: nothing is laid out
    int columns = 0;
    int w = 0;      // pixels; width of each meter
    int h = 0;      // pixels; height of each meter
    double s = 0.0; // display scale: w / 1360, or 1.0 for a single meter
    int offX = 0;   // pixels from the monitor's left edge to the first meter
    int offY = 0;
    int gapX = 0; // pixels between neighbouring meters
    int gapY = 0;
};

// The layout of `count` meters on a monitor of W x H pixels.
MeterLayout ComputeLayout(int W, int H, int count);

// Top-left corner of meter i, relative to the monitor's top-left corner.
PointI MeterOrigin(const MeterLayout& layout, int i);

} // namespace kerrion
