#pragma once

#include <QString>

namespace pagorra {

// The help document "help.html" in the program's folder, or an empty text when it is missing.
QString helpDocumentPath(const QString &programFolder);
// Opens the help document with the desktop's viewer. A missing document or viewer does nothing
// visible.
void openHelpDocument(const QString &programFolder);

} // namespace pagorra
