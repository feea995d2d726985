#pragma once

#include "generation/page.h"

class QWidget;

namespace pagorra {

class PrintDialog;

// A page's print operation. Shows `dialog` first when the page's show-dialog flag is set,
// then prints the page as one CUPS job named after the page's job name, with the page's print
// properties, drawn at the printer's resolution from what the page shows. Returns 1 when the
// page was printed, 0 when the page holds no image or the dialog was cancelled. Throws
// RuntimeError 482 "Printer error" when no printer can be opened or the job cannot be handed
// over.
int printPageImage(Page &page, PrintDialog &dialog, QWidget *owner);

} // namespace pagorra
