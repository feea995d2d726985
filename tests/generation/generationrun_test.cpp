#include "generation/generationrun.h"

#include "errors/errorhandler.h"
#include "generation/page.h"
#include "generation/pageset.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;

namespace {

// Records what the run reports and asks for a cancel when a chosen entry is being loaded.
class RecordingProgress : public RunProgress {
  public:
    int cancelAt = 0;
    std::vector<int> values;
    int begins = 0, ends = 0, maximum = -1;
    void begin(int max) override
    {
        ++begins;
        maximum = max;
    }
    void yield() override {}
    bool cancelRequested() const override { return cancelAt > 0 && !values.empty() && values.back() >= cancelAt; }
    void setValue(int v) override { values.push_back(v); }
    void end() override { ++ends; }
};

QColor colourOf(int i)
{
    // distinct by at least 60 in one channel for i < 80, never the white background
    return QColor((i % 4) * 80, ((i / 4) % 4) * 80, ((i / 16) % 5) * 60);
}

// Real JPEG files on disk, 4:3, each one flat colour so a cell shows whose picture it holds.
class RunTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::vector<QString> reports;

    void SetUp() override
    {
        setReportPresenter([this](const ErrorReport &r) { reports.push_back(r.routineName); });
    }
    void TearDown() override { setReportPresenter(nullptr); }

    QStringList photos(int count, const QList<int> &broken = {})
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
            if (broken.contains(i)) {
                QFile f(path);
                EXPECT_TRUE(f.open(QIODevice::WriteOnly));
                f.write("not a picture");
            } else {
                QImage image(200, 150, QImage::Format_RGB32);
                image.fill(colourOf(i));
                EXPECT_TRUE(image.save(path, "JPEG", 95));
            }
            paths << path;
        }
        return paths;
    }
};

bool near(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) <= 20 && std::abs(qGreen(a) - b.green()) <= 20 &&
           std::abs(qBlue(a) - b.blue()) <= 20;
}

// Which photo (1-based) sits in the cell whose top-left is (x, y), 0 for none.
int photoAt(const QImage &page, int x, int y, int count)
{
    const QRgb centre = page.pixel(x + 70, y + 44);
    for (int i = 1; i <= count; ++i)
        if (near(centre, colourOf(i)))
            return i;
    return 0;
}

} // namespace

TEST_F(RunTest, FortyFiveEntriesMakeTwoPagesInBasketOrder)
{
    const QStringList paths = photos(45);
    RecordingProgress progress;
    PageSet pages;
    GenerationRun run(defaultSettings(), paths, progress);
    run.setDecodingThreads(2);
    std::vector<int> opened;
    run.setPageOpened([&](int count) { opened.push_back(count); });
    const GenerationResult r = run.run(pages);
    EXPECT_EQ(opened, (std::vector<int>{1, 2}));
    EXPECT_EQ(r.outcome, GenerationResult::Outcome::Completed);
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(r.pageCount, 2);
    EXPECT_EQ(r.placed, 45);
    EXPECT_EQ(progress.maximum, 45);
    EXPECT_EQ(progress.values.size(), 45u);
    EXPECT_EQ(progress.ends, 1);
    const int xs[] = {16, 172, 328, 484, 640};
    const int ys[] = {10, 108, 206, 304, 402, 500};
    for (int k = 0; k < 45; ++k) {
        const QImage &page = pages.page(k / 30).image();
        EXPECT_EQ(photoAt(page, xs[k % 5], ys[(k % 30) / 5], 45), k + 1) << k;
    }
    // the second page holds 15: its fourth row is empty background
    EXPECT_EQ(pages.page(1).image().pixel(100, 340), qRgb(255, 255, 255));
    // 4:3 pictures in a 140x88 cell: background left of x = 12
    EXPECT_EQ(pages.page(0).image().pixel(16 + 5, 10 + 44), qRgb(255, 255, 255));
    EXPECT_EQ(pages.currentPageIndex(), 0);
}

TEST_F(RunTest, ExactlyFullPageGetsNoTrailingPage)
{
    PageSet pages;
    RecordingProgress progress;
    const GenerationResult r = GenerationRun(defaultSettings(), photos(30), progress).run(pages);
    EXPECT_EQ(r.pageCount, 1);
    EXPECT_EQ(pages.count(), 1);
}

TEST_F(RunTest, UnreadableEntriesAreSkippedAndShortenTheirRow)
{
    const QStringList paths = photos(8, {3});
    RecordingProgress progress;
    PageSet pages;
    const GenerationResult r = GenerationRun(defaultSettings(), paths, progress).run(pages);
    EXPECT_EQ(r.placed, 7);
    EXPECT_EQ(r.skippedFiles, QStringList{paths.at(2)});
    EXPECT_TRUE(reports.empty()); // skipped silently
    const QImage &page = pages.page(0).image();
    EXPECT_EQ(photoAt(page, 328, 10, 8), 4);
    EXPECT_EQ(photoAt(page, 484, 10, 8), 5);
    EXPECT_EQ(photoAt(page, 640, 10, 8), 0);
    EXPECT_EQ(photoAt(page, 16, 108, 8), 6);
}

TEST_F(RunTest, AllUnreadableStillGivesOneBlankPage)
{
    RecordingProgress progress;
    PageSet pages;
    const GenerationResult r = GenerationRun(defaultSettings(), photos(3, {1, 2, 3}), progress).run(pages);
    EXPECT_EQ(r.outcome, GenerationResult::Outcome::Completed);
    EXPECT_EQ(r.pageCount, 1);
    EXPECT_EQ(r.skippedFiles.size(), 3);
    EXPECT_EQ(pages.page(0).image().size(), QSize(800, 600));
}

TEST_F(RunTest, CancelKeepsTheEntryBeingLoadedAndStopsBeforeTheNext)
{
    RegistrySettings s = defaultSettings();
    s.PageHeight = 200; // 2 rows, 10 to a page
    const QStringList paths = photos(40);
    RecordingProgress progress;
    progress.cancelAt = 14;
    PageSet pages;
    GenerationRun run(s, paths, progress);
    run.setDecodingThreads(3);
    const GenerationResult r = run.run(pages);
    EXPECT_EQ(r.outcome, GenerationResult::Outcome::Cancelled);
    EXPECT_EQ(r.placed, 14);
    EXPECT_EQ(pages.count(), 2);
    EXPECT_EQ(progress.ends, 1);
    // entry 14 is the fourth on page 2; the fifth cell stays empty
    const LayoutInput in = snapshotLayoutInput(s);
    const LayoutGrid g = computeGrid(in, 0);
    const int x4 = g.firstX + 3 * (140 + g.gapX), x5 = g.firstX + 4 * (140 + g.gapX);
    EXPECT_EQ(photoAt(pages.page(1).image(), x4, g.firstY, 40), 14);
    EXPECT_EQ(photoAt(pages.page(1).image(), x5, g.firstY, 40), 0);
}

TEST_F(RunTest, FailedCheckLeavesThePagesAlone)
{
    PageSet pages;
    pages.page(0).newImage(10, 10);
    pages.addPage().newImage(10, 10);
    RecordingProgress progress;
    RegistrySettings s = defaultSettings();
    s.ThumbnailWidth = 20;
    const GenerationResult r = GenerationRun(s, photos(3), progress).run(pages);
    EXPECT_EQ(r.outcome, GenerationResult::Outcome::CheckFailed);
    ASSERT_TRUE(r.message);
    EXPECT_EQ(r.message->text, QStringLiteral("Thumbnail width should be at least 30 pixels!"));
    EXPECT_EQ(pages.count(), 2);
    EXPECT_EQ(progress.begins, 0);

    const GenerationResult one = GenerationRun(defaultSettings(), photos(1), progress).run(pages);
    ASSERT_TRUE(one.message);
    EXPECT_EQ(one.message->icon, MessageIcon::Information);
}

TEST_F(RunTest, OverflowGoesToTheErrorHandler)
{
    RegistrySettings s = defaultSettings();
    s.PageHeight = 70000;
    PageSet pages;
    RecordingProgress progress;
    const GenerationResult r = GenerationRun(s, photos(2), progress).run(pages);
    EXPECT_EQ(r.outcome, GenerationResult::Outcome::Failed);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->number(), err::Overflow);
    EXPECT_EQ(reports, std::vector<QString>{QStringLiteral("cmdPreview_Click")});
}

TEST_F(RunTest, TitleIsDrawnAndPushesTheGridDown)
{
    RegistrySettings s = defaultSettings();
    s.AddTitle = 1;
    s.AppendPageNumber = 1;
    s.Title = QString();
    s.TitleFontName = QStringLiteral("DejaVu Sans");
    s.TitleFontColor = 0x000000FF; // red
    s.PageHeight = 300;
    PageSet pages;
    RecordingProgress progress;
    GenerationRun run(s, photos(12), progress);
    const GenerationResult r = run.run(pages);
    ASSERT_EQ(r.outcome, GenerationResult::Outcome::Completed);
    const int band = run.titleBandHeight();
    EXPECT_GT(band, 20);
    EXPECT_LT(band, 60);
    // The first row starts below the band, and red title ink sits inside it on every page.
    const LayoutGrid g = computeGrid(snapshotLayoutInput(s), std::int16_t(band));
    EXPECT_EQ(g.firstY, g.gapY + band);
    for (int k = 0; k < pages.count(); ++k) {
        const QImage &img = pages.page(k).image();
        int red = 0;
        for (int y = 10; y < band; ++y)
            for (int x = 10; x < 60; ++x)
                red += qRed(img.pixel(x, y)) > 200 && qGreen(img.pixel(x, y)) < 100;
        EXPECT_GT(red, 5) << k;
        EXPECT_EQ(photoAt(img, g.firstX, g.firstY, 12), k * 10 + 1);
    }
}

TEST_F(RunTest, StreamingHandsEachPageOnOnce)
{
    RecordingProgress progress;
    std::vector<int> numbers;
    std::vector<int> firstPhoto;
    GenerationRun run(defaultSettings(), photos(65), progress);
    const GenerationResult r = run.stream([&](const Page &page, int n) {
        numbers.push_back(n);
        firstPhoto.push_back(photoAt(page.image(), 16, 10, 65));
    });
    EXPECT_EQ(r.pageCount, 3);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(firstPhoto, (std::vector<int>{1, 31, 61}));
}

TEST_F(RunTest, SecondRunStartsAFreshPageSet)
{
    PageSet pages;
    RecordingProgress progress;
    GenerationRun(defaultSettings(), photos(45), progress).run(pages);
    ASSERT_EQ(pages.count(), 2);
    pages.setCurrentPageIndex(1);
    const GenerationResult r = GenerationRun(defaultSettings(), photos(3), progress).run(pages);
    EXPECT_EQ(r.pageCount, 1);
    EXPECT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.currentPageIndex(), 0);
    EXPECT_EQ(photoAt(pages.page(0).image(), 328, 10, 45), 3);
    EXPECT_EQ(photoAt(pages.page(0).image(), 484, 10, 45), 0);
}

TEST_F(RunTest, BasketBeyondSixteenBitsIsAnOverflowInTheWindow)
{
    QStringList paths;
    for (int i = 0; i < 32768; ++i)
        paths << QStringLiteral("/nonexistent/%1.jpg").arg(i);
    PageSet pages;
    RecordingProgress progress;
    const GenerationResult r = GenerationRun(defaultSettings(), paths, progress).run(pages);
    EXPECT_EQ(r.outcome, GenerationResult::Outcome::Failed);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->number(), err::Overflow);
    EXPECT_EQ(progress.begins, 0);
}
