#pragma once

#include <QString>

class QWidget;

namespace pagorra {

class PageSet;
class Page;
class PrintDialog;
class RunProgress;
struct RegistrySettings;

// The main window's caption, which names the print jobs.
QString printCaption();

// "Print page": prints the page on display after the print dialog, and takes the dialog's
// choices into the ten print settings of `settings`, also when the dialog was cancelled.
// Errors go to the global error handler as "cmdPrint_Click". `dialog` null: the real dialog.
void printCurrentPage(QWidget *owner, RegistrySettings &settings, PageSet &pages, PrintDialog *dialog = nullptr);

// "Print all pages": one dialog for page 0, then every further page with page 0's choices
// and no dialog, with progress and Cancel through `progress`. A cancelled dialog prints
// nothing and leaves `settings` as it was. With a single page it is "Print page".
// Errors go to the global error handler as "subPrintAllBitmaps".
void printAllPages(QWidget *owner, RegistrySettings &settings, PageSet &pages, RunProgress &progress,
                   PrintDialog *dialog = nullptr);

// Copies the print properties of `source` onto `target` and names the target's job
// after `pageIndex`. Errors go to the global error handler as
// "subCopyPrintSettingsToAllBitmaps"; the properties copied so far stay.
void copyPrintSettings(const Page &source, Page &target, int pageIndex);

} // namespace pagorra
