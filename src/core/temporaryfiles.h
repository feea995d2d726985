#pragma once

#include <QString>

namespace pagorra {

// Temporary files that a killed process leaves behind (a page half written, a settings
// file not yet renamed into place) carry the process id in their names, so that a later
// run can tell an orphan from the file of a run still going on beside it.

// "<pid>-<8 hex digits>": unique per call, for building temporary names.
QString temporaryTag();

// Removes the regular files of `folder` owned by this user whose names start with `prefix`,
// end with `suffix` and carry a temporary tag in between (after any further text) whose
// process is gone. Returns how many were removed; a folder that cannot be read removes none.
int removeOrphanedTemporaries(const QString &folder, const QString &prefix, const QString &suffix);

} // namespace pagorra
