#pragma once

// The driver registry of the JACK tests: the bridge alone, described as "JACK".

#include <string>

namespace kerrion::test {

inline constexpr const char* kJackBridgeId = "{7AD0EA4A-DC1A-4DDF-B8C2-445D956E3035}";

// The registry file's text naming the bridge library at `driverPath`.
inline std::string JackBridgeRegistry(const std::string& driverPath)
{
    const std::string id = kJackBridgeId;
    return "Windows Registry Editor Version 5.00\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Kerrion JACK Bridge]\n\"CLSID\"=\""
        + id + "\"\n\"Description\"=\"JACK\"\n[HKEY_CLASSES_ROOT\\CLSID\\" + id
        + "\\InprocServer32]\n@=\"" + driverPath + "\"\n";
}

} // namespace kerrion::test
