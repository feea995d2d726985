#include "batch/pagefilewriter.h"

#include "core/runtimeerror.h"
#include "output/outputformats.h"

#include <utility>

namespace pagorra {

PageFileWriter::PageFileWriter(QString output, bool multipage, const WriteOptions &options)
    : m_output(std::move(output)), m_multipage(multipage)
{
    const std::optional<ImageFormat> format = formatFromFileName(m_output);
    if (format && (!multipage || format == ImageFormat::Pdf || format == ImageFormat::Tiff))
        m_writer = createPageWriter(*format, options);
}

PageFileWriter::~PageFileWriter() = default;

void PageFileWriter::raiseNoFormat() const
{
    PAGORRA_RAISE(
        err::PathFileAccess,
        m_multipage
            ? QStringLiteral("Could not write '%1': a multipage document is a .pdf or .tif file").arg(m_output)
            : QStringLiteral("Could not write '%1': the extension names no format that can be written").arg(m_output));
}

void PageFileWriter::writeOne(const Page &page, const QString &path)
{
    QString error;
    if (!m_writer->write(page, path, error))
        PAGORRA_RAISE(err::PathFileAccess, error);
    m_written << path;
    ++m_pagesWritten;
}

void PageFileWriter::addToDocument(const Page &page)
{
    if (!m_documentError.isEmpty())
        return;
    QString error;
    if (!m_document)
        m_document = m_writer->begin(m_output, error);
    if (!m_document || !m_document->addPage(page, error)) {
        m_documentError = error;
        m_document.reset();
    }
}

void PageFileWriter::write(const Page &page, int pageNumber)
{
    if (!m_writer)
        raiseNoFormat();
    if (m_multipage) {
        addToDocument(page);
        return;
    }
    if (pageNumber == 1 && !m_numberEveryPage) {
        m_pendingFirst = page;
        return;
    }
    if (m_pendingFirst) {
        const Page first = *std::exchange(m_pendingFirst, std::nullopt);
        writeOne(first, numberedPageName(m_output, 1));
    }
    writeOne(page, numberedPageName(m_output, pageNumber));
}

void PageFileWriter::finish()
{
    if (m_multipage) {
        if (!m_documentError.isEmpty())
            PAGORRA_RAISE(err::PathFileAccess, m_documentError);
        if (!m_document)
            return;
        const std::unique_ptr<PageDocument> document = std::move(m_document);
        QString error;
        if (!document->commit(error))
            PAGORRA_RAISE(err::PathFileAccess, error);
        m_written << m_output;
        m_pagesWritten = document->pageCount();
        return;
    }
    if (!m_pendingFirst)
        return;
    const Page first = *std::exchange(m_pendingFirst, std::nullopt);
    writeOne(first, m_output);
}

void PageFileWriter::abandon()
{
    if (m_document)
        m_document->abandon();
    m_document.reset();
    m_pendingFirst.reset();
}

} // namespace pagorra
