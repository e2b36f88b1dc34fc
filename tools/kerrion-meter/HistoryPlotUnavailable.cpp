// kerrion-meter built without Qt (KERRION_BUILD_GUI off) has no drawing for --plot.
#include "HistoryPlot.h"

namespace kerrion::cli {

bool WriteHistoryPlot(
    const std::string&, const LoudnessHistory&, const LoudnessStandard&, std::string& error)
{
    error = "this kerrion-meter was built without Qt, which draws the plot";
    return false;
}

} // namespace kerrion::cli
