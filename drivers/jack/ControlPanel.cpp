// The JACK driver's control panel is the JACK control program, qjackctl, when it is installed;
// without it, the error message names the bridge's own settings file.

#include "JackDriver.h"

#include "BackgroundLaunch.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace kerrion::jack {
namespace {

// The first executable `name` along $PATH, or empty.
std::filesystem::path FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (folder.empty())
            continue;
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace

ASIOError JackDriver::controlPanel()
{
    const std::string program = FindProgram("qjackctl").string();
    if (program.empty()) {
        m_error = "qjackctl is not installed; the bridge's settings are in "
            + JackConfigPath().string();
        return ASE_NotPresent;
    }
    // qjackctl reports its own failures in its window: no need to wait for it.
    if (!driver::LaunchInBackground({ program }, 0)) {
        m_error = "Cannot start qjackctl";
        return ASE_NotPresent;
    }
    return ASE_OK;
}

} // namespace kerrion::jack
