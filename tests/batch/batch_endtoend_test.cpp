#include "generation/imageloader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;

namespace {

const QString kData = QStringLiteral(PAGORRA_TESTDATA);

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

Outcome runBatch(const QStringList &arguments)
{
    QProcess p;
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
    // 400x300 page, 120x80 cells: 3 columns with 10-pixel gaps, 3 rows with 15-pixel gaps.
    const Outcome r = runBatch({QStringLiteral("--page"), QStringLiteral("400x300"), QStringLiteral("--cell"),
                                QStringLiteral("120x80"), QStringLiteral("--uniform"), QStringLiteral("--no-title"),
                                QStringLiteral("--background"), QStringLiteral("#204060"), QStringLiteral("--jobs"),
                                QStringLiteral("2"), QStringLiteral("-o"), output, kData + QStringLiteral("/photos"),
                                QLatin1Char('@') + list});
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

TEST(BatchEndToEnd, FailedCheckAndBadFlagsWriteNothing)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("S.png"));
    const Outcome one = runBatch({QStringLiteral("-o"), output, kData + QStringLiteral("/photos/mde_HTC_One.jpg")});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_TRUE(
        one.err.contains(QStringLiteral("At least two images are required in the basket to use this feature!")));

    const Outcome bad = runBatch({QStringLiteral("--page"), QStringLiteral("big"), QStringLiteral("-o"), output,
                                  kData + QStringLiteral("/photos")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Usage:")));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
