#include "output/pagewriter.h"

#include "core/filenames.h"
#include "core/runtimeerror.h"
#include "output/gifpagewriter.h"
#include "output/pdfpagewriter.h"
#include "output/rasterpagewriter.h"
#include "output/tiffpagewriter.h"
#include "output/vipspagewriter.h"

namespace pagorra {

PageDocument::PageDocument(const QString &path, bool multiplePages) : m_path(path), m_multiplePages(multiplePages)
{
    m_file.emplace(path);
}

// The format's own resources are gone by now (derived destructors ran first); what is left
// is the temporary file, which m_file removes unless committed.
PageDocument::~PageDocument() = default;

bool PageDocument::open(QString &error)
{
    if (!m_file->open(error)) {
        m_file.reset();
        return false;
    }
    if (!openFile(error)) {
        abandon();
        return false;
    }
    return true;
}

bool PageDocument::refuse(const QString &reason, QString &error)
{
    error = QStringLiteral("Could not write '%1': %2").arg(displayName(m_path), reason);
    abandon();
    return false;
}

bool PageDocument::admit(QString &error)
{
    if (!m_file || m_committed)
        return refuse(QStringLiteral("the document is closed"), error);
    if (m_pageCount > 0 && !m_multiplePages)
        return refuse(QStringLiteral("this format holds exactly one page"), error);
    return true;
}

bool PageDocument::written(bool ok)
{
    if (!ok) {
        abandon();
        return false;
    }
    ++m_pageCount;
    return true;
}

bool PageDocument::addPage(const QImage &page, QString &error)
{
    if (!admit(error))
        return false;
    if (page.isNull())
        return refuse(QStringLiteral("a page holds no image"), error);
    const bool direct = page.format() == QImage::Format_RGB32 || page.format() == QImage::Format_ARGB32;
    return written(writePage(direct ? page : page.convertToFormat(QImage::Format_RGB32), error));
}

bool PageDocument::addPage(const PageContent &content, const QImage &raster, QString &error)
{
    // A page whose image was set rather than drawn has no items: its raster is what it shows.
    if (!drawsContent() || content.layoutSize.isEmpty())
        return addPage(raster, error);
    if (!admit(error))
        return false;
    return written(writeContent(content, error));
}

bool PageDocument::commit(QString &error)
{
    if (!m_file || m_committed)
        return refuse(QStringLiteral("the document is closed"), error);
    if (m_pageCount == 0)
        return refuse(QStringLiteral("there is no page to write"), error);
    if (!finishFile(error) || !m_file->commit(error)) {
        abandon();
        return false;
    }
    m_committed = true;
    return true;
}

void PageDocument::abandon()
{
    if (!m_file || m_committed)
        return;
    closeFile();
    m_file.reset();
}

std::unique_ptr<PageDocument> PageWriter::begin(const QString &path, QString &error) const
{
    std::unique_ptr<PageDocument> document = newDocument(path);
    if (!document->open(error))
        return nullptr;
    return document;
}

bool PageWriter::writePages(const QList<QImage> &pages, const QString &path, QString &error) const
{
    const std::unique_ptr<PageDocument> document = begin(path, error);
    if (!document)
        return false;
    for (const QImage &page : pages) {
        if (!document->addPage(page, error))
            return false;
    }
    return document->commit(error);
}

bool PageWriter::write(const Page &page, const QString &path, QString &error) const
{
    const std::unique_ptr<PageDocument> document = begin(path, error);
    return document && document->addPage(page, error) && document->commit(error);
}

std::unique_ptr<PageWriter> createPageWriter(ImageFormat format, const WriteOptions &options)
{
    switch (format) {
    case ImageFormat::Pdf:
        return std::make_unique<PdfPageWriter>(options);
    case ImageFormat::Tiff:
        return std::make_unique<TiffPageWriter>(options);
    case ImageFormat::Gif:
        return std::make_unique<GifPageWriter>();
    case ImageFormat::Bmp:
    case ImageFormat::Pcx:
    case ImageFormat::Psd:
        return std::make_unique<RasterPageWriter>(format, options);
    default:
        return std::make_unique<VipsPageWriter>(format, options);
    }
}

void writePageFile(const Page &page, const QString &path, const WriteOptions &options)
{
    const std::optional<ImageFormat> format = formatFromFileName(path);
    if (!format)
        PAGORRA_RAISE(err::PathFileAccess,
                      QStringLiteral("Could not write '%1': the extension names no format that can be written")
                          .arg(displayName(path)));
    QString error;
    if (!createPageWriter(*format, options)->write(page, path, error))
        PAGORRA_RAISE(err::PathFileAccess, error);
}

} // namespace pagorra
