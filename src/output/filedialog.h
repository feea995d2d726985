#pragma once

#include <QString>
#include <cstdint>

namespace pagorra {

// The save-as request record shared by "Save all pages" and "Save as multipage". Callers set
// the title, file name, filter list and flags; the dialog writes back the file name and the
// filter index, so the index confirmed in one dialog is the one the other opens on.
struct FileDialog {
    QString filterList;           // entries and patterns separated by vertical bars
    std::int32_t filterIndex = 0; // 1-based; 0 = first entry; kept from the last confirmed use
    QString fileName;
    QString initialDir;
    QString dialogTitle;
    std::int32_t flags = 0;
};

// Flags both save-as callers use: read-only box ticked and hidden, no overwrite prompt.
constexpr std::int32_t SaveDialogFlags = 5;

// The one record of the process, alive until the program ends (never persisted).
FileDialog &fileDialog();

// The text before the first NUL character, or all of it.
QString stripAtNul(const QString &text);

// Writes a dialog's answer into the record: on confirm the name (cut at a NUL, surrounding
// blanks removed) and the chosen filter index; on cancel nothing.
void applySaveAnswer(FileDialog &record, bool confirmed, const QString &fileName, int filterIndex);

} // namespace pagorra
