#include "CommandLine.h"

#include "app/IniProfile.h"
#include "app/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
};

// Runs kerrion-meter with `args` (shell words) and captures standard output, or standard error
// when `captureErrors` is set.
RunResult RunMeter(const std::string& args, bool captureErrors = false)
{
    const std::string redirect = captureErrors ? " 2>&1 >/dev/null" : " 2>/dev/null";
    const std::string command = std::string(KERRION_METER_PATH) + " " + args + redirect;
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.out.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

} // namespace

TEST(KerrionMeterCommandLine, ParsesSettingsOptions)
{
    auto parsed
        = ParseMeterCommandLine({ "--ini", "a.ini", "--print-settings", "--save-settings" });
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.iniFile, "a.ini");
    EXPECT_TRUE(parsed.options.printSettings);
    EXPECT_TRUE(parsed.options.saveSettings);

    parsed = ParseMeterCommandLine({ "--ini=b.ini" });
    EXPECT_EQ(parsed.options.iniFile, "b.ini");
}

TEST(KerrionMeterCommandLine, RejectsUnknownOptionsAndMissingValues)
{
    EXPECT_EQ(ParseMeterCommandLine({ "--ini" }).error, "option --ini needs a file name");
    EXPECT_EQ(ParseMeterCommandLine({ "--ini=" }).error, "option --ini needs a file name");
    EXPECT_EQ(ParseMeterCommandLine({ "--frobnicate" }).error, "unknown option: --frobnicate");
    EXPECT_EQ(ParseMeterCommandLine({ "--print-settings=yes" }).error,
        "option --print-settings takes no value");
}

TEST(KerrionMeterTool, BadArgumentsExitWithStatusTwoAndUsage)
{
    const RunResult result = RunMeter("--nonsense", true);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(
        result.out.rfind("kerrion-meter: unknown option: --nonsense\nusage: kerrion-meter", 0), 0u);
    EXPECT_EQ(RunMeter("--ini", true).status, 2);
    EXPECT_EQ(RunMeter("--help").status, 0);
}

TEST(KerrionMeterTool, PrintSettingsShowsEveryKeyAsLoaded)
{
    TempDir dir;
    WriteFileBytes(dir / "k.ini", "[Meter]\nNum=12\nSize.w=1920\n[BWLPF]\ncutoff=0.2\n");
    const RunResult result = RunMeter("--ini " + (dir / "k.ini").string() + " --print-settings");
    ASSERT_EQ(result.status, 0);
    const CIniProfile printed(result.out);
    EXPECT_EQ(printed.GetInt("Meter", "Num", 0), 8);
    EXPECT_EQ(printed.GetInt("Meter", "Size.w", 0), 1920);
    EXPECT_EQ(printed.GetString("BWLPF", "cutoff", ""), "1");
    EXPECT_EQ(printed.GetString("Channel8", "cal_vu", ""), "-20.000000");
    EXPECT_EQ(printed.GetString("Logo", "pos", ""), "30,30");
    EXPECT_EQ(ReadFileBytes(dir / "k.ini"), "[Meter]\nNum=12\nSize.w=1920\n[BWLPF]\ncutoff=0.2\n");
}

TEST(KerrionMeterTool, SaveSettingsWritesAsTheProgramDoesAtExit)
{
    TempDir dir;
    const auto path = dir / "k.ini";
    WriteFileBytes(path, "; kept\n[Meter]\nNum=8\n");
    ASSERT_EQ(RunMeter("--ini " + path.string() + " --save-settings").status, 0);

    CSettingsRecord record;
    kerrion::LoadSettingsFile(record, path);
    CIniProfile expected("; kept\n[Meter]\nNum=8\n");
    record.Save(expected);
    EXPECT_EQ(ReadFileBytes(path), expected.Text());

    WriteFileBytes(path, "[Meter]\nNum=0\n");
    ASSERT_EQ(RunMeter("--ini " + path.string() + " --save-settings").status, 0);
    EXPECT_EQ(ReadFileBytes(path), "[Meter]\nNum=0\n");
}
