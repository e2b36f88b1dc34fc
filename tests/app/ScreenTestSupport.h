#pragma once

// Helpers for tests that run the real kerrion program on a real X server (Xvfb): starting it on
// the signal generator with its own settings, reading the screen and the X properties of its
// windows, and driving it with xdotool.

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

// Pixels that differ between two screenshots inside `area`.
inline int ChangedPixels(const QImage& a, const QImage& b, const QRect& area)
{
    int changed = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return changed;
}

// Pixels of `colour` inside `area`.
inline int PixelsOf(const QImage& image, const QRect& area, const QColor& colour)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (done())
            return true;
        QThread::msleep(100);
    }
    return done();
}

// The real program with its settings file, run-time folder and signal generator settings in
// `dir`, metering the generator. `ini` is the settings file's text.
inline void StartKerrion(QProcess& kerrion, const TempDir& dir, const std::string& ini,
    const std::string& signal = "[Signal]\nInputs=8\nBufferFrames=64\n")
{
    WriteFileBytes(dir / "Kerrion.ini", ini);
    WriteFileBytes(dir / "signal.ini", signal);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.Path().string()));
    environment.insert("KERRION_ASIO_REGISTRY", KERRION_REGISTRY);
    environment.insert(
        "KERRION_SIGNAL_CONFIG", QString::fromStdString((dir / "signal.ini").string()));
    kerrion.setProcessEnvironment(environment);
    kerrion.start(
        KERRION_PATH, { "--ini", QString::fromStdString((dir / "Kerrion.ini").string()) });
}

} // namespace kerrion::test
