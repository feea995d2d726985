#include "core/registrystore.h"
#include "core/settingspersistence.h"
#include "generation/imageloader.h"

#include "batchrun.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <unistd.h>

using namespace batchrun;
using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// A file named by its own bytes, which need not be UTF-8.
void writeNative(const QByteArray &path, const QByteArray &bytes)
{
    std::ofstream(path.constData(), std::ios::binary) << bytes.toStdString();
}

// 400x300 pages of 120x80 cells hold nine thumbnails.
const QStringList kSmallPages{u"--page"_s, u"400x300"_s, u"--cell"_s, u"120x80"_s, u"--no-title"_s};

} // namespace

// Whatever decoders a damaged file passes through first, the process lives on: each file of
// the corrupt set, alone in a fresh process ahead of a good photo, is skipped and the photo's
// page is written.
TEST(BatchEndToEnd, EveryCorruptFileIsSkippedWithoutCrashing)
{
    QTemporaryDir dir;
    const QDir corrupt(kData + u"/corrupt"_s);
    for (const QString &name : corrupt.entryList(QDir::Files, QDir::Name)) {
        const Outcome r = runBatch(
            kSmallPages + QStringList{u"-o"_s, dir.filePath(u"S.png"_s), corrupt.filePath(name), photoFiles()[0]});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(name) << ": " << qPrintable(r.err);
    }
}

// An unreadable entry where a row would end takes no cell: every photo after it still lies
// in its own cell inside the page, and "placed" counts only what is on a page.
TEST(BatchEndToEnd, RealPhotosGiveNumberedPagesWithThumbnailsInTheirCells)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(u"Sheet.png"_s);
    // 3 columns with 10-pixel gaps, 3 rows with 15-pixel gaps; the broken file third
    const QStringList photos = photoFiles();
    const Outcome r =
        runBatch(kSmallPages + QStringList{u"--uniform"_s, u"--background"_s, u"#204060"_s, u"--jobs"_s, u"2"_s,
                                           u"-o"_s, output, photos.at(0), photos.at(1),
                                           kData + u"/corrupt/made_trunc2KB_in_exif_Canon_G11.jpg"_s, kPhotos});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"made_trunc2KB_in_exif_Canon_G11.jpg"_s));
    EXPECT_TRUE(r.out.contains(u"3 page(s) written, 19 picture(s) placed"_s)) << r.out.toStdString();
    EXPECT_EQ(filesIn(dir.path()), (QStringList{u"Sheet1.png"_s, u"Sheet2.png"_s, u"Sheet3.png"_s}));

    ASSERT_EQ(photos.size(), 19);
    for (int k = 0; k < photos.size(); ++k) {
        SCOPED_TRACE(photos.at(k).toStdString());
        QImage page(dir.filePath(u"Sheet%1.png"_s.arg(k / 9 + 1)));
        page.setColorSpace(QColorSpace()); // the page is tagged sRGB, the thumbnail is not
        ASSERT_EQ(page.size(), QSize(400, 300));
        const int cell = k % 9;
        const QPoint at(10 + (cell % 3) * 130, 15 + (cell / 3) * 95);
        const auto expected = loadPicture({photos.at(k), LoadAs::Fixed, 120, 80, 0x00604020, true});
        ASSERT_TRUE(expected);
        EXPECT_TRUE(page.copy(QRect(at, QSize(120, 80))).convertToFormat(QImage::Format_RGB32) ==
                    expected->bitmap.convertToFormat(QImage::Format_RGB32));
    }
    // gaps and the empty rest of the last page keep the background
    const QImage last(dir.filePath(u"Sheet3.png"_s));
    EXPECT_EQ(last.pixel(5, 150), qRgb(0x20, 0x40, 0x60));
    EXPECT_EQ(last.pixel(200, 200), qRgb(0x20, 0x40, 0x60));
}

// A paper at a resolution makes the page the paper's size in pixels there, stated in the file;
// the layout stays in 1/96 inch, so the same photos lie in the same cells as at 96.
TEST(BatchEndToEnd, PaperAndResolutionScaleThePagesNotTheLayout)
{
    QTemporaryDir dir;
    const struct {
        QStringList flags;
        QSize size;
        int dpi;
    } cases[] = {
        {{u"--paper"_s, u"A4"_s, u"--resolution"_s, u"300"_s}, {2480, 3508}, 300},
        {{u"--paper"_s, u"a4"_s}, {794, 1123}, 96},
        {{u"--paper"_s, u"Letter-Landscape"_s, u"--resolution"_s, u"150"_s}, {1650, 1275}, 150},
        {{u"--paper"_s, u"A4"_s, u"--page"_s, u"800x600"_s, u"--resolution"_s, u"200"_s}, {1667, 1250}, 200},
    };
    QList<QImage> pages;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags.join(u' ').toStdString());
        const QString sheet = dir.filePath(u"S%1.png"_s.arg(pages.size()));
        const Outcome r =
            runBatch(c.flags + QStringList{u"--title"_s, u"Trip"_s, u"-o"_s, sheet} + photoFiles().mid(0, 7));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        pages << QImage(sheet).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(pages.last().size(), c.size);
        EXPECT_EQ(pages.last().dotsPerMeterX(), std::lround(c.dpi / 0.0254));
    }
    const QImage shrunk = pages[0].scaled(pages[1].size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double difference = 0;
    for (int y = 0; y < shrunk.height(); ++y)
        for (int x = 0; x < shrunk.width(); ++x)
            difference += std::abs(qGray(shrunk.pixel(x, y)) - qGray(pages[1].pixel(x, y)));
    EXPECT_LT(difference / (shrunk.width() * shrunk.height()), 1.5);
}

// A document holds every page; Ctrl-C or SIGTERM ends a run as a cancel, and then the pages
// made so far are not passed off as the document: the one already there stays as it was.
TEST(BatchEndToEnd, MultipageDocumentAppearsWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"Sheets.pdf"_s), tif = dir.filePath(u"Sheets.tif"_s);
    for (const QString &document : {pdf, tif}) { // 19 photos, nine a page: three pages
        const Outcome r = runBatch(kSmallPages + QStringList{u"--multipage"_s, u"-o"_s, document, kPhotos});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(u"3 page(s) written, 19 picture(s) placed"_s));
    }
    // 400x300 pixels at 96 pixels per inch, as poppler reads the PDF
    const QString info = toolOutput(u"pdfinfo"_s, {pdf}).join(u' ').simplified();
    EXPECT_TRUE(info.contains(u"Pages: 3 "_s) && info.contains(u"Page size: 300 x 225 pts"_s)) << info.toStdString();
    EXPECT_EQ(toolOutput(u"identify"_s, {u"-format"_s, u"%wx%h\n"_s, tif}),
              (QStringList{u"400x300"_s, u"400x300"_s, u"400x300"_s}));

    ASSERT_TRUE(QDir(dir.path()).mkdir(u"many"_s));
    const QStringList photos = photoFiles();
    for (int k = 0; k < 200; ++k) // long enough a run to be interrupted
        QFile::link(photos.at(k % photos.size()), dir.filePath(u"many/p%1.jpg"_s.arg(k)));
    const QByteArray before = readBytes(pdf);
    for (const int signal : {SIGINT, SIGTERM}) {
        QProcess p;
        startBatch(p, kSmallPages + QStringList{u"--multipage"_s, u"-o"_s, pdf, dir.filePath(u"many"_s)});
        for (int k = 0; k < 3000 && filesIn(dir.path()).size() < 3; ++k) // the new document has begun aside
            ::usleep(20000);
        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 130) << signal;
        EXPECT_TRUE(p.readAllStandardError().contains("was not written"));
        EXPECT_TRUE(readBytes(pdf) == before);
        EXPECT_EQ(filesIn(dir.path()), (QStringList{u"Sheets.pdf"_s, u"Sheets.tif"_s}));
    }
}

// Refusals come before any page is made: the exit code says whose fault it is, nothing is written.
TEST(BatchEndToEnd, RefusedRunsWriteNothing)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(u"locked"_s);
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QDir().mkdir(dir.filePath(u"Folder.png"_s)));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString o = u"-o"_s, sheet = dir.filePath(u"S.png"_s), corrupt = kData + u"/corrupt/made_"_s;
    const QString unreadable = u"no picture could be read, so nothing was written"_s;
    const struct {
        QStringList arguments;
        int exitCode;
        QString message;
    } cases[] = {
        {{o, sheet, photoFiles().at(0)}, 1, u"At least two images are required in the basket to use this feature!"_s},
        {{u"--page"_s, u"big"_s, o, sheet, kPhotos}, 2, u"size such as 800x600\nTry 'pagorra-batch --help'"_s},
        {{o, dir.filePath(u"S.webp"_s), kPhotos}, 2, u"output format not supported: .webp"_s},
        {{u"--multipage"_s, o, dir.filePath(u"missing/S.pdf"_s), kPhotos}, 1, u"cannot write into the folder"_s},
        {{u"--multipage"_s, o, locked + u"/S.pdf"_s, kPhotos}, 1, u"cannot write into the folder"_s},
        {{o, dir.filePath(u"Folder.png"_s), kPhotos}, 1, u"a folder of that name is in the way"_s},
        {{o, sheet, u"@/nonexistent/list"_s}, 2, u"cannot read the list /nonexistent/list"_s},
        {{o, sheet, corrupt + u"soi_only.jpg"_s, corrupt + u"zero_length.jpg"_s}, 1, unreadable},
        {{u"--multipage"_s, o, dir.filePath(u"S.pdf"_s), corrupt + u"soi_only.jpg"_s, corrupt + u"zero_length.jpg"_s},
         1,
         unreadable},
    };
    for (const auto &c : cases) {
        if (::geteuid() == 0 && c.arguments.join(u' ').contains(locked)) // root writes into any folder
            continue;
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const Outcome r = runBatch(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(u"written:"_s));
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList());
}

// The stored settings are only read: a value that cannot be read takes its default and is
// reported, a file that cannot be parsed is left where it is, and a value out of range is
// kept but named in the failure.
TEST(BatchEndToEnd, StoredSettingsAreReadNeverWrittenAndFlagsOverrideThem)
{
    QTemporaryDir config, out;
    const QString storePath = config.filePath(u"pagorra/settings.json"_s), sheet = out.filePath(u"S.png"_s);
    const QList<std::pair<QString, QString>> a5{{u"PageWidth"_s, u"559"_s}, {u"PageHeight"_s, u"794"_s}};
    const QList<std::pair<QString, QString>> stored{{u"PageWidth"_s, u"640"_s},
                                                    {u"PageHeight"_s, u"480"_s},
                                                    {u"ThumbnailHeight"_s, u"wide"_s},
                                                    {u"PageBackColor"_s, u"255"_s}}; // red
    const struct {
        QList<std::pair<QString, QString>> values; // none: the file cannot be parsed
        QStringList flags;
        QString page, report; // the page's size and corner colour
        QList<std::pair<QString, QString>> output = {};
    } cases[] = {
        {stored, {}, u"640x480 #ff0000"_s, u"subLoadRegistrySettings"_s},
        {stored, {u"--background"_s, u"#00FF00"_s}, u"640x480 #00ff00"_s, u"subLoadRegistrySettings"_s},
        {{}, {}, u"800x600 #ffffff"_s, storePath},
        {{{u"PageWidth"_s, u"99999999"_s}}, {}, u"none"_s, u"cmdPreview_Click: 6 - Overflow: PageWidth 99999999"_s},
        {a5, {}, u"874x1240 #ffffff"_s, {}, {{u"Paper"_s, u"A5"_s}, {u"Resolution"_s, u"150"_s}}},
        {a5,
         {u"--resolution"_s, u"96"_s},
         u"559x794 #ffffff"_s,
         {},
         {{u"Paper"_s, u"A5"_s}, {u"Resolution"_s, u"150"_s}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report.toStdString());
        QFile::remove(storePath);
        if (c.values.isEmpty())
            writeNative(QFile::encodeName(storePath), "[1, 2]");
        else
            RegistryStore(storePath).setSections({{settingsSection(), c.values}, {outputSection(), c.output}});
        const QByteArray before = readBytes(storePath);
        QFile::remove(sheet);
        const Outcome r = runBatch(c.flags + QStringList{u"-o"_s, sheet} + photoFiles().mid(0, 2), config.path());
        EXPECT_EQ(r.exitCode, c.page == u"none" ? 1 : 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.report) && (!c.report.isEmpty() || r.err.isEmpty())) << r.err.toStdString();
        const QImage page(sheet);
        EXPECT_EQ(page.isNull() ? u"none"_s
                                : u"%1x%2 "_s.arg(page.width()).arg(page.height()) +
                                      QColor(page.pixel(page.width() - 10, page.height() - 10)).name(),
                  c.page);
        EXPECT_EQ(readBytes(storePath), before);
        EXPECT_EQ(filesIn(config.filePath(u"pagorra"_s)), QStringList{u"settings.json"_s});
    }
}

// Every name the file system holds is taken as it is, wherever it comes from (a folder, a
// list, the command line, even one Qt would take for an option of its own), and shown
// escaped, one line each: nothing in a name reaches the terminal as a control sequence or a
// line of its own.
TEST(BatchEndToEnd, NamesAreTakenAsTheFileSystemHoldsThemAndShownEscaped)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"pics"_s));
    const QStringList photos = photoFiles();
    ASSERT_TRUE(QFile::copy(photos.at(0), dir.filePath(u"pics/IMG_0001.JPG"_s)));
    ASSERT_TRUE(QFile::copy(photos.at(1), dir.filePath(u"pics/img_0001.jpg"_s))); // another file
    for (const QByteArray &name : {QByteArray("pics/br\xfbl\xe9.png"), QByteArray("pics/\x1b[2J\x1b]0;x\x07\nfake.png"),
                                   QByteArray("caf\xe9.jpg"), QByteArray("\xe9t\xe9.jpg")})
        writeNative(root + '/' + name, "not a picture");
    writeNative(root + "/list.txt", root + "/caf\xe9.jpg\r\n\n" + root + "/pics/IMG_0001.JPG\n");
    const QString sheet = dir.filePath(u"S.png"_s);
    const QString p = dir.path() + u'/';
    const Outcome r = runBatch({u"-o"_s, sheet, p + u"pics"_s, u"@"_s + p + u"list.txt"_s, u"--"_s, u"-platform"_s}, {},
                               u"\"$(printf '%s\\351t\\351.jpg' '"_s + p + u"')\""_s);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"written: %1\n1 page(s) written, 2 picture(s) placed\n"_s.arg(sheet));
    EXPECT_TRUE(r.err.contains(
        u"5 file(s) could not be read:\n  %1pics/\\x1B[2J\\x1B]0;x\\x07\\nfake.png\n  %1pics/br"
        "\\xFBl\\xE9.png\n  %1caf\\xE9.jpg\n  %2/-platform\n  %1\\xE9t\\xE9.jpg\n"_s.arg(p, QDir::currentPath())))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QChar(0x1B)));
}

// -h names every option and what inputs and outputs may be, --version the release; both end well.
TEST(BatchEndToEnd, HelpNamesEveryOptionAndVersionTheRelease)
{
    const Outcome help = runBatch({u"-h"_s}), version = runBatch({u"--version"_s});
    EXPECT_EQ(help.exitCode + version.exitCode, 0);
    EXPECT_EQ(version.out, QString::asprintf("pagorra-batch %d.%d.%d\n", PAGORRA_VERSION_MAJOR, PAGORRA_VERSION_MINOR,
                                             PAGORRA_VERSION_PATCH));
    const QStringList words = help.out.split(QRegularExpression(u"[\\s,()]+"_s));
    for (const QString &word :
         u"-h --help -v --version --page --cell --margins --uniform --no-uniform --title --no-title "
         "--page-numbers --background --paper --resolution --pdf-links --pdf-jpeg --quality --jobs --multipage -o "
         "--output --job --save-job --manifest @LIST .pcx Sheet1.png"_s.split(u' '))
        EXPECT_TRUE(words.contains(word)) << word.toStdString();
}
