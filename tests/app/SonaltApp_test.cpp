#include "app/SonaltApp.h"

#include "app/IniProfile.h"
#include "dialogs/ImageButton.h"
#include "display/SonaltDlg.h"
#include "meter/SndIODeviceFactory.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <filesystem>

#include <sys/stat.h>

using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

namespace {

CSonaltApp* g_app = nullptr;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Starts the real program as a second instance that shares `runtime` with this process.
int RunSecondInstance(const std::filesystem::path& runtime, const std::filesystem::path& ini)
{
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.start(KERRION_PATH, { "--ini", QString::fromStdString(ini.string()) });
    if (!second.waitForFinished(10000))
        return -1;
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;
}

} // namespace

TEST(SonaltApp, ASecondInstanceBringsTheFirstForwardAndEndsWithoutSaving)
{
    TempDir dir;
    WriteFileBytes(dir / "Kerrion.ini", "[Meter]\r\nNum=4\r\n[PeakHold]\r\ntype=2\r\n");
    g_app->SetInstanceFolder(dir.Path());
    g_app->SetSettingsFile(dir / "Kerrion.ini");
    ASSERT_EQ(g_app->StartUp(), CSonaltApp::StartResult::kRun);
    EXPECT_EQ(g_app->Settings().PeakHold.type, 2);

    int secondStatus = -3;
    QPoint startCentre;
    bool restored = false;
    QTimer::singleShot(0, [&] {
        CSonaltDlg& window = *g_app->MainWindow();
        const CImageButton& start = window.ToolbarButton(CSonaltDlg::IDC_START);
        startCentre = start.mapToGlobal(start.rect().center());
        window.showMinimized();
        // The window's own start-up notice moves the cursor too: let it pass first.
        WaitFor([] { return false; }, 200);
        window.PumpMessages();
        QCursor::setPos(5, 5);
        secondStatus = RunSecondInstance(dir.Path(), dir / "second.ini");
        restored = WaitFor([&] { return QCursor::pos() == startCentre && !window.isMinimized(); });
        window.reject();
    });
    g_app->RunMainWindow();

    EXPECT_EQ(secondStatus, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "second.ini")); // the second never saves
    EXPECT_TRUE(restored);

    g_app->ExitInstance();
    const CIniProfile saved(ReadFileBytes(dir / "Kerrion.ini"));
    EXPECT_EQ(saved.GetInt("Meter", "Num", 0), 4);
    EXPECT_EQ(saved.GetString("Channel8", "cal_vu", ""), "-20.000000");
    EXPECT_EQ(saved.GetInt("PeakHold", "type", 0), 2);
}

TEST(SonaltApp, AFirstStartWithoutSoundCardMetersTheSignalGenerator)
{
    TempDir dir;
    g_app->SetSettingsFile(dir / "missing.ini");
    g_app->Settings() = CSettingsRecord();
    g_app->LoadSettings();
    const CSettingsRecord& settings = g_app->Settings();
    std::unique_ptr<CSndIODevice> plain = kerrion::CreateSndIODevice(0);
    if (plain && plain->Initialize() == 1 && plain->DeviceCount() > 0) {
        EXPECT_EQ(settings.Device.Type, 0); // a sound card is there: the settings stay
    } else {
        EXPECT_EQ(settings.Device.Type, 2);
        EXPECT_EQ(settings.Device.Name, "Kerrion Signal Generator");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini")); // loading writes nothing

    WriteFileBytes(dir / "present.ini", "[Meter]\r\nNum=4\r\n");
    g_app->SetSettingsFile(dir / "present.ini");
    g_app->Settings() = CSettingsRecord();
    g_app->LoadSettings();
    EXPECT_EQ(g_app->Settings().Device.Type, 0); // not a first start: nothing is chosen
}

// A change reaches the file while the window is still open, within 2 s; a file that could not be
// read at start (here a pipe in its place) is reported on screen and never written in that run.
TEST(SonaltApp, ChangesReachTheFileWithinTwoSecondsUnlessItCouldNotBeRead)
{
    TempDir dir;
    g_app->SetInstanceFolder(dir.Path());
    for (const bool readable : { true, false }) {
        const std::filesystem::path ini = dir / (readable ? "Kerrion.ini" : "pipe.ini");
        if (readable)
            WriteFileBytes(ini, "[Meter]\r\nNum=4\r\n; mine\r\n");
        else
            ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
        g_app->SetSettingsFile(ini);
        ASSERT_EQ(g_app->StartUp(), CSonaltApp::StartResult::kRun);
        QString report;
        bool savedInTime = false;
        QTimer::singleShot(0, [&] {
            CSonaltDlg& window = *g_app->MainWindow();
            report = window.EngineReport();
            window.OnCommand(CSonaltDlg::IDC_HOLD_NONE + 2); // four seconds
            savedInTime = WaitFor(
                [&] {
                    return readable
                        && CIniProfile(ReadFileBytes(ini)).GetInt("PeakHold", "type", 0) == 2;
                },
                2000);
            window.reject();
        });
        g_app->RunMainWindow();
        g_app->ExitInstance();
        EXPECT_EQ(savedInTime, readable);
        EXPECT_EQ(report.contains(QStringLiteral("設定ファイル")), !readable)
            << report.toStdString();
        if (readable)
            EXPECT_NE(ReadFileBytes(ini).find("; mine"), std::string::npos);
        else
            EXPECT_TRUE(std::filesystem::is_fifo(ini)); // not replaced by a file of defaults
    }
}

// A logout: the session manager asks to save, then closes the window while it meters. The close
// the user's own button would see refused goes through, metering stops, and the change is kept.
TEST(SonaltApp, ALogoutWhileMeteringSavesAndCloses)
{
    TempDir dir;
    WriteFileBytes(dir / "signal.ini", "[Signal]\nInputs=2\nBufferFrames=512\n");
    qputenv("KERRION_SIGNAL_CONFIG", QByteArray::fromStdString((dir / "signal.ini").string()));
    const std::filesystem::path ini = dir / "Kerrion.ini";
    WriteFileBytes(ini, "[Meter]\r\nNum=2\r\n[Device]\r\nType=2\r\nID=0\r\n");
    g_app->SetInstanceFolder(dir.Path());
    g_app->SetSettingsFile(ini);
    ASSERT_EQ(g_app->StartUp(), CSonaltApp::StartResult::kRun);
    bool metered = false;
    bool refused = true;
    QTimer::singleShot(0, [&] {
        CSonaltDlg& window = *g_app->MainWindow();
        window.OnCommand(CSonaltDlg::IDC_START);
        metered = WaitFor([&] { return window.IsRunning(); });
        g_app->Settings().Channel[0].cal_vu = -18.0; // as a dialog writes it
        g_app->PrepareForSessionEnd();
        EXPECT_EQ(
            CIniProfile(ReadFileBytes(ini)).GetString("Channel1", "cal_vu", ""), "-18.000000");
        QTimer::singleShot(1000, [] { // a refusal's message box would wait for a hand
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                box->reject();
        });
        window.reject(); // the session's close request
        refused = window.isVisible();
        if (refused)
            window.EndSession(); // the test must go on
    });
    g_app->RunMainWindow();
    g_app->ExitInstance();
    EXPECT_TRUE(metered);
    EXPECT_FALSE(refused) << "a logout's close is not refused while metering";
}

int main(int argc, char** argv)
{
    // Test discovery runs this program without the test's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CSonaltApp app(argc, argv);
    g_app = &app;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
