// Jobs and manifests through the batch tool: a saved job makes the pages of the run it
// describes, wherever its folder goes; a manifest says where each file went or why it did not,
// and neither pages nor manifest depend on the number of decoding threads.
#include "generation/imageloader.h"

#include "batchrun.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace batchrun;
using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

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

} // namespace

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
    EXPECT_EQ(filesIn(moved + u"/after"_s), QStringList{u"S.png"_s});
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
    EXPECT_EQ(entries.at(11)[u"y"_s].toInt(), rows.at(11)[u"y"_s].toInt());
}

// The digest is of the file's bytes, as any other tool computes it.
TEST(BatchJob, ManifestDigestsAreThoseOfSha256sum)
{
    QTemporaryDir tmp;
    QStringList photos;
    for (const QString &photo : photoFiles().mid(0, 3))
        photos << QDir::cleanPath(photo);
    ASSERT_EQ(
        runBatch(QStringList{u"--manifest"_s, tmp.filePath(u"m.csv"_s), u"-o"_s, tmp.filePath(u"S.png"_s)} + photos)
            .exitCode,
        0);
    const QList<QHash<QString, QString>> rows = csvRows(tmp.filePath(u"m.csv"_s));
    ASSERT_EQ(rows.size(), photos.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        EXPECT_EQ((rows.at(i)[u"sha256"_s] + u"  "_s + photos.at(i)).toStdString(),
                  toolOutput(u"sha256sum"_s, {photos.at(i)}).value(0).toStdString());
}
