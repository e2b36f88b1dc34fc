// kerrion-meter over the JACK bridge as separate processes: the routing a user makes while one
// run meters is there for the next run.

#include "drivers/jack/JackBridgeSetup.h"
#include "drivers/jack/JackTestClient.h"
#include "support/ChildProcess.h"
#include "support/JackServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <sstream>
#include <thread>

using kerrion::test::JackServer;
using kerrion::test::JackTestClient;
using kerrion::test::ReadFileBytes;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;
using kerrion::test::WaitUntil;

namespace {

// Meters inputs 1 and 2 for `blocks` blocks as CSV into `out` (its summary into err.txt);
// returns the exit status.
int Meter(const TempDir& dir, int blocks, const std::string& out)
{
    const std::string command = std::string(KERRION_METER_PATH) + " --ini '"
        + (dir / "Kerrion.ini").string() + "' --device JACK --channels 0,1 --format csv --blocks "
        + std::to_string(blocks) + " >'" + (dir / out).string() + "' 2>'"
        + (dir / "err.txt").string() + "' </dev/null";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The peak columns of meters 1 and 2 in the last record of a CSV output.
std::pair<double, double> LastPeaks(const std::string& csv)
{
    std::istringstream lines(csv);
    std::string line, last;
    while (std::getline(lines, line))
        last = line.empty() ? last : line;
    std::istringstream fields(last);
    std::string field[4];
    for (std::string& f : field)
        std::getline(fields, f, ',');
    return { std::atof(field[2].c_str()), std::atof(field[3].c_str()) };
}

// Starts kerrion-meter metering inputs 1 and 2 for far longer than a test runs, its records
// into `out` (none when empty); its pid.
pid_t StartMeter(const TempDir& dir, const char* extra = nullptr, const std::string& out = {})
{
    const std::string ini = (dir / "Kerrion.ini").string();
    const std::string err = (dir / "err.txt").string();
    const std::string records = out.empty() ? std::string("/dev/null") : (dir / out).string();
    const char* argv[] = { KERRION_METER_PATH, "--ini", ini.c_str(), "--device", "JACK",
        "--channels", "0,1", "--format", "csv", "--blocks", "1000000", extra, nullptr };
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(
        &files, 1, records.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, KERRION_METER_PATH, &files, nullptr, const_cast<char**>(argv), environ)
        != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

} // namespace

TEST(KerrionMeterJack, TheSecondRunMetersThroughTheConnectionsMadeDuringTheFirst)
{
    KERRION_REQUIRE_JACKD();
    TempDir dir;
    kerrion::test::JackBridgeSetup bridge(dir.Path(), KERRION_JACK_DRIVER);
    kerrion::test::WriteFileBytes(dir / "Kerrion.ini", "[Device]\nType=2\nID=0\n");
    JackServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    ScopedEnv useServer("JACK_DEFAULT_SERVER", server.Name().c_str());
    // -20 and -10 dBFS.
    JackTestClient player(
        server.Name(), { JackTestClient::Constant(0.1f), JackTestClient::Constant(0.31622777f) });
    ASSERT_TRUE(player.Ok());

    // 400 blocks of 256 frames at 48 kHz: two seconds in which to connect, as in a patchbay.
    auto first = std::async(std::launch::async, [&] { return Meter(dir, 400, "first.csv"); });
    bool connected = false;
    for (int wait = 0; wait < 300 && !connected; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        connected = jack_port_by_name(player.Client(), "Kerrion:in_2") != nullptr
            && player.ConnectTo({ "Kerrion:in_1", "Kerrion:in_2" });
    }
    EXPECT_TRUE(connected);
    ASSERT_EQ(first.get(), 0) << ReadFileBytes(dir / "err.txt");
    EXPECT_NEAR(LastPeaks(ReadFileBytes(dir / "first.csv")).first, -20.0, 0.01);

    ASSERT_EQ(Meter(dir, 100, "second.csv"), 0) << ReadFileBytes(dir / "err.txt");
    const auto [peak1, peak2] = LastPeaks(ReadFileBytes(dir / "second.csv"));
    EXPECT_NEAR(peak1, -20.0, 0.01);
    EXPECT_NEAR(peak2, -10.0, 0.01) << ReadFileBytes(dir / "jack.ini");
}

TEST(KerrionMeterJack, ARoutingMadeWhileMeteringReachesTheFileWithinTwoSecondsAndOutlivesAKill)
{
    KERRION_REQUIRE_JACKD();
    TempDir dir;
    kerrion::test::JackBridgeSetup bridge(dir.Path(), KERRION_JACK_DRIVER);
    kerrion::test::WriteFileBytes(dir / "Kerrion.ini", "[Device]\nType=2\nID=0\n");
    JackServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    ScopedEnv useServer("JACK_DEFAULT_SERVER", server.Name().c_str());
    JackTestClient player(
        server.Name(), { JackTestClient::Constant(0.1f), JackTestClient::Constant(0.1f) });
    ASSERT_TRUE(player.Ok());

    const pid_t meter = StartMeter(dir);
    ASSERT_GT(meter, 0);
    bool connected = false;
    for (int wait = 0; wait < 500 && !connected; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        connected = jack_port_by_name(player.Client(), "Kerrion:in_2") != nullptr
            && player.ConnectTo({ "Kerrion:in_1", "Kerrion:in_2" });
    }
    const std::string expected
        = "[JACK]\nAutoConnect=0\n[Connections]\nin_1=player:out_1\nin_2=player:out_2\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (connected && ReadFileBytes(dir / "jack.ini") != expected
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string written = ReadFileBytes(dir / "jack.ini");

    kill(meter, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(meter, &status, 0), meter);
    ASSERT_TRUE(connected) << ReadFileBytes(dir / "err.txt");
    EXPECT_TRUE(WIFSIGNALED(status))
        << "kerrion-meter stopped before it was killed: " << ReadFileBytes(dir / "err.txt");
    EXPECT_EQ(written, expected) << "within 2 s of the connection";
    EXPECT_EQ(ReadFileBytes(dir / "jack.ini"), expected) << "after the kill";
}

// A session tool restarts the server under a metering kerrion-meter --reconnect: the run ends,
// the program waits, and meters again through the routing it remembered once the server is back
// (and the player with it, whose ports appear before it is active).
TEST(KerrionMeterJack, WithReconnectAServerThatComesBackIsMeteredAgain)
{
    KERRION_REQUIRE_JACKD();
    TempDir dir;
    kerrion::test::JackBridgeSetup bridge(dir.Path(), KERRION_JACK_DRIVER);
    kerrion::test::WriteFileBytes(dir / "Kerrion.ini", "[Device]\nType=2\nID=0\n");
    kerrion::test::WriteFileBytes(
        dir / "jack.ini", "[JACK]\nAutoConnect=0\n[Connections]\nin_1=player:out_1\n");
    JackServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    ScopedEnv useServer("JACK_DEFAULT_SERVER", server.Name().c_str());
    std::optional<JackTestClient> player;
    player.emplace(
        server.Name(), std::vector<std::vector<float>> { JackTestClient::Constant(0.1f) });
    ASSERT_TRUE(player->Ok());
    const auto metersThePlayer
        = [&] { return std::abs(LastPeaks(ReadFileBytes(dir / "out.csv")).first + 20.0) < 0.01; };

    const pid_t meter = StartMeter(dir, "--reconnect", "out.csv");
    ASSERT_GT(meter, 0);
    EXPECT_TRUE(WaitUntil(metersThePlayer, 5000)) << ReadFileBytes(dir / "err.txt");
    // A session tool stops its clients, then the server: the player's leaving has settled.
    player.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(server.Kill()) << server.Log();
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadFileBytes(dir / "err.txt").find("waiting for it") != std::string::npos; },
        2000))
        << ReadFileBytes(dir / "err.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    EXPECT_EQ(waitpid(meter, &status, WNOHANG), 0) << "it waits while the server is away";

    // The player comes back with its server, as a session tool starts them.
    ASSERT_TRUE(server.Restart()) << server.Log();
    player.emplace(
        server.Name(), std::vector<std::vector<float>> { JackTestClient::Constant(0.1f) });
    const std::size_t before = ReadFileBytes(dir / "out.csv").size();
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadFileBytes(dir / "out.csv").size() > before && metersThePlayer(); }, 5000))
        << ReadFileBytes(dir / "err.txt") << ReadFileBytes(dir / "jack.ini");

    kill(meter, SIGINT);
    EXPECT_EQ(kerrion::test::WaitExit(meter, 10000), 0) << ReadFileBytes(dir / "err.txt");
}
