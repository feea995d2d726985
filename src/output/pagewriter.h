#pragma once

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
    // A PDF page is the page image at this many pixels per inch.
    double pdfResolution = 96.0;
};

// One file being written page by page, so that a document of any length costs the memory of
// one page. The file is filled under a temporary name in the target's folder and appears
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
    // Completes the file and renames it into place; a document without pages is refused.
    bool commit(QString &error);
    void abandon();

    int pageCount() const { return m_pageCount; }
    const QString &path() const { return m_path; }

  protected:
    PageDocument(const QString &path, bool multiplePages);
    // The file the format writes into; it exists, empty, before openFile() is called.
    const QString &tempPath() const { return m_file->tempPath(); }

    // What a format family does, in this order: once, then per page, then once at commit.
    virtual bool openFile(QString &error) = 0;
    virtual bool writePage(const QImage &page, QString &error) = 0;
    virtual bool finishFile(QString &error) = 0;
    // Lets go of the file after a failure or an abandon; derived destructors do the same.
    virtual void closeFile() = 0;

  private:
    friend class PageWriter;
    bool open(QString &error);
    bool refuse(const QString &reason, QString &error);

    QString m_path;
    bool m_multiplePages;
    std::optional<AtomicFile> m_file; // reset when abandoned, which removes the temporary file
    bool m_committed = false;
    int m_pageCount = 0;
};

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

  protected:
    virtual std::unique_ptr<PageDocument> newDocument(const QString &path) const = 0;
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
