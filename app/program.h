// The program entry, as a function so that tests can run it.
#pragma once
#include "app/form1.h"

// Creates the main window and the naming dialog and runs the event loop.
// Returns the exit code: 0 after a normal close, 1 when the window could not
// be built (shown in the fatal-error box first).
int runPiko(FormServices services);
