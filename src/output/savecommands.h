#pragma once

#include "core/runprogress.h"
#include "output/pagewriter.h"
#include "output/saveasdialog.h"

class QWidget;

namespace pagorra {

class PageSet;

// The output commands the main window calls with itself as owner. They hold no state of
// their own beyond the shared save-as record and the page dialog's last choice; failures
// go to the global error handler and the command ends. `options` are the writers' choices
// (the page dialog's JPEG quality takes the place of theirs).

// "Save page as": the page on display through its own save dialog, format by extension.
void savePageAs(QWidget *owner, PageSet &pages, SaveAsDialog &dialog, const WriteOptions &options = {});

// "Save all pages": numbered files in the format chosen; one page only = "Save page as".
void saveAllPages(QWidget *owner, PageSet &pages, RunProgress &progress, SaveAsDialog &dialog,
                  const WriteOptions &options = {});

// "Save as multipage": one TIFF or PDF document; one page only = "Save page as" (false).
// True when the document was written.
bool saveMultiPage(QWidget *owner, PageSet &pages, RunProgress &progress, SaveAsDialog &dialog,
                   const WriteOptions &options = {});

// The page dialog's remembered choice (format row and JPEG quality), for tests and reset.
PageSaveChoice &pageSaveChoice();

} // namespace pagorra
