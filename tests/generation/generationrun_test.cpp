#include "generation/generationrun.h"

#include "errors/errorhandler.h"
#include "generation/page.h"
#include "generation/pageset.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;
using Outcome = GenerationResult::Outcome;

namespace {

// Distinct by at least 60 in one channel, and far from the white background, for i < 79.
QColor colourOf(int i)
{
    return QColor((i % 4) * 80, ((i / 4) % 4) * 80, ((i / 16) % 5) * 60);
}

// Which photo (1-based) sits in the 140 x 88 cell whose top-left is (x, y), 0 for none.
int photoAt(const QImage &page, int x, int y)
{
    const QColor c = page.pixelColor(x + 70, y + 44);
    for (int i = 1; i < 79; ++i) {
        const QColor b = colourOf(i);
        if (std::abs(c.red() - b.red()) + std::abs(c.green() - b.green()) + std::abs(c.blue() - b.blue()) <= 30)
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

    QStringList photos(int count)
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i) {
            paths << dir.filePath(u"p%1.jpg"_s.arg(i, 3, 10, QLatin1Char('0')));
            QImage image(200, 150, QImage::Format_RGB32);
            image.fill(colourOf(i));
            EXPECT_TRUE(image.save(paths.last(), "JPEG", 95));
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
    NullProgress progress;
    PageSet pages;
};

} // namespace

// The worked example: 45 entries, 30 to a page at x 16 + 156k and y 10 + 98k.
TEST_F(RunTest, FortyFiveEntriesMakeTwoPagesInBasketOrder)
{
    const GenerationResult r = run(photos(45));
    EXPECT_EQ(r.outcome, Outcome::Completed);
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(r.placed, 45);
    for (int k = 0; k < 45; ++k)
        EXPECT_EQ(photoInCell(pages.page(k / 30).image(), k % 30), k + 1) << k;
    EXPECT_EQ(pages.page(1).image().pixel(100, 340), qRgb(255, 255, 255)); // page 2's fourth row is empty
    // 4:3 pictures in a 140 x 88 cell leave background left of x = 12.
    EXPECT_EQ(pages.page(0).image().pixel(16 + 5, 10 + 44), qRgb(255, 255, 255));
}

// No trailing empty page after a full one; a basket of which nothing can be read still gives
// its one blank page.
TEST_F(RunTest, ExactlyFullPageGetsNoTrailingPageAndNothingReadableOneBlankPage)
{
    EXPECT_EQ(run(photos(30)).pageCount, 1);
    const GenerationResult none = run({dir.filePath(u"gone.jpg"_s), dir.filePath(u"gone.png"_s)});
    EXPECT_EQ(none.outcome, Outcome::Completed);
    EXPECT_EQ(none.placed, 0);
    EXPECT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.page(0).image().size(), QSize(800, 600));
    EXPECT_EQ(photoInCell(pages.page(0).image(), 0), 0);
}

// A failed check shows its message; a value beyond 16 bits is the overflow error, whose report
// names the stored settings the arithmetic was given so that the user can find the one to mend.
// Either way the run ends before the pages of the last run are touched.
TEST_F(RunTest, RunsThatEndBeforeAnyPageLeaveThePagesAlone)
{
    pages.page(0).newImage(10, 10);
    pages.addPage().newImage(10, 10);
    const struct {
        void (*change)(RegistrySettings &);
        Outcome outcome;
        const char *text; // the check's message or the error report
    } cases[] = {
        {[](RegistrySettings &s) { s.ThumbnailWidth = 20; }, Outcome::CheckFailed,
         "Thumbnail width should be at least 30 pixels!"},
        {[](RegistrySettings &s) { s.PageHeight = 70000; }, Outcome::Failed,
         "cmdPreview_Click: 6 - Overflow: PageHeight 70000"},
        {[](RegistrySettings &s) { s.PageMarginTop = 32767, s.PageMarginBottom = 1000; }, Outcome::Failed,
         "cmdPreview_Click: 6 - Overflow: PageHeight 600, PageMarginTop 32767, PageMarginBottom 1000, "
         "ThumbnailHeight 88, title band 0"},
        {[](RegistrySettings &s) { s.PageMarginLeft = -32000, s.PageWidth = 1000; }, Outcome::Failed,
         "cmdPreview_Click: 6 - Overflow: PageWidth 1000, PageMarginLeft -32000, PageMarginRight 0, "
         "ThumbnailWidth 140"},
    };
    const QStringList two = photos(2);
    for (const auto &c : cases) {
        RegistrySettings s = defaultSettings();
        c.change(s);
        reports.clear();
        const GenerationResult r = run(two, s);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ((r.message ? r.message->text : reports.join(u'\n')).toStdString(), c.text);
    }
    EXPECT_EQ(pages.count(), 2);
}

// Each page is headed by its title line with the grid below it. A failure while a page is
// being opened (out of memory, say) keeps only the pages that hold pictures: the viewer then
// counts no page that shows nothing but its title.
TEST_F(RunTest, TitledPagesAndAFailureOpeningOne)
{
    RegistrySettings s = defaultSettings();
    s.AddTitle = 1;
    s.AppendPageNumber = 1;
    s.Title = QString();
    s.TitleFontName = u"DejaVu Sans"_s;
    s.TitleFontColor = 0x000000FF; // red
    s.PageHeight = 300;            // two rows, ten to a page
    const QStringList paths = photos(25);
    GenerationRun generation(s, paths, progress);
    ASSERT_EQ(generation.run(pages).outcome, Outcome::Completed);
    const int band = generation.titleBandHeight();
    EXPECT_GT(band, 20);
    EXPECT_LT(band, 60);
    // The first row starts below the band, and red title ink sits inside it on every page.
    const LayoutGrid g = computeGrid(snapshotLayoutInput(s), std::int16_t(band));
    ASSERT_EQ(pages.count(), 3);
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

    for (const int failingPage : {3, 1}) {
        generation.setPageOpened([&](int count) {
            if (count == failingPage)
                throw RuntimeError(err::OutOfMemory, u"Out of memory"_s);
        });
        EXPECT_EQ(generation.run(pages).outcome, Outcome::Failed);
        EXPECT_EQ(pages.count(), std::max(failingPage - 1, 1));
        EXPECT_EQ(pages.page(pages.lastPageIndex()).hasImage(), failingPage > 1);
    }
}
