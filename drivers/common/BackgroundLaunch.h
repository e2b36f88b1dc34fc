#pragma once

// Starting a helper program (a control panel, an editor) from inside a driver plug-in.

#include <string>
#include <vector>

namespace kerrion::driver {

// Starts `words` (a program, found along $PATH, and its arguments) in the background through a
// shell that returns at once: the host never waits for the program and no child is left
// unreaped. Its output goes nowhere. False when the shell itself could not be started.
bool LaunchInBackground(std::vector<std::string> words);

} // namespace kerrion::driver
