#include "output/printcommands.h"

#include "core/runprogress.h"
#include "core/runtimeerror.h"
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/printdialog.h"
#include "output/printjob.h"
#include "output/printsettings.h"

#include <new>

namespace pagorra {

namespace {

PrintDialog &dialogOrReal(PrintDialog *dialog)
{
    static QtPrintDialog real;
    return dialog ? *dialog : real;
}

void reportOutOfMemory(const QString &routine)
{
    globalErrorHandler(QStringLiteral("Out of memory"), err::OutOfMemory, 0, routine);
}

// Print page without its own error trap, so each caller reports under its own name.
void printPageOnDisplay(QWidget *owner, RegistrySettings &settings, PageSet &pages, PrintDialog &dialog)
{
    if (pages.count() < 2)
        pages.setCurrentPageIndex(0);
    const int index = pages.currentPageIndex();
    if (index < 0 || index >= pages.count())
        return;
    Page &page = pages.page(index);
    if (!page.hasImage())
        return;
    page.print().jobName = printCaption();
    handPrintSettings(settings, page.print());
    page.print().showDialog = true;
    printPageImage(page, dialog, owner);
    readBackPrintSettings(page.print(), settings);
}


} // namespace

QString printCaption()
{
    return QStringLiteral("Arvok Pagorra");
}

void printCurrentPage(QWidget *owner, RegistrySettings &settings, PageSet &pages, PrintDialog *dialog)
{
    const QString routine = QStringLiteral("cmdPrint_Click");
    try {
        printPageOnDisplay(owner, settings, pages, dialogOrReal(dialog));
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, routine);
    } catch (const std::bad_alloc &) {
        reportOutOfMemory(routine);
    }
}

void copyPrintSettings(const Page &source, Page &target, int pageIndex)
{
    try {
        const PagePrintSettings &from = source.print();
        PagePrintSettings &to = target.print();
        to.centre = from.centre;
        to.copies = from.copies;
        to.fit = from.fit;
        to.left = from.left;
        to.orientation = from.orientation;
        to.paperSize = from.paperSize;
        to.extra = from.extra;
        to.scale = from.scale;
        to.jobName = printCaption() + QString::number(pageIndex);
        to.top = from.top;
        to.units = from.units;
        to.printerIndex = from.printerIndex;
    } catch (const std::bad_alloc &) {
        reportOutOfMemory(QStringLiteral("subCopyPrintSettingsToAllBitmaps"));
    }
}

void printAllPages(QWidget *owner, RegistrySettings &settings, PageSet &pages, RunProgress &progress,
                   PrintDialog *dialog)
{
    const QString routine = QStringLiteral("subPrintAllBitmaps");
    setLastAction(QStringLiteral("Starting batch printing"));
    PrintDialog &ask = dialogOrReal(dialog);
    try {
        if (pages.count() < 2) {
            printPageOnDisplay(owner, settings, pages, ask);
            return;
        }
        Page &first = pages.page(0);
        first.print().jobName = printCaption() + u'0';
        handPrintSettings(settings, first.print());
        first.print().showDialog = true;
        if (printPageImage(first, ask, owner) != 1)
            return;
        readBackPrintSettings(first.print(), settings);

        ProgressScope run(progress, pages.count());
        for (int k = 1; k <= pages.lastPageIndex(); ++k) {
            // Without a turn of the event loop the Cancel button could never be pressed.
            progress.yield();
            if (progress.cancelRequested())
                break;
            Page &page = pages.page(k);
            copyPrintSettings(first, page, k);
            page.print().showDialog = false;
            printPageImage(page, ask, owner);
            progress.setValue(k);
        }
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, routine);
    } catch (const std::bad_alloc &) {
        reportOutOfMemory(routine);
    }
}

} // namespace pagorra
