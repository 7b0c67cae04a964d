#pragma once
// The organ with its console window: start-up in its fixed order, the
// window's life, and closing when the window closes or SIGINT/SIGTERM come.

#include "app/CommandLine.h"

namespace corvinta::ui {

// Whether a window can open here at all: Qt's platform is named, or an X11
// or Wayland display is. Without one the program says so and ends.
bool DisplayAvailable();

// Runs until the window closes; returns the exit code. SIGINT and SIGTERM
// must be blocked in every thread before it is called.
int RunConsoleWindow(const CCommandLineInfoEx& options, int argc, char** argv);

} // namespace corvinta::ui
