#pragma once

// Rendering of a meter's static face. User-interface thread only.

#include "app/ColorSet.h"
#include "meter/NeedleType.h"

class CSettingsRecord;
class MeterFaceSurface;
class QImage;

namespace kerrion {

// Renders the static face into `face` at display scale s: the dark surround, the rounded frame,
// the background, the printed scale of needle type `type` (when Visible/vu is 1) and the
// built-in logo (when Logo/file is not empty). Everything outside the scaled face keeps what the
// surface held.
void DrawFace(MeterFaceSurface& face, const ColorSet& colors, double s,
    const CSettingsRecord& settings, NeedleType type = NeedleType::kVu);

// The built-in logo image, 643 x 94 pixels with transparency.
const QImage& LogoImage();

} // namespace kerrion
