#pragma once

#include <QString>

namespace pagorra {

// The shared-data folder of an installed tree: "<prefix>/share" for a program in "<prefix>/bin",
// found from the program's folder so that a relocated install works too.
QString installedShareFolder(const QString &programFolder);
// The help document "help.html": next to the program (the build tree), else in "share/pagorra" of the
// installed tree; an empty text when it is in neither.
QString helpDocumentPath(const QString &programFolder);
// Opens the help document with the desktop's viewer. A missing document or viewer does nothing
// visible.
void openHelpDocument(const QString &programFolder);

} // namespace pagorra
