#pragma once

#include <QString>
#include <QStringList>

namespace pagorra {

// The desktop program from start to end: refuses a second copy, shows the main window, puts
// `paths` (absolute paths of files and folders, as a file manager hands them over) into the
// basket as a drop would, runs the event loop. Needs a QApplication; returns the process's
// exit code (1 when refused).
int runDesktopProgram(const QStringList &paths = {});

// The text shown, and printed on stderr, when another copy already runs.
QString secondInstanceMessage();

} // namespace pagorra
