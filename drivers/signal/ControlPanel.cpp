// The generator's control panel is its INI file, opened in the desktop's editor.

#include "SignalDriver.h"

#include <fstream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kerrion::signal {
namespace {

// Writes the defaults when the file does not exist yet; false when it cannot be created.
bool EnsureConfigFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (std::filesystem::exists(path, error))
        return true;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path);
    out << DefaultSignalConfigText();
    return static_cast<bool>(out);
}

} // namespace

ASIOError SignalDriver::controlPanel()
{
    const auto path = SignalConfigPath();
    if (!EnsureConfigFile(path)) {
        m_error = "Cannot create " + path.string();
        return ASE_NotPresent;
    }
    // A shell puts xdg-open in the background and returns at once, so the host never waits for
    // the editor and no child is left unreaped.
    std::string file = path.string();
    char shell[] = "sh";
    char dashC[] = "-c";
    char script[] = "xdg-open \"$1\" >/dev/null 2>&1 &";
    char* argv[] = { shell, dashC, script, shell, file.data(), nullptr };
    pid_t child = 0;
    if (posix_spawnp(&child, "sh", nullptr, nullptr, argv, environ) != 0) {
        m_error = "Cannot start xdg-open";
        return ASE_NotPresent;
    }
    int status = 0;
    waitpid(child, &status, 0);
    return ASE_OK;
}

} // namespace kerrion::signal
