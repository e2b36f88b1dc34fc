// The main window metering a private jackd through the JACK bridge, as on an unattended meter
// screen: the server stops under it and comes back (a session tool restarting it). The run ends
// at once with the reason in the report line, no box to click away; the window waits and meters
// again through the connections it had, without a hand on it.
#include "display/SonaltDlg.h"

#include "app/IniProfile.h"
#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"
#include "display/MainWindowTestSupport.h"
#include "drivers/jack/JackBridgeSetup.h"
#include "drivers/jack/JackTestClient.h"
#include "support/JackServer.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <jack/jack.h>

#include <optional>

using kerrion::test::JackServer;
using kerrion::test::JackTestClient;
using kerrion::test::WaitFor;

namespace {

// The bridge's input 1 is fed by the player's output (a connection the bridge keeps).
bool FedByPlayer(const JackTestClient& player)
{
    const char** peers = jack_port_get_all_connections(
        player.Client(), jack_port_by_name(player.Client(), "Kerrion:in_1"));
    const bool fed = peers != nullptr && std::string(peers[0]).ends_with(":out_1");
    jack_free(static_cast<void*>(peers));
    return fed;
}

} // namespace

TEST(JackWindow, MetersAgainWhenTheServerComesBack)
{
    KERRION_REQUIRE_JACKD();
    kerrion::test::TempDir dir;
    kerrion::test::JackBridgeSetup bridge(dir.Path(), KERRION_JACK_DRIVER);
    JackServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    kerrion::test::ScopedEnv name("JACK_DEFAULT_SERVER", server.Name().c_str());
    const auto sine = [] { return JackTestClient::Sine(1000.0, 0.1, 48000.0, 480); };

    CSettingsRecord settings;
    settings.Load(CIniProfile("[Meter]\nNum=2\n[Device]\nType=2\nID=0\nName=JACK\n"));
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }, 10000));
    std::optional<JackTestClient> player;
    player.emplace(server.Name(), std::vector<std::vector<float>> { sine() });
    ASSERT_TRUE(player->ConnectTo({ "Kerrion:in_1" }));
    ASSERT_TRUE(WaitFor([&] { return window.Meter(0).VuPos() > 20.0; }, 5000));
    ASSERT_TRUE(WaitFor(
        [&] {
            return kerrion::test::ReadFileBytes(dir / "jack.ini").find(":out_1")
                != std::string::npos;
        },
        2500))
        << "the connection reaches jack.ini while metering";

    player.reset();
    QElapsedTimer gone;
    ASSERT_TRUE(server.Kill()) << server.Log();
    gone.start();
    ASSERT_TRUE(WaitFor([&] { return window.IsAwaitingDevice(); }, 5000));
    EXPECT_LT(gone.elapsed(), 1500) << "the run ends at once, not after time-outs";
    EXPECT_FALSE(window.IsRunning());
    EXPECT_TRUE(window.EngineReport().contains(QStringLiteral("再開")))
        << window.EngineReport().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no box waits for a hand";
    WaitFor([] { return false; }, 1500); // still no server: the window keeps waiting
    ASSERT_TRUE(window.IsAwaitingDevice());

    // The player comes back first, as session tools start clients with their server: the
    // bridge connects it again from what it remembered.
    ASSERT_TRUE(server.Restart()) << server.Log();
    QElapsedTimer back;
    back.start();
    player.emplace(server.Name(), std::vector<std::vector<float>> { sine() });
    ASSERT_TRUE(player->Ok());
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }, 5000));
    EXPECT_LT(back.elapsed(), 2500) << "metering again within 2 s of the server's return";
    ASSERT_TRUE(WaitFor([&] { return FedByPlayer(*player); }, 3000))
        << "connections back\n"
        << kerrion::test::ReadFileBytes(dir / "jack.ini");
    window.Meter(0).SetVuPos(0.0);
    EXPECT_TRUE(WaitFor([&] { return window.Meter(0).VuPos() > 20.0; }, 5000))
        << "the needle moves again";
    window.OnCommand(CSonaltDlg::IDC_STOP);
    EXPECT_TRUE(WaitFor([&] { return !window.IsRunning(); }, 5000));
}

int main(int argc, char** argv)
{
    // Test discovery runs this program without the test's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
