#include "output/savecommands.h"

#include "core/runtimeerror.h"
#include "core/settings.h"
#include "core/spacetrim.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/outputformats.h"
#include "output/pagesaving.h"

namespace pagorra {

PageSaveChoice &pageSaveChoice()
{
    static PageSaveChoice choice;
    return choice;
}

void savePageAs(QWidget *owner, PageSet &pages, SaveAsDialog &dialog, const WriteOptions &writeOptions)
{
    if (pages.count() == 1)
        pages.setCurrentPageIndex(0);
    const int current = pages.currentPageIndex();
    if (current < 0 || current >= pages.count() || !pages.peek(current).hasImage())
        return;
    try {
        PageSaveChoice &choice = pageSaveChoice();
        const QString answer = trimSpaces(dialog.askPageFile(owner, choice));
        if (answer.isEmpty())
            return;
        WriteOptions options = writeOptions;
        options.jpegQuality = choice.jpegQuality;
        writePageFile(pages.page(current), pageSaveName(answer, choice.filterIndex), options);
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("cmdSave_Click"));
    }
}

namespace {

// Asks through the shared save-as record, whose filter index both multi-page commands keep;
// an empty file name means the user cancelled.
const FileDialog &askSaveFile(QWidget *owner, const QString &title, const QString &filterList, SaveAsDialog &dialog)
{
    FileDialog &request = fileDialog();
    request.dialogTitle = title;
    request.fileName.clear();
    request.filterList = filterList;
    request.flags = SaveDialogFlags;
    showSaveDialog(owner, request, dialog);
    return request;
}

} // namespace

void saveAllPages(QWidget *owner, PageSet &pages, RunProgress &progress, SaveAsDialog &dialog,
                  const WriteOptions &options)
{
    if (pages.count() < 2) {
        savePageAs(owner, pages, dialog, options);
        return;
    }
    try {
        const FileDialog &request =
            askSaveFile(owner, QStringLiteral("Save all thumbnail pages as"), outputFilterList(), dialog);
        if (request.fileName.isEmpty())
            return;
        const QString name = appendFilterExtension(request.fileName, request.filterIndex);
        saveNumberedPages(pagesOf(pages), name, progress, options);
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("cmdSaveAll_Click"));
    }
}

bool saveMultiPage(QWidget *owner, PageSet &pages, RunProgress &progress, SaveAsDialog &dialog,
                   const WriteOptions &options)
{
    if (pages.count() < 2) {
        savePageAs(owner, pages, dialog, options);
        return false;
    }
    setLastAction(QStringLiteral("saving pages to a single new file"));
    try {
        const FileDialog &request =
            askSaveFile(owner, QStringLiteral("Save to multipage image document"), multipageFilterList(), dialog);
        if (request.fileName.isEmpty())
            return false;
        const MultipageTarget target = multipageTarget(request.fileName, request.filterIndex);
        return saveMultiPageFromBitmaps(pages, target.fileName, target.kind, progress, options);
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("fncSaveMultiPageFileBitmap_Dialog"));
        return false;
    }
}

} // namespace pagorra
