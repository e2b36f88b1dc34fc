// The real program on a real Wayland compositor: sway, headless, as an ordinary user (sway
// refuses root; when the test runs as root, sway and Kerrion both run as nobody), with Kerrion
// on Qt's wayland platform and on the compositor's XWayland. The window's place and state are
// read from sway's tree (swaymsg), the screen with grim; keys come from a virtual keyboard
// (wtype). The headless seat has no pointer, so the tool bar is driven with the keyboard (Tab,
// space) rather than clicks.
#include "FaceOnScreen.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>

using namespace kerrion::test;

namespace {

constexpr uid_t kNobody = 65534;

// Children run as nobody when the test runs as root; otherwise as the test's own user.
void RunAsOrdinaryUser(QProcess& process)
{
    if (getuid() != 0)
        return;
    process.setChildProcessModifier([] {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(99);
    });
}

// A headless sway with one output of `size`, and XWayland when asked, in a folder of its own.
class Sway {
public:
    Sway(QSize size, bool xwayland)
    {
        std::filesystem::create_directory(m_dir / "run");
        chmod((m_dir / "run").c_str(), 0700);
        WriteFileBytes(m_dir / "config",
            "output HEADLESS-1 resolution " + std::to_string(size.width()) + "x"
                + std::to_string(size.height()) + "\n"
                + (xwayland ? "xwayland force\nexec echo $DISPLAY >" + (m_dir / "display").string()
                            : std::string("xwayland disable"))
                + "\n");
        if (getuid() == 0)
            for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path()))
                chown(entry.path().c_str(), kNobody, kNobody);
        chown(m_dir.Path().c_str(), kNobody, kNobody);
        QProcessEnvironment environment;
        environment.insert("HOME", Path(""));
        environment.insert("XDG_RUNTIME_DIR", Path("run"));
        environment.insert("WLR_BACKENDS", "headless");
        environment.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        environment.insert("WLR_RENDERER", "pixman");
        environment.insert("PATH", qEnvironmentVariable("PATH"));
        m_sway.setProcessEnvironment(environment);
        m_sway.setStandardErrorFile(Path("sway.log"));
        RunAsOrdinaryUser(m_sway);
        m_sway.start("sway", { "-c", Path("config") });
        m_ready = m_sway.waitForStarted(5000)
            && WaitUntil(
                [&] {
                    return !Socket().isEmpty()
                        && std::filesystem::exists(m_dir / "run" / "wayland-1")
                        && (!xwayland || !XDisplay().isEmpty());
                },
                10000);
    }

    ~Sway() { Stop(); }

    bool Ready() const { return m_ready; }
    QString WaylandDisplay() const { return Path("run/wayland-1"); }
    QString XDisplay() const
    {
        return QString::fromStdString(ReadFileBytes(m_dir / "display")).trimmed();
    }

    // The compositor goes away, as at the end of a session.
    void Stop()
    {
        m_sway.terminate();
        if (!m_sway.waitForFinished(5000))
            m_sway.kill();
        m_sway.waitForFinished(2000);
    }

    // Gives `window` the keyboard, as a click on it would.
    bool Focus(const QJsonObject& window) const
    {
        const QString id = QString::number(window.value("id").toInteger());
        return !Run("swaymsg", { "-s", Socket(), "[con_id=" + id + "]", "focus" }).isNull();
    }

    // The tree's windows (sway's containers with a name), tiled or floating.
    QJsonArray Windows() const
    {
        QJsonArray windows;
        Collect(QJsonDocument::fromJson(Run("swaymsg", { "-s", Socket(), "-r", "-t", "get_tree" }))
                    .object(),
            windows);
        return windows;
    }

    QImage Screenshot() const
    {
        const QString file = Path("shot.png");
        Run("grim", { file }, true);
        QImage image(file);
        return image.convertToFormat(QImage::Format_RGB32);
    }

    // Keys by name (F1, Escape, Tab, space), through a virtual keyboard: it is announced first
    // and the keys follow once the program has taken it up.
    bool Keys(const QStringList& keys) const
    {
        QStringList args { "-s", "700" };
        for (const QString& key : keys)
            args << "-k" << key << "-s"
                 << "200";
        return Run("wtype", args, true).isNull() == false;
    }

private:
    QString Path(const char* name) const { return QString::fromStdString((m_dir / name).string()); }

    QString Socket() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(m_dir / "run"))
            if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0)
                return QString::fromStdString(entry.path().string());
        return {};
    }

    QByteArray Run(const QString& program, const QStringList& args, bool wayland = false) const
    {
        QProcess process;
        if (wayland) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("WAYLAND_DISPLAY", WaylandDisplay());
            process.setProcessEnvironment(environment);
        }
        process.start(program, args);
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            return {};
        const QByteArray out = process.readAllStandardOutput();
        return out.isNull() ? QByteArray("") : out;
    }

    static void Collect(const QJsonObject& node, QJsonArray& windows)
    {
        if (!node.value("name").toString().isEmpty()
            && node.value("type").toString().endsWith("con"))
            windows.append(node);
        for (const char* key : { "nodes", "floating_nodes" })
            for (const QJsonValue& child : node.value(key).toArray())
                Collect(child.toObject(), windows);
    }

    TempDir m_dir;
    QProcess m_sway;
    bool m_ready = false;
};

QRect RectOf(const QJsonObject& window)
{
    const QJsonObject r = window.value("rect").toObject();
    return { r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
        r.value("height").toInt() };
}

// The real program on `sway`, on Qt's wayland platform or (xwayland) on its X server, with its
// own settings and the signal generator.
class Kerrion {
public:
    Kerrion(const Sway& sway, bool xwayland, int meters)
    {
        std::filesystem::create_directory(m_dir / "run");
        chmod((m_dir / "run").c_str(), 0700);
        WriteFileBytes(m_dir / "Kerrion.ini",
            "[Meter]\r\nNum=" + std::to_string(meters) + "\r\n[Device]\r\nType=2\r\nID=0\r\n");
        WriteFileBytes(m_dir / "signal.ini", "[Signal]\nInputs=8\nBufferFrames=64\n");
        if (getuid() == 0)
            for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path()))
                chown(entry.path().c_str(), kNobody, kNobody);
        chown(m_dir.Path().c_str(), kNobody, kNobody);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString(m_dir.Path().string()));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString((m_dir / "run").string()));
        environment.insert("KERRION_ASIO_REGISTRY", KERRION_REGISTRY);
        environment.insert(
            "KERRION_SIGNAL_CONFIG", QString::fromStdString((m_dir / "signal.ini").string()));
        environment.insert("QT_QPA_PLATFORM", xwayland ? "xcb" : "wayland");
        environment.remove(xwayland ? "WAYLAND_DISPLAY" : "DISPLAY");
        if (xwayland)
            environment.insert("DISPLAY", sway.XDisplay());
        else
            environment.insert("WAYLAND_DISPLAY", sway.WaylandDisplay());
        m_process.setProcessEnvironment(environment);
        RunAsOrdinaryUser(m_process);
        m_process.start(
            KERRION_PATH, { "--ini", QString::fromStdString((m_dir / "Kerrion.ini").string()) });
    }

    ~Kerrion()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    QProcess& Process() { return m_process; }
    std::string Settings() const { return ReadFileBytes(m_dir / "Kerrion.ini"); }
    std::string Errors() { return m_process.readAllStandardError().toStdString(); }

    // The program started a second time, as the user would; its exit status.
    int StartAgain()
    {
        QProcess second;
        second.setProcessEnvironment(m_process.processEnvironment());
        RunAsOrdinaryUser(second);
        second.start(m_process.program(), m_process.arguments());
        return second.waitForFinished(10000) ? second.exitCode() : -1;
    }

private:
    TempDir m_dir;
    QProcess m_process;
};

// The program's window once sway shows it (with `states` of its own), else an empty object.
QJsonObject WaitForWindow(const Sway& sway, const std::function<bool(const QJsonObject&)>& shown)
{
    QJsonObject found;
    WaitUntil(
        [&] {
            for (const QJsonValue& window : sway.Windows())
                if (window.toObject().value("name").toString() == "Kerrion"
                    && shown(window.toObject()))
                    found = window.toObject();
            return !found.isEmpty();
        },
        10000);
    return found;
}

bool FullScreen(const QJsonObject& window) { return window.value("fullscreen_mode").toInt() == 1; }

struct Output {
    const char* name;
    QSize size;
    bool xwayland;
};

class KerrionWayland : public ::testing::TestWithParam<Output> {
protected:
    void SetUp() override
    {
        for (const char* tool : { "sway", "swaymsg", "grim", "wtype" })
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                if (qEnvironmentVariable("CI") == "true")
                    FAIL() << tool << " is not installed";
                GTEST_SKIP() << tool << " is not installed";
            }
    }
};

// Two or more meters: a real full-screen window over the whole output, every face whole; keys
// reach the program (F1 hides meter 1; Esc closes it, saving).
TEST_P(KerrionWayland, EveryFaceIsWholeOnTheFullScreenWindow)
{
    const Output& output = GetParam();
    Sway sway(output.size, output.xwayland);
    ASSERT_TRUE(sway.Ready());
    for (const int meters : { 4, 8 }) {
        SCOPED_TRACE(std::to_string(meters) + " meters");
        Kerrion kerrion(sway, output.xwayland, meters);
        const QJsonObject window = WaitForWindow(sway, FullScreen);
        ASSERT_FALSE(window.isEmpty()) << kerrion.Errors();
        EXPECT_EQ(RectOf(window), QRect(QPoint(0, 0), output.size));
        EXPECT_EQ(window.value("shell").toString(), output.xwayland ? "xwayland" : "xdg_shell");
        const auto facesShown = [&](int from) {
            const QImage screen = sway.Screenshot();
            for (int i = from; i < meters; ++i)
                if (!FaceShown(
                        screen, MeterRect(output.size.width(), output.size.height(), meters, i)))
                    return false;
            return true;
        };
        ASSERT_TRUE(WaitUntil([&] { return facesShown(0); }, 5000));
        const QImage screen = sway.Screenshot();
        for (int i = 0; i < meters; ++i)
            EXPECT_TRUE(
                FaceShown(screen, MeterRect(output.size.width(), output.size.height(), meters, i)))
                << "meter " << i + 1;

        // Metering starts from the keyboard (the start button has it, then the stop button):
        // the needle leaves its rest. Stopped again, Esc closes the window below.
        const QRect first = MeterRect(output.size.width(), output.size.height(), meters, 0);
        const QImage resting = sway.Screenshot().copy(first);
        ASSERT_TRUE(sway.Keys({ "space" }));
        EXPECT_TRUE(WaitUntil([&] { return sway.Screenshot().copy(first) != resting; }, 3000))
            << "the needle moves";
        ASSERT_TRUE(sway.Keys({ "space" }));

        ASSERT_TRUE(sway.Keys({ "F1" }));
        EXPECT_TRUE(
            WaitUntil([&] { return !FaceShown(sway.Screenshot(), first) && facesShown(1); }, 3000))
            << "F1 hides meter 1 alone";
        ASSERT_TRUE(sway.Keys({ "Escape" }));
        ASSERT_TRUE(kerrion.Process().waitForFinished(5000)) << "Esc closes the window";
        EXPECT_EQ(kerrion.Process().exitCode(), 0) << kerrion.Errors();
        EXPECT_NE(kerrion.Settings().find("[Visible]"), std::string::npos) << "saved as it ends";
        EXPECT_EQ(kerrion.Errors().find("cursor position"), std::string::npos);
    }
}

// A second start leaves the first running, full screen, with nothing printed. The settings
// dialog opens from the keyboard above the full-screen window, a window of its own that sway
// keeps over it; a meter count changed in it (4 to 8) lays the meters out again behind it, and
// it stays above them. (Sway keeps the keyboard on a full-screen window when a dialog of
// it opens: the test gives the dialog the keyboard as the user's click does.) A change made just
// before the compositor goes away is saved. One meter, where the window cannot place itself, is
// whole under the tool bar in the program's only window.
TEST(KerrionWaylandWindows, ASecondStartHandsOverTheDialogStaysAboveAndOneMeterShowsWhole)
{
    const QSize size(1920, 1080);
    Sway sway(size, false);
    ASSERT_TRUE(sway.Ready());
    Kerrion kerrion(sway, false, 4);
    ASSERT_FALSE(WaitForWindow(sway, FullScreen).isEmpty()) << kerrion.Errors();
    // A second start hands over to this one and ends; nothing tries to move the pointer.
    EXPECT_EQ(kerrion.StartAgain(), 0);
    EXPECT_FALSE(kerrion.Process().waitForFinished(500)) << "the first goes on";
    EXPECT_FALSE(WaitForWindow(sway, FullScreen).isEmpty());
    EXPECT_EQ(kerrion.Errors().find("cursor"), std::string::npos);
    ASSERT_TRUE(sway.Keys({ "Tab", "space" })); // the settings button, after the start button
    QJsonObject found;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const QJsonValue& window : sway.Windows())
                if (window.toObject().value("name").toString().startsWith("Kerrion ")
                    && window.toObject().value("type").toString() == "floating_con")
                    found = window.toObject();
            return !found.isEmpty();
        },
        5000));
    ASSERT_TRUE(sway.Focus(found));
    ASSERT_TRUE(sway.Keys({ "Down" })); // the meter count: eight
    ASSERT_TRUE(
        WaitUntil([&] { return FaceShown(sway.Screenshot(), MeterRect(1920, 1080, 8, 7)); }, 5000));
    const QRect area = RectOf(found);
    EXPECT_TRUE(area.intersects(MeterRect(1920, 1080, 8, 5))) << "a meter is behind the dialog";
    EXPECT_EQ(PixelsOf(sway.Screenshot(), area, kFaceBg), 0) << "no meter covers the dialog";
    // The compositor goes away at once after a change, before the save that follows changes:
    // the change is saved as the program ends.
    ASSERT_TRUE(WaitUntil([&] { return kerrion.Settings().find("Num=8") != std::string::npos; },
        5000));
    ASSERT_TRUE(sway.Focus(found));
    ASSERT_TRUE(sway.Keys({ "Up" })); // back to four
    sway.Stop();
    ASSERT_TRUE(kerrion.Process().waitForFinished(5000));
    EXPECT_NE(kerrion.Settings().find("Num=4"), std::string::npos) << kerrion.Errors();

    Sway next(size, false);
    ASSERT_TRUE(next.Ready());
    Kerrion single(next, false, 1);
    ASSERT_FALSE(WaitForWindow(next, [](const QJsonObject& shown) { return !FullScreen(shown); })
                     .isEmpty())
        << single.Errors();
    // Where the window's content is once sway has placed and decorated it.
    QPoint content;
    const auto faceShown = [&]() -> bool {
        const QJsonArray windows = next.Windows();
        if (windows.size() != 1)
            return false;
        const QJsonObject inner = windows[0].toObject().value("window_rect").toObject();
        content = RectOf(windows[0].toObject()).topLeft()
            + QPoint(inner.value("x").toInt(), inner.value("y").toInt());
        return FaceShown(next.Screenshot(), QRect(content + QPoint(0, 84), QSize(1360, 768)));
    };
    EXPECT_TRUE(WaitUntil(faceShown, 5000)) << "one window, the meter whole under the tool bar";
    const QRect startButton(content + QPoint(15, 15), QSize(60, 54));
    EXPECT_LT(PixelsOf(next.Screenshot(), startButton, kWindowBg), 60 * 54 / 2)
        << "the start button shows";
}

INSTANTIATE_TEST_SUITE_P(Sway, KerrionWayland,
    ::testing::Values(Output { "Wayland1080", { 1920, 1080 }, false },
        Output { "Wayland4k", { 3840, 2160 }, false },
        Output { "XWayland1080", { 1920, 1080 }, true },
        Output { "XWayland4k", { 3840, 2160 }, true }),
    [](const ::testing::TestParamInfo<Output>& each) { return std::string(each.param.name); });

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
