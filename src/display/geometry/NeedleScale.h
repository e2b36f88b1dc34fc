#pragma once

// The printed scale of each needle type: its marks, its reference point and its law from a
// reading to a scale position. Pure functions, any thread.
//
// A reading is in dB relative to the type's reference point (0 VU, the DIN 0 dB mark, TEST, BBC
// mark 4), the way the engine's needle reading reads once the VU calibration is taken off.

#include "display/geometry/FaceGeometry.h"
#include "meter/NeedleType.h"

#include <span>

namespace kerrion {

// One printed mark of a peak programme meter's scale.
struct NeedleMark {
    double db;         // relative to the reference point
    const char* label; // empty for a mark without a label
    bool isLong;
};

struct NeedleScale {
    std::span<const NeedleMark> marks; // left to right
    size_t referenceMark;              // index of the reference point in marks
    double redFromDb;                  // start of the red band to the end of the scale; NaN: none
};

// The scale of a peak programme meter type; the VU types have none (their marks are the
// hand-set Meter/ScaleVU table) and give an empty list.
NeedleScale PpmScaleOf(NeedleType type);

// A reading to a scale position: the VU law for the VU types (0 .. 90), the type's printed law
// clamped to 0 .. 88 for the others. A NaN reading rests the needle at 0.
double NeedleDbToScalePos(NeedleType type, double db);

// The face's scale for a type; the VU types take the marks of `vuTable`.
FaceScale FaceScaleOf(NeedleType type, const ScaleTable& vuTable);

} // namespace kerrion
