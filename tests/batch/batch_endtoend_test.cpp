#include "core/registrystore.h"
#include "core/settingspersistence.h"
#include "generation/imageloader.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QString kData = QStringLiteral(PAGORRA_TESTDATA);

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

Outcome runBatch(const QStringList &arguments, const QString &configHome = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Never the user's own settings: an empty settings folder unless a test brings one.
    static QTemporaryDir emptyConfig;
    env.insert(u"XDG_CONFIG_HOME"_s, configHome.isEmpty() ? emptyConfig.path() : configHome);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PAGORRA_BATCH_EXE), arguments);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

int maxDifference(const QImage &page, QPoint at, const QImage &cell)
{
    int worst = 0;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x) {
            const QRgb a = page.pixel(at.x() + x, at.y() + y), b = cell.pixel(x, y);
            worst = std::max(
                {worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        }
    return worst;
}

QStringList firstPhotos(int count)
{
    const QDir photos(kData + u"/photos"_s);
    QStringList files;
    for (const QString &name : photos.entryList(QDir::Files, QDir::Name).mid(0, count))
        files << photos.filePath(name);
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

// Width x height of every frame of a raster file, as ImageMagick reads it.
QStringList rasterFrames(const QString &file)
{
    return toolOutput(u"identify"_s, {u"-format"_s, u"%wx%h\n"_s, file});
}

// "Pages" and the size of page 1 in points, as poppler reads the PDF.
std::pair<int, QString> pdfPages(const QString &file)
{
    int pages = 0;
    QString size;
    for (const QString &line : toolOutput(u"pdfinfo"_s, {file})) {
        if (line.startsWith(u"Pages:"))
            pages = line.mid(6).trimmed().toInt();
        if (line.startsWith(u"Page size:"))
            size = line.mid(10).trimmed().section(u' ', 0, 2);
    }
    return {pages, size};
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Names, sizes, times and bytes of everything under a folder.
QStringList snapshot(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile f(info.filePath());
        const QByteArray bytes = info.isFile() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        out << info.filePath() + u' ' + info.lastModified().toString(Qt::ISODateWithMs) + u' ' +
                   QString::fromLatin1(bytes.toHex());
    }
    out.sort();
    return out;
}

// 400x300 pages of 120x80 cells hold nine thumbnails: eleven photos make two pages.
QStringList smallPages()
{
    return {u"--page"_s, u"400x300"_s, u"--cell"_s, u"120x80"_s, u"--no-title"_s};
}

} // namespace

// Whatever decoders a damaged file passes through first, the process lives on: each file of
// the corrupt set, alone in a fresh process ahead of a good photo, is skipped and the photo's
// page is written.
TEST(BatchEndToEnd, EveryCorruptFileIsSkippedWithoutCrashing)
{
    QTemporaryDir dir;
    const QString photo = firstPhotos(1).value(0);
    const QDir corrupt(kData + u"/corrupt"_s);
    for (const QString &name : corrupt.entryList(QDir::Files, QDir::Name)) {
        QProcess p;
        p.start(QStringLiteral(PAGORRA_BATCH_EXE), {u"--page"_s, u"400x300"_s, u"--cell"_s, u"140x88"_s, u"-o"_s,
                                                    dir.filePath(u"Sheet.png"_s), corrupt.filePath(name), photo});
        ASSERT_TRUE(p.waitForFinished(120000)) << qPrintable(name);
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << qPrintable(name);
        EXPECT_EQ(p.exitCode(), 0) << qPrintable(name) << ": " << p.readAllStandardError().constData();
    }
}

TEST(BatchEndToEnd, RealPhotosGiveNumberedPagesWithThumbnailsInTheirCells)
{
    QTemporaryDir dir;
    const QString broken = kData + u"/corrupt/made_trunc2KB_in_exif_Canon_G11.jpg"_s;
    const QString list = dir.filePath(u"more.txt"_s);
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(broken.toUtf8() + '\n');
    }
    const QString output = dir.filePath(u"Sheet.png"_s);
    // 3 columns with 10-pixel gaps, 3 rows with 15-pixel gaps
    const Outcome r =
        runBatch(smallPages() + QStringList{u"--uniform"_s, u"--background"_s, u"#204060"_s, u"--jobs"_s, u"2"_s,
                                            u"-o"_s, output, kData + u"/photos"_s, QLatin1Char('@') + list});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"made_trunc2KB_in_exif_Canon_G11.jpg"_s));

    const QStringList photos = QDir(kData + u"/photos"_s).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(photos.size(), 19);
    const QStringList written = QDir(dir.path()).entryList({u"*.png"_s}, QDir::Files, QDir::Name);
    EXPECT_EQ(written, (QStringList{u"Sheet1.png"_s, u"Sheet2.png"_s, u"Sheet3.png"_s}));

    for (int k = 0; k < photos.size(); ++k) {
        SCOPED_TRACE(photos.at(k).toStdString());
        const QImage page(dir.filePath(u"Sheet%1.png"_s.arg(k / 9 + 1)));
        ASSERT_EQ(page.size(), QSize(400, 300));
        const int cell = k % 9;
        const QPoint at(10 + (cell % 3) * 130, 15 + (cell / 3) * 95);
        const auto expected =
            loadPicture({QDir(kData + u"/photos"_s).filePath(photos.at(k)), LoadAs::Fixed, 120, 80, 0x00604020, true});
        ASSERT_TRUE(expected);
        EXPECT_LE(maxDifference(page, at, expected->bitmap), 2);
    }
    // gaps and the empty rest of the last page keep the background
    const QImage last(dir.filePath(u"Sheet3.png"_s));
    EXPECT_EQ(last.pixel(5, 150), qRgb(0x20, 0x40, 0x60));
    EXPECT_EQ(last.pixel(200, 200), qRgb(0x20, 0x40, 0x60));
}

class BatchFormats : public ::testing::TestWithParam<const char *> {};

// A single page keeping the name as given is seen in the stored-settings test.
TEST_P(BatchFormats, NumberedPagesAreWrittenInTheFormatOfTheExtension)
{
    const QString extension = QString::fromLatin1(GetParam());
    QTemporaryDir dir;
    const QString output = dir.filePath(u"Sheet."_s + extension);
    const Outcome two = runBatch(smallPages() + QStringList{u"-o"_s, output} + firstPhotos(11));
    ASSERT_EQ(two.exitCode, 0) << two.err.toStdString();
    const QStringList numbered{u"Sheet1."_s + extension, u"Sheet2."_s + extension};
    EXPECT_EQ(filesIn(dir.path()), numbered);
    EXPECT_TRUE(two.out.contains(u"2 page(s) written, 11 picture(s) placed"_s));
    for (const QString &name : numbered) {
        const QString file = dir.filePath(name);
        SCOPED_TRACE(file.toStdString());
        if (extension == u"pdf") {
            // 400x300 pixels at 96 pixels per inch
            EXPECT_EQ(pdfPages(file), std::make_pair(1, u"300 x 225"_s));
        } else {
            // a layered format may carry the flattened page twice; every frame is the page
            const QStringList frames = rasterFrames(file);
            ASSERT_FALSE(frames.isEmpty());
            for (const QString &frame : frames)
                EXPECT_EQ(frame, u"400x300"_s);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Extensions, BatchFormats,
                         ::testing::Values("bmp", "gif", "jpg", "tif", "psd", "pcx", "pdf", "png", "JPEG", "tiff"));

TEST(BatchEndToEnd, MultipageWritesOneDocumentWithEveryPage)
{
    QTemporaryDir dir;
    // 19 photos, nine a page: three pages
    for (const QString &name : {u"Sheets.pdf"_s, u"Sheets.tif"_s}) {
        SCOPED_TRACE(name.toStdString());
        const Outcome r =
            runBatch(smallPages() + QStringList{u"--multipage"_s, u"-o"_s, dir.filePath(name), kData + u"/photos"_s});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(u"3 page(s) written, 19 picture(s) placed"_s));
    }
    EXPECT_EQ(filesIn(dir.path()), (QStringList{u"Sheets.pdf"_s, u"Sheets.tif"_s}));
    EXPECT_EQ(pdfPages(dir.filePath(u"Sheets.pdf"_s)), std::make_pair(3, u"300 x 225"_s));
    EXPECT_EQ(rasterFrames(dir.filePath(u"Sheets.tif"_s)), (QStringList{u"400x300"_s, u"400x300"_s, u"400x300"_s}));
}

// Refusals come before any page is made: the exit code says whose fault it is, nothing is written.
TEST(BatchEndToEnd, RefusedRunsWriteNothing)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(u"locked"_s);
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString photos = kData + u"/photos"_s;
    const QString o = u"-o"_s;
    const struct {
        QStringList arguments;
        int exitCode;
        QString message;
    } cases[] = {
        {{o, dir.filePath(u"S.png"_s), photos + u"/mde_HTC_One.jpg"_s},
         1,
         u"At least two images are required in the basket to use this feature!"_s},
        {{u"--page"_s, u"big"_s, o, dir.filePath(u"S.png"_s), photos}, 2, u"Usage:"_s},
        {{o, dir.filePath(u"S.webp"_s), photos}, 2, u"Usage:"_s},
        {{u"--multipage"_s, o, dir.filePath(u"missing/S.pdf"_s), photos}, 1, u"cannot write into the folder"_s},
        {{u"--multipage"_s, o, locked + u"/S.pdf"_s, photos}, 1, u"cannot write into the folder"_s},
    };
    for (const auto &c : cases) {
        if (::geteuid() == 0 && c.arguments.join(u' ').contains(locked)) // root writes into any folder
            continue;
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const Outcome r = runBatch(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(u"placed"_s));
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList());
    EXPECT_TRUE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST(BatchEndToEnd, StoredSettingsAreReadNeverWrittenAndFlagsOverrideThem)
{
    QTemporaryDir config;
    const QString storePath = config.filePath(u"pagorra/settings.json"_s);
    RegistryStore(storePath).setValues(settingsSection(), {{u"PageWidth"_s, u"640"_s},
                                                           {u"PageHeight"_s, u"480"_s},
                                                           {u"AddTitle"_s, u"0"_s},
                                                           {u"PageBackColor"_s, u"255"_s}}); // red
    const QStringList before = snapshot(config.path());

    QTemporaryDir out;
    const QString stored = out.filePath(u"Stored.png"_s);
    const QString flagged = out.filePath(u"Flagged.png"_s);
    const Outcome a = runBatch(QStringList{u"-o"_s, stored} + firstPhotos(2), config.path());
    const Outcome b =
        runBatch(QStringList{u"--background"_s, u"#00FF00"_s, u"-o"_s, flagged} + firstPhotos(2), config.path());
    ASSERT_EQ(a.exitCode, 0) << a.err.toStdString();
    ASSERT_EQ(b.exitCode, 0) << b.err.toStdString();
    EXPECT_FALSE(a.err.contains(u"pagorra-batch:"_s)) << a.err.toStdString(); // nothing to report
    const QImage fromStore(stored), withFlag(flagged);
    EXPECT_EQ(fromStore.size(), QSize(640, 480));
    EXPECT_EQ(withFlag.size(), QSize(640, 480));
    EXPECT_EQ(fromStore.pixel(630, 470), qRgb(255, 0, 0));
    EXPECT_EQ(withFlag.pixel(630, 470), qRgb(0, 255, 0));
    EXPECT_EQ(snapshot(config.path()), before);
}
