#pragma once

#include "generation/page.h"
#include "output/atomicfile.h"
#include "output/outputformats.h"

#include <QImage>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace pagorra {

// Choices a writer may honour; single pages saved by extension use the defaults.
struct WriteOptions {
    int jpegQuality = 90;
    // The resolution every format states (GIF has no field for it), so that other programs
    // show and print a page at one size whatever its format; a PDF page is the page image at
    // this many pixels per inch.
    double pixelsPerInch = 96.0;
    // PDF only: each picture a link to the file it was made from (off: links reveal folder
    // names); pictures as JPEG at jpegQuality instead of lossless; the document's title.
    bool pdfLinks = false;
    bool pdfJpegPictures = false;
    QString documentTitle;
};

// One file being written page by page, so that a document of any length costs the memory of
// one page; each page is encoded from its own pixels, a band of rows at a time, never
// converted or copied whole (except a page in a format other than 32-bit RGB, which is
// converted once). The file is filled under a temporary name in the target's folder and appears
// under its own name only at commit(); a failure, abandon() or destroying the document
// uncommitted leaves no file behind and an existing file of that name untouched.
// Failure is reported by a false result and a text saying what went wrong; never thrown.
class PageDocument {
  public:
    virtual ~PageDocument();
    PageDocument(const PageDocument &) = delete;
    PageDocument &operator=(const PageDocument &) = delete;

    // Writes the next page; the caller may drop its image afterwards. A failure abandons
    // the document, and every later call fails.
    bool addPage(const QImage &page, QString &error);
    // The same from what the page shows: a document format draws its items (text as text,
    // each picture at its own resolution), the others take its raster image.
    bool addPage(const Page &page, QString &error) { return addPage(page.content(), page.image(), error); }
    // `content` without items or size stands for nothing: the raster is what the page shows.
    bool addPage(const PageContent &content, const QImage &raster, QString &error);
    // Completes the file and renames it into place; a document without pages is refused.
    bool commit(QString &error);
    void abandon();

    int pageCount() const { return m_pageCount; }
    const QString &path() const { return m_path; }

  protected:
    PageDocument(const QString &path, bool multiplePages);
    // The file the format writes into, open and empty before openFile() is called; the
    // document closes it.
    int descriptor() const { return m_file->descriptor(); }

    // What a format family does, in this order: once, then per page, then once at commit.
    virtual bool openFile(QString &error) = 0;
    // The page is in QImage::Format_RGB32 or Format_ARGB32.
    virtual bool writePage(const QImage &page, QString &error) = 0;
    // Formats that draw a page's items instead of its raster say so, and take them here.
    virtual bool drawsContent() const { return false; }
    virtual bool writeContent(const PageContent &, QString &) { return false; }
    virtual bool finishFile(QString &error) = 0;
    // Lets go of the file after a failure or an abandon; derived destructors do the same.
    virtual void closeFile() = 0;

  private:
    friend class PageWriter;
    bool open(QString &error);
    bool refuse(const QString &reason, QString &error);
    // Refuses a page the document cannot take now; true when it may be written.
    bool admit(QString &error);
    bool written(bool ok);

    QString m_path;
    bool m_multiplePages;
    std::optional<AtomicFile> m_file; // reset when abandoned, which removes the temporary file
    bool m_committed = false;
    int m_pageCount = 0;
};

// For format writers. Row y of a page as writePage() receives it: 32-bit pixels, alpha to be
// ignored.
inline const QRgb *pageRow(const QImage &page, int y)
{
    return reinterpret_cast<const QRgb *>(page.constScanLine(y));
}

// Pixels left .. left + count - 1 of row y as R, G, B bytes, as most formats store them.
inline void rgbRow(const QImage &page, int y, int left, int count, unsigned char *rgb)
{
    const QRgb *pixels = pageRow(page, y) + left;
    for (int x = 0; x < count; ++x, rgb += 3) {
        rgb[0] = static_cast<unsigned char>(qRed(pixels[x]));
        rgb[1] = static_cast<unsigned char>(qGreen(pixels[x]));
        rgb[2] = static_cast<unsigned char>(qBlue(pixels[x]));
    }
}

// Starts documents of one format family.
class PageWriter {
  public:
    virtual ~PageWriter() = default;

    // A new, empty document at path; null with error set when the folder takes no file.
    // The caller owns the document.
    std::unique_ptr<PageDocument> begin(const QString &path, QString &error) const;
    // More than one page per document.
    virtual bool supportsMultiplePages() const { return false; }

    // The pages in one go: begin, add each page, commit.
    bool writePages(const QList<QImage> &pages, const QString &path, QString &error) const;
    bool write(const QImage &page, const QString &path, QString &error) const
    {
        return writePages(QList<QImage>{page}, path, error);
    }
    bool write(const Page &page, const QString &path, QString &error) const;

  protected:
    virtual std::unique_ptr<PageDocument> newDocument(const QString &path) const = 0;
};

// The writer of a format; the caller owns it.
std::unique_ptr<PageWriter> createPageWriter(ImageFormat format, const WriteOptions &options = {});

// Writes one page in the format its file name's extension asks for. Throws RuntimeError
// (number err::PathFileAccess) when the extension names no format or the write fails.
void writePageFile(const Page &page, const QString &path, const WriteOptions &options = {});

namespace err {
// Run-time error numbers of failed writes.
constexpr std::int32_t PathFileAccess = 75;
constexpr std::int32_t DiskFull = 61;
} // namespace err

} // namespace pagorra
