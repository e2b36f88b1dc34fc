// Runs the real program under an X server: eight meters on the signal generator at 64-frame
// blocks, started with a click on the start button, checked on screenshots, stopped, closed.
#include "ScreenTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

using namespace kerrion::test;

namespace {

// User plus system CPU time of a process, in seconds.
double CpuSeconds(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stol(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

TEST(KerrionSmoke, MetersTheSignalGeneratorOnScreen)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    TempDir dir;
    QProcess kerrion;
    StartKerrion(kerrion, dir, "[Meter]\r\nNum=8\r\n[Device]\r\nType=2\r\nID=0\r\n");
    ASSERT_TRUE(kerrion.waitForStarted(5000));

    // The dark background covers the screen once the window is up.
    ASSERT_TRUE(
        WaitUntil([] { return GrabScreen().pixelColor(5, 1000) == QColor(35, 35, 35); }, 10000));
    QThread::msleep(500);
    const QImage idle = GrabScreen();

    ASSERT_TRUE(Xdotool({ "mousemove", "45", "42", "click", "1" })); // the start button
    QThread::msleep(1500);
    const double cpuBefore = CpuSeconds(kerrion.processId());
    QThread::msleep(5000);
    const double cpuShare = (CpuSeconds(kerrion.processId()) - cpuBefore) / 5.0;
    std::printf("kerrion metering 8 meters at 64-frame blocks, Refresh 1: %.1f%% of one core\n",
        cpuShare * 100.0);
    const QImage metering = GrabScreen();
    metering.save(KERRION_SCREENSHOT);

    // Meter 1 (input 1, a -20 dBFS sine) moved its needle from rest to 0 VU.
    const QRect firstMeter(67, 108, 408, 230);
    EXPECT_GT(ChangedPixels(idle, metering, firstMeter), 500);
    EXPECT_LT(cpuShare, 0.5);

    ASSERT_TRUE(Xdotool({ "mousemove", "45", "42", "click", "1" })); // the stop button
    QThread::msleep(1000);
    ASSERT_TRUE(Xdotool({ "key", "Escape" }));
    if (!kerrion.waitForFinished(5000)) {
        kerrion.kill();
        kerrion.waitForFinished(2000);
        FAIL() << "kerrion did not close on Esc after stop";
    }
    EXPECT_EQ(kerrion.exitCode(), 0);
    EXPECT_NE(ReadFileBytes(dir / "Kerrion.ini").find("cal_vu=-20.000000"), std::string::npos);
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
