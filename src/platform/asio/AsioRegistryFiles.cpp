#include "platform/asio/AsioRegistryFiles.h"

#include "platform/paths/DataPaths.h"

#include <cstdlib>
#include <system_error>

namespace kerrion {
namespace {

std::filesystem::path RunningProgram()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    const auto relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// An installed program finds the registry installed with it from its own folder, so that a
// moved or staged prefix works; this comes first, so that a prefix installed inside the build
// folder is still read as an installation. A program that lies in the build tree reads the
// registry generated there; anything else reads the one of the configured prefix.
std::filesystem::path ShippedRegistry()
{
    const std::filesystem::path program = RunningProgram();
    if (!program.empty()) {
        const auto beside = program.parent_path().parent_path() / "share/kerrion/asio.reg";
        std::error_code error;
        if (std::filesystem::is_regular_file(beside, error))
            return beside;
        if (IsInside(program, KERRION_BUILD_DIR))
            return KERRION_BUILD_ASIO_REGISTRY;
    }
    return KERRION_INSTALLED_ASIO_REGISTRY;
}

std::filesystem::path UserRegistry()
{
    const std::filesystem::path folder = ConfigFolder();
    return folder.empty() ? folder : folder / "asio.reg";
}

} // namespace

std::vector<std::filesystem::path> AsioRegistryFiles()
{
    const char* chosen = std::getenv("KERRION_ASIO_REGISTRY");
    if (chosen != nullptr && chosen[0] != '\0')
        return { chosen };
    std::vector<std::filesystem::path> files { ShippedRegistry() };
    const std::filesystem::path user = UserRegistry();
    if (!user.empty())
        files.push_back(user);
    return files;
}

int LoadAsioRegistry(Registry& registry)
{
    int loaded = 0;
    for (const auto& file : AsioRegistryFiles()) {
        if (registry.LoadFile(file) == 1)
            loaded = 1;
    }
    return loaded;
}

} // namespace kerrion
