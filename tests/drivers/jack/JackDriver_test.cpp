// The JACK driver, loaded as a real plug-in and driven as a host drives it, against a private
// jackd on the dummy driver.

#include "drivers/jack/JackTestClient.h"
#include "support/ChildProcess.h"
#include "support/DriverTestHost.h"
#include "support/JackServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using kerrion::AsioDriverObject;
using kerrion::IAsioDriver;
using kerrion::test::JackServer;
using kerrion::test::JackTestClient;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

// What the host's callbacks saw; written on JACK's process thread and the driver's notifier.
using Capture = kerrion::test::DriverCapture;
Capture& g_capture = kerrion::test::TheCapture();

class JackDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        KERRION_REQUIRE_JACKD();
        g_capture.Reset();
        Configure("[JACK]\nAutoConnect=0\n");
    }

    void TearDown() override { m_object.reset(); } // the driver goes before its server

    void Configure(const std::string& ini)
    {
        kerrion::test::WriteFileBytes(m_dir / "jack.ini", ini);
        m_config.reset();
        m_config.emplace("KERRION_JACK_CONFIG", (m_dir / "jack.ini").c_str());
    }

    // Starts a private server and makes it the default one.
    void StartServer(JackServer::Options options = {})
    {
        m_default.reset();
        m_server.reset();
        m_server.emplace(options);
        ASSERT_TRUE(m_server->Ready()) << m_server->Log();
        m_default.emplace("JACK_DEFAULT_SERVER", m_server->Name().c_str());
    }

    IAsioDriver* Create() { return Create(m_object); }

    IAsioDriver* Create(std::shared_ptr<AsioDriverObject>& object)
    {
        return kerrion::test::CreateDriver(
            KERRION_JACK_DRIVER, "{7AD0EA4A-DC1A-4DDF-B8C2-445D956E3035}", object);
    }

    IAsioDriver* Load()
    {
        IAsioDriver* driver = Create();
        if (driver != nullptr) {
            EXPECT_EQ(driver->init(nullptr), ASIOTrue);
        }
        return driver;
    }

    // Buffers for `inputs` inputs and two outputs at the server's size.
    void CreateBuffers(IAsioDriver* driver, int inputs)
    {
        int32_t minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
        ASSERT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
        ASSERT_EQ(kerrion::test::CreateDriverBuffers(driver, inputs, 2, preferred), ASE_OK);
    }

    // Waits (up to 5 s) until `done` holds for the capture.
    template <typename Predicate>
    bool WaitFor(Predicate done)
    {
        return kerrion::test::WaitForCapture(done, std::chrono::seconds(5));
    }

    size_t Switches()
    {
        std::lock_guard lock(g_capture.mutex);
        return g_capture.halves.size();
    }

    TempDir m_dir;
    std::optional<ScopedEnv> m_config;
    std::optional<JackServer> m_server;
    std::optional<ScopedEnv> m_default;
    std::shared_ptr<AsioDriverObject> m_object;
};

// The ports `port` is connected to, sorted, as `client` sees them once they are `expected` (or
// after 2 s): connections show in the graph from a later cycle on.
std::vector<std::string> Peers(
    jack_client_t* client, const std::string& port, std::vector<std::string> expected = {})
{
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> peers;
    for (int wait = 0; wait < 200; ++wait) {
        peers.clear();
        jack_port_t* found = jack_port_by_name(client, port.c_str());
        const char** names
            = found != nullptr ? jack_port_get_all_connections(client, found) : nullptr;
        for (size_t i = 0; names != nullptr && names[i] != nullptr; ++i)
            peers.emplace_back(names[i]);
        jack_free(static_cast<void*>(names));
        std::sort(peers.begin(), peers.end());
        if (peers == expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return peers;
}

using Names = std::vector<std::string>;

std::string Message(IAsioDriver* driver)
{
    char message[124] = {};
    driver->getErrorMessage(message);
    return message;
}

} // namespace

TEST_F(JackDriver, InitWithoutAServerFailsAndSaysWhy)
{
    const std::string name = JackServer::UniqueName();
    ScopedEnv server("JACK_DEFAULT_SERVER", name.c_str());
    IAsioDriver* driver = Create();
    ASSERT_NE(driver, nullptr);
    const auto begin = Clock::now();
    EXPECT_EQ(driver->init(nullptr), ASIOFalse);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(2)) << "no server is started";
    EXPECT_EQ(Message(driver), "JACK server \"" + name + "\" not running");
    int32_t inputs = 0, outputs = 0;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_NotPresent);
    int32_t a, b, c, d;
    EXPECT_EQ(driver->getBufferSize(&a, &b, &c, &d), ASE_NotPresent);
    EXPECT_EQ(driver->start(), ASE_InvalidMode);
}

TEST_F(JackDriver, RegistersTheConfiguredPortsAtTheServersRateInBuffersOfAbout10Ms)
{
    StartServer();
    Configure("");
    IAsioDriver* driver = Load();
    int32_t inputs = 0, outputs = 0;
    ASSERT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 8);
    EXPECT_EQ(outputs, 2);
    int32_t minSize = 0, maxSize = 0, preferred = 0, granularity = -1;
    ASSERT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
    EXPECT_EQ(minSize, 512); // two of the server's 256-frame periods
    EXPECT_EQ(maxSize, 512);
    EXPECT_EQ(preferred, 512);
    EXPECT_EQ(granularity, 0);
    ASIOSampleRate rate = 0;
    ASSERT_EQ(driver->getSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 48000.0);
    char name[32] = {};
    driver->getDriverName(name);
    EXPECT_STREQ(name, "JACK");

    JackTestClient observer(m_server->Name(), {});
    ASSERT_TRUE(observer.Ok());
    for (const char* port : { "Kerrion:in_1", "Kerrion:in_8", "Kerrion:out_1", "Kerrion:out_2" })
        EXPECT_NE(jack_port_by_name(observer.Client(), port), nullptr) << port;
    EXPECT_EQ(jack_port_by_name(observer.Client(), "Kerrion:in_9"), nullptr);
    EXPECT_EQ(jack_port_by_name(observer.Client(), "Kerrion:out_3"), nullptr);

    ASIOChannelInfo info {};
    info.channel = 7;
    info.isInput = ASIOTrue;
    ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.type, ASIOSTInt32LSB);
    EXPECT_STREQ(info.name, "in_8");
    info.channel = 8;
    EXPECT_EQ(driver->getChannelInfo(&info), ASE_InvalidParameter);
    info.channel = 1;
    info.isInput = ASIOFalse;
    ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
    EXPECT_STREQ(info.name, "out_2");
}

TEST_F(JackDriver, AMonoSettingStillTakesAStereoPairOfBuffers)
{
    StartServer();
    Configure("[JACK]\nInputs=1\nOutputs=0\nAutoConnect=0\n");
    IAsioDriver* driver = Load();
    int32_t inputs = 0, outputs = 0;
    ASSERT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 1);
    EXPECT_EQ(outputs, 0);
    CreateBuffers(driver, 2);
    ASIOChannelInfo info {};
    info.channel = 1;
    info.isInput = ASIOTrue;
    ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.isActive, ASIOTrue);
    EXPECT_STREQ(info.name, "(none)");
    info.channel = 2;
    EXPECT_EQ(driver->getChannelInfo(&info), ASE_InvalidParameter);
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(driver->disposeBuffers(), ASE_InvalidMode);
}

TEST_F(JackDriver, AutoConnectLinksThePhysicalCapturesInOrderOnlyWhenSet)
{
    StartServer();
    JackTestClient observer(m_server->Name(), {});
    ASSERT_TRUE(observer.Ok());
    for (const bool autoConnect : { true, false }) {
        Configure(autoConnect ? "[JACK]\nInputs=3\n" : "[JACK]\nInputs=3\nAutoConnect=0\n");
        IAsioDriver* driver = Load();
        CreateBuffers(driver, 3);
        // Connections show in the graph from a later cycle on.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (int i = 1; i <= 3; ++i) {
            jack_port_t* port
                = jack_port_by_name(observer.Client(), ("Kerrion:in_" + std::to_string(i)).c_str());
            ASSERT_NE(port, nullptr);
            for (int wait = 0; wait < 100 && autoConnect && jack_port_connected(port) == 0; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::string capture = "system:capture_" + std::to_string(i);
            EXPECT_EQ(jack_port_connected_to(port, capture.c_str()) != 0, autoConnect) << i;
            EXPECT_EQ(jack_port_connected(port), autoConnect ? 1 : 0) << i;
        }
        m_object.reset();
    }
}

TEST_F(JackDriver, OffersOnlyTheServersRateAndSaysSo)
{
    StartServer({ .rate = 44100 });
    IAsioDriver* driver = Load();
    EXPECT_EQ(driver->canSampleRate(44100.0), ASE_OK);
    EXPECT_EQ(driver->canSampleRate(48000.0), ASE_NoClock);
    EXPECT_EQ(driver->setSampleRate(44100.0), ASE_OK);
    EXPECT_EQ(driver->setSampleRate(0.0), ASE_OK) << "the server is the external clock";
    EXPECT_EQ(driver->setSampleRate(48000.0), ASE_NoClock);
    EXPECT_NE(Message(driver).find("runs at 44100 Hz"), std::string::npos) << Message(driver);
    ASIOSampleRate rate = 0;
    ASSERT_EQ(driver->getSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 44100.0);
}

// One period to a buffer, or three (the output then follows a buffer later).
TEST_F(JackDriver, SwitchesAlternateHalvesAndCarryScaledSamplesBothWays)
{
    for (const int periods : { 1, 3 }) {
        SCOPED_TRACE(periods);
        m_object.reset();
        StartServer();
        g_capture.Reset();
        Configure("[JACK]\nAutoConnect=0\nBufferPeriods=" + std::to_string(periods) + "\n");
        IAsioDriver* driver = Load();
        JackTestClient player(
            m_server->Name(), { JackTestClient::Constant(0.5f), JackTestClient::Constant(-0.25f) });
        JackTestClient listener(m_server->Name(), {}, 1);
        ASSERT_TRUE(player.Ok());
        ASSERT_TRUE(listener.Ok());
        CreateBuffers(driver, 2);
        ASSERT_EQ(g_capture.frames, 256u * static_cast<unsigned>(periods));
        ASSERT_TRUE(player.ConnectTo({ "Kerrion:in_1", "Kerrion:in_2" }));
        ASSERT_EQ(
            jack_connect(listener.Client(), "Kerrion:out_1", listener.ListenerName(0).c_str()), 0);
        {
            std::lock_guard lock(g_capture.mutex);
            g_capture.outputValue = 1 << 29; // 0.25 of full scale
        }
        ASIOSamples position {};
        ASIOTimeStamp stamp {};
        EXPECT_EQ(driver->getSamplePosition(&position, &stamp), ASE_SPNotAdvancing);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(Switches(), 0u) << "no switch before start";
        ASSERT_EQ(driver->start(), ASE_OK);
        ASSERT_TRUE(WaitFor([](Capture& c) { return c.halves.size() >= 12; }));
        EXPECT_EQ(listener.Heard(0), 0.25f) << "the output half goes out after the switch";
        EXPECT_EQ(driver->getSamplePosition(&position, &stamp), ASE_OK);
        EXPECT_GT(stamp.lo | stamp.hi, 0u);
        ASSERT_EQ(driver->stop(), ASE_OK);
        const size_t stopped = Switches();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(Switches(), stopped) << "no switch after stop";
        EXPECT_EQ(driver->disposeBuffers(), ASE_OK); // not under the capture's lock

        std::lock_guard lock(g_capture.mutex);
        for (size_t i = 0; i < g_capture.halves.size(); ++i) {
            EXPECT_EQ(g_capture.halves[i], static_cast<int>(i % 2)) << i;
            EXPECT_EQ(g_capture.positions[i], i * g_capture.frames) << i;
        }
        // The first cycle may have come before the connections; from the second on they are
        // there.
        const auto first = g_capture.Int32Input(0);
        const auto second = g_capture.Int32Input(1);
        for (size_t f = 256; f < first.size(); ++f) {
            ASSERT_EQ(first[f], 1 << 30) << f;
            ASSERT_EQ(second[f], -(1 << 29)) << f;
        }
        EXPECT_EQ(listener.Heard(0), 0.0f) << "a stopped driver plays silence";
    }
}

TEST_F(JackDriver, AHostWithoutTimeInfoGetsThePlainBufferSwitch)
{
    StartServer({ .period = 64 });
    IAsioDriver* driver = Load();
    {
        std::lock_guard lock(g_capture.mutex);
        g_capture.timeInfo = false;
    }
    CreateBuffers(driver, 2);
    ASSERT_EQ(driver->start(), ASE_OK);
    EXPECT_TRUE(WaitFor([](Capture& c) { return c.plainSwitches >= 5; }));
    EXPECT_EQ(driver->stop(), ASE_OK);
}

TEST_F(JackDriver, ABufferSizeChangeStopsSwitchingAndAsksForAReset)
{
    StartServer();
    IAsioDriver* driver = Load();
    CreateBuffers(driver, 2);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitFor([](Capture& c) { return c.halves.size() >= 4; }));
    JackTestClient other(m_server->Name(), {});
    ASSERT_TRUE(other.Ok());
    ASSERT_EQ(jack_set_buffer_size(other.Client(), 512), 0);
    ASSERT_TRUE(WaitFor([](Capture& c) { return !c.messages.empty(); }));
    {
        std::lock_guard lock(g_capture.mutex);
        EXPECT_EQ(g_capture.messages[0], kAsioResetRequest);
    }
    const size_t switches = Switches();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Switches(), switches) << "the old buffers are not switched at the new size";
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(driver->start(), ASE_HWMalfunction);
    EXPECT_NE(Message(driver).find("buffer size changed to 512"), std::string::npos)
        << Message(driver);

    // The host's reset: dispose, then set up again at the new size.
    ASSERT_EQ(driver->disposeBuffers(), ASE_OK);
    CreateBuffers(driver, 2);
    {
        std::lock_guard lock(g_capture.mutex);
        EXPECT_EQ(g_capture.frames, 512u);
        g_capture.halves.clear();
        g_capture.positions.clear();
    }
    ASSERT_EQ(driver->start(), ASE_OK);
    EXPECT_TRUE(
        WaitFor([](Capture& c) { return c.positions.size() >= 3 && c.positions[2] == 1024; }));
    EXPECT_EQ(driver->stop(), ASE_OK);
}

TEST_F(JackDriver, AServerThatDiesAsksForAResetAndNothingHangs)
{
    StartServer();
    IAsioDriver* driver = Load();
    CreateBuffers(driver, 2);
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(WaitFor([](Capture& c) { return c.halves.size() >= 4; }));
    EXPECT_TRUE(m_server->Kill()) << "the server shut down cleanly\n" << m_server->Log();
    ASSERT_TRUE(WaitFor([](Capture& c) { return !c.messages.empty(); }));
    {
        std::lock_guard lock(g_capture.mutex);
        EXPECT_EQ(g_capture.messages[0], kAsioResetRequest);
    }
    const auto begin = Clock::now();
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(driver->start(), ASE_HWMalfunction);
    EXPECT_EQ(Message(driver), "The JACK server has shut down");
    ASIOSamples position {};
    ASIOTimeStamp stamp {};
    EXPECT_EQ(driver->getSamplePosition(&position, &stamp), ASE_SPNotAdvancing);
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    m_object.reset();
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));

    // A new server, a new driver object: metering can start again.
    StartServer();
    IAsioDriver* again = Load();
    {
        std::lock_guard lock(g_capture.mutex);
        g_capture.halves.clear();
    }
    CreateBuffers(again, 2);
    ASSERT_EQ(again->start(), ASE_OK);
    EXPECT_TRUE(WaitFor([](Capture& c) { return c.halves.size() >= 4; }));
}

TEST_F(JackDriver, ControlPanelStartsQjackctlOnlyWhenInstalled)
{
    StartServer();
    IAsioDriver* driver = Load();
    std::filesystem::create_directories(m_dir / "bin");
    const auto marker = m_dir / "started";
    kerrion::test::WriteFileBytes(
        m_dir / "bin/qjackctl", "#!/bin/sh\ntouch \"" + marker.string() + "\"\n");
    std::filesystem::permissions(m_dir / "bin/qjackctl", std::filesystem::perms::owner_all);
    {
        const std::string search = (m_dir / "bin").string() + ":" + std::getenv("PATH");
        ScopedEnv path("PATH", search.c_str());
        ASSERT_EQ(driver->controlPanel(), ASE_OK);
        for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(std::filesystem::exists(marker));
    }
    ScopedEnv nowhere("PATH", (m_dir / "empty").c_str());
    EXPECT_EQ(driver->controlPanel(), ASE_NotPresent);
    EXPECT_EQ(Message(driver),
        "qjackctl is not installed; the bridge's settings are in " + (m_dir / "jack.ini").string());
}

TEST_F(JackDriver, ConnectionsComeBackAfterADisposeAndInTheNextDriverAndTheFileKeepsItsLines)
{
    StartServer();
    Configure("; my bridge\n[JACK]\nInputs=3\nAutoConnect=0 ; by hand\n\n[Other]\nKey=kept\n");
    JackTestClient player(
        m_server->Name(), { JackTestClient::Constant(0.5f), JackTestClient::Constant(0.25f) });
    ASSERT_TRUE(player.Ok());
    jack_client_t* graph = player.Client();
    IAsioDriver* driver = Load();
    CreateBuffers(driver, 3);
    ASSERT_TRUE(player.ConnectTo({ "Kerrion:in_1", "Kerrion:in_2" }));
    ASSERT_EQ(Peers(graph, "Kerrion:in_2", { "player:out_2" }), Names { "player:out_2" });

    ASSERT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(Peers(graph, "Kerrion:in_1"), Names {}) << "an inactive client has no connections";
    CreateBuffers(driver, 3);
    EXPECT_EQ(Peers(graph, "Kerrion:in_1", { "player:out_1" }), Names { "player:out_1" });
    EXPECT_EQ(Peers(graph, "Kerrion:in_2", { "player:out_2" }), Names { "player:out_2" });
    EXPECT_EQ(Peers(graph, "Kerrion:in_3"), Names {});

    m_object.reset();
    EXPECT_EQ(kerrion::test::ReadFileBytes(m_dir / "jack.ini"),
        "; my bridge\n[JACK]\nInputs=3\nAutoConnect=0 ; by hand\n\n[Other]\nKey=kept\n"
        "[Connections]\nin_1=player:out_1\nin_2=player:out_2\n");
    CreateBuffers(Load(), 3);
    EXPECT_EQ(Peers(graph, "Kerrion:in_1", { "player:out_1" }), Names { "player:out_1" });
    EXPECT_EQ(Peers(graph, "Kerrion:in_2", { "player:out_2" }), Names { "player:out_2" });
}

TEST_F(JackDriver, ARememberedRoutingWinsOverAutoConnectAndPassesOverPortsThatAreGone)
{
    StartServer();
    JackTestClient player(
        m_server->Name(), { JackTestClient::Constant(0.5f), JackTestClient::Constant(0.25f) });
    ASSERT_TRUE(player.Ok());
    const std::string remembered
        = "[Connections]\nin_1=gone:out_9|player:out_1\nin_2 = player:out_2 | gone:out_8\n";
    struct Case {
        const char* name;
        std::string ini;
        Names in1, in2, in3; // expected peers of in_1 .. in_3
    };
    const Case cases[] = {
        { "first use", "[JACK]\nInputs=3\n", { "system:capture_1" }, { "system:capture_2" },
            { "system:capture_3" } },
        { "remembered, AutoConnect=1", "[JACK]\nInputs=3\n" + remembered, { "player:out_1" },
            { "player:out_2" }, {} },
        { "remembered, AutoConnect=0", "[JACK]\nInputs=3\nAutoConnect=0\n" + remembered,
            { "player:out_1" }, { "player:out_2" }, {} },
    };
    for (const Case& c : cases) {
        Configure(c.ini);
        CreateBuffers(Load(), 3);
        EXPECT_EQ(Peers(player.Client(), "Kerrion:in_1", c.in1), c.in1) << c.name;
        EXPECT_EQ(Peers(player.Client(), "Kerrion:in_2", c.in2), c.in2) << c.name;
        EXPECT_EQ(Peers(player.Client(), "Kerrion:in_3", c.in3), c.in3) << c.name;
        m_object.reset();
    }
    // The ports that are gone stay remembered (they may come back), so nothing was rewritten.
    EXPECT_NE(kerrion::test::ReadFileBytes(m_dir / "jack.ini").find(remembered), std::string::npos);
}

TEST_F(JackDriver, TheRoutingOutlivesAServerThatDies)
{
    StartServer();
    Configure("[JACK]\nInputs=2\nOutputs=1\nAutoConnect=0\n");
    const std::vector<std::vector<float>> loops { JackTestClient::Constant(0.5f) };
    std::optional<JackTestClient> player(std::in_place, m_server->Name(), loops, 1);
    ASSERT_TRUE(player->Ok());
    IAsioDriver* driver = Load();
    CreateBuffers(driver, 2);
    ASSERT_TRUE(player->ConnectTo({ "Kerrion:in_2" }));
    ASSERT_EQ(jack_connect(player->Client(), "Kerrion:out_1", "player:in_1"), 0);
    ASSERT_EQ(Peers(player->Client(), "Kerrion:out_1", { "player:in_1" }), Names { "player:in_1" });
    ASSERT_EQ(
        Peers(player->Client(), "Kerrion:in_2", { "player:out_1" }), Names { "player:out_1" });

    // A user's routing stands for longer than the driver takes to follow it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(m_server->Kill()) << m_server->Log();
    ASSERT_TRUE(WaitFor([](Capture& c) { return !c.messages.empty(); }));
    player.reset();
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    m_object.reset();
    EXPECT_NE(kerrion::test::ReadFileBytes(m_dir / "jack.ini")
                  .find("[Connections]\nin_2=player:out_1\nout_1=player:in_1\n"),
        std::string::npos)
        << kerrion::test::ReadFileBytes(m_dir / "jack.ini");

    StartServer();
    player.emplace(m_server->Name(), loops, 1);
    ASSERT_TRUE(player->Ok());
    CreateBuffers(Load(), 2);
    EXPECT_EQ(
        Peers(player->Client(), "Kerrion:in_2", { "player:out_1" }), Names { "player:out_1" });
    EXPECT_EQ(Peers(player->Client(), "Kerrion:out_1", { "player:in_1" }), Names { "player:in_1" });
}

// Programs come and go slowly on a busy machine: one that quits disconnects its ports a moment
// before it unregisters them, one that starts registers them a moment before it activates (the
// server tells of them once it has). A connection the user undoes while both ports are there is
// forgotten, in the file within two seconds; the quitting program's are not, and come back with
// it.
TEST_F(JackDriver, AnUndoneConnectionIsForgottenAndThoseOfAProgramThatQuitsSlowlyAreNot)
{
    StartServer();
    Configure("[JACK]\nAutoConnect=0\n");
    const auto file = [this] { return kerrion::test::ReadFileBytes(m_dir / "jack.ini"); };
    std::optional<JackTestClient> player(std::in_place, m_server->Name(),
        std::vector<std::vector<float>> {
            JackTestClient::Constant(0.5f), JackTestClient::Constant(0.25f) });
    ASSERT_TRUE(player->Ok());
    CreateBuffers(Load(), 2);
    ASSERT_TRUE(player->ConnectTo({ "Kerrion:in_1", "Kerrion:in_2" }));
    const std::string both
        = "[JACK]\nAutoConnect=0\n[Connections]\nin_1=player:out_1\nin_2=player:out_2\n";
    EXPECT_TRUE(kerrion::test::WaitUntil([&] { return file() == both; }, 2000)) << file();
    ASSERT_EQ(jack_disconnect(player->Client(), "player:out_2", "Kerrion:in_2"), 0);
    const std::string one = "[JACK]\nAutoConnect=0\n[Connections]\nin_1=player:out_1\n";
    EXPECT_TRUE(kerrion::test::WaitUntil([&] { return file() == one; }, 2000)) << file();

    // A while later the program quits. The server undoes its connections while it is still
    // there; here by hand.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_EQ(jack_disconnect(player->Client(), "player:out_1", "Kerrion:in_1"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    player.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(file(), one) << "a program that quits does not undo its connections";

    jack_client_t* restarted
        = jack_client_open("player", JackNoStartServer, nullptr, m_server->Name().c_str());
    ASSERT_NE(restarted, nullptr);
    for (const char* name : { "out_1", "out_2" })
        jack_port_register(restarted, name, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(jack_activate(restarted), 0);
    EXPECT_EQ(Peers(restarted, "Kerrion:in_1", { "player:out_1" }), Names { "player:out_1" });
    EXPECT_EQ(Peers(restarted, "Kerrion:in_2"), Names {});
    jack_client_close(restarted);
}

TEST_F(JackDriver, AProbingDriverLeavesTheActiveClientsConnectionsAndTheFileAlone)
{
    StartServer();
    const std::string ini = "[JACK]\nInputs=2\nAutoConnect=0\n[Connections]\nin_1=player:out_1\n";
    Configure(ini);
    JackTestClient player(m_server->Name(), { JackTestClient::Constant(0.5f) });
    ASSERT_TRUE(player.Ok());
    CreateBuffers(Load(), 2);
    ASSERT_EQ(Peers(player.Client(), "Kerrion:in_1", { "player:out_1" }), Names { "player:out_1" });

    // What the device dialog and the device list do: open the driver, ask, release it.
    std::shared_ptr<AsioDriverObject> probe;
    IAsioDriver* probing = Create(probe);
    ASSERT_EQ(probing->init(nullptr), ASIOTrue);
    int32_t inputs = 0, outputs = 0;
    EXPECT_EQ(probing->getChannels(&inputs, &outputs), ASE_OK);
    probe.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a disconnection shows by now
    EXPECT_EQ(Peers(player.Client(), "Kerrion:in_1", { "player:out_1" }), Names { "player:out_1" });
    EXPECT_EQ(kerrion::test::ReadFileBytes(m_dir / "jack.ini"), ini);
}
