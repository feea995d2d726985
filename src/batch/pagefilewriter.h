#pragma once

#include "output/pagewriter.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace pagorra {

// Writes the pages of a batch run in the format of the output name's extension, through the
// output module's writers, so every file appears whole or not at all.
//
// Numbered files: each page is written as soon as it comes (Sheet.png -> Sheet1.png,
// Sheet2.png ...), except that a lone page keeps the chosen name; whether page 1 is alone is
// known only when page 2 arrives, so page 1 waits in memory until then.
//
// Multipage (.pdf, .tif): the document is started at page 1 and each page goes into it as it
// comes, so only the page being added is held; finish() puts the document in place. When the
// document fails, later pages are dropped and finish() raises the failure, so that callers
// report it as the document's failure, as before, rather than as one of the run making pages.
//
// A failed write raises RuntimeError; pages already written stay, a document is not
// started. abandon(), or destroying the writer before finish(), drops what is not yet in
// place: an unfinished document (an existing file of its name stays as it was) and a first
// page still waiting.
class PageFileWriter {
  public:
    PageFileWriter(QString output, bool multipage, const WriteOptions &options = {});
    ~PageFileWriter();
    PageFileWriter(const PageFileWriter &) = delete;
    PageFileWriter &operator=(const PageFileWriter &) = delete;

    // Every page numbered, also a lone first one: for a slice of a larger run.
    void setNumberEveryPage(bool every) { m_numberEveryPage = every; }

    void write(const Page &page, int pageNumber);
    // Writes what is still waiting: a lone first page, or puts the multipage document in place.
    void finish();
    void abandon();

    bool isMultipage() const { return m_multipage; }
    // The files written, in order.
    const QStringList &written() const { return m_written; }
    int pagesWritten() const { return m_pagesWritten; }

  private:
    void writeOne(const Page &page, const QString &path);
    void addToDocument(const Page &page);
    [[noreturn]] void raiseNoFormat() const;

    QString m_output;
    bool m_multipage;
    bool m_numberEveryPage = false;
    std::unique_ptr<PageWriter> m_writer; // none when the extension names no usable format
    std::optional<Page> m_pendingFirst;
    std::unique_ptr<PageDocument> m_document;
    QString m_documentError; // the first failure of the document, raised by finish()
    QStringList m_written;
    int m_pagesWritten = 0;
};

} // namespace pagorra
