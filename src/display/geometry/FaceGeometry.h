#pragma once

// The geometry of one meter face: an analog VU meter whose needle turns about a pivot below the
// face, with its printed scale on a flatter arc about a centre further down. Pure functions.
//
// Face units: x to the right, y down, origin at the meter's top-left corner, 1360 x 768 for the
// whole design. The display scale s turns face units into pixels as trunc(v x s); every stated
// truncation is part of the result, because the shapes are compared pixel for pixel.

#include "display/geometry/Shapes.h"

#include <array>
#include <string>
#include <vector>

namespace kerrion {

inline constexpr int kFaceWidth = 1360; // face units
inline constexpr int kFaceHeight = 768; // face units
inline constexpr int kPivotX = 680;     // face units; centre of needle rotation
inline constexpr int kPivotY = 900;
inline constexpr int kArcCentreY = 1880; // face units; centre of the scale circles, x = kPivotX
inline constexpr int kNeedleLength = 750;
inline constexpr int kScaleMarkCount = 16;
inline constexpr int kNeedleThickCount = 5;
inline constexpr int kFrameInset = 5; // pixels between the frame's edge and the background

// Radii about the arc centre, in face units.
inline constexpr int kScaleRadius = 1600;
inline constexpr int kRedBandOuterRadius = 1610;
inline constexpr int kShortTickRadius = 1640;
inline constexpr int kLongTickRadius = 1700;
inline constexpr int kPeakBarInnerRadius = 1550;
inline constexpr int kPeakBarOuterRadius = 1580;
inline constexpr int kThresholdDotRadius = 1540;

// Index of the 0 VU mark, where the scale's colour changes from left to right.
inline constexpr int kZeroVuMark = 11;

using ScaleTable = std::array<double, kScaleMarkCount>; // degrees of deflection per mark

// trunc(v x s): face units to pixels.
inline int Px(double v, double s) { return static_cast<int>(v * s); }

// A font height in pixels for a design height in face units: trunc(s x design), at least 1.
int FontPixelHeight(double s, int designHeight);

// The point at distance r (face units) from the pivot along the needle ray.
PointD RayPoint(double angle, double r);

// Where the needle ray crosses the circle of radius r about the arc centre, in whole face units.
PointI ArcPoint(double angle, double r);

// Face-unit x where the needle ray crosses the top edge of the face (y = 0).
double TopEdgeX(double angle);

// Frame and background of the face over Size.w x Size.h face units, in pixels.
struct FaceFrame {
    BoxI outline;    // filled with the surround colour, then the rounded frame
    int cornerSize;  // pixels; width and height of the frame's corner ellipses
    BoxI background; // inset 5 pixels
};
FaceFrame FrameShape(int sizeW, int sizeH, double s);

// One mark of a printed scale as a face lays it out.
struct FaceMark {
    double pos;        // degrees of deflection; held to the needle's travel when drawn
    std::string label; // empty for marks without a label
    bool isLong = true;
};

// A printed scale: its marks left to right (the first starts the scale line), the mark from
// which line, ticks and labels take the scale-right colour, and where a red band starts.
struct FaceScale {
    std::vector<FaceMark> marks;
    size_t referenceMark = 0;
    bool hasRedBand = true;
    double redFromPos = 0.0; // degrees; the band runs from here to the last mark
};

// One mark of the printed scale.
struct ScaleMark {
    LineShape tick; // from the pivot outward; drawn with the scale disc excluded
    bool isLong = true;
    bool rightSide = false; // from the reference mark up: drawn in the scale-right colour
    std::string label;      // empty for marks without a label
    PointI labelAnchor;     // centre of the label's bottom edge
};

struct ScaleMarksShape {
    ArcShape leftArc;   // from the reference mark counter-clockwise to the start of the scale
    ArcShape rightArc;  // from the last mark counter-clockwise to the reference mark
    BoxI tickExclusion; // ellipse box of the scale disc, left out while ticks are drawn
    std::vector<ScaleMark> marks;
};

// The printed scale: line, ticks and labels.
ScaleMarksShape ScaleMarks(const FaceScale& scale, double s);
// The printed VU scale for a table of mark positions (Meter/ScaleVU).
ScaleMarksShape ScaleMarks(const ScaleTable& table, double s);

// The red band: the ring between radius 1600 and 1610 from its start to the last mark; empty
// for a scale without one.
RegionExpr RedBand(const FaceScale& scale, double s);
// The VU's red band, from 0 VU to +3 VU.
RegionExpr RedBand(const ScaleTable& table, double s);

// Width table of the bar needle, face units, for Needle/thick 0 .. 4.
inline constexpr std::array<int, kNeedleThickCount> kNeedleWidths = { 5, 10, 20, 40, 60 };

// The bar needle: a round-capped line whose end stops at the needle length. A thickness outside
// 0 .. 4 is clamped into that range.
LineShape NeedleBar(double angle, int thick, double s);

// The sword needle: eight corners of a blade, filled with the odd-even rule.
std::array<PointI, 8> NeedleSword(double angle, double s);

// Where the needle may be drawn: the interior of the window, or with onlyUpper everything but
// the disc of radius 1430 about the arc centre. width and height are the window's pixels.
RegionExpr NeedleClip(bool onlyUpper, int width, int height, double s);

// The peak bar from the left end of the scale to a peak position (clamped to 0 .. 88): the
// intersection of the fixed ring and the sector up to the position, which a window may keep the
// ring of from one paint to the next.
RegionExpr PeakBar(double peakPos, double s);
RegionExpr PeakBarRing(double s);
RegionExpr PeakBarSector(double peakPos, double s);

// The peak hold tick (3 pixels wide) at a held position, clamped to at most 88.
LineShape HoldTick(double heldPos, double s);

// Ellipse box of the threshold dot at a threshold position, clamped to 0 .. 88.
BoxI ThresholdDot(double thresholdPos, double s);

// Ellipse box of the peak indicator lamp.
BoxI LampBox(double s);

// Every pixel a paint may change: the needle's sweep, the lamp and, with the diagnostic text,
// its rectangle. needleType 0 is the sword, anything else the bar of width table[thick].
RegionExpr NeedleSweepRegion(int needleType, int thick, bool onlyUpper, bool diagnostic, double s);

enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Baseline, Bottom };

struct TextAnchor {
    bool valid = false; // false: nothing is drawn
    PointI point;       // pixels
    HAlign h = HAlign::Left;
    VAlign v = VAlign::Top;
};

// Where the channel name stands for name_pos 0 .. 3; invalid for any other value.
TextAnchor NameAnchor(int namePos, double s);

// The diagnostic text's rectangle (left, top, word-wrapped).
BoxI DiagnosticRect(double s);

// The logo's target rectangle for an image of imageW x imageH pixels drawn at half size, its left
// edge logoX and its bottom edge logoY above the bottom of a face Size.h high (face units).
BoxI LogoRect(int logoX, int logoY, int sizeH, int imageW, int imageH, double s);

// The "Display OFF" text position: fixed pixels from the window's bottom-right corner.
PointI DisplayOffAnchor(int width, int height);

} // namespace kerrion
