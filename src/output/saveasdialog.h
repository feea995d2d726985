#pragma once

#include "output/filedialog.h"

#include <QString>

class QWidget;

namespace pagorra {

struct SaveDialogAnswer {
    bool confirmed = false;
    QString fileName;    // as typed or picked, before any clean-up
    int filterIndex = 0; // 1-based entry selected when confirmed
};

// What the page's own save dialog offers and remembers between uses.
struct PageSaveChoice {
    int filterIndex = 8; // 1-based row of outputFormats(); PNG, lossless, unless chosen otherwise
    int jpegQuality = 90;
};

// The save-as dialogs the output commands open. The real one is on QFileDialog; tests
// script the answers.
class SaveAsDialog {
  public:
    virtual ~SaveAsDialog() = default;

    // Modal save-as dialog over owner for the record's title, bar-separated filter list,
    // filter index (0 = first entry), file name, initial folder and flags.
    virtual SaveDialogAnswer askSaveFile(QWidget *owner, const FileDialog &request) = 0;

    // The page's own save dialog: the eight output formats and a JPEG quality. Returns the
    // chosen name (empty when cancelled) and, when confirmed, updates choice.
    virtual QString askPageFile(QWidget *owner, PageSaveChoice &choice) = 0;
};

class QtSaveAsDialog : public SaveAsDialog {
  public:
    SaveDialogAnswer askSaveFile(QWidget *owner, const FileDialog &request) override;
    QString askPageFile(QWidget *owner, PageSaveChoice &choice) override;
};

// Opens the dialog for the record and writes the answer back into it (see applySaveAnswer).
void showSaveDialog(QWidget *owner, FileDialog &record, SaveAsDialog &dialog);

} // namespace pagorra
