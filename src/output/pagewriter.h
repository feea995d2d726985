#pragma once

#include "output/outputformats.h"

#include <QImage>
#include <QList>
#include <QString>
#include <memory>

namespace pagorra {

// Choices a writer may honour; single pages saved by extension use the defaults.
struct WriteOptions {
    int jpegQuality = 90;
    // A PDF page is the page image at this many pixels per inch.
    double pdfResolution = 96.0;
};

// Writes page images to one file. Every write goes to a temporary file that is renamed into
// place, so a failure leaves no file behind and an existing file untouched. Failure is
// reported by a false result and a text saying what went wrong; writers never throw.
class PageWriter {
  public:
    virtual ~PageWriter() = default;

    // Writes the pages into the file at path; more than one page only where
    // supportsMultiplePages() says so.
    virtual bool writePages(const QList<QImage> &pages, const QString &path, QString &error) const = 0;
    virtual bool supportsMultiplePages() const { return false; }

    bool write(const QImage &page, const QString &path, QString &error) const
    {
        return writePages(QList<QImage>{page}, path, error);
    }
};

// The writer of a format; the caller owns it.
std::unique_ptr<PageWriter> createPageWriter(ImageFormat format, const WriteOptions &options = {});

// Writes one page in the format its file name's extension asks for. Throws RuntimeError
// (number err::PathFileAccess) when the extension names no format or the write fails.
void writePageFile(const QImage &page, const QString &path, const WriteOptions &options = {});

namespace err {
// Run-time error numbers of failed writes.
constexpr std::int32_t PathFileAccess = 75;
constexpr std::int32_t DiskFull = 61;
} // namespace err

} // namespace pagorra
