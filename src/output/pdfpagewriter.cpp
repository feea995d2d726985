#include "output/pdfpagewriter.h"

#include "output/atomicfile.h"

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

} // namespace

PdfPageWriter::PdfPageWriter(const WriteOptions &options) : m_options(options) {}

bool PdfPageWriter::writePages(const QList<QImage> &pages, const QString &path, QString &error) const
{
    if (pages.isEmpty()) {
        error = QStringLiteral("Could not write '%1': there is no page to write").arg(path);
        return false;
    }
    for (const QImage &page : pages) {
        if (page.isNull()) {
            error = QStringLiteral("Could not write '%1': a page holds no image").arg(path);
            return false;
        }
    }
    AtomicFile file(path);
    if (!file.open(error))
        return false;

    // Unbuffered, so that every write reaches CheckedFile's check.
    CheckedFile out(file.tempPath());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = QStringLiteral("Could not write '%1': %2").arg(path, out.errorString());
        return false;
    }
    {
        const double dpi = m_options.pdfResolution > 0 ? m_options.pdfResolution : 96.0;
        auto pageSizeOf = [dpi](const QImage &image) {
            return QPageSize(QSizeF(image.width() / dpi, image.height() / dpi), QPageSize::Inch, QString(),
                             QPageSize::ExactMatch);
        };
        QPdfWriter writer(&out);
        writer.setCreator(QStringLiteral("Arvok Pagorra"));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(pageSizeOf(pages.first()));
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("Could not write '%1': the PDF could not be started").arg(path);
            return false;
        }
        // Lossless keeps the page's pixels exactly as generated (Qt would otherwise use JPEG).
        painter.setRenderHint(QPainter::LosslessImageRendering);
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (i > 0) {
                writer.setPageSize(pageSizeOf(pages[i]));
                writer.newPage();
            }
            // The page rectangle in device units: the image fills the page whatever the
            // rounding of the page size to whole points.
            const QRect target(QPoint(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size());
            painter.drawImage(target, pages[i]);
        }
        painter.end();
    }
    if (out.failed() || !out.flush()) {
        error = QStringLiteral("Could not write '%1': %2").arg(path, out.failed() ? out.reason() : out.errorString());
        return false;
    }
    out.close();
    return file.commit(error);
}

} // namespace pagorra
