#include "output/pagesaving.h"

#include "core/runtimeerror.h"
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"

namespace pagorra {

QList<Page> pageList(const PageSet &pages)
{
    QList<Page> list;
    list.reserve(pages.count());
    for (int k = 0; k < pages.count(); ++k)
        list.append(pages.page(k));
    return list;
}

RunOutcome saveNumberedPages(const QList<Page> &pages, const QString &name, RunProgress &progress,
                             const WriteOptions &options)
{
    const std::optional<ImageFormat> format = formatFromFileName(name);
    std::unique_ptr<PageWriter> writer = format ? createPageWriter(*format, options) : nullptr;

    ProgressScope run(progress, int(pages.size()) - 1);
    for (qsizetype k = 0; k < pages.size(); ++k) {
        progress.yield();
        if (progress.cancelRequested())
            return RunOutcome::Cancelled;
        progress.setValue(int(k));
        const QString pageName = numberedPageName(name, int(k) + 1);
        if (!writer)
            PAGORRA_RAISE(err::PathFileAccess,
                          QStringLiteral("Could not write '%1': the extension names no format that can be written")
                              .arg(pageName));
        QString error;
        if (!writer->write(pages[k], pageName, error))
            PAGORRA_RAISE(err::PathFileAccess, error);
    }
    return RunOutcome::Finished;
}

RunOutcome saveMultipageDocument(const QList<Page> &pages, const QString &fileName, MultipageKind kind,
                                 RunProgress &progress, const WriteOptions &options)
{
    const auto writer = createPageWriter(kind == MultipageKind::Pdf ? ImageFormat::Pdf : ImageFormat::Tiff, options);
    ProgressScope run(progress, int(pages.size()));
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
    if (!pages.isEmpty())
        add(pages.first());
    for (qsizetype k = 1; k < pages.size(); ++k) {
        progress.yield();
        if (progress.cancelRequested()) {
            outcome = RunOutcome::Cancelled;
            break;
        }
        add(pages[k]);
        progress.setValue(int(k));
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
        saveMultipageDocument(pageList(pages), fileName, kind, progress, options);
        return true;
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("fncSaveMultiPageFromBitmaps"));
        return false;
    }
}

} // namespace pagorra
