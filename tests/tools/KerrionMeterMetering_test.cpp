// kerrion-meter metering the signal generator as a separate process: records, device choice,
// failures and their exit statuses, the dump and an interrupt.

#include "sndio/WaveFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include "MeterOutput.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using kerrion::test::JsonArray;
using kerrion::test::Lines;
using kerrion::test::ReadFileBytes;
using kerrion::test::Result;
using kerrion::test::SpawnShell;
using kerrion::test::TempDir;
using kerrion::test::WaitExit;
using kerrion::test::WriteFileBytes;

namespace {

constexpr const char* kSignalId = "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}";

class KerrionMeterMetering : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFileBytes(m_dir / "asio.reg",
            std::string("Windows Registry Editor Version "
                        "5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Gen]\n\"CLSID\"=\"")
                + kSignalId + "\"\n\"Description\"=\"Kerrion Signal\"\n[HKEY_CLASSES_ROOT\\CLSID\\"
                + kSignalId + "\\InprocServer32]\n@=\"" + KERRION_SIGNAL_DRIVER + "\"\n");
        WriteFileBytes(m_dir / "signal.ini",
            "[Signal]\nInputs=4\nSpeed=10\n[Input1]\nSource=sine\nLevel=-20\n[Input2]\nSource="
            "sine\nLevel=-10\n"
            "[Input3]\nSource=silence\n[Input4]\nSource=sine\nLevel=-30\n");
        // Meter 1 reads 0 on its scale at -18 dBFS; the device is the generator.
        WriteFileBytes(m_dir / "Kerrion.ini", "[Device]\nType=2\nID=0\n[Channel1]\ncal_vu=-18\n");
    }

    std::string Environment() const
    {
        return "KERRION_ASIO_REGISTRY='" + (m_dir / "asio.reg").string()
            + "' KERRION_SIGNAL_CONFIG='" + (m_dir / "signal.ini").string() + "' ";
    }

    Result Run(const std::string& args) const
    {
        return kerrion::test::RunCaptured(Environment() + KERRION_METER_PATH + " --ini '"
                + (m_dir / "Kerrion.ini").string() + "' " + args,
            m_dir.Path());
    }

    TempDir m_dir;
};

TEST_F(KerrionMeterMetering, JsonLinesCarryTheLevelsOfEveryBlock)
{
    const Result r = Run("--format jsonl --blocks 120 --channels 0,1,1,2,-1,9");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 120u);
    const std::regex shape(
        R"(\{"block":\d+,"frames":\d+,"peak":\[[^\]]*\],"vu":\[[^\]]*\],"meter_vu":\[[^\]]*\],"needle":\[[^\]]*\],"loudness":[-0-9.e]+,"r128":\{[^}]*\}\})");
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(std::regex_match(lines[i], shape)) << lines[i];
        EXPECT_EQ(lines[i].rfind("{\"block\":" + std::to_string(i + 1) + ",", 0), 0u);
    }
    const std::string& last = lines.back();
    EXPECT_NE(last.find("\"frames\":512"), std::string::npos);
    const std::vector<double> peak = JsonArray(last, "peak");
    const std::vector<double> vu = JsonArray(last, "vu");
    const std::vector<double> meterVu = JsonArray(last, "meter_vu");
    ASSERT_EQ(peak.size(), 8u);
    ASSERT_EQ(meterVu.size(), 8u);
    EXPECT_NEAR(peak[0], -20.0, 0.02);
    EXPECT_NEAR(vu[0], 0.0, 0.1);
    EXPECT_NEAR(meterVu[0], vu[0] - 2.0, 1e-6); // cal_vu -18: 2 dB less on the scale
    EXPECT_NEAR(peak[1], -10.0, 0.02);
    EXPECT_EQ(peak[1], peak[2]);
    EXPECT_NEAR(meterVu[1], vu[1], 1e-6); // default cal_vu -20
    EXPECT_EQ(peak[3], -96.0);            // a silent channel
    for (size_t i : { 4u, 5u }) {         // no channel, and one beyond the device's four
        EXPECT_EQ(peak[i], -96.0);
        EXPECT_EQ(vu[i], 0.0);
    }
    EXPECT_EQ(JsonArray(last, "needle"), meterVu) << "a VU meter's needle is its VU reading";
    EXPECT_NE(r.err.find("kerrion-meter: 120 blocks,"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("engine status 1: ran normally"), std::string::npos) << r.err;
}

// Every needle follows the type given for the run: a steady tone reads on a peak programme meter
// what it reads on the VU (each meter's reference level applied alike), while between the
// generator's bursts (250 ms on, 750 ms off) the PPM falls slowly where the VU drops at once.
TEST_F(KerrionMeterMetering, AMeterTypeGivesEveryNeedleItsBallistics)
{
    WriteFileBytes(m_dir / "signal.ini",
        "[Signal]\nInputs=2\nSpeed=10\n[Input1]\nSource=sine\nLevel=-20\n[Input2]\nSource=burst\n"
        "Frequency=1000\nLevel=-6\nBurstOn=250\nBurstOff=750\n");
    const Result r = Run("--format jsonl --blocks 400 --channels 0,1 --meter-type ppm-nordic");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 400u);
    const std::vector<double> meterVu = JsonArray(lines.back(), "meter_vu");
    const std::vector<double> needle = JsonArray(lines.back(), "needle");
    ASSERT_EQ(needle.size(), 8u);
    EXPECT_NEAR(needle[0], -2.0, 0.1); // the -20 dBFS sine with cal_vu -18
    EXPECT_NEAR(needle[0], meterVu[0], 0.1);
    double lowestNeedle = 100.0;
    double lowestVu = 100.0;
    for (size_t i = 200; i < lines.size(); ++i) {
        lowestNeedle = std::min(lowestNeedle, JsonArray(lines[i], "needle")[1]);
        lowestVu = std::min(lowestVu, JsonArray(lines[i], "meter_vu")[1]);
    }
    EXPECT_GT(lowestNeedle, 3.0) << "14 dB at the burst, 20 dB in 1.7 s after it";
    EXPECT_LT(lowestVu, -10.0);
    EXPECT_EQ(Run("--meter-type ppm").status, 2);
}

TEST_F(KerrionMeterMetering, CsvAndTableFormats)
{
    Result r = Run("--format csv --blocks 5");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind("block,frames,peak1", 0), 0u);
    EXPECT_EQ(std::count(lines[5].begin(), lines[5].end(), ','), 39); // 34 + the loudness columns
    EXPECT_NE(lines[0].find(",loudness,momentary,short_term,integrated,range,true_peak_max"),
        std::string::npos);

    r = Run("--format table --seconds 0.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("meter 1  ch   0  VU"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("meter 8  ch   7"), std::string::npos);
    EXPECT_NE(r.out.find(" LKFS  LRA "), std::string::npos) << r.out; // the loudness line
    EXPECT_NE(r.out.find("(ARIB TR-B32 -24.0 LKFS, -1.0 dBTP)"), std::string::npos);
}

// --log appends the session log: a start, a line of readings a second, a stop. A log that
// cannot be written is said once; metering goes on and the exit status tells.
TEST_F(KerrionMeterMetering, TheSessionLogHasALineASecondBetweenStartAndStop)
{
    const std::string log = (m_dir / "session.csv").string();
    Result r = Run("--format table --seconds 2.4 --log '" + log + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(ReadFileBytes(log));
    ASSERT_GE(lines.size(), 5u) << ReadFileBytes(log);
    EXPECT_EQ(lines[0], "time,momentary,short_term,integrated,range,true_peak_max,standard,event");
    EXPECT_TRUE(lines[1].ends_with(",,,,,,ARIB TR-B32,start")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with(",ARIB TR-B32,")) << lines[2];
    EXPECT_NE(lines[2].find(",-12.6,"), std::string::npos) << lines[2]; // the two sines
    EXPECT_TRUE(lines.back().ends_with(",stop"));

    r = Run("--format table --seconds 0.5 --log '" + m_dir.Path().string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the loudness log"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("meter 1  ch   0  VU"), std::string::npos);
}

TEST_F(KerrionMeterMetering, DevicesAreListedAndFoundByTheBeginningOfTheirName)
{
    Result r = Run("--list-devices");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex(R"(\s+2\s+0\s+4\s+2\s+512\s+48000\s+Kerrion Signal\n)")))
        << r.out;
    // Plain audio devices follow the drivers, or a line says there are none.
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\n\s+1\s+0\s)"))
        || r.out.find("\n(no plain audio input devices found)\n") != std::string::npos)
        << r.out;

    r = Run("--device-type 1 --device kerrion --blocks 3 --format jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 3u);

    r = Run("--device Nothing --blocks 3");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("\"Nothing\""), std::string::npos);
    EXPECT_NE(r.err.find("--list-devices"), std::string::npos);
}

// The settings' device is found by its name wherever it is listed now: an interface that was
// listed before it is gone, so the stored index names no device (or another one). A name
// nowhere listed meters nothing.
TEST_F(KerrionMeterMetering, TheSettingsDeviceIsFoundByItsName)
{
    WriteFileBytes(m_dir / "Kerrion.ini", "[Device]\nType=2\nID=1\nName=Kerrion Signal\n");
    Result r = Run("--blocks 3 --format jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 3u);

    WriteFileBytes(m_dir / "Kerrion.ini", "[Device]\nType=2\nID=0\nName=USB Interface\n");
    r = Run("--blocks 3");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("\"USB Interface\""), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST_F(KerrionMeterMetering, FailuresExitWithTheirStatusAndNameWhatFailed)
{
    Result r = Run("--device-type 1 --device-id 1000 --blocks 3"); // no such plain device
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(
        r.err.find("device 1000 of family 1 (plain audio devices): the device cannot be opened"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("--list-devices"), std::string::npos);

    r = Run("--device-id 4 --blocks 3");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("device 4 of family 2 (drivers)"), std::string::npos) << r.err;

    r = Run("--dump '" + (m_dir / "missing" / "a.wav").string() + "' --blocks 3");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("a dump file cannot be created ("), std::string::npos) << r.err;

    r = Run("--blocks 0");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: kerrion-meter"), std::string::npos);
}

TEST_F(KerrionMeterMetering, DumpWritesTheFirstTwoChannels)
{
    const std::string file = (m_dir / "dump.wav").string();
    const Result r = Run("--dump '" + file + "' --dump-seconds 0.25 --seconds 1 --format csv");
    ASSERT_EQ(r.status, 0) << r.err;
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(file.c_str(), 0));
    EXPECT_EQ(wave.Format().channels, 2);
    EXPECT_EQ(wave.Frames(), 12000u);
}

TEST_F(KerrionMeterMetering, AnInterruptStopsTheEngineAndStillSummarises)
{
    const std::string out = (m_dir / "out.txt").string();
    const std::string err = (m_dir / "err.txt").string();
    const std::string command = "env " + Environment() + KERRION_METER_PATH + " --ini '"
        + (m_dir / "Kerrion.ini").string() + "' --format jsonl >'" + out + "' 2>'" + err + "'";
    const pid_t pid = SpawnShell(command);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    kill(pid, SIGINT);
    EXPECT_EQ(WaitExit(pid, 10000), 0);
    EXPECT_GT(Lines(ReadFileBytes(out)).size(), 5u);
    EXPECT_NE(ReadFileBytes(err).find("engine status 1: ran normally"), std::string::npos);
}

} // namespace

// A 16-bit stereo WAVE file of one second of a 1 kHz sine at `dbfs` on both channels (a whole
// number of cycles, so that the generator can loop it without a seam).
void WriteToneFile(const std::filesystem::path& path, double dbfs)
{
    constexpr uint32_t kRate = 48000;
    std::string data;
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    for (uint32_t n = 0; n < kRate; ++n) {
        const auto v = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2.0 * M_PI * 1000.0 * n / kRate)));
        for (int c = 0; c < 2; ++c) {
            data += static_cast<char>(v & 0xFF);
            data += static_cast<char>((v >> 8) & 0xFF);
        }
    }
    const auto le32 = [](uint32_t v) {
        return std::string { static_cast<char>(v), static_cast<char>(v >> 8),
            static_cast<char>(v >> 16), static_cast<char>(v >> 24) };
    };
    const std::string fmt = std::string("\x01\x00\x02\x00", 4) + le32(kRate) + le32(kRate * 4)
        + std::string("\x04\x00\x10\x00", 4);
    WriteFileBytes(path,
        "RIFF" + le32(static_cast<uint32_t>(36 + data.size())) + "WAVEfmt " + le32(16) + fmt
            + "data" + le32(static_cast<uint32_t>(data.size())) + data);
}

// Under the thread sanitizer the engine runs many times slower: the generator plays the file at
// twice real time rather than twenty times, so that the run keeps up and stops in time.
#if defined(__SANITIZE_THREAD__)
constexpr const char* kFileSpeed = "2";
#else
constexpr const char* kFileSpeed = "20";
#endif

TEST_F(KerrionMeterMetering, LoudnessOfAFileProgrammeThroughTheEngine)
{
    WriteToneFile(m_dir / "tone.wav", -23.0);
    WriteFileBytes(m_dir / "signal.ini",
        std::string("[Signal]\nInputs=2\nSpeed=") + kFileSpeed
            + "\nBufferFrames=4800\nRate=48000\n"
              "[Input1]\nSource=file\nFile=tone.wav\nFileChannel=1\n"
              "[Input2]\nSource=file\nFile=tone.wav\nFileChannel=2\n");
    const Result r = Run("--format jsonl --blocks 100 --loudness stereo --standard ebu");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 100u);
    const std::string& last = lines.back();
    const auto field = [&](const std::string& name) {
        const auto at = last.find("\"" + name + "\":");
        EXPECT_NE(at, std::string::npos) << name;
        return std::strtod(last.c_str() + at + name.size() + 3, nullptr);
    };
    EXPECT_NEAR(field("momentary"), -23.0, 0.1);
    EXPECT_NEAR(field("short_term"), -23.0, 0.1);
    EXPECT_NEAR(field("integrated"), -23.0, 0.1);
    EXPECT_NEAR(field("range"), 0.0, 0.1);
    EXPECT_NEAR(field("true_peak_max"), -23.0, 0.2);
    EXPECT_EQ(JsonArray(last, "true_peak").size(), 2u);
    EXPECT_NE(lines.front().find("\"integrated\":null"), std::string::npos); // nothing yet
    EXPECT_NE(r.err.find(" LUFS: within 1 LU of EBU R128 -23.0; range 0.0 LU; "
                         "true peak -23.0 dBTP: within the EBU R128 limit -1.0"),
        std::string::npos)
        << r.err;
}

// Standard output into a pipe nobody reads (a pager that waits) while the engine meters up to
// 24,000 blocks, more than a level message each would need to fill the queue (16,384), and then
// loses its device: once the pipe is read again, the end is seen and the device's status
// returned.
TEST_F(KerrionMeterMetering, AStalledOutputStillSeesTheDeviceGoAndExits)
{
    WriteFileBytes(m_dir / "signal.ini",
        "[Signal]\nInputs=2\nBufferFrames=64\nSpeed=5\nStallAfter=24000\n[Input1]\n"
        "Source=sine\n");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string err = (m_dir / "err.txt").string();
    const pid_t pid = SpawnShell("env " + Environment() + KERRION_METER_PATH + " --ini '"
            + (m_dir / "Kerrion.ini").string() + "' --format jsonl 2>'" + err + "'",
        &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    ASSERT_GT(pid, 0);
    // 24,000 blocks take 6.4 s at five times real time (faster, a busy machine misses some), the
    // device is given up 5 s later.
    std::this_thread::sleep_for(std::chrono::milliseconds(12500));
    std::thread reader([fd = out[0]] {
        char buffer[65536];
        while (read(fd, buffer, sizeof buffer) > 0) { }
    });
    const int status = WaitExit(pid, 20000);
    reader.join();
    close(out[0]);
    EXPECT_EQ(status, 3) << ReadFileBytes(err);
    EXPECT_NE(ReadFileBytes(err).find("the device stopped delivering blocks"), std::string::npos)
        << ReadFileBytes(err);
    const std::string summary = ReadFileBytes(err);
    EXPECT_GT(std::stoll(summary.substr(summary.find("kerrion-meter: ") + 15)), 16384) << summary;
}

TEST_F(KerrionMeterMetering, DumpNamesTooLongAreRefusedWhole)
{
    const std::string name
        = (m_dir / std::string(300 - m_dir.Path().string().size(), 'a')).string();
    const Result r = Run("--dump '" + name + "' --blocks 3");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("has 301 bytes; at most 259 are allowed"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(name.substr(0, 259)));
}

// A dump that cannot be written further (here the file size limit; a full disk alike) ends the
// run with the dump's status and says why.
TEST_F(KerrionMeterMetering, ADumpWriteErrorEndsTheRunWithItsStatus)
{
    const std::string err = (m_dir / "err.txt").string();
    const pid_t pid = SpawnShell("sh -c \"ulimit -f 64; trap '' XFSZ; exec env " + Environment()
        + KERRION_METER_PATH + " --ini '" + (m_dir / "Kerrion.ini").string() + "' --dump '"
        + (m_dir / "dump.wav").string() + "' --format table >/dev/null 2>'" + err + "'\"");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid, 20000), 4) << ReadFileBytes(err);
    EXPECT_NE(ReadFileBytes(err).find("writing a dump file failed ("), std::string::npos)
        << ReadFileBytes(err);
    EXPECT_NE(ReadFileBytes(err).find("File too large"), std::string::npos) << ReadFileBytes(err);
}

// Killed while it dumps, the program leaves a file whose header holds what it wrote up to a
// second of audio before.
TEST_F(KerrionMeterMetering, ADumpKilledMidwayStillPlays)
{
    const std::filesystem::path file = m_dir / "dump.wav";
    const pid_t pid = SpawnShell("env " + Environment() + KERRION_METER_PATH + " --ini '"
        + (m_dir / "Kerrion.ini").string() + "' --dump '" + file.string()
        + "' --format table >/dev/null 2>/dev/null");
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // 15 s of audio
    kill(pid, SIGKILL);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(file.c_str(), 0));
    EXPECT_EQ(wave.Format().channels, 2);
    EXPECT_EQ(wave.Format().samplesPerSec, 48000u);
    const auto size = static_cast<int64_t>(std::filesystem::file_size(file));
    const int64_t unsized = size - wave.DataOffset() - wave.DataBytes();
    EXPECT_GE(wave.Frames(), 48000u);
    EXPECT_GE(unsized, 0);
    EXPECT_LT(unsized, 48000 * 4 + 65536) << "a second of audio and a stdio buffer at most";
    std::vector<int16_t> frames(2 * 4800);
    EXPECT_EQ(wave.ReadFrames(frames.data(), 4800), 4800u);
    const std::string riff = ReadFileBytes(file).substr(4, 4);
    const auto riffSize = static_cast<uint32_t>(static_cast<uint8_t>(riff[0])
        | static_cast<uint8_t>(riff[1]) << 8 | static_cast<uint8_t>(riff[2]) << 16
        | static_cast<uint32_t>(static_cast<uint8_t>(riff[3])) << 24);
    EXPECT_EQ(riffSize, wave.DataOffset() + wave.DataBytes() - 8);
}

// 48 hours of audio (8,294,400,000 frames, past 2^32) through the engine on the generator at
// its fastest: the summary counts every frame. Minutes long: run by the ctest
// KerrionMeterLongRun_test (label "long") only.
TEST_F(KerrionMeterMetering, DISABLED_FortyEightHoursOfAudioAreCountedWhole)
{
    WriteFileBytes(m_dir / "signal.ini",
        "[Signal]\nInputs=1\nBufferFrames=16384\nSpeed=1000\n[Input1]\nSource=sine\n");
    const auto start = std::chrono::steady_clock::now();
    const Result r = Run("--blocks 506250 --channels 0,-1,-1,-1,-1,-1,-1,-1 --loudness mono "
                         "--format table");
    const double wall
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.status, 0) << r.err;
    // The frames count what the engine metered until it was stopped, a few blocks more.
    std::smatch counts;
    ASSERT_TRUE(std::regex_search(
        r.err, counts, std::regex(R"(kerrion-meter: 506250 blocks, (\d+) frames,)")))
        << r.err;
    const long long frames = std::stoll(counts[1]);
    EXPECT_GE(frames, 8294400000LL);
    EXPECT_LT(frames, 8294400000LL + 16384LL * 10000);
    std::printf("48 hours of audio in %.1f s:\n%s", wall, r.err.c_str());
}
