#pragma once

// kerrion-meter --plot: the loudness history of a run or a file drawn as a PNG image by the
// window's own graph drawing, over the shortest span the graph offers that holds it all (the
// last hour of a longer one).

#include "meter/LoudnessHistory.h"
#include "meter/LoudnessStandard.h"

#include <string>

namespace kerrion::cli {

// Writes the image to `path`; false with `error` saying why (the file cannot be written, or
// this kerrion-meter was built without the drawing).
bool WriteHistoryPlot(const std::string& path, const LoudnessHistory& history,
    const LoudnessStandard& standard, std::string& error);

} // namespace kerrion::cli
