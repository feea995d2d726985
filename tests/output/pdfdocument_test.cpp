// PDF pages as documents: what independent readers (poppler, qpdf, cairo) find in them.
#include "core/filenames.h"
#include "core/runtimeerror.h"
#include "core/settings.h"
#include "generation/generationrun.h"
#include "generation/pageset.h"
#include "output/outputsettings.h"
#include "output/pagesaving.h"
#include "output/pdfpage.h"

#include "writer_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using namespace pagorra;
using namespace pagorra::testing;

namespace {

// Page 1 of a PDF drawn by cairo at the page's resolution.
QImage rendered(const QString &pdf)
{
    QTemporaryDir work;
    runTool(u"pdftocairo"_s,
            {u"-png"_s, u"-r"_s, u"96"_s, u"-f"_s, u"1"_s, u"-l"_s, u"1"_s, pdf, work.filePath(u"p"_s)});
    return QImage(work.filePath(u"p-1.png"_s)).convertToFormat(QImage::Format_RGB32);
}

// Where a page drawn by a reader matches the raster best, moved by at most a pixel each way:
// text pixels differ by antialiasing, but text out of place matches better moved.
QPoint bestOffset(const QImage &drawn, const QImage &raster)
{
    QPoint best;
    double least = 1e9;
    const QRect inner = raster.rect().adjusted(1, 1, -1, -1);
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const double difference = channelDifference(drawn.copy(inner.translated(dx, dy)), raster.copy(inner));
            if (difference < least)
                std::tie(least, best) = std::pair(difference, QPoint(dx, dy));
        }
    }
    return best;
}

// The text, without the marks poppler puts around right-to-left runs.
QString text(const QString &pdf)
{
    return QString::fromUtf8(runTool(u"pdftotext"_s, {pdf, u"-"_s}))
        .remove(QRegularExpression(u"[\u202A-\u202E]"_s))
        .simplified();
}

} // namespace

// A real run over the test photos, one of them under a name that is not UTF-8, written twice
// at a fixed time: the same bytes, the title as text and as the title, a font embedded as a
// subset with a map to Unicode, every thumbnail an image at the page's resolution and a link
// to its file, one outline entry per page, and everything where the raster has it.
TEST(PdfDocument, AGeneratedRunIsADocumentThatReadersUnderstand)
{
    QTemporaryDir dir;
    QStringList photos;
    for (const QString &name : QDir(u"" PAGORRA_TESTDATA "/photos"_s).entryList(QDir::Files, QDir::Name))
        photos << u"" PAGORRA_TESTDATA "/photos/"_s + name;
    const QString odd = dir.filePath(QString::fromUtf8("caf\xC3\xA9 ") + QChar(0xDCE9) + u".jpg"_s); // byte E9
    ASSERT_EQ(::symlink(nativePath(photos.first()).constData(), nativePath(odd).constData()), 0);
    photos.first() = odd;
    RegistrySettings settings = defaultSettings();
    settings.AddTitle = 1;
    settings.Title = u" Trip "_s;
    settings.AppendPageNumber = 1;
    settings.PageHeight = 300; // two rows of five a page
    PageSet pages;
    NullProgress progress;
    ASSERT_EQ(GenerationRun(settings, photos, progress).run(pages).placed, 19);
    ASSERT_EQ(pages.count(), 2);

    WriteOptions options = writeOptionsFor(settings, 96);
    options.pdfLinks = true;
    const QString pdf = dir.filePath(u"t.pdf"_s), again = dir.filePath(u"again.pdf"_s);
    qputenv("SOURCE_DATE_EPOCH", "1700000000");
    for (const QString &path : {pdf, again})
        saveMultipageDocument(pagesOf(pages), path, MultipageKind::Pdf, progress, options);
    qunsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(readFile(pdf), readFile(again));

    EXPECT_EQ(pdfInfo(pdf, u"Title"_s), u"Trip"_s);
    EXPECT_EQ(pdfInfo(pdf, u"Creator"_s), u"Arvok Pagorra 1.0.0"_s);
    EXPECT_EQ(pdfInfo(pdf, u"CreationDate"_s), u"Tue Nov 14 22:13:20 2023 UTC"_s);
    EXPECT_EQ(pdfInfo(pdf, u"Page size"_s), u"600 x 225 pts"_s);
    EXPECT_EQ(text(pdf), u"Trip 1 Trip 2"_s);
    EXPECT_TRUE(runTool(u"pdffonts"_s, {pdf}).simplified().contains("CID TrueType Identity-H yes yes yes"));
    const QByteArray images = runTool(u"pdfimages"_s, {u"-list"_s, pdf}).simplified();
    EXPECT_EQ(images.count(" icc 3 8 image no "), 19);
    EXPECT_EQ(images.count(" 96 96 "), 19) << images.toStdString();
    const QByteArray links = runTool(u"pdfinfo"_s, {u"-url"_s, pdf});
    EXPECT_EQ(links.count(" file:///"), 19);
    EXPECT_TRUE(links.contains(fileUri(dir.path()) + "/caf%C3%A9%20%E9.jpg")) << links.toStdString();
    const QByteArray outline = runTool(u"qpdf"_s, {u"--json=2"_s, u"--json-key=outlines"_s, pdf});
    EXPECT_EQ(outline.count("\"title\": \"Trip "), 2) << outline.toStdString();

    // Text pixels may differ by antialiasing; a thumbnail or a line out of place would not.
    const QImage drawn = rendered(pdf);
    EXPECT_EQ(bestOffset(drawn, pages.page(0).image()), QPoint(0, 0));
    EXPECT_LT(channelDifference(drawn, pages.page(0).image()), 0.5);

    // A failure while the fonts go in at the end leaves the older file alone and nothing else.
    const FileSizeLimit limit(readFile(pdf).size() - 512);
    EXPECT_THROW(saveMultipageDocument(pagesOf(pages), pdf, MultipageKind::Pdf, progress, options), RuntimeError);
    EXPECT_EQ(filesIn(dir.path()).size(), 3) << "no temporary file may stay";
    EXPECT_EQ(readFile(pdf), readFile(again));
}

// Titles in other scripts: what a reader extracts is what was drawn, in reading order, and
// the text lies where the raster has it (underlined as there).
TEST(PdfDocument, TextOfEveryScriptComesBackWhereTheRasterHasIt)
{
    const QString lines[] = {
        u"office ffi Trip"_s,           QString::fromUtf8("سلام لا عليكم"),
        QString::fromUtf8("שָׁלוֹם עולם"), QString::fromUtf8("东京旅行 写真"),
        QString::fromUtf8("ἄλφα ά̃ ὢ"),  QString::fromUtf8("Fox 🦊 Ω"),
    };
    for (const QString &line : lines) {
        SCOPED_TRACE(line.toStdString());
        Page page;
        page.newImage(400, 50);
        QFont font(u"DejaVu Sans"_s, 20);
        font.setUnderline(line.startsWith(u'o'));
        page.setFont(font);
        page.setTextColor(0x602010);
        page.drawText(12, 6, line);
        QTemporaryDir dir;
        QString error;
        ASSERT_TRUE(createPageWriter(ImageFormat::Pdf)->write(page, dir.filePath(u"t.pdf"_s), error));
        EXPECT_EQ(text(dir.filePath(u"t.pdf"_s)), line);
        const QImage drawn = rendered(dir.filePath(u"t.pdf"_s));
        EXPECT_EQ(bestOffset(drawn, page.image()), QPoint(0, 0));
        EXPECT_LT(channelDifference(drawn, page.image()), 3.0);
    }
}
