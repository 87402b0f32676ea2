// The program entry, as a function so that tests can run it.
#pragma once
#include "app/form1.h"

// The exit code of a start that found its pet already open in another process.
constexpr int kAlreadyOpenExitCode = 3;

// Takes the pet's lock, creates the main window and the naming dialog and runs
// the event loop. Returns the exit code: 0 after a normal close or a session
// end that saved the pet, 1 when the window could not be built (shown in the
// fatal-error box first) or a session end could not save, and
// kAlreadyOpenExitCode when another process has the pet open (that process is
// asked to show its window; a box says so when it could not be asked).
int runPiko(FormServices services);
