#include "batch/pagefilewriter.h"

#include "core/runtimeerror.h"
#include "output/outputformats.h"

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

void PageFileWriter::writeOne(const QImage &page, const QString &path)
{
    QString error;
    if (!m_writer->write(page, path, error))
        PAGORRA_RAISE(err::PathFileAccess, error);
    m_written << path;
    ++m_pagesWritten;
}

void PageFileWriter::write(const QImage &page, int pageNumber)
{
    if (!m_writer)
        raiseNoFormat();
    if (m_multipage) {
        // Pages carry no transparency; three bytes a pixel instead of four while they wait.
        m_document.append(page.convertToFormat(QImage::Format_RGB888));
        return;
    }
    if (pageNumber == 1) {
        m_pendingFirst = page;
        return;
    }
    if (!m_pendingFirst.isNull()) {
        const QImage first = m_pendingFirst;
        m_pendingFirst = QImage();
        writeOne(first, numberedPageName(m_output, 1));
    }
    writeOne(page, numberedPageName(m_output, pageNumber));
}

void PageFileWriter::finish()
{
    if (m_multipage) {
        if (m_document.isEmpty())
            return;
        const QList<QImage> document = std::move(m_document);
        m_document.clear();
        QString error;
        if (!m_writer->writePages(document, m_output, error))
            PAGORRA_RAISE(err::PathFileAccess, error);
        m_written << m_output;
        m_pagesWritten = int(document.size());
        return;
    }
    if (m_pendingFirst.isNull())
        return;
    const QImage first = m_pendingFirst;
    m_pendingFirst = QImage();
    writeOne(first, m_output);
}

} // namespace pagorra
