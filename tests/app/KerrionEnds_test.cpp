// The real program ends in every way a day ends, each time on an X server of its own: a
// shutdown's SIGTERM while metering, a closed terminal's SIGHUP with the configuration dialog
// open, Ctrl+C, the X server going away, and SIGKILL a few seconds after the change. Each time
// the meter count just changed in the configuration dialog is in Kerrion.ini afterwards. A
// settings file that could not be read at start is left byte for byte.
#include "ScreenTestSupport.h"
#include "app/IniProfile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

using namespace kerrion::test;

namespace {

enum class End { kTerm, kHangUp, kInterrupt, kDisplayGone, kKillLater };

struct EndCase {
    const char* name;
    End end;
    bool metering;   // metering runs when the end comes
    bool dialogOpen; // the configuration dialog is still open then
};

// True when `program` runs and succeeds on the display; what it prints is dropped.
bool Silent(const QString& program)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {});
    return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// An X server for one program, so that it can be taken away under it.
class PrivateDisplay {
public:
    bool Start()
    {
        static int started = 0; // a number of its own each time: the last one may still be ending
        m_name = QString(":%1").arg(100 + (getpid() % 100) * 10 + started++);
        m_server.start("Xvfb", { m_name, "-screen", "0", "1920x1080x24", "-nolisten", "tcp" });
        if (!m_server.waitForStarted(5000))
            return false;
        qputenv("DISPLAY", m_name.toUtf8());
        return WaitUntil([] { return Silent("xdpyinfo"); }, 10000);
    }
    void Stop()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    ~PrivateDisplay() { Stop(); }

private:
    QString m_name;
    QProcess m_server;
};

// Waits for the program's end; false (and the program killed) when it did not end in time.
bool Ended(QProcess& kerrion, int timeoutMs)
{
    if (kerrion.waitForFinished(timeoutMs))
        return true;
    kerrion.kill();
    kerrion.waitForFinished(2000);
    return false;
}

int MeterCountIn(const TempDir& dir)
{
    return CIniProfile(ReadFileBytes(dir / "Kerrion.ini")).GetInt("Meter", "Num", 0);
}

class KerrionEnds : public ::testing::TestWithParam<EndCase> { };

TEST_P(KerrionEnds, TheChangeJustMadeIsSaved)
{
    const EndCase& c = GetParam();
    PrivateDisplay display;
    ASSERT_TRUE(display.Start()) << "Xvfb and xdpyinfo are needed";
    TempDir dir;
    QProcess kerrion;
    StartKerrion(kerrion, dir, "[Meter]\r\nNum=4\r\n[Device]\r\nType=2\r\nID=0\r\n");
    ASSERT_TRUE(kerrion.waitForStarted(5000));
    ASSERT_TRUE(WaitUntil([&] { return !ProgramWindows(kerrion).isEmpty(); }, 10000));
    QThread::msleep(800);

    const QString dialog = OpenSettingsDialog(kerrion);
    ASSERT_FALSE(dialog.isEmpty());
    QThread::msleep(300);
    ASSERT_TRUE(Click(WindowGeometry(dialog).topLeft() + kMeterCountCombo));
    QThread::msleep(300);
    ASSERT_TRUE(Xdotool({ "key", "Down", "Return" })); // eight meters
    if (!c.dialogOpen) {
        QThread::msleep(300);
        ASSERT_TRUE(Xdotool({ "key", "Escape" })); // the dialog has the focus
    }
    if (c.metering) {
        QThread::msleep(300);
        ASSERT_TRUE(Click(kStartButton));
        QThread::msleep(1000);
    } else {
        QThread::msleep(200); // well before the program's own save after a change
    }

    const auto pid = static_cast<pid_t>(kerrion.processId());
    switch (c.end) {
    case End::kTerm:
        kill(pid, SIGTERM);
        break;
    case End::kHangUp:
        kill(pid, SIGHUP);
        break;
    case End::kInterrupt:
        kill(pid, SIGINT);
        break;
    case End::kDisplayGone:
        display.Stop();
        break;
    case End::kKillLater:
        QThread::msleep(3000);
        kill(pid, SIGKILL);
        break;
    }
    ASSERT_TRUE(Ended(kerrion, 10000)) << "the program did not end";
    if (c.end != End::kDisplayGone && c.end != End::kKillLater) {
        EXPECT_EQ(kerrion.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(kerrion.exitCode(), 0) << kerrion.readAllStandardError().toStdString();
    }
    EXPECT_EQ(MeterCountIn(dir), 8);
}

INSTANTIATE_TEST_SUITE_P(EveryEnd, KerrionEnds,
    ::testing::Values(EndCase { "TermWhileMetering", End::kTerm, true, false },
        EndCase { "HangUpWithTheDialogOpen", End::kHangUp, false, true },
        EndCase { "Interrupt", End::kInterrupt, false, false },
        EndCase { "DisplayGone", End::kDisplayGone, false, true },
        EndCase { "KillThreeSecondsLater", End::kKillLater, false, false }),
    [](const ::testing::TestParamInfo<EndCase>& param) { return std::string(param.param.name); });

// A file that is there but cannot be read at start (here: its permissions) is neither replaced by
// the defaults nor touched at all, and standard error says where it is and why.
TEST(KerrionSettingsFile, AFileThatCannotBeReadIsLeftAsItIs)
{
    TempDir dir;
    const std::filesystem::path run = dir / "run";
    std::filesystem::create_directory(run);
    const std::string text = "; my settings\r\n[Meter]\r\nNum=8\r\n[Channel1]\r\nname=Vocal\r\n";
    WriteFileBytes(dir / "Kerrion.ini", text);
    chmod((dir / "Kerrion.ini").c_str(), 0);
    chmod(dir.Path().c_str(), 0777); // the file could be replaced: only the program refrains
    const bool root = getuid() == 0;
    if (root) // root reads every file: the program runs as nobody
        chown(run.c_str(), 65534, 65534);
    QProcessEnvironment environment = KerrionEnvironment(dir);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(run.string()));
    environment.insert("HOME", QString::fromStdString(run.string()));
    QProcess kerrion;
    kerrion.setProcessEnvironment(environment);
    if (root)
        kerrion.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
        });
    kerrion.start(
        KERRION_PATH, { "--ini", QString::fromStdString((dir / "Kerrion.ini").string()) });
    ASSERT_TRUE(kerrion.waitForStarted(5000));
    QString error;
    WaitUntil(
        [&] {
            kerrion.waitForReadyRead(100);
            error += QString::fromUtf8(kerrion.readAllStandardError());
            return error.contains("cannot be read");
        },
        10000);
    // The cause goes away while the program runs (a home folder mounted late): the file could
    // now be read and replaced, but what the program holds are defaults, not the user's settings.
    chmod((dir / "Kerrion.ini").c_str(), 0644);
    kill(static_cast<pid_t>(kerrion.processId()), SIGTERM);
    ASSERT_TRUE(Ended(kerrion, 10000));
    error += QString::fromUtf8(kerrion.readAllStandardError());

    EXPECT_TRUE(error.contains(QString::fromStdString((dir / "Kerrion.ini").string())))
        << error.toStdString();
    EXPECT_TRUE(error.contains("nothing is saved")) << error.toStdString();
    EXPECT_EQ(ReadFileBytes(dir / "Kerrion.ini"), text);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
