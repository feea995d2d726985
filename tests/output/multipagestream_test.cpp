// Numbered pages and documents written page by page: what they hold, and what is left when
// they fail or are dropped before the end.
#include "batch/pagefilewriter.h"
#include "core/runtimeerror.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/pagesaving.h"

#include "writer_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using namespace pagorra;
using namespace pagorra::testing;

TEST(SaveNumberedPages, NumberedWithoutLeadingZerosInOrderUntilCancelled)
{
    QTemporaryDir dir;
    RecordingProgress progress;
    const QList<QImage> pages = flatPages(12);
    EXPECT_EQ(saveNumberedPages(pagesOf(asPages(pages)), dir.filePath(u"Sheet.png"_s), progress), RunOutcome::Finished);
    const QRegularExpression pageNames(u"^(Sheet([1-9]|1[0-2])\\.png ?){12}$"_s);
    EXPECT_TRUE(pageNames.match(filesIn(dir.path()).join(u' ')).hasMatch()) << "never the chosen name itself";
    EXPECT_EQ(channelDifference(decodeWithMagick(dir.filePath(u"Sheet9.png"_s)), pages[8]), 0);
    EXPECT_EQ(channelDifference(decodeWithMagick(dir.filePath(u"Sheet10.png"_s)), pages[9]), 0);
    EXPECT_EQ(progress.events.mid(0, 2) + progress.events.mid(10),
              (QStringList{u"begin 11"_s, u"value 0"_s, u"value 9"_s, u"value 10"_s, u"value 11"_s, u"end"_s}));

    // Cancel stops before the next page; a per-cent sign in the name is no number template.
    QTemporaryDir other;
    RecordingProgress cancelling(3);
    EXPECT_EQ(saveNumberedPages(pagesOf(asPages(pages)), other.filePath(u"a%d.bmp"_s), cancelling),
              RunOutcome::Cancelled);
    EXPECT_EQ(filesIn(other.path()), (QStringList{u"a%d1.bmp"_s, u"a%d2.bmp"_s}));
    EXPECT_EQ(readFile(other.filePath(u"a%d2.bmp"_s)).size(), 54 + 96 * 64 * 3) << "a whole 24-bit BMP";
    EXPECT_EQ(cancelling.events.last(), u"end"_s);
}

class Multipage : public ::testing::TestWithParam<ImageFormat> {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(GetParam() == ImageFormat::Pdf ? u"book.pdf"_s : u"book.tif"_s); }
    MultipageKind kind() const { return GetParam() == ImageFormat::Pdf ? MultipageKind::Pdf : MultipageKind::Tiff; }
    void expectPages(const QList<QImage> &expected) const
    {
        const QList<QImage> actual = decodeDocument(path());
        ASSERT_EQ(actual.size(), expected.size());
        for (qsizetype i = 0; i < actual.size(); ++i)
            EXPECT_EQ(channelDifference(actual[i], expected[i]), 0) << "page " << i + 1;
    }
};

TEST_P(Multipage, AppearsWholeAtTheEndWithEveryPageInOrderAndRemovesWhatKilledRunsLeft)
{
    writeFile(path(), "old document");
    // Left by runs that were killed: one whose process is gone, one whose process still runs.
    const QString orphan = u".book.x.999999999-0123abcd.part"_s, running = u".book.x.1-0123abcd.part"_s;
    writeFile(dir.filePath(orphan), "half a page");
    writeFile(dir.filePath(running), "half a page");
    // Half-way, the document grows under a hidden name that carries this process's id.
    const QRegularExpression expectedMidway(u"^\\.%1\\.%2-[0-9a-f]{8}\\.part %3 %1 old document$"_s.arg(
        QFileInfo(path()).fileName(), QString::number(::getpid()), running));
    QString midway;
    RecordingProgress progress;
    progress.onYield = [&] { midway = filesIn(dir.path()).join(u' ') + u' ' + QString::fromUtf8(readFile(path())); };
    // A photo page first (thousands of colours, so a lossy step would show), then numbered pages.
    const QList<QImage> pages{richPage(96, 64), flatPage(2), flatPage(3), flatPage(4)};
    EXPECT_EQ(saveMultipageDocument(pagesOf(asPages(pages)), path(), kind(), progress), RunOutcome::Finished);
    EXPECT_TRUE(expectedMidway.match(midway).hasMatch()) << midway.toStdString();
    EXPECT_EQ(progress.events.join(u','), u"begin 4,value 1,value 2,value 3,end"_s);
    EXPECT_EQ(filesIn(dir.path()), (QStringList{running, QFileInfo(path()).fileName()}));
    expectPages(pages);

    // Yields come before pages 2..5; Cancel during the third stops before page 4 is added,
    // and the document holds this run's pages only.
    const QList<QImage> second = flatPages(5).mid(1) + flatPages(1);
    RecordingProgress cancelling(3);
    EXPECT_EQ(saveMultipageDocument(pagesOf(asPages(second)), path(), kind(), cancelling), RunOutcome::Cancelled);
    expectPages(second.mid(0, 3));
}

TEST_P(Multipage, AbandonedDroppedOrFailedLeavesNothingAndKeepsTheOldFile)
{
    writeFile(path(), "old document");
    const auto writer = createPageWriter(GetParam());
    for (const QString &way : {u"abandoned"_s, u"dropped"_s, u"disk full"_s}) {
        QString error;
        std::unique_ptr<PageDocument> document = writer->begin(path(), error);
        ASSERT_TRUE(document);
        ASSERT_TRUE(document->addPage(flatPage(1), error));
        if (way == u"abandoned") {
            document->abandon();
            EXPECT_FALSE(document->addPage(flatPage(3), error)) << "an abandoned document takes no page";
        } else if (way == u"disk full") {
            // The first page is in the file already; the photo pages that follow do not fit.
            const FileSizeLimit limit(6000);
            bool added = true;
            for (int k = 0; k < 4 && added; ++k)
                added = document->addPage(richPage(96, 64), error);
            EXPECT_FALSE(added && document->commit(error));
            EXPECT_EQ(error, u"Could not write '%1': %2"_s.arg(path(), QString::fromLocal8Bit(std::strerror(EFBIG))));
        }
        EXPECT_TRUE(way == u"dropped" || !document->commit(error)) << "a closed document cannot be committed";
        document.reset();
        EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path()).fileName()}) << way.toStdString();
        EXPECT_EQ(readFile(path()), "old document");
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Multipage, ::testing::Values(ImageFormat::Tiff, ImageFormat::Pdf),
                         [](const auto &info) { return info.param == ImageFormat::Pdf ? "Pdf" : "Tiff"; });

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

// The batch tool's document: pages go in as the run makes them, the file appears at finish().
TEST(BatchDocument, AppearsAtFinishAndAFailureIsRaisedThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Run.tif"));
    {
        PageFileWriter writer(path, true);
        for (int n = 1; n <= 3; ++n)
            writer.write(asPages({flatPage(n)})[0], n);
        EXPECT_FALSE(QFile::exists(path));
        writer.finish();
        EXPECT_EQ(writer.pagesWritten(), 3);
        EXPECT_EQ(writer.written(), QStringList{path});
    }
    EXPECT_EQ(tiffDirectoryCount(path), 3);
    EXPECT_EQ(channelDifference(decodeWithMagick(path, 2), flatPage(3)), 0);

    // A run dropped before finish(), as after a failed generation, leaves the last document.
    {
        PageFileWriter writer(path, true);
        writer.write(asPages({flatPage(7)})[0], 1);
    }
    EXPECT_EQ(tiffDirectoryCount(path), 3);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Run.tif")});

    // A page that cannot be written: the rest of the run is taken and dropped, finish() raises.
    PageFileWriter writer(path, true);
    const QList<Page> pages = asPages({flatPage(1), QImage(), flatPage(3)});
    for (int n = 1; n <= 3; ++n)
        writer.write(pages[n - 1], n);
    try {
        writer.finish();
        ADD_FAILURE() << "the failed document must be reported";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PathFileAccess);
        EXPECT_EQ(e.description(), QStringLiteral("Could not write '%1': a page holds no image").arg(path));
    }
    EXPECT_EQ(writer.pagesWritten(), 0);
    EXPECT_TRUE(writer.written().isEmpty());
    EXPECT_EQ(tiffDirectoryCount(path), 3);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Run.tif")});
}
