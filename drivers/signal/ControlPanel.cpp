// The generator's control panel is its INI file, opened in the desktop's editor. Where nothing
// can open it (no xdg-open, or no handler for text files), the error message says where the file
// is, so the host can tell the user to edit it by hand.

#include "SignalDriver.h"

#include "BackgroundLaunch.h"
#include "app/IniProfile.h"

namespace kerrion::signal {
namespace {

// Writes the defaults when there is nothing by that name yet (as every settings file is written:
// atomically, by CIniProfile); false when it cannot be created.
bool EnsureConfigFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (path.empty() || std::filesystem::exists(path, error))
        return !path.empty();
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    return CIniProfile(DefaultSignalConfigText()).SaveFile(path) == 1;
}

// Long enough for xdg-open to find that no program handles the file, which it does at once.
constexpr int kOpenSettleMs = 700;

} // namespace

ASIOError SignalDriver::controlPanel()
{
    const auto path = SignalConfigPath();
    if (!EnsureConfigFile(path)) {
        m_error = "Cannot create " + path.string();
        return ASE_NotPresent;
    }
    if (!driver::LaunchInBackground({ "xdg-open", path.string() }, kOpenSettleMs)) {
        m_error = "No program here opens it; edit " + path.string();
        return ASE_NotPresent;
    }
    return ASE_OK;
}

} // namespace kerrion::signal
