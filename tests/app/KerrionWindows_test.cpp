// The real program's windows on a real X server, with no window manager or under openbox
// (`--wm openbox`): the meters are seen at their places (in a window in the full-screen state)
// through start and a second start, a dialog stays above meters that appear behind it, the
// program is one task bar entry, a 4K screen shows whole faces, and a meter on a channel the
// device lacks rests while metering.
#include "FaceOnScreen.h"
#include "ScreenTestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>

#include <cstring>

using namespace kerrion::test;

namespace {

bool g_windowManager = false; // openbox runs

class KerrionWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        m_screen = QGuiApplication::primaryScreen()->geometry().size();
    }

    void TearDown() override
    {
        if (m_kerrion.state() == QProcess::NotRunning)
            return;
        Xdotool({ "key", "Escape" }); // a dialog, then the window
        Xdotool({ "key", "Escape" });
        if (!m_kerrion.waitForFinished(3000)) {
            m_kerrion.kill();
            m_kerrion.waitForFinished(2000);
        }
    }

    // Starts the program and waits until its window is up and meter 1 is seen (or not).
    bool Start(int count, const std::string& extra = {})
    {
        StartKerrion(m_kerrion, m_dir,
            "[Meter]\r\nNum=" + std::to_string(count) + "\r\n[Device]\r\nType=2\r\nID=0\r\n"
                + extra);
        if (!m_kerrion.waitForStarted(5000))
            return false;
        const QRect first = Meter(count, 0);
        return WaitUntil([&] { return static_cast<bool>(FaceShown(GrabScreen(), first)); }, 10000);
    }

    QRect Meter(int count, int i) const
    {
        return count == 1 ? QRect(0, 0, 1360, 768)
                          : MeterRect(m_screen.width(), m_screen.height(), count, i);
    }

    TempDir m_dir;
    QProcess m_kerrion;
    QSize m_screen;
};

TEST_F(KerrionWindows, MetersStayInFrontThroughStartAndASecondStart)
{
    // Meter 4 reads channel 20 of an eight-input device.
    EXPECT_TRUE(Start(4, "[Channel4]\r\ndevice_ch=19\r\n"));
    // One window, which asks for the full-screen state as well as covering the monitor.
    const QStringList windows = ProgramWindows(m_kerrion);
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(WindowProperty(windows[0], "_NET_WM_STATE").contains("_NET_WM_STATE_FULLSCREEN"));
    const QImage idle = GrabScreen();
    ASSERT_TRUE(Click(kStartButton));
    QThread::msleep(1500);
    const QImage metering = GrabScreen();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(FaceShown(metering, Meter(4, i))) << "meter " << i + 1 << " after start";
    EXPECT_GT(ChangedPixels(idle, metering, Meter(4, 0)), 500) << "the sine moves meter 1";
    EXPECT_EQ(ChangedPixels(idle, metering, Meter(4, 3)), 0) << "meter 4 rests";

    Xdotool({ "mousemove", "900", "1000" });
    QProcess second;
    StartKerrion(second, m_dir, "[Meter]\r\nNum=4\r\n");
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitUntil(
        [] { return CommandOutput("xdotool", { "getmouselocation" }).startsWith("x:44 y:41 "); },
        5000))
        << "the mouse is on the start button";
    QThread::msleep(500);
    const QImage afterSecond = GrabScreen();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(FaceShown(afterSecond, Meter(4, i)))
            << "meter " << i + 1 << " after a second start";
    EXPECT_EQ(afterSecond.pixelColor(5, m_screen.height() - 5), kWindowBg);

    ASSERT_TRUE(Click(kStartButton)); // stop
    QThread::msleep(500);
}

TEST_F(KerrionWindows, ADialogStaysAboveMetersThatAppearBehindIt)
{
    ASSERT_TRUE(Start(4));
    const QString dialog = OpenSettingsDialog(m_kerrion);
    ASSERT_FALSE(dialog.isEmpty());
    QThread::msleep(500);
    const QRect area = WindowGeometry(dialog);
    SCOPED_TRACE(WindowProperty(dialog, "WM_NAME").toStdString());
    ASSERT_TRUE(Click(area.topLeft() + kMeterCountCombo));
    QThread::msleep(300);
    ASSERT_TRUE(Xdotool({ "key", "Down", "Return" })); // eight meters
    ASSERT_TRUE(
        WaitUntil([&] { return static_cast<bool>(FaceShown(GrabScreen(), Meter(8, 7))); }, 5000));
    const QImage screen = GrabScreen();
    EXPECT_TRUE(area.intersects(Meter(8, 5))) << "the test needs a meter behind the dialog";
    EXPECT_EQ(PixelsOf(screen, area, kFaceBg), 0) << "no meter covers the dialog";

    // Owned by the main window, and nothing to maximise.
    EXPECT_TRUE(WindowProperty(dialog, "WM_TRANSIENT_FOR").contains("window id"));
    if (g_windowManager) {
        const QString actions = WindowProperty(dialog, "_NET_WM_ALLOWED_ACTIONS");
        EXPECT_TRUE(actions.contains("_NET_WM_ACTION_CLOSE")) << actions.toStdString();
        EXPECT_FALSE(actions.contains("MAXIMIZE")) << actions.toStdString();
    } else {
        const QStringList hints
            = WindowProperty(dialog, "_MOTIF_WM_HINTS").section('=', 1).split(',');
        ASSERT_GE(hints.size(), 2);
        const uint functions = hints[1].trimmed().toUInt(nullptr, 16);
        EXPECT_EQ(functions & 0x11u, 0u) << "neither all functions nor maximise";
    }
}

// One meter: the program's two windows are one task bar entry.
TEST_F(KerrionWindows, OneTaskbarEntry)
{
    ASSERT_TRUE(Start(1));
    QStringList windows = ProgramWindows(m_kerrion);
    if (g_windowManager)
        windows = RootWindowList("_NET_CLIENT_LIST");
    EXPECT_EQ(windows.size(), 2);
    int entries = 0;
    for (const QString& window : windows)
        entries += WindowProperty(window, "_NET_WM_STATE").contains("_NET_WM_STATE_SKIP_TASKBAR")
            ? 0
            : 1;
    EXPECT_EQ(entries, 1);
}

TEST_F(KerrionWindows, WholeFacesOn4kScreen)
{
    if (m_screen != QSize(3840, 2160))
        GTEST_SKIP() << "needs a 3840 x 2160 screen";
    ASSERT_TRUE(Start(4));
    ASSERT_TRUE(Click(kStartButton));
    QThread::msleep(1000);
    const QImage screen = GrabScreen();
    EXPECT_EQ(Meter(4, 0).width(), 1632);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(FaceShown(screen, Meter(4, i))) << "meter " << i + 1;
    ASSERT_TRUE(Click(kStartButton)); // stop
    QThread::msleep(500);
}

// Starts openbox on the test's display and waits until it manages the screen.
bool StartWindowManager(QProcess& wm)
{
    wm.start("openbox", {});
    if (!wm.waitForStarted(5000))
        return false;
    return WaitUntil(
        [] {
            return CommandOutput("xprop", { "-root", "_NET_SUPPORTING_WM_CHECK" })
                .contains("window id");
        },
        10000);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QProcess wm;
    for (int i = 1; i < argc; ++i)
        g_windowManager = g_windowManager || std::strcmp(argv[i], "--wm=openbox") == 0;
    if (g_windowManager && QGuiApplication::platformName() == "xcb" && !StartWindowManager(wm)) {
        std::fprintf(stderr, "openbox could not be started\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    wm.terminate();
    wm.waitForFinished(3000);
    return result;
}
