// kerrion-meter as a separate process on a real ALSA PCM: a `file` PCM of the test's own holds
// thirty seconds of two known sines (left -20 dBFS, right -30 dBFS, both 1 kHz), listed as a
// plain device (family 1) and metered by its name and by its index. A jack PCM on a private
// server stands in for an interface that is unplugged and plugged in again.
//
// The `file` PCM is not paced and the tool reads the levels when it takes each block's message,
// so a record may carry the levels of a later block than its number, and, early in a run, a
// peak of one block with the VU of the one before. The levels are judged on the last records
// only, which come well after the VU has settled and long before the file ends.

#include "platform/wave/AlsaTestSetup.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include "MeterOutput.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kerrion::test {
namespace {

constexpr uint32_t kRate = 44100;
constexpr const char* kDescription = "Kerrion sines";

class KerrionMeterAlsa : public ::testing::Test {
protected:
    KerrionMeterAlsa()
        : m_config(Definitions(m_dir))
    {
        // No drivers: family 2 stays empty, whatever the machine has registered.
        WriteFileBytes(m_dir / "asio.reg", "Windows Registry Editor Version 5.00\n");
        WriteFileBytes(m_dir / "Kerrion.ini", "[Device]\nType=1\nID=0\n");
    }

    static std::string Definitions(const TempDir& dir)
    {
        WriteFileBytes(dir / "sines.raw", StereoSineBytes(30 * kRate, kRate, 1000.0, -20.0, -30.0));
        return FilePcmDefinition("kt_sines", dir / "sines.raw", kDescription);
    }

    // Runs the tool with ALSA_CONFIG_PATH as the configuration object has set it.
    Result Run(const std::string& args) const
    {
        return kerrion::test::RunCaptured("KERRION_ASIO_REGISTRY='" + (m_dir / "asio.reg").string()
                + "' " + KERRION_METER_PATH + " --ini '" + (m_dir / "Kerrion.ini").string() + "' "
                + args,
            m_dir.Path());
    }

    TempDir m_dir;
    AlsaTestConfig m_config;
};

TEST_F(KerrionMeterAlsa, MetersTheFilePcmFoundByTheBeginningOfItsName)
{
    const Result r
        = Run("--device 'kerrion SIN' --format jsonl --blocks 40 --channels 0,1,-1,2,64");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 40u) << r.out;
    const std::regex shape(
        R"(\{"block":\d+,"frames":\d+,"peak":\[[^\]]*\],"vu":\[[^\]]*\],"meter_vu":\[[^\]]*\],"needle":\[[^\]]*\],"loudness":[-0-9.e]+,"r128":\{[^}]*\}\})");
    for (const std::string& line : lines)
        ASSERT_TRUE(std::regex_match(line, shape)) << line;
    // 40 records: at least 36 blocks of 4096 frames after the device's four empty slots, some
    // three seconds of the sines.
    for (size_t i = lines.size() - 5; i < lines.size(); ++i) {
        const std::string& record = lines[i];
        EXPECT_NE(record.find("\"frames\":4096,"), std::string::npos) << record;
        const std::vector<double> peak = JsonArray(record, "peak");
        const std::vector<double> vu = JsonArray(record, "vu");
        ASSERT_EQ(peak.size(), 8u) << record;
        ASSERT_EQ(vu.size(), 8u) << record;
        EXPECT_NEAR(peak[0], -20.0, 0.1) << record;
        EXPECT_NEAR(peak[1], -30.0, 0.1) << record;
        EXPECT_NEAR(vu[0], 0.0, 0.2) << record;
        EXPECT_NEAR(vu[1], -10.0, 0.2) << record;
        for (size_t m = 2; m < 8; ++m) { // no channel, or one the two-channel device lacks
            EXPECT_EQ(peak[m], -96.0) << "meter " << m << ": " << record;
            EXPECT_EQ(vu[m], 0.0) << "meter " << m << ": " << record;
        }
    }
    EXPECT_NE(r.err.find("kerrion-meter: 40 blocks,"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("engine status 1: ran normally"), std::string::npos) << r.err;
}

TEST_F(KerrionMeterAlsa, ListsTheFilePcmInFamilyOneAndMetersItByItsIndex)
{
    Result r = Run("--list-devices");
    ASSERT_EQ(r.status, 0) << r.err;
    // Family, index, two inputs, two outputs (the file PCM plays into /dev/null), 4096-frame
    // buffers at 44100 Hz, and the description with the PCM's name.
    std::smatch found;
    ASSERT_TRUE(std::regex_search(r.out, found,
        std::regex(R"(\n\s+1\s+(\d+)\s+2\s+2\s+4096\s+44100\s+Kerrion sines \(kt_sines\)\n)")))
        << r.out;
    const std::string index = found[1];

    r = Run("--device-type 1 --device-id " + index + " --format jsonl --blocks 12 --channels 1,0");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 12u) << r.out;
    const std::vector<double> peak = JsonArray(lines.back(), "peak");
    ASSERT_EQ(peak.size(), 8u) << lines.back();
    EXPECT_NEAR(peak[0], -30.0, 0.1) << lines.back(); // the meters swapped over
    EXPECT_NEAR(peak[1], -20.0, 0.1) << lines.back();
}

// An interface unplugged and plugged in again under kerrion-meter --reconnect: a jack PCM whose
// server is killed and started again stands in for it. The run ends (the device's blocks stop
// coming), the tool waits, finds the device again by its name once it can be opened, and meters
// on.
TEST(KerrionMeterAlsaReplug, WithReconnectAnInterfacePluggedBackIsMeteredAgain)
{
    if (std::string reason; !JackPcmAvailable(reason))
        GTEST_SKIP() << reason;
    TempDir dir;
    WriteFileBytes(dir / "asio.reg", "Windows Registry Editor Version 5.00\n");
    WriteFileBytes(dir / "Kerrion.ini", "[Device]\nType=1\nID=0\n");
    AlsaTestConfig config(JackPcmDefinition("kt_interface", "Kerrion line in"));
    JackServer server(kJackPcmServer); // after the configuration: the server it names is this one
    ASSERT_TRUE(server.Ready()) << server.Log();
    const std::string out = (dir / "out.csv").string();
    const std::string err = (dir / "err.txt").string();
    const pid_t meter = SpawnShell("env KERRION_ASIO_REGISTRY='" + (dir / "asio.reg").string()
        + "' " + KERRION_METER_PATH + " --ini '" + (dir / "Kerrion.ini").string()
        + "' --device 'Kerrion line in' --reconnect --format csv --blocks 100000000 >'" + out
        + "' 2>'" + err + "' </dev/null");
    ASSERT_GT(meter, 0);
    const auto records = [&] { return Lines(ReadFileBytes(out)).size(); };
    ASSERT_TRUE(WaitUntil([&] { return records() > 5; }, 10000)) << ReadFileBytes(err);

    server.KillAtOnce();
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadFileBytes(err).find("waiting for it") != std::string::npos; }, 10000))
        << ReadFileBytes(err);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int raw = 0;
    EXPECT_EQ(waitpid(meter, &raw, WNOHANG), 0) << "it waits while the device is away";

    ASSERT_TRUE(server.Restart()) << server.Log();
    const std::size_t before = records();
    EXPECT_TRUE(WaitUntil([&] { return records() > before + 5; }, 5000)) << ReadFileBytes(err);
    EXPECT_NE(ReadFileBytes(err).find("the device is back"), std::string::npos)
        << ReadFileBytes(err);
    kill(meter, SIGINT);
    EXPECT_EQ(WaitExit(meter, 10000), 0) << ReadFileBytes(err);
}

} // namespace
} // namespace kerrion::test
