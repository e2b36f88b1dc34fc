#pragma once

// Helpers for tests that run the real kerrion program on a real X server (Xvfb): starting it on
// the signal generator with its own settings, reading the screen and the X properties of its
// windows, and driving it with xdotool.

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

#include <functional>
#include <string>

namespace kerrion::test {

const QPoint kStartButton(44, 41);      // the centre of the start button
const QPoint kSettingsButton(109, 41);  // the centre of the settings button
const QPoint kMeterCountCombo(149, 25); // in the configuration dialog

inline QImage GrabScreen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

inline bool Xdotool(const QStringList& args) { return QProcess::execute("xdotool", args) == 0; }

// What a command prints on standard output (empty when it cannot run).
inline QString CommandOutput(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(5000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The window ids (hexadecimal, as xprop prints them) in a window property of the root window.
inline QStringList RootWindowList(const QString& property)
{
    const QString text = CommandOutput("xprop", { "-root", property });
    QStringList ids;
    static const QRegularExpression id("0x[0-9a-fA-F]+");
    for (const QRegularExpressionMatch& match : id.globalMatch(text.section('#', 1)))
        ids << match.captured();
    return ids;
}

inline QString WindowProperty(const QString& window, const QString& property)
{
    return CommandOutput("xprop", { "-id", window, property }).trimmed();
}

inline QStringList ProgramWindows(const QProcess& kerrion)
{
    return CommandOutput(
        "xdotool", { "search", "--onlyvisible", "--pid", QString::number(kerrion.processId()) })
        .split('\n', Qt::SkipEmptyParts);
}

// Where a window's own area is on the screen (inside any frame a window manager gave it).
inline QRect WindowGeometry(const QString& window)
{
    const QString info = CommandOutput("xwininfo", { "-id", window });
    const auto field = [&info](const char* name) {
        const QRegularExpression line(QString("%1:\\s+(-?\\d+)").arg(name));
        return line.match(info).captured(1).toInt();
    };
    return { field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
        field("Height") };
}

inline bool Click(const QPoint& p)
{
    return Xdotool({ "mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1" });
}

// Clicks the settings button and returns the configuration dialog's window once it is shown
// (empty when none came).
inline QString OpenSettingsDialog(const QProcess& kerrion)
{
    const QStringList before = ProgramWindows(kerrion);
    if (!Click(kSettingsButton))
        return {};
    QString dialog;
    WaitUntil(
        [&] {
            for (const QString& window : ProgramWindows(kerrion))
                if (!before.contains(window))
                    dialog = window;
            return !dialog.isEmpty();
        },
        5000);
    return dialog;
}

// Pixels that differ between two screenshots inside `area`.
inline int ChangedPixels(const QImage& a, const QImage& b, const QRect& area)
{
    int changed = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return changed;
}

// The environment of the real program with its run-time folder and signal generator settings in
// `dir`.
inline QProcessEnvironment KerrionEnvironment(const TempDir& dir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.Path().string()));
    environment.insert("KERRION_ASIO_REGISTRY", KERRION_REGISTRY);
    environment.insert(
        "KERRION_SIGNAL_CONFIG", QString::fromStdString((dir / "signal.ini").string()));
    return environment;
}

// The real program with its settings file, run-time folder and signal generator settings in
// `dir`, metering the generator. `ini` is the settings file's text.
inline void StartKerrion(QProcess& kerrion, const TempDir& dir, const std::string& ini,
    const std::string& signal = "[Signal]\nInputs=8\nBufferFrames=64\n")
{
    WriteFileBytes(dir / "Kerrion.ini", ini);
    WriteFileBytes(dir / "signal.ini", signal);
    kerrion.setProcessEnvironment(KerrionEnvironment(dir));
    kerrion.start(
        KERRION_PATH, { "--ini", QString::fromStdString((dir / "Kerrion.ini").string()) });
}

} // namespace kerrion::test
