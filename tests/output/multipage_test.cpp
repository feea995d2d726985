#include "core/runtimeerror.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/pagesaving.h"

#include "writer_support.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace pagorra::testing;

TEST(SaveNumberedPages, TwelvePagesAreNumberedWithoutLeadingZerosInOrder)
{
    QTemporaryDir dir;
    RecordingProgress progress;
    const QList<QImage> pages = flatPages(12);
    EXPECT_EQ(saveNumberedPages(pages, dir.filePath(QStringLiteral("Sheet.png")), progress), RunOutcome::Finished);

    QStringList expected;
    for (int k = 1; k <= 12; ++k)
        expected << QStringLiteral("Sheet%1.png").arg(k);
    QStringList written = filesIn(dir.path());
    std::sort(written.begin(), written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected) << "the chosen name itself is never written";
    EXPECT_EQ(channelDifference(decodeWithMagick(dir.filePath(QStringLiteral("Sheet9.png"))), pages[8]), 0);
    EXPECT_EQ(channelDifference(decodeWithMagick(dir.filePath(QStringLiteral("Sheet10.png"))), pages[9]), 0);
    EXPECT_EQ(progress.events.first(), QStringLiteral("begin 11"));
    EXPECT_EQ(progress.events.at(10), QStringLiteral("value 9"));
    EXPECT_EQ(progress.events.last(), QStringLiteral("end"));
}

TEST(SaveNumberedPages, CancelStopsBeforeTheNextPageAndKeepsThoseWritten)
{
    QTemporaryDir dir;
    RecordingProgress progress(3);
    EXPECT_EQ(saveNumberedPages(flatPages(5), dir.filePath(QStringLiteral("a.bmp")), progress), RunOutcome::Cancelled);
    EXPECT_EQ(filesIn(dir.path()), (QStringList{QStringLiteral("a1.bmp"), QStringLiteral("a2.bmp")}));
    EXPECT_EQ(progress.events.last(), QStringLiteral("end"));
}

TEST(SaveNumberedPages, AFailedPageRaisesAndEndsTheRun)
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("file"));
    QFile(notAFolder).open(QIODevice::WriteOnly);
    RecordingProgress progress;
    try {
        saveNumberedPages(flatPages(3), notAFolder + QStringLiteral("/x.png"), progress);
        ADD_FAILURE() << "writing into a regular file's 'folder' must fail";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PathFileAccess);
        EXPECT_TRUE(e.description().contains(notAFolder + QStringLiteral("/x1.png")));
    }
    EXPECT_EQ(progress.events.last(), QStringLiteral("end"));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("file")});
}

class MultipageDocument : public ::testing::TestWithParam<MultipageKind> {
  protected:
    QTemporaryDir dir;
    QString path() const
    {
        return dir.filePath(GetParam() == MultipageKind::Pdf ? QStringLiteral("book.pdf") : QStringLiteral("book.tif"));
    }
    // The document's pages in order, decoded independently, compared with the expected ones.
    void expectPages(const QList<QImage> &expected)
    {
        QList<QImage> actual;
        if (GetParam() == MultipageKind::Pdf) {
            actual = pdfEmbeddedImages(path());
            EXPECT_EQ(pdfPageCount(path()), actual.size());
        } else {
            for (int i = 0; i < tiffDirectoryCount(path()); ++i)
                actual << decodeWithMagick(path(), i);
        }
        ASSERT_EQ(actual.size(), expected.size());
        for (qsizetype i = 0; i < actual.size(); ++i)
            EXPECT_EQ(channelDifference(actual[i], expected[i]), 0) << "page " << i + 1;
    }
};

TEST_P(MultipageDocument, HoldsEveryPageInPageSetOrder)
{
    RecordingProgress progress;
    const QList<QImage> pages = flatPages(4);
    EXPECT_EQ(saveMultipageDocument(pages, path(), GetParam(), progress), RunOutcome::Finished);
    expectPages(pages);
    EXPECT_EQ(progress.events.join(u','), QStringLiteral("begin 4,value 1,value 2,value 3,end"));
}

TEST_P(MultipageDocument, CancelWritesThePagesAddedSoFar)
{
    // Yields come before pages 2..5; Cancel during the third stops before page 4 is added.
    RecordingProgress progress(3);
    const QList<QImage> pages = flatPages(5);
    EXPECT_EQ(saveMultipageDocument(pages, path(), GetParam(), progress), RunOutcome::Cancelled);
    expectPages(pages.mid(0, 3));
}

TEST_P(MultipageDocument, EveryRunStartsAnEmptyDocument)
{
    NullProgress progress;
    saveMultipageDocument(flatPages(5), path(), GetParam(), progress);
    const QList<QImage> second{flatPage(7), flatPage(8)};
    saveMultipageDocument(second, path(), GetParam(), progress);
    expectPages(second);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MultipageDocument, ::testing::Values(MultipageKind::Tiff, MultipageKind::Pdf),
                         [](const auto &info) { return info.param == MultipageKind::Pdf ? "Pdf" : "Tiff"; });

TEST(SaveMultiPageFromBitmaps, NamesTheOperationAndTrapsErrors)
{
    QTemporaryDir dir;
    PageSet pages;
    pages.page(0).setImage(flatPage(1));
    pages.addPage().setImage(flatPage(2));
    NullProgress progress;

    const QString good = dir.filePath(QStringLiteral("book.pdf"));
    EXPECT_TRUE(saveMultiPageFromBitmaps(pages, good, MultipageKind::Pdf, progress));
    EXPECT_EQ(lastAction(), QStringLiteral("Saving to multipage file '") + good + u'\'');
    EXPECT_EQ(pdfPageCount(good), 2);

    QList<ErrorReport> reports;
    setReportPresenter([&](const ErrorReport &r) { reports << r; });
    const QString bad = good + QStringLiteral("/inside.tif"); // a file is no folder
    EXPECT_FALSE(saveMultiPageFromBitmaps(pages, bad, MultipageKind::Tiff, progress));
    setReportPresenter({});
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].routineName, QStringLiteral("fncSaveMultiPageFromBitmaps"));
    EXPECT_EQ(reports[0].trappingString, QStringLiteral("Saving to multipage file '") + bad + u'\'');
    EXPECT_TRUE(reports[0].systemError.startsWith(QStringLiteral("75 - ")));
}

TEST(WritePageImages, BatchOutputFollowsTheExtension)
{
    QTemporaryDir dir;
    NullProgress progress;
    writePageImages(flatPages(3), dir.filePath(QStringLiteral("out.TIFF")), true, progress);
    EXPECT_EQ(tiffDirectoryCount(dir.filePath(QStringLiteral("out.TIFF"))), 3);
    writePageImages(flatPages(2), dir.filePath(QStringLiteral("p.gif")), false, progress);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("p2.gif"))));
    EXPECT_THROW(writePageImages(flatPages(2), dir.filePath(QStringLiteral("m.png")), true, progress), RuntimeError);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("m.png"))));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
