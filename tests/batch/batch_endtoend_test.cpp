#include "core/registrystore.h"
#include "core/settingspersistence.h"
#include "generation/imageloader.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QString kData = QStringLiteral(PAGORRA_TESTDATA);
const QString kPhotos = kData + u"/photos"_s;

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

// Never the user's own settings: an empty settings folder unless a test brings one. Through
// the shell, `shellTail` may add arguments printf makes from octal escapes: bytes that are not
// UTF-8, which QProcess cannot pass.
void startBatch(QProcess &p, const QStringList &arguments, const QString &configHome = {},
                const QString &shellTail = {}, const QString &workingFolder = {})
{
    static QTemporaryDir emptyConfig;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, configHome.isEmpty() ? emptyConfig.path() : configHome);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingFolder);
    p.start(u"/bin/sh"_s,
            QStringList{u"-c"_s, u"exec \"$0\" \"$@\" "_s + shellTail, QStringLiteral(PAGORRA_BATCH_EXE)} + arguments);
}

Outcome runBatch(const QStringList &arguments, const QString &configHome = {}, const QString &shellTail = {},
                 const QString &workingFolder = {})
{
    QProcess p;
    startBatch(p, arguments, configHome, shellTail, workingFolder);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QStringList photoFiles()
{
    QStringList files;
    for (const QString &name : QDir(kPhotos).entryList(QDir::Files, QDir::Name))
        files << kPhotos + u'/' + name;
    return files;
}

// Lines of a tool's standard output; empty when it fails.
QStringList toolOutput(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A file named by its own bytes, which need not be UTF-8.
void writeNative(const QByteArray &path, const QByteArray &bytes)
{
    std::ofstream(path.constData(), std::ios::binary) << bytes.toStdString();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

// The files of two folders are the same, byte for byte.
void expectSameFiles(const QString &a, const QString &b)
{
    ASSERT_FALSE(filesIn(a).isEmpty()) << a.toStdString();
    ASSERT_EQ(filesIn(a), filesIn(b)) << b.toStdString();
    for (const QString &name : filesIn(a))
        EXPECT_TRUE(readBytes(a + u'/' + name) == readBytes(b + u'/' + name)) << name.toStdString();
}

// The rows of a CSV manifest by column name; the reason, last, may hold quoted commas.
QList<QHash<QString, QString>> csvRows(const QString &path)
{
    QStringList lines = QString::fromUtf8(readBytes(path)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    const QStringList names = lines.takeFirst().split(u',');
    QList<QHash<QString, QString>> rows;
    for (const QString &line : lines) {
        QStringList fields = line.split(u',');
        fields = fields.mid(0, names.size() - 1) << fields.mid(names.size() - 1).join(u',').remove(u'"');
        QHash<QString, QString> row;
        for (qsizetype k = 0; k < names.size(); ++k)
            row[names.at(k)] = fields.value(k);
        rows << row;
    }
    return rows;
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
        {{u"--caption"_s, u"{name} {nmae}"_s, o, sheet, kPhotos},
         2,
         u"--caption needs known tokens only, not {nmae}"_s},
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

// A folder gives the newer picture types only when the flag or the stored Input choice
// offers them; the types it always gave are given either way.
TEST(BatchEndToEnd, FoldersGiveTheNewerTypesWhenOffered)
{
    QTemporaryDir config, dir;
    const QString folder = dir.filePath(u"in"_s), sheet = dir.filePath(u"S.png"_s);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"in"_s));
    for (const QString &file :
         {u"/photos/mde_HTC_One.jpg"_s, u"/photos/exifsamples_jolla.jpg"_s, u"/formats/heic/mde_IMG_2927.heic"_s,
          u"/formats/webp/mde_Alpha_Lossless_1.webp"_s, u"/formats/raw/exiftool_FujiFilm.raf"_s})
        ASSERT_TRUE(QFile::link(kData + file, folder + file.section(u'/', -1).prepend(u'/')));
    const struct {
        QStringList flags;
        QString stored; // the Input section's ReadAllFormats
        int placed;
    } cases[] = {{{}, {}, 2}, {{u"--all-formats"_s}, {}, 5}, {{}, u"True"_s, 5}, {{}, u"False"_s, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags.join(u' ').toStdString() + c.stored.toStdString());
        const QString storePath = config.filePath(u"pagorra/settings.json"_s);
        QFile::remove(storePath);
        if (!c.stored.isEmpty())
            RegistryStore(storePath).setSections({{inputSection(), {{u"ReadAllFormats"_s, c.stored}}}});
        const Outcome r = runBatch(kSmallPages + c.flags + QStringList{u"-o"_s, sheet, folder}, config.path());
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(u", %1 picture(s) placed"_s.arg(c.placed))) << r.out.toStdString();
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
         "--caption --caption-lines --caption-font --footer "
         "--output --job --save-job --manifest @LIST .pcx Sheet1.png"_s.split(u' '))
        EXPECT_TRUE(words.contains(word)) << word.toStdString();
}

// Captioned pages as the manual's example makes them: every placed name and the page count are
// text a reader finds. Unreadable files at the end leave fewer pages than the footers of pages
// written before could know; the pages are then made again with their right count. A caption
// shortened to fit is listed at the end, its name escaped.
TEST(BatchEndToEnd, CaptionsAndFootersAreTextAndThePageCountIsRight)
{
    QTemporaryDir dir;
    const QString odd = dir.filePath(u"Start"_s + QString(150, u'x') + u"\n.jpg"_s);
    ASSERT_TRUE(QFile::link(photoFiles().at(0), odd));
    QStringList inputs = photoFiles() << odd;
    for (int i = 0; i < 6; ++i)
        inputs << dir.filePath(u"gone%1.jpg"_s.arg(i));
    // Twelve to a page, each caption whole in its 300-pixel cell.
    const Outcome r = runBatch(QStringList{u"--page"_s, u"1300x700"_s, u"--cell"_s, u"300x150"_s, u"--title"_s,
                                           u"Trip"_s, u"--caption"_s, u"{name}"_s, u"--footer"_s,
                                           u"{title}||Page {page} of {pages}"_s, u"-o"_s, dir.filePath(u"s.pdf"_s)} +
                               inputs);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"6 file(s) could not be read, so the pages are made once more"_s));
    EXPECT_TRUE(r.err.contains(u"1 caption(s) or footer(s) shortened to fit:\n  %1/Startxxx"_s.arg(dir.path())));
    EXPECT_TRUE(r.err.contains(u"xxx\\n.jpg\n"_s)) << r.err.toStdString();
    QString text;
    for (int page = 1; page <= 2; ++page) {
        const QString pageText = toolOutput(u"pdftotext"_s, {dir.filePath(u"s%1.pdf"_s.arg(page)), u"-"_s}).join(u' ');
        EXPECT_TRUE(pageText.contains(u"Page %1 of 2"_s.arg(page))) << pageText.toStdString();
        text += pageText;
    }
    for (const QString &photo : photoFiles())
        EXPECT_TRUE(text.contains(QFileInfo(photo).fileName())) << photo.toStdString();
    EXPECT_EQ(filesIn(dir.path()).filter(u".pdf"_s), (QStringList{u"s1.pdf"_s, u"s2.pdf"_s}));
}

// Jobs and manifests: a saved job makes the pages of the run it describes, wherever its folder
// goes; a manifest says where each file went or why it did not, and neither pages nor manifest
// depend on the number of decoding threads.
TEST(BatchJob, SavedJobMakesTheDirectRunsPagesAndMovesWithItsFolder)
{
    QTemporaryDir tmp;
    const QString trip = tmp.filePath(u"trip"_s), moved = tmp.filePath(u"moved"_s);
    for (const char *folder : {"photos", "out", "direct", "before", "after"})
        ASSERT_TRUE(QDir().mkpath(trip + u'/' + QLatin1StringView(folder)));
    for (const QString &photo : photoFiles().mid(0, 9))
        ASSERT_TRUE(QFile::copy(photo, trip + u"/photos/"_s + QFileInfo(photo).fileName()));
    const QStringList look{u"--cell"_s, u"200x125"_s, u"--title"_s, u"T"_s};
    ASSERT_EQ(runBatch(look + QStringList{u"-o"_s, u"direct/S.png"_s, u"photos"_s}, {}, {}, trip).exitCode, 0);
    const Outcome saved = runBatch(QStringList{u"--save-job"_s, u"j.pagorra"_s} + look +
                                       QStringList{u"-o"_s, u"out/S.png"_s, u"photos"_s},
                                   {}, {}, trip);
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_EQ(filesIn(trip + u"/out"_s), QStringList()); // saved, not run
    const QByteArray job = readBytes(trip + u"/j.pagorra"_s);
    EXPECT_TRUE(job.contains("\"photos/") && job.contains("\"out/S.png\"") && !job.contains(trip.toUtf8()));

    ASSERT_TRUE(QDir().rename(trip, moved));
    const QString movedJob = moved + u"/j.pagorra"_s;
    const Outcome run = runBatch({u"--job"_s, movedJob}, {}, {}, tmp.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectSameFiles(moved + u"/direct"_s, moved + u"/out"_s);
    // Options before --job give way to the job's values; those after it override them.
    ASSERT_EQ(runBatch({u"--title"_s, u"X"_s, u"--job"_s, movedJob, u"-o"_s, moved + u"/before/S.png"_s}).exitCode, 0);
    expectSameFiles(moved + u"/direct"_s, moved + u"/before"_s);
    ASSERT_EQ(runBatch({u"--job"_s, movedJob, u"--title"_s, u"X"_s, u"-o"_s, moved + u"/after/S.png"_s}).exitCode, 0);
    EXPECT_FALSE(readBytes(moved + u"/direct/S.png"_s) == readBytes(moved + u"/after/S.png"_s));
}

// Numbered PNG pages and PDF and TIFF documents come out the same with one decoding thread or
// four, and so do their manifests; the manifest's cells are where the pictures are on the
// pages, and entries without a picture say why.
TEST(BatchJob, PagesAndManifestsAreTheSameWhateverTheThreadsAndTheCellsMatchThePages)
{
    QTemporaryDir tmp;
    qputenv("SOURCE_DATE_EPOCH", "1700000000");
    const QString corrupt = QDir::cleanPath(kData + u"/corrupt/made_soi_only.jpg"_s),
                  missing = tmp.filePath(u"gone.jpg"_s);
    QStringList inputs;
    for (const QString &photo : photoFiles().mid(0, 11))
        inputs << QDir::cleanPath(photo);
    inputs.insert(4, corrupt);
    inputs.insert(7, missing);
    const QStringList page{u"--page"_s, u"400x300"_s, u"--cell"_s, u"120x80"_s, u"--no-title"_s};
    for (const QString &output : {u"S.png"_s, u"D.pdf"_s, u"D.tif"_s}) {
        for (const char *threads : {"1", "4"}) {
            const QString folder = tmp.filePath(output + QLatin1StringView(threads));
            ASSERT_TRUE(QDir().mkpath(folder));
            for (const char *manifest : {"m.csv", "m.json"}) {
                QStringList flags = page + QStringList{u"--jobs"_s,     QLatin1StringView(threads),
                                                       u"--manifest"_s, folder + u'/' + QLatin1StringView(manifest),
                                                       u"-o"_s,         folder + u'/' + output};
                if (!output.endsWith(u".png"_s))
                    flags << u"--multipage"_s;
                const Outcome r = runBatch(flags + inputs);
                ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            }
        }
        expectSameFiles(tmp.filePath(output + u'1'), tmp.filePath(output + u'4'));
    }

    const QList<QHash<QString, QString>> rows = csvRows(tmp.filePath(u"S.png1/m.csv"_s));
    ASSERT_EQ(rows.size(), inputs.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QHash<QString, QString> &row = rows.at(i);
        SCOPED_TRACE(inputs.at(i).toStdString());
        EXPECT_EQ(row[u"path"_s].toStdString(), inputs.at(i).toStdString());
        if (inputs.at(i) == corrupt || inputs.at(i) == missing) {
            EXPECT_EQ(row[u"page"_s], QString());
            EXPECT_TRUE(
                row[u"reason"_s].startsWith(inputs.at(i) == missing ? u"missing: No such file"_s : u"no picture: "_s));
            continue;
        }
        EXPECT_EQ(row[u"size"_s].toLongLong(), QFileInfo(inputs.at(i)).size());
        QImage sheet(tmp.filePath(u"S.png1/S%1.png"_s.arg(row[u"page"_s])));
        sheet.setColorSpace(QColorSpace()); // the page is tagged sRGB, the thumbnail is not
        const QRect cell(row[u"x"_s].toInt(), row[u"y"_s].toInt(), row[u"width"_s].toInt(), row[u"height"_s].toInt());
        const auto picture = loadPicture({inputs.at(i), LoadAs::Fixed, cell.width(), cell.height(), 0xFFFFFF, true});
        ASSERT_TRUE(picture);
        EXPECT_TRUE(sheet.copy(cell).convertToFormat(QImage::Format_RGB32) ==
                    picture->bitmap.convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(QSize(row[u"original_width"_s].toInt(), row[u"original_height"_s].toInt()),
                  QSize(picture->actualWidth, picture->actualHeight));
    }
    EXPECT_EQ(rows.at(6)[u"page"_s] + rows.at(6)[u"row"_s] + rows.at(6)[u"column"_s], u"123"_s);
    EXPECT_EQ(rows.at(11)[u"page"_s] + rows.at(11)[u"row"_s] + rows.at(11)[u"column"_s], u"211"_s);

    const QJsonArray entries =
        QJsonDocument::fromJson(readBytes(tmp.filePath(u"S.png1/m.json"_s))).object()[u"entries"_s].toArray();
    ASSERT_EQ(entries.size(), rows.size());
    EXPECT_EQ(entries.at(7)[u"reason"_s].toString(), rows.at(7)[u"reason"_s]);
}

// The digest is of the file's bytes, as any other tool computes it.
TEST(BatchJob, ManifestDigestsAreThoseOfSha256sum)
{
    QTemporaryDir tmp;
    const QStringList photos{QDir::cleanPath(photoFiles().at(0)), QDir::cleanPath(photoFiles().at(1))};
    ASSERT_EQ(
        runBatch({u"--manifest"_s, tmp.filePath(u"m.csv"_s), u"-o"_s, tmp.filePath(u"S.png"_s), photos[0], photos[1]})
            .exitCode,
        0);
    QStringList digests;
    for (const QHash<QString, QString> &row : csvRows(tmp.filePath(u"m.csv"_s)))
        digests << row[u"sha256"_s] + u"  "_s + row[u"path"_s];
    EXPECT_EQ(digests.join(u'\n').toStdString(), toolOutput(u"sha256sum"_s, photos).join(u'\n').toStdString());
}
