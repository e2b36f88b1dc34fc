#pragma once

// The driver set-up of the JACK tests that go through the host: a registry naming the bridge
// alone, described as "JACK", and a bridge configuration without automatic connections, both
// written into a test's folder and named in the environment while this object lives.

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <string>

namespace kerrion::test {

class JackBridgeSetup {
public:
    JackBridgeSetup(const std::filesystem::path& dir, const std::string& driverPath)
        : m_registry("KERRION_ASIO_REGISTRY", Written(dir / "asio.reg", Registry(driverPath)))
        , m_config("KERRION_JACK_CONFIG", Written(dir / "jack.ini", "[JACK]\nAutoConnect=0\n"))
    {
    }

private:
    static std::string Registry(const std::string& driverPath)
    {
        const std::string id = "{7AD0EA4A-DC1A-4DDF-B8C2-445D956E3035}";
        return "Windows Registry Editor Version 5.00\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Kerrion JACK Bridge]\n\"CLSID\"=\""
            + id + "\"\n\"Description\"=\"JACK\"\n[HKEY_CLASSES_ROOT\\CLSID\\" + id
            + "\\InprocServer32]\n@=\"" + driverPath + "\"\n";
    }
    // Writes the file and returns its path for the environment.
    static const char* Written(const std::filesystem::path& path, const std::string& text)
    {
        WriteFileBytes(path, text);
        return path.c_str();
    }

    ScopedEnv m_registry;
    ScopedEnv m_config;
};

} // namespace kerrion::test
