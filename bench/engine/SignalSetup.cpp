#include "SignalSetup.h"

#include <cstdlib>
#include <fstream>

namespace kerrion::bench {
namespace {

constexpr const char* kSignalId = "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}";

} // namespace

std::filesystem::path BenchFolder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern
            = (std::filesystem::temp_directory_path() / "kerrion-engine-bench-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return std::filesystem::path(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

void ConfigureSignal(const std::string& driverPath, int frames, double speed)
{
    const std::filesystem::path folder = BenchFolder();
    WriteText(folder / "asio.reg",
        std::string("Windows Registry Editor Version "
                    "5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Gen]\n\"CLSID\"=\"")
            + kSignalId + "\"\n[HKEY_CLASSES_ROOT\\CLSID\\" + kSignalId + "\\InprocServer32]\n@=\""
            + driverPath + "\"\n");
    std::string ini = "[Signal]\nInputs=8\nOutputs=2\nRate=48000\nSampleType=18\nBufferFrames="
        + std::to_string(frames) + "\nSpeed=" + std::to_string(speed) + "\n";
    for (int i = 1; i <= 8; ++i)
        ini += "[Input" + std::to_string(i) + "]\nSource=sine\nFrequency="
            + std::to_string(100 * i * i) + "\nLevel=" + std::to_string(-3 * i) + "\n";
    WriteText(folder / "signal.ini", ini);
    setenv("KERRION_ASIO_REGISTRY", (folder / "asio.reg").c_str(), 1);
    setenv("KERRION_SIGNAL_CONFIG", (folder / "signal.ini").c_str(), 1);
}

} // namespace kerrion::bench
