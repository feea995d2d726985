#pragma once

#include "core/runprogress.h"
#include "output/outputformats.h"
#include "output/pagewriter.h"

#include <QImage>
#include <QList>
#include <QString>
#include <functional>

namespace pagorra {

class PageSet;
struct RegistrySettings;

enum class RunOutcome { Finished, Cancelled };

// The pages a run writes, one at a time: page k is pageAt(k), valid until the next call, so
// that a page set that keeps its pages aside draws only the page being written.
struct PageSequence {
    int count = 0;
    std::function<const Page &(int)> pageAt;
};
PageSequence pagesOf(const PageSet &pages);
PageSequence pagesOf(const QList<Page> &pages);

// Writes page k to numberedPageName(name, k + 1) in the format of name's extension, with a
// yield, a cancel check and a progress step (value k, maximum count - 1) before each page.
// Throws RuntimeError at the first page that cannot be written; pages written before stay.
RunOutcome saveNumberedPages(const PageSequence &pages, const QString &name, RunProgress &progress,
                             const WriteOptions &options = {});

// Writes the pages into one new document. Each call starts from an empty document. The
// first page is always in it; a cancel stops adding pages and the document is written with
// those added so far. Throws RuntimeError when the document cannot be written (nothing is
// left behind then).
RunOutcome saveMultipageDocument(const PageSequence &pages, const QString &fileName, MultipageKind kind,
                                 RunProgress &progress, const WriteOptions &options = {});

// The multipage writer of the main window: names the operation in the current-action text
// and traps its errors to the global handler as "fncSaveMultiPageFromBitmaps". Written with
// the options of the settings record. True when the
// run reached the end (a cancelled run also writes its document); false after an error.
bool saveMultiPageFromBitmaps(const PageSet &pages, const QString &fileName, MultipageKind kind, RunProgress &progress,
                              const WriteOptions &options = {});

} // namespace pagorra
