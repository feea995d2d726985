#include "generation/generationrun.h"

#include "errors/errorhandler.h"
#include "generation/page.h"
#include "generation/pageset.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;
using Outcome = GenerationResult::Outcome;

namespace {

// Records what the run reports and asks for a cancel once a chosen entry is being loaded.
class RecordingProgress : public RunProgress {
  public:
    int cancelAt = 0, begins = 0, ends = 0, maximum = -1;
    std::vector<int> values;
    void begin(int max) override { ++begins, maximum = max; }
    void yield() override {}
    bool cancelRequested() const override { return cancelAt > 0 && !values.empty() && values.back() >= cancelAt; }
    void setValue(int v) override { values.push_back(v); }
    void end() override { ++ends; }
};

// Distinct by at least 60 in one channel, and far from the white background, for i < 79.
QColor colourOf(int i)
{
    return QColor((i % 4) * 80, ((i / 4) % 4) * 80, ((i / 16) % 5) * 60);
}

bool near(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) <= 20 && std::abs(qGreen(a) - b.green()) <= 20 &&
           std::abs(qBlue(a) - b.blue()) <= 20;
}

// Which photo (1-based) sits in the 140 x 88 cell whose top-left is (x, y), 0 for none.
int photoAt(const QImage &page, int x, int y)
{
    const QRgb centre = page.pixel(x + 70, y + 44);
    for (int i = 1; i < 79; ++i)
        if (near(centre, colourOf(i)))
            return i;
    return 0;
}

// Real 4:3 JPEG files on disk, each one flat colour so a cell shows whose picture it holds.
class RunTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setReportPresenter([this](const ErrorReport &r) { reports.push_back(r.routineName); });
    }
    void TearDown() override { setReportPresenter(nullptr); }

    QStringList photos(int count, const QList<int> &broken = {})
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i) {
            const QString path = dir.filePath(u"p%1.jpg"_s.arg(i, 3, 10, QLatin1Char('0')));
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

    GenerationResult run(const QStringList &paths, const RegistrySettings &s = defaultSettings(), int threads = 2)
    {
        GenerationRun generation(s, paths, progress);
        generation.setDecodingThreads(threads);
        return generation.run(pages);
    }

    QTemporaryDir dir;
    std::vector<QString> reports;
    RecordingProgress progress;
    PageSet pages;
};

} // namespace

// The worked example: 45 entries, 30 to a page at x 16 + 156k and y 10 + 98k.
TEST_F(RunTest, FortyFiveEntriesMakeTwoPagesInBasketOrder)
{
    GenerationRun generation(defaultSettings(), photos(45), progress);
    generation.setDecodingThreads(2);
    std::vector<int> opened;
    generation.setPageOpened([&](int count) { opened.push_back(count); });
    const GenerationResult r = generation.run(pages);
    EXPECT_EQ(r.outcome, Outcome::Completed);
    EXPECT_EQ(opened, (std::vector<int>{1, 2}));
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(r.pageCount, 2);
    EXPECT_EQ(r.placed, 45);
    EXPECT_EQ(progress.maximum, 45);
    EXPECT_EQ(progress.values.size(), 45u);
    EXPECT_EQ(progress.ends, 1);
    for (int k = 0; k < 45; ++k)
        EXPECT_EQ(photoAt(pages.page(k / 30).image(), 16 + 156 * (k % 5), 10 + 98 * ((k % 30) / 5)), k + 1) << k;
    EXPECT_EQ(pages.page(1).image().pixel(100, 340), qRgb(255, 255, 255)); // page 2's fourth row is empty
    // 4:3 pictures in a 140 x 88 cell leave background left of x = 12.
    EXPECT_EQ(pages.page(0).image().pixel(16 + 5, 10 + 44), qRgb(255, 255, 255));
}

TEST_F(RunTest, ExactlyFullPageGetsNoTrailingPageAndASecondRunStartsAfresh)
{
    EXPECT_EQ(run(photos(30)).pageCount, 1);
    EXPECT_EQ(pages.count(), 1);

    run(photos(45));
    pages.setCurrentPageIndex(1);
    EXPECT_EQ(run(photos(3)).pageCount, 1);
    EXPECT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.currentPageIndex(), 0);
    EXPECT_EQ(photoAt(pages.page(0).image(), 328, 10), 3);
    EXPECT_EQ(photoAt(pages.page(0).image(), 484, 10), 0);
}

TEST_F(RunTest, UnreadableEntriesAreSkippedAndShortenTheirRow)
{
    const QStringList paths = photos(8, {3});
    const GenerationResult r = run(paths);
    EXPECT_EQ(r.placed, 7);
    EXPECT_EQ(r.skippedFiles, QStringList{paths.at(2)});
    EXPECT_TRUE(reports.empty()); // skipped silently
    const QImage &page = pages.page(0).image();
    EXPECT_EQ(photoAt(page, 328, 10), 4);
    EXPECT_EQ(photoAt(page, 484, 10), 5);
    EXPECT_EQ(photoAt(page, 640, 10), 0);
    EXPECT_EQ(photoAt(page, 16, 108), 6);

    const GenerationResult none = run(photos(3, {1, 2, 3}));
    EXPECT_EQ(none.outcome, Outcome::Completed);
    EXPECT_EQ(none.skippedFiles.size(), 3);
    ASSERT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.page(0).image().size(), QSize(800, 600));
}

TEST_F(RunTest, CancelKeepsTheEntryBeingLoadedAndStopsBeforeTheNext)
{
    RegistrySettings s = defaultSettings();
    s.PageHeight = 200; // 2 rows, 10 to a page
    progress.cancelAt = 14;
    const GenerationResult r = run(photos(40), s, 3);
    EXPECT_EQ(r.outcome, Outcome::Cancelled);
    EXPECT_EQ(r.placed, 14);
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(progress.ends, 1);
    // Entry 14 is the fourth on page 2; the fifth cell stays empty.
    const LayoutGrid g = computeGrid(snapshotLayoutInput(s), 0);
    EXPECT_EQ(photoAt(pages.page(1).image(), g.firstX + 3 * (140 + g.gapX), g.firstY), 14);
    EXPECT_EQ(photoAt(pages.page(1).image(), g.firstX + 4 * (140 + g.gapX), g.firstY), 0);
}

TEST_F(RunTest, FailedCheckLeavesThePagesAlone)
{
    pages.page(0).newImage(10, 10);
    pages.addPage().newImage(10, 10);
    RegistrySettings s = defaultSettings();
    s.ThumbnailWidth = 20;
    const GenerationResult r = run(photos(3), s);
    EXPECT_EQ(r.outcome, Outcome::CheckFailed);
    ASSERT_TRUE(r.message);
    EXPECT_EQ(r.message->text, u"Thumbnail width should be at least 30 pixels!"_s);
    EXPECT_EQ(pages.count(), 2);
    EXPECT_EQ(progress.begins, 0);
    EXPECT_EQ(run(photos(1)).message->icon, MessageIcon::Information); // at least two entries
}

// A page beyond 16 bits and a basket beyond 16 bits both end the run as the overflow error.
TEST_F(RunTest, OverflowGoesToTheErrorHandler)
{
    RegistrySettings s = defaultSettings();
    s.PageHeight = 70000;
    QStringList huge;
    for (int i = 0; i < 32768; ++i)
        huge << u"/nonexistent/%1.jpg"_s.arg(i);
    for (const GenerationResult &r : {run(photos(2), s), run(huge)}) {
        EXPECT_EQ(r.outcome, Outcome::Failed);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->number(), err::Overflow);
    }
    EXPECT_EQ(reports, (std::vector<QString>(2, u"cmdPreview_Click"_s)));
    EXPECT_EQ(progress.begins, 0);
}

TEST_F(RunTest, TitleIsDrawnAndPushesTheGridDown)
{
    RegistrySettings s = defaultSettings();
    s.AddTitle = 1;
    s.AppendPageNumber = 1;
    s.Title = QString();
    s.TitleFontName = u"DejaVu Sans"_s;
    s.TitleFontColor = 0x000000FF; // red
    s.PageHeight = 300;
    GenerationRun generation(s, photos(12), progress);
    ASSERT_EQ(generation.run(pages).outcome, Outcome::Completed);
    const int band = generation.titleBandHeight();
    EXPECT_GT(band, 20);
    EXPECT_LT(band, 60);
    // The first row starts below the band, and red title ink sits inside it on every page.
    const LayoutGrid g = computeGrid(snapshotLayoutInput(s), std::int16_t(band));
    for (int k = 0; k < pages.count(); ++k) {
        const QImage &img = pages.page(k).image();
        int red = 0;
        for (int y = 10; y < band; ++y)
            for (int x = 10; x < 60; ++x)
                red += qRed(img.pixel(x, y)) > 200 && qGreen(img.pixel(x, y)) < 100;
        EXPECT_GT(red, 5) << k;
        EXPECT_EQ(photoAt(img, g.firstX, g.firstY), k * 10 + 1);
        EXPECT_EQ(img.pixel(g.firstX + 70, g.firstY - 2), qRgb(255, 255, 255)) << k;
    }
}

TEST_F(RunTest, StreamingHandsEachPageOnOnce)
{
    std::vector<int> numbers, firstPhoto;
    const GenerationResult r =
        GenerationRun(defaultSettings(), photos(65), progress).stream([&](const Page &page, int n) {
            numbers.push_back(n);
            firstPhoto.push_back(photoAt(page.image(), 16, 10));
        });
    EXPECT_EQ(r.pageCount, 3);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(firstPhoto, (std::vector<int>{1, 31, 61}));
}
