#include "output/pagesaving.h"

#include "core/runtimeerror.h"
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"

namespace pagorra {

PageSequence pagesOf(const PageSet &pages)
{
    return {pages.count(), [&pages](int k) -> const Page & { return pages.page(k); }};
}

PageSequence pagesOf(const QList<Page> &pages)
{
    return {int(pages.size()), [&pages](int k) -> const Page & { return pages.at(k); }};
}

RunOutcome saveNumberedPages(const PageSequence &pages, const QString &name, RunProgress &progress,
                             const WriteOptions &options)
{
    const std::optional<ImageFormat> format = formatFromFileName(name);
    std::unique_ptr<PageWriter> writer = format ? createPageWriter(*format, options) : nullptr;

    ProgressScope run(progress, pages.count - 1);
    for (int k = 0; k < pages.count; ++k) {
        progress.yield();
        if (progress.cancelRequested())
            return RunOutcome::Cancelled;
        progress.setValue(k);
        const QString pageName = numberedPageName(name, k + 1);
        if (!writer)
            PAGORRA_RAISE(err::PathFileAccess,
                          QStringLiteral("Could not write '%1': the extension names no format that can be written")
                              .arg(pageName));
        QString error;
        if (!writer->write(pages.pageAt(k), pageName, error))
            PAGORRA_RAISE(err::PathFileAccess, error);
    }
    return RunOutcome::Finished;
}

RunOutcome saveMultipageDocument(const PageSequence &pages, const QString &fileName, MultipageKind kind,
                                 RunProgress &progress, const WriteOptions &options)
{
    const auto writer = createPageWriter(kind == MultipageKind::Pdf ? ImageFormat::Pdf : ImageFormat::Tiff, options);
    ProgressScope run(progress, pages.count);
    QString error;
    // A document of its own for every run, so no page of an earlier run can slip into it;
    // each page goes into the file as it is added, so only one is converted at a time.
    const std::unique_ptr<PageDocument> document = writer->begin(fileName, error);
    if (!document)
        PAGORRA_RAISE(err::PathFileAccess, error);
    const auto add = [&](const Page &page) {
        if (!document->addPage(page, error))
            PAGORRA_RAISE(err::PathFileAccess, error);
    };

    RunOutcome outcome = RunOutcome::Finished;
    if (pages.count > 0)
        add(pages.pageAt(0));
    for (int k = 1; k < pages.count; ++k) {
        progress.yield();
        if (progress.cancelRequested()) {
            outcome = RunOutcome::Cancelled;
            break;
        }
        add(pages.pageAt(k));
        progress.setValue(k);
    }
    if (!document->commit(error))
        PAGORRA_RAISE(err::PathFileAccess, error);
    return outcome;
}

bool saveMultiPageFromBitmaps(const PageSet &pages, const QString &fileName, MultipageKind kind, RunProgress &progress,
                              const WriteOptions &options)
{
    setLastAction(QStringLiteral("Saving to multipage file '") + fileName + u'\'');
    try {
        saveMultipageDocument(pagesOf(pages), fileName, kind, progress, options);
        return true;
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("fncSaveMultiPageFromBitmaps"));
        return false;
    }
}

} // namespace pagorra
