#pragma once

#include <QString>

namespace pagorra {

// The desktop program from start to end: refuses a second copy, shows the main window, runs
// the event loop. Needs a QApplication; returns the process's exit code (1 when refused).
int runDesktopProgram();

// The text shown, and printed on stderr, when another copy already runs.
QString secondInstanceMessage();

} // namespace pagorra
