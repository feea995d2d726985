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
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.isEmpty() ? emptyConfig.path() : configHome);
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
    const QDir photos(kData + QStringLiteral("/photos"));
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
    return toolOutput(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%wx%h\n"), file});
}

// "Pages" and the size of page 1 in points, as poppler reads the PDF.
std::pair<int, QString> pdfPages(const QString &file)
{
    int pages = 0;
    QString size;
    for (const QString &line : toolOutput(QStringLiteral("pdfinfo"), {file})) {
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
    return {QStringLiteral("--page"), QStringLiteral("400x300"), QStringLiteral("--cell"), QStringLiteral("120x80"),
            QStringLiteral("--no-title")};
}

} // namespace

TEST(BatchEndToEnd, RealPhotosGiveNumberedPagesWithThumbnailsInTheirCells)
{
    QTemporaryDir dir;
    const QString broken = kData + QStringLiteral("/corrupt/made_trunc2KB_in_exif_Canon_G11.jpg");
    const QString list = dir.filePath(QStringLiteral("more.txt"));
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(broken.toUtf8() + '\n');
    }
    const QString output = dir.filePath(QStringLiteral("Sheet.png"));
    // 3 columns with 10-pixel gaps, 3 rows with 15-pixel gaps
    const Outcome r = runBatch(smallPages() + QStringList{QStringLiteral("--uniform"), QStringLiteral("--background"),
                                                          QStringLiteral("#204060"), QStringLiteral("--jobs"),
                                                          QStringLiteral("2"), QStringLiteral("-o"), output,
                                                          kData + QStringLiteral("/photos"), QLatin1Char('@') + list});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("made_trunc2KB_in_exif_Canon_G11.jpg")));

    const QStringList photos = QDir(kData + QStringLiteral("/photos")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(photos.size(), 19);
    const QStringList written = QDir(dir.path()).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    EXPECT_EQ(written,
              (QStringList{QStringLiteral("Sheet1.png"), QStringLiteral("Sheet2.png"), QStringLiteral("Sheet3.png")}));

    for (int k = 0; k < photos.size(); ++k) {
        SCOPED_TRACE(photos.at(k).toStdString());
        const QImage page(dir.filePath(QStringLiteral("Sheet%1.png").arg(k / 9 + 1)));
        ASSERT_EQ(page.size(), QSize(400, 300));
        const int cell = k % 9;
        const QPoint at(10 + (cell % 3) * 130, 15 + (cell / 3) * 95);
        const auto expected = loadPicture(
            {QDir(kData + QStringLiteral("/photos")).filePath(photos.at(k)), LoadAs::Fixed, 120, 80, 0x00604020, true});
        ASSERT_TRUE(expected);
        EXPECT_LE(maxDifference(page, at, expected->bitmap), 2);
    }
    // gaps and the empty rest of the last page keep the background
    const QImage last(dir.filePath(QStringLiteral("Sheet3.png")));
    EXPECT_EQ(last.pixel(5, 150), qRgb(0x20, 0x40, 0x60));
    EXPECT_EQ(last.pixel(200, 200), qRgb(0x20, 0x40, 0x60));
}

class BatchFormats : public ::testing::TestWithParam<const char *> {};

TEST_P(BatchFormats, NumberedPagesAndASinglePageAreWrittenInTheFormatOfTheExtension)
{
    const QString extension = QString::fromLatin1(GetParam());
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("Sheet.") + extension);
    const Outcome two = runBatch(smallPages() + QStringList{QStringLiteral("-o"), output} + firstPhotos(11));
    ASSERT_EQ(two.exitCode, 0) << two.err.toStdString();
    const QStringList numbered{QStringLiteral("Sheet1.") + extension, QStringLiteral("Sheet2.") + extension};
    EXPECT_EQ(filesIn(dir.path()), numbered);
    EXPECT_TRUE(two.out.contains(QStringLiteral("2 page(s) written, 11 picture(s) placed")));

    const QString single = dir.filePath(QStringLiteral("One.") + extension);
    const Outcome one = runBatch(smallPages() + QStringList{QStringLiteral("-o"), single} + firstPhotos(3));
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(single));

    for (const QString &file : {dir.filePath(numbered.at(0)), dir.filePath(numbered.at(1)), single}) {
        SCOPED_TRACE(file.toStdString());
        if (extension == u"pdf") {
            // 400x300 pixels at 96 pixels per inch
            EXPECT_EQ(pdfPages(file), std::make_pair(1, QStringLiteral("300 x 225")));
        } else {
            // a layered format may carry the flattened page twice; every frame is the page
            const QStringList frames = rasterFrames(file);
            ASSERT_FALSE(frames.isEmpty());
            for (const QString &frame : frames)
                EXPECT_EQ(frame, QStringLiteral("400x300"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Extensions, BatchFormats,
                         ::testing::Values("bmp", "gif", "jpg", "tif", "psd", "pcx", "pdf", "png", "JPEG", "tiff"));

TEST(BatchEndToEnd, MultipageWritesOneDocumentWithEveryPage)
{
    QTemporaryDir dir;
    // 19 photos, nine a page: three pages
    for (const QString &name : {QStringLiteral("Sheets.pdf"), QStringLiteral("Sheets.tif")}) {
        SCOPED_TRACE(name.toStdString());
        const Outcome r = runBatch(smallPages() + QStringList{QStringLiteral("--multipage"), QStringLiteral("-o"),
                                                              dir.filePath(name), kData + QStringLiteral("/photos")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("3 page(s) written, 19 picture(s) placed")));
    }
    EXPECT_EQ(filesIn(dir.path()), (QStringList{QStringLiteral("Sheets.pdf"), QStringLiteral("Sheets.tif")}));
    EXPECT_EQ(pdfPages(dir.filePath(QStringLiteral("Sheets.pdf"))), std::make_pair(3, QStringLiteral("300 x 225")));
    EXPECT_EQ(rasterFrames(dir.filePath(QStringLiteral("Sheets.tif"))),
              (QStringList{QStringLiteral("400x300"), QStringLiteral("400x300"), QStringLiteral("400x300")}));
}

// Refusals come before any page is made: the exit code says whose fault it is, nothing is written.
TEST(BatchEndToEnd, RefusedRunsWriteNothing)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString photos = kData + QStringLiteral("/photos");
    const QString o = QStringLiteral("-o");
    const struct {
        QStringList arguments;
        int exitCode;
        QString message;
    } cases[] = {
        {{o, dir.filePath(QStringLiteral("S.png")), photos + QStringLiteral("/mde_HTC_One.jpg")},
         1,
         QStringLiteral("At least two images are required in the basket to use this feature!")},
        {{QStringLiteral("--page"), QStringLiteral("big"), o, dir.filePath(QStringLiteral("S.png")), photos},
         2,
         QStringLiteral("Usage:")},
        {{o, dir.filePath(QStringLiteral("S.webp")), photos}, 2, QStringLiteral("Usage:")},
        {{QStringLiteral("--multipage"), o, dir.filePath(QStringLiteral("missing/S.pdf")), photos},
         1,
         QStringLiteral("cannot write into the folder")},
        {{QStringLiteral("--multipage"), o, locked + QStringLiteral("/S.pdf"), photos},
         1,
         QStringLiteral("cannot write into the folder")},
    };
    for (const auto &c : cases) {
        if (::geteuid() == 0 && c.arguments.join(u' ').contains(locked)) // root writes into any folder
            continue;
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const Outcome r = runBatch(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("placed")));
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList());
    EXPECT_TRUE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST(BatchEndToEnd, StoredSettingsAreReadNeverWrittenAndFlagsOverrideThem)
{
    QTemporaryDir config;
    const QString storePath = config.filePath(QStringLiteral("pagorra/settings.json"));
    RegistryStore(storePath).setValues(settingsSection(),
                                       {{QStringLiteral("PageWidth"), QStringLiteral("640")},
                                        {QStringLiteral("PageHeight"), QStringLiteral("480")},
                                        {QStringLiteral("AddTitle"), QStringLiteral("0")},
                                        {QStringLiteral("PageBackColor"), QStringLiteral("255")}}); // red
    const QStringList before = snapshot(config.path());

    QTemporaryDir out;
    const QString stored = out.filePath(QStringLiteral("Stored.png"));
    const QString flagged = out.filePath(QStringLiteral("Flagged.png"));
    const Outcome a = runBatch(QStringList{QStringLiteral("-o"), stored} + firstPhotos(2), config.path());
    const Outcome b =
        runBatch(QStringList{QStringLiteral("--background"), QStringLiteral("#00FF00"), QStringLiteral("-o"), flagged} +
                     firstPhotos(2),
                 config.path());
    ASSERT_EQ(a.exitCode, 0) << a.err.toStdString();
    ASSERT_EQ(b.exitCode, 0) << b.err.toStdString();
    EXPECT_FALSE(a.err.contains(QStringLiteral("pagorra-batch:"))) << a.err.toStdString(); // nothing to report
    const QImage fromStore(stored), withFlag(flagged);
    EXPECT_EQ(fromStore.size(), QSize(640, 480));
    EXPECT_EQ(withFlag.size(), QSize(640, 480));
    EXPECT_EQ(fromStore.pixel(630, 470), qRgb(255, 0, 0));
    EXPECT_EQ(withFlag.pixel(630, 470), qRgb(0, 255, 0));
    EXPECT_EQ(snapshot(config.path()), before);
}
