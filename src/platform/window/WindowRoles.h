#pragma once

// Window roles that Qt's window flags do not carry to the desktop.
//
// A window that belongs to another one (a meter beside the small main window) must not get a
// task bar or pager entry of its own: the program is one entry, its main window. On X11 that is
// the EWMH state _NET_WM_STATE_SKIP_TASKBAR / _SKIP_PAGER, which every EWMH window manager and
// task bar reads; without a window manager the property is simply kept. Other platforms have no
// such notion for a client to set, and the calls do nothing there.
//
// User-interface thread only.

class QWidget;

namespace kerrion {

// Marks the top-level window `window` (its native window is created when needed) to be left out
// of the task bar and the pager. Before the window is mapped the state is written into its
// property, which Qt merges with its own states when it maps the window; a mapped window asks
// the window manager. True when the platform supports it.
bool KeepOutOfTaskbar(QWidget& window);

// Whether `window`'s native window carries both skip states (what a task bar would read).
bool IsKeptOutOfTaskbar(const QWidget& window);

} // namespace kerrion
