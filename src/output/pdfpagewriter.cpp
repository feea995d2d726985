#include "output/pdfpagewriter.h"

#include "core/filenames.h"
#include "core/product.h"
#include "output/pdffile.h"
#include "output/pdffonts.h"
#include "output/pdfpage.h"
#include "output/srgbprofile.h"

#include <QDateTime>

namespace pagorra {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kLayoutPixelsPerInch = 96.0;

// "D:YYYYMMDDHHmmSS" and the offset from UTC. SOURCE_DATE_EPOCH, when set, stands for now
// (in UTC), so that the same pages give the same file byte for byte.
QByteArray creationDate()
{
    bool fixed = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&fixed);
    const QDateTime when = fixed ? QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC) : QDateTime::currentDateTime();
    const QByteArray stamp = "D:" + when.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    const int minutes = when.offsetFromUtc() / 60;
    if (minutes == 0)
        return stamp + 'Z';
    const int away = std::abs(minutes);
    return stamp + (minutes < 0 ? '-' : '+') + QByteArray::number(away / 60).rightJustified(2, '0') + '\'' +
           QByteArray::number(away % 60).rightJustified(2, '0') + '\'';
}

QString productVersion()
{
    return QStringLiteral("%1 %2.%3.%4")
        .arg(productTitle())
        .arg(PAGORRA_VERSION_MAJOR)
        .arg(PAGORRA_VERSION_MINOR)
        .arg(PAGORRA_VERSION_PATCH);
}

// A page given as its raster only: one picture that fills the page.
PageContent rasterContent(const QImage &page, double pixelsPerInch)
{
    PageContent content;
    content.pixelsPerInch = pixelsPerInch;
    content.layoutSize = QSizeF(page.size()) * (kLayoutPixelsPerInch / pixelsPerInch);
    content.pointSize = QSizeF(page.size()) * (kPointsPerInch / pixelsPerInch);
    content.items.append(PagePictureItem{QRectF(QPointF(), content.layoutSize), page, {}});
    return content;
}

class PdfDocument : public PageDocument {
  public:
    PdfDocument(const QString &path, const WriteOptions &options) : PageDocument(path, true), m_options(options)
    {
        if (m_options.pixelsPerInch <= 0)
            m_options.pixelsPerInch = kLayoutPixelsPerInch;
    }

  protected:
    bool openFile(QString &error) override;
    bool writePage(const QImage &page, QString &error) override
    {
        return writeContent(rasterContent(page, m_options.pixelsPerInch), error);
    }
    bool drawsContent() const override { return true; }
    bool writeContent(const PageContent &content, QString &error) override;
    bool finishFile(QString &error) override;
    void closeFile() override {}

  private:
    void writeOutline(int outlines);
    bool failed(QString &error) const
    {
        error = fileErrorText(path(), m_file->error());
        return false;
    }

    WriteOptions m_options;
    std::optional<PdfFile> m_file;
    std::unique_ptr<PdfFontSet> m_fonts;
    int m_catalog = 0, m_pages = 0, m_info = 0, m_profile = 0;
    QByteArray m_colorSpace;
    std::vector<int> m_pageObjects;
    QStringList m_pageTitles; // for the outline
};

bool PdfDocument::openFile(QString &)
{
    m_file.emplace(descriptor());
    // The second line's bytes above 127 tell transfer programs that the file is binary.
    m_file->out().write("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n", 15);
    m_catalog = m_file->reserveObject();
    m_pages = m_file->reserveObject();
    m_info = m_file->reserveObject();
    m_profile = m_file->reserveObject();
    // Pictures and text colours are sRGB; a reader without colour management takes them as
    // device RGB.
    m_colorSpace = srgbProfile().isEmpty() ? QByteArray("/DeviceRGB") : "[/ICCBased " + pdfReference(m_profile) + ']';
    m_fonts = std::make_unique<PdfFontSet>(*m_file, m_colorSpace);
    return true;
}

bool PdfDocument::writeContent(const PageContent &content, QString &error)
{
    const int page = m_file->reserveObject();
    PdfPageParts parts;
    if (!composePdfPage(*m_file, *m_fonts, content, m_options, m_colorSpace, parts)) {
        error = QStringLiteral("Could not write '%1': not enough memory to compress the page").arg(displayName(path()));
        return false;
    }
    const int contents = m_file->reserveObject();
    m_file->writeDeflated(contents, {}, parts.content);
    QByteArray annotations;
    for (const auto &[area, uri] : parts.links) {
        const int link = m_file->reserveObject();
        m_file->writeObject(link, "<< /Type /Annot /Subtype /Link /Rect [" + pdfNumber(area.left()) + ' ' +
                                      pdfNumber(area.top()) + ' ' + pdfNumber(area.right()) + ' ' +
                                      pdfNumber(area.bottom()) + "] /Border [0 0 0] /A << /S /URI /URI " +
                                      pdfLiteral(uri) + " >> >>");
        annotations += pdfReference(link) + ' ';
    }
    m_file->writeObject(page, "<< /Type /Page /Parent " + pdfReference(m_pages) + " /MediaBox [0 0 " +
                                  pdfNumber(content.pointSize.width()) + ' ' + pdfNumber(content.pointSize.height()) +
                                  "] /Resources << " + parts.resources + " >> /Contents " + pdfReference(contents) +
                                  (annotations.isEmpty() ? QByteArray() : " /Annots [" + annotations + ']') + " >>");
    m_pageObjects.push_back(page);

    // A page is listed in the outline by its title line, or by its number.
    QString title = QStringLiteral("Page %1").arg(m_pageObjects.size());
    for (const auto &item : content.items) {
        if (const auto *text = std::get_if<PageTextItem>(&item)) {
            title = text->text;
            break;
        }
    }
    m_pageTitles << title;
    return m_file->error() == 0 ? true : failed(error);
}

// One entry per page, in order, each opening its page whole.
void PdfDocument::writeOutline(int outlines)
{
    std::vector<int> entries;
    for (std::size_t k = 0; k < m_pageObjects.size(); ++k)
        entries.push_back(m_file->reserveObject());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        QByteArray links;
        if (k > 0)
            links += " /Prev " + pdfReference(entries[k - 1]);
        if (k + 1 < entries.size())
            links += " /Next " + pdfReference(entries[k + 1]);
        m_file->writeObject(entries[k], "<< /Title " + pdfTextString(m_pageTitles.at(qsizetype(k))) + " /Parent " +
                                            pdfReference(outlines) + links + " /Dest [" +
                                            pdfReference(m_pageObjects[k]) + " /Fit] >>");
    }
    m_file->writeObject(outlines, "<< /Type /Outlines /First " + pdfReference(entries.front()) + " /Last " +
                                      pdfReference(entries.back()) + " /Count " +
                                      QByteArray::number(qsizetype(entries.size())) + " >>");
}

bool PdfDocument::finishFile(QString &error)
{
    m_fonts->writeFonts();
    QByteArray kids;
    for (const int page : m_pageObjects)
        kids += pdfReference(page) + ' ';
    m_file->writeObject(m_pages, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                                     QByteArray::number(qsizetype(m_pageObjects.size())) + " >>");
    const int outlines = m_file->reserveObject();
    writeOutline(outlines);

    QByteArray intents;
    const QByteArray &profile = srgbProfile();
    m_file->writeDeflated(m_profile, "/N 3 /Alternate /DeviceRGB", profile);
    if (!profile.isEmpty()) {
        // The colours a reader or printer should aim at: the pages are sRGB.
        intents = " /OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB "
                  "IEC61966-2.1) /Info (sRGB IEC61966-2.1) /DestOutputProfile " +
                  pdfReference(m_profile) + " >>]";
    }
    m_file->writeObject(m_catalog, "<< /Type /Catalog /Pages " + pdfReference(m_pages) + " /Outlines " +
                                       pdfReference(outlines) + intents + " >>");
    const QByteArray date = pdfLiteral(creationDate());
    const QByteArray product = pdfTextString(productVersion());
    m_file->writeObject(m_info, "<< " +
                                    (m_options.documentTitle.isEmpty()
                                         ? QByteArray()
                                         : "/Title " + pdfTextString(m_options.documentTitle) + ' ') +
                                    "/Creator " + product + " /Producer " + product + " /CreationDate " + date +
                                    " /ModDate " + date + " >>");
    m_file->writeTrailer(m_catalog, m_info);
    return m_file->flush() ? true : failed(error);
}

} // namespace

std::unique_ptr<PageDocument> PdfPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<PdfDocument>(path, m_options);
}

} // namespace pagorra
