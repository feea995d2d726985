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

// Which photo (1-based) sits in the 140 x 88 cell whose top-left is (x, y), 0 for none.
int photoAt(const QImage &page, int x, int y)
{
    const QRgb c = page.pixel(x + 70, y + 44);
    for (int i = 1; i < 79; ++i) {
        const QColor b = colourOf(i);
        if (std::abs(qRed(c) - b.red()) <= 20 && std::abs(qGreen(c) - b.green()) <= 20 &&
            std::abs(qBlue(c) - b.blue()) <= 20)
            return i;
    }
    return 0;
}

// The same in cell k of a page at the default settings (the worked example's grid).
int photoInCell(const QImage &page, int k)
{
    return photoAt(page, 16 + 156 * (k % 5), 10 + 98 * (k / 5));
}

// Real 4:3 JPEG files on disk, each one flat colour so a cell shows whose picture it holds.
class RunTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setReportPresenter([this](const ErrorReport &r) { reports << r.routineName + u": "_s + r.systemError; });
    }
    void TearDown() override { setReportPresenter(nullptr); }

    QStringList photos(int count, const QList<int> &broken = {})
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i) {
            const QString path = dir.filePath(u"p%1.jpg"_s.arg(i, 3, 10, QLatin1Char('0')));
            QImage image(200, 150, QImage::Format_RGB32);
            image.fill(colourOf(i));
            QFile f(path);
            EXPECT_TRUE(broken.contains(i) ? f.open(QIODevice::WriteOnly) && f.write("not a picture") > 0
                                           : image.save(path, "JPEG", 95));
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
    QStringList reports;
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
        EXPECT_EQ(photoInCell(pages.page(k / 30).image(), k % 30), k + 1) << k;
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
    EXPECT_EQ(photoInCell(pages.page(0).image(), 2), 3);
    EXPECT_EQ(photoInCell(pages.page(0).image(), 3), 0);
}

// An entry that gives no picture takes no cell, wherever it sits in a row: the pictures
// after it fill the cells in order and none is pushed past the page's right edge.
TEST_F(RunTest, UnreadableEntriesTakeNoCell)
{
    const QStringList paths = photos(17, {3, 5, 10});
    const GenerationResult r = run(paths);
    EXPECT_EQ(r.placed, 14);
    EXPECT_EQ(r.skippedFiles, (QStringList{paths.at(2), paths.at(4), paths.at(9)}));
    EXPECT_TRUE(reports.empty()); // skipped silently
    const std::vector<int> readable{1, 2, 4, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 0};
    for (int k = 0; k < 15; ++k)
        EXPECT_EQ(photoInCell(pages.page(0).image(), k), readable[k]) << k;

    const GenerationResult none = run(photos(3, {1, 2, 3}));
    EXPECT_EQ(none.outcome, Outcome::Completed);
    EXPECT_EQ(none.placed, 0);
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
}

// Values beyond 16 bits end the run as the overflow error; its report names the stored
// settings the failing arithmetic was given, so that the user can find the value to mend.
TEST_F(RunTest, OverflowReportNamesTheSettings)
{
    const struct {
        void (*change)(RegistrySettings &);
        const char *report;
    } cases[] = {
        {[](RegistrySettings &s) { s.PageHeight = 70000; }, "6 - Overflow: PageHeight 70000"},
        {[](RegistrySettings &s) { s.PageMarginTop = 32767, s.PageMarginBottom = 1000; },
         "6 - Overflow: PageHeight 600, PageMarginTop 32767, PageMarginBottom 1000, ThumbnailHeight 88, title band 0"},
        {[](RegistrySettings &s) { s.PageMarginLeft = -32000, s.PageWidth = 1000; },
         "6 - Overflow: PageWidth 1000, PageMarginLeft -32000, PageMarginRight 0, ThumbnailWidth 140"},
    };
    const QStringList two = photos(2);
    for (const auto &c : cases) {
        RegistrySettings s = defaultSettings();
        c.change(s);
        reports.clear();
        EXPECT_EQ(run(two, s).outcome, Outcome::Failed);
        EXPECT_EQ(reports.join(u'\n').toStdString(), std::string("cmdPreview_Click: ") + c.report);
    }
    QStringList huge;
    for (int i = 0; i < 32768; ++i)
        huge << u"/nonexistent/%1.jpg"_s.arg(i);
    EXPECT_EQ(run(huge).error->number(), err::Overflow);
    EXPECT_EQ(progress.begins, 0);
}

// A failure while a page is being opened (out of memory, say) keeps only the pages that hold
// pictures, so the viewer counts no page that shows nothing but its title.
TEST_F(RunTest, FailureOpeningAPageKeepsNoEmptyPage)
{
    RegistrySettings s = defaultSettings();
    s.PageHeight = 200; // under the title, one row of 5 to a page
    s.AddTitle = 1;
    const QStringList paths = photos(25);
    for (const int failingPage : {3, 1}) {
        GenerationRun generation(s, paths, progress);
        generation.setPageOpened([&](int count) {
            if (count == failingPage)
                throw RuntimeError(err::OutOfMemory, u"Out of memory"_s);
        });
        const GenerationResult r = generation.run(pages);
        EXPECT_EQ(r.outcome, Outcome::Failed);
        EXPECT_EQ(pages.count(), std::max(failingPage - 1, 1));
        EXPECT_EQ(pages.page(pages.lastPageIndex()).hasImage(), failingPage > 1);
    }
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
