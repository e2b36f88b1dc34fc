#pragma once

// The colours of the loudness readout and history graph on the main window's dark background.

#include <QColor>

namespace kerrion::loudness_colors {

inline const QColor kBackground(35, 35, 35);
inline const QColor kPlain(220, 220, 220);
inline const QColor kLabel(150, 150, 150);
inline const QColor kWithin(62, 198, 99);  // within the tolerance of the target
inline const QColor kAbove(255, 128, 0);   // above it
inline const QColor kBelow(110, 170, 255); // below it
inline const QColor kOver(255, 60, 60);    // a true peak over the limit

} // namespace kerrion::loudness_colors
