#pragma once

// Level -> scale position -> needle angle: the laws of the printed scales. Pure functions.
//
// A scale position is the needle's deflection in degrees from the left end of the scale: 0 is the
// left end, 88 the right end of the printed scale (+3 VU, 0 dBFS); VU positions may reach 90.

namespace kerrion {

// The meter's pi. Every angle of the face is converted with this value, not the full constant:
// the printed marks, the needle and the regions are compared pixel for pixel.
inline constexpr double kPi = 3.14159;
inline constexpr double kHalfPi = 1.570795;

inline constexpr double kVuPosMax = 90.0;   // degrees; two past the last mark
inline constexpr double kPeakPosMax = 88.0; // degrees; the last mark

// Degrees to radians with the meter's pi.
constexpr double DegToRad(double degrees) { return degrees * kPi / 180.0; }

// The VU law: a reading in dB relative to 0 VU to a position clamped to 0 .. 90.
// -20 VU gives 1.9, 0 VU about 57.36, +3 VU 88. A NaN reading rests the needle at 0.
double VuDbToScalePos(double vuDb);

// The peak law, linear in amplitude and unclamped: 0 dBFS gives 88, -20 dBFS 1.9.
double PeakDbToScalePos(double dbfs);

// A peak position as the peak displays use it: clamped to 0 .. 88, NaN read as 0.
double ClampPeakPos(double pos);

// A mark of the printed VU scale (Meter/ScaleVU, set by hand) as the face draws it: held to the
// needle's travel 0 .. 90, NaN read as 0. The file keeps the value as written.
double ClampMarkPos(double pos);

// The needle angle in radians, counter-clockwise from the positive x axis with y up:
// position 0 points at 134 degrees, 88 at 46 degrees. A position that is not finite reads as 0.
double ScalePosToAngle(double pos);

} // namespace kerrion
