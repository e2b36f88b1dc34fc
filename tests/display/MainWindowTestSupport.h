#pragma once

// Helpers for tests of the main window: a settings record for a given meter count, a signal
// generator configuration, and waiting on the event loop.

#include "app/IniProfile.h"
#include "app/SettingsRecord.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>

#include <functional>
#include <string>

namespace kerrion::test {

inline CSettingsRecord MeterSettings(int count, const std::string& extra = {})
{
    CSettingsRecord settings;
    settings.Load(CIniProfile("[Meter]\nNum=" + std::to_string(count) + "\n" + extra));
    return settings;
}

// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace kerrion::test
