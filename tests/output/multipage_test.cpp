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
using namespace Qt::StringLiterals;
using namespace pagorra::testing;

TEST(SaveNumberedPages, TwelvePagesAreNumberedWithoutLeadingZerosInOrder)
{
    QTemporaryDir dir;
    RecordingProgress progress;
    const QList<QImage> pages = flatPages(12);
    EXPECT_EQ(saveNumberedPages(pages, dir.filePath(u"Sheet.png"_s), progress), RunOutcome::Finished);

    QStringList expected;
    for (int k = 1; k <= 12; ++k)
        expected << u"Sheet%1.png"_s.arg(k);
    QStringList written = filesIn(dir.path());
    std::sort(written.begin(), written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected) << "the chosen name itself is never written";
    EXPECT_EQ(channelDifference(decodeWithMagick(dir.filePath(u"Sheet9.png"_s)), pages[8]), 0);
    EXPECT_EQ(channelDifference(decodeWithMagick(dir.filePath(u"Sheet10.png"_s)), pages[9]), 0);
    EXPECT_EQ(progress.events.first(), u"begin 11"_s);
    EXPECT_EQ(progress.events.at(10), u"value 9"_s);
    EXPECT_EQ(progress.events.last(), u"end"_s);
}

TEST(SaveNumberedPages, CancelStopsBeforeTheNextPageAndKeepsThoseWritten)
{
    QTemporaryDir dir;
    RecordingProgress progress(3);
    EXPECT_EQ(saveNumberedPages(flatPages(5), dir.filePath(u"a.bmp"_s), progress), RunOutcome::Cancelled);
    EXPECT_EQ(filesIn(dir.path()), (QStringList{u"a1.bmp"_s, u"a2.bmp"_s}));
    EXPECT_EQ(progress.events.last(), u"end"_s);
}

TEST(SaveNumberedPages, AFailedPageRaisesAndEndsTheRun)
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(u"file"_s);
    QFile(notAFolder).open(QIODevice::WriteOnly);
    RecordingProgress progress;
    try {
        saveNumberedPages(flatPages(3), notAFolder + u"/x.png"_s, progress);
        ADD_FAILURE() << "writing into a regular file's 'folder' must fail";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PathFileAccess);
        EXPECT_TRUE(e.description().contains(notAFolder + u"/x1.png"_s));
    }
    EXPECT_EQ(progress.events.last(), u"end"_s);
    EXPECT_EQ(filesIn(dir.path()), QStringList{u"file"_s});
}

class MultipageDocument : public ::testing::TestWithParam<MultipageKind> {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(GetParam() == MultipageKind::Pdf ? u"book.pdf"_s : u"book.tif"_s); }
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
    EXPECT_EQ(progress.events.join(u','), u"begin 4,value 1,value 2,value 3,end"_s);
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

    const QString good = dir.filePath(u"book.pdf"_s);
    EXPECT_TRUE(saveMultiPageFromBitmaps(pages, good, MultipageKind::Pdf, progress));
    EXPECT_EQ(lastAction(), u"Saving to multipage file '"_s + good + u'\'');
    EXPECT_EQ(pdfPageCount(good), 2);

    QList<ErrorReport> reports;
    setReportPresenter([&](const ErrorReport &r) { reports << r; });
    const QString bad = good + u"/inside.tif"_s; // a file is no folder
    EXPECT_FALSE(saveMultiPageFromBitmaps(pages, bad, MultipageKind::Tiff, progress));
    setReportPresenter({});
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].routineName, u"fncSaveMultiPageFromBitmaps"_s);
    EXPECT_EQ(reports[0].trappingString, u"Saving to multipage file '"_s + bad + u'\'');
    EXPECT_TRUE(reports[0].systemError.startsWith(u"75 - "_s));
}

TEST(WritePageImages, BatchOutputFollowsTheExtension)
{
    QTemporaryDir dir;
    NullProgress progress;
    writePageImages(flatPages(3), dir.filePath(u"out.TIFF"_s), true, progress);
    EXPECT_EQ(tiffDirectoryCount(dir.filePath(u"out.TIFF"_s)), 3);
    writePageImages(flatPages(2), dir.filePath(u"p.gif"_s), false, progress);
    EXPECT_TRUE(QFile::exists(dir.filePath(u"p2.gif"_s)));
    EXPECT_THROW(writePageImages(flatPages(2), dir.filePath(u"m.png"_s), true, progress), RuntimeError);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"m.png"_s)));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
