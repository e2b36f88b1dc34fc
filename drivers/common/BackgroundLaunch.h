#pragma once

// Starting a helper program (a control panel, an editor) from inside a driver plug-in.

#include <string>
#include <vector>

namespace kerrion::driver {

// Starts `words` (a program, found along $PATH, and its arguments) in the background, detached
// from the host: it is started through a shell that returns at once, so no child is left
// unreaped, and its output goes nowhere. It then waits up to `settleMs` for the program to fail:
// false when the shell could not be started, the program was not found, or it ended within that
// time with a non-zero status (xdg-open with no handler for the file). A program still running
// then, or one that ended with status 0, counts as started. Host (UI) thread; blocks at most
// `settleMs`.
bool LaunchInBackground(std::vector<std::string> words, int settleMs);

} // namespace kerrion::driver
