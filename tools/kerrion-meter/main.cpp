// kerrion-meter: Kerrion without a window.
#include "CommandLine.h"
#include "DeviceList.h"
#include "FileCheck.h"
#include "MeterRun.h"

#include "app/IniProfile.h"
#include "app/SettingsFile.h"
#include "platform/paths/DataPaths.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using kerrion::cli::kExitFailure;
using kerrion::cli::kExitOk;
using kerrion::cli::kExitUsage;

std::filesystem::path SettingsPath(const MeterCommandLine& options)
{
    return options.iniFile ? std::filesystem::path(*options.iniFile) : kerrion::SettingsFilePath();
}

int PrintSettings(const CSettingsRecord& record)
{
    CIniProfile profile;
    record.SaveAll(profile);
    std::fwrite(profile.Text().data(), 1, profile.Text().size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int SaveSettings(const CSettingsRecord& record, const MeterCommandLine& options)
{
    if (record.Meter.Num <= 0)
        return kExitOk; // as at exit: nothing is written
    const int written = options.iniFile ? kerrion::SaveSettingsFile(record, *options.iniFile)
                                        : kerrion::SaveUserSettings(record);
    if (written == 1)
        return kExitOk;
    std::fprintf(stderr, "kerrion-meter: cannot write the settings file %s\n",
        SettingsPath(options).c_str());
    return kExitFailure;
}

int ListDevices()
{
    kerrion::cli::PrintDevices(kerrion::cli::EnumerateDevices(true), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const MeterCommandLineResult parsed = ParseMeterCommandLine(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kerrion-meter: %s\n%s", parsed.error.c_str(), MeterUsage().c_str());
        return kExitUsage;
    }
    const MeterCommandLine& options = parsed.options;
    if (options.help) {
        std::fputs(MeterUsage().c_str(), stdout);
        return kExitOk;
    }

    CSettingsRecord record;
    const kerrion::SettingsLoad load = kerrion::LoadSettingsFile(record, SettingsPath(options));
    if (load.unreadable)
        std::fprintf(stderr,
            "kerrion-meter: the settings file %s cannot be read (%s); defaults are used\n",
            SettingsPath(options).c_str(), load.reason.c_str());
    if (!options.files.empty())
        return kerrion::cli::CheckFiles(options, record);
    if (!options.printSettings && !options.saveSettings && !options.listDevices)
        return kerrion::cli::RunMetering(options, record);
    int status = kExitOk;
    if (options.listDevices)
        status = ListDevices();
    if (options.printSettings && status == kExitOk)
        status = PrintSettings(record);
    if (options.saveSettings && status == kExitOk)
        status = SaveSettings(record, options);
    return status;
}
