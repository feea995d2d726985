#include "output/pdfpagewriter.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace pagorra {

namespace {

// QPdfWriter never checks its writes, and QFile forgets a failed write at the next one, so a
// full disk would pass unnoticed. This file remembers that any write fell short.
class CheckedFile : public QFile {
  public:
    using QFile::QFile;
    bool failed() const { return m_failed; }
    const QString &reason() const { return m_reason; }

  protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        const qint64 written = QFile::writeData(data, length);
        if (written != length && !m_failed) {
            m_failed = true;
            m_reason = errorString();
        }
        return written;
    }

  private:
    bool m_failed = false;
    QString m_reason;
};

// One QPdfWriter and its painter stay open for the whole document; newPage() closes the
// previous page, whose image QPdfWriter has already written out when it was drawn.
class PdfDocument : public PageDocument {
  public:
    PdfDocument(const QString &path, const WriteOptions &options)
        : PageDocument(path, true), m_dpi(options.pdfResolution > 0 ? options.pdfResolution : 96.0)
    {
    }
    ~PdfDocument() override { PdfDocument::closeFile(); }

  protected:
    bool openFile(QString &error) override;
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &error) override;
    void closeFile() override;

  private:
    bool failed(QString &error) const;

    double m_dpi;
    // Destroyed in reverse order: the painter before the writer before the file.
    std::unique_ptr<CheckedFile> m_out;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
};

bool PdfDocument::openFile(QString &error)
{
    // Unbuffered, so that every write reaches CheckedFile's check.
    m_out = std::make_unique<CheckedFile>(tempPath());
    if (!m_out->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = QStringLiteral("Could not write '%1': %2").arg(path(), m_out->errorString());
        return false;
    }
    m_writer = std::make_unique<QPdfWriter>(m_out.get());
    m_writer->setCreator(QStringLiteral("Arvok Pagorra"));
    m_writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    return true;
}

bool PdfDocument::failed(QString &error) const
{
    if (!m_out->failed())
        return false;
    error = QStringLiteral("Could not write '%1': %2").arg(path(), m_out->reason());
    return true;
}

bool PdfDocument::writePage(const QImage &page, QString &error)
{
    m_writer->setPageSize(QPageSize(QSizeF(page.width() / m_dpi, page.height() / m_dpi), QPageSize::Inch, QString(),
                                    QPageSize::ExactMatch));
    if (!m_painter.isActive()) {
        // The painter starts on the first page, whose size must be set before.
        if (!m_painter.begin(m_writer.get())) {
            error = QStringLiteral("Could not write '%1': the PDF could not be started").arg(path());
            return false;
        }
        // Lossless keeps the page's pixels exactly as generated (Qt would otherwise use JPEG).
        m_painter.setRenderHint(QPainter::LosslessImageRendering);
    } else if (!m_writer->newPage()) {
        error = QStringLiteral("Could not write '%1': the PDF could not take another page").arg(path());
        return false;
    }
    // The page rectangle in device units: the image fills the page whatever the rounding of
    // the page size to whole points.
    const QRect target(QPoint(0, 0), m_writer->pageLayout().paintRectPixels(m_writer->resolution()).size());
    m_painter.drawImage(target, page);
    return !failed(error);
}

bool PdfDocument::finishFile(QString &error)
{
    m_painter.end();
    m_writer.reset();
    if (failed(error))
        return false;
    if (!m_out->flush()) {
        error = QStringLiteral("Could not write '%1': %2").arg(path(), m_out->errorString());
        return false;
    }
    m_out->close();
    return true;
}

void PdfDocument::closeFile()
{
    if (m_painter.isActive())
        m_painter.end();
    m_writer.reset();
    m_out.reset();
}

} // namespace

PdfPageWriter::PdfPageWriter(const WriteOptions &options) : m_options(options) {}

std::unique_ptr<PageDocument> PdfPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<PdfDocument>(path, m_options);
}

} // namespace pagorra
