#include "generation/pagelayout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// The default settings' page, with some numbers changed.
struct Geometry {
    std::int16_t pageW = 800, pageH = 600, top = 0, left = 0, right = 0, bottom = 0, cellW = 140, cellH = 88;
    bool uniform = true;
    std::int16_t captionBand = 0, footerBand = 0;

    LayoutInput input() const
    {
        LayoutInput in = snapshotLayoutInput(defaultSettings());
        in.pageWidth = pageW, in.pageHeight = pageH, in.cellWidth = cellW, in.cellHeight = cellH;
        in.marginTop = top, in.marginLeft = left, in.marginRight = right, in.marginBottom = bottom;
        in.uniform = uniform, in.captionBand = captionBand, in.footerBand = footerBand;
        return in;
    }
};

const QString kTooWide = u"The specified thumbnail width is too large for the page area!"_s;
const QString kTooHigh = u"The specified thumbnail height is too large for the page area!"_s;
const QString kWidth30 = u"Thumbnail width should be at least 30 pixels!"_s;
constexpr auto Info = MessageIcon::Information, None = MessageIcon::None;

} // namespace

TEST(Layout, FirstFailingCheckWins)
{
    const struct {
        const char *name;
        Geometry geometry;
        std::int16_t titleBand;
        QString message; // empty: passes
        MessageIcon icon;
    } cases[] = {
        {"defaults", {}, 0, {}, None},
        {"cellAsWideAsArea", {.left = 30, .right = 30, .cellW = 740}, 0, kTooWide, None},
        {"cellOnePixelNarrower", {.left = 30, .right = 30, .cellW = 739}, 0, {}, None},
        {"cellAsHighAsArea", {.top = 50, .bottom = 50, .cellH = 500}, 0, kTooHigh, None},
        {"titleBandCountsInHeight", {.cellH = 570}, 35, kTooHigh, None},
        {"sameHeightWithoutTitle", {.cellH = 570}, 0, {}, None},
        {"captionBandCountsInHeight", {.cellH = 570, .captionBand = 30}, 0, kTooHigh, None},
        {"footerBandCountsInHeight", {.cellH = 570, .footerBand = 30}, 0, kTooHigh, None},
        {"width29", {.cellW = 29}, 0, kWidth30, Info},
        {"width29OnNarrowArea", {.left = 400, .right = 371, .cellW = 29}, 0, kTooWide, None},
        {"widthNegative", {.cellW = -5}, 0, kWidth30, Info},
        {"page299", {.pageW = 299}, 0, u"Page width should be at least 300 pixels!"_s, Info},
        {"page199High", {.pageH = 199}, 0, u"Page height should be at least 200 pixels!"_s, Info},
        {"page199HighButTooWideFirst", {.pageW = 100, .pageH = 199}, 0, kTooWide, None},
        {"heightZero", {.cellH = 0}, 0, u"Thumbnail height should be at least 1 pixel!"_s, Info},
        {"heightOne", {.cellH = 1}, 0, {}, None},
    };
    for (const auto &c : cases) {
        const auto m = checkPageGeometry(c.geometry.input(), c.titleBand);
        EXPECT_EQ(m.value_or(UserMessage{}), (UserMessage{c.message, c.icon})) << c.name;
    }
}

TEST(Layout, GridAndRowsOfAPage)
{
    const struct {
        const char *name;
        Geometry geometry;
        std::int16_t titleBand;
        std::vector<int> grid;      // columns, rows, gaps x and y, first cell x and y
        std::vector<int> rowStarts; // y of every row on one page
    } cases[] = {
        // The worked example: columns at 16, 172, ... 640, 30 to a page.
        {"defaults", {}, 0, {5, 6, 16, 10, 16, 10}, {10, 108, 206, 304, 402, 500}},
        {"packed", {.uniform = false}, 0, {5, 6, 0, 0, 0, 0}, {0, 88, 176, 264, 352, 440}},
        {"wholeQuotientNoGap", {.right = 100}, 0, {5, 6, 0, 10, 0, 10}, {10, 108, 206, 304, 402, 500}},
        {"bottomMarginRowKept", {.bottom = 100, .uniform = false}, 0, {5, 5, 0, 0, 0, 0}, {0, 88, 176, 264, 352, 440}},
        {"titleBand", {}, 34, {5, 6, 16, 5, 16, 39}, {39, 132, 225, 318, 411, 504}},
        {"captionBandInEveryCell", {.captionBand = 24}, 0, {5, 5, 16, 6, 16, 6}, {6, 124, 242, 360, 478}},
        {"noRowIntoTheFooter", {.uniform = false, .footerBand = 100}, 0, {5, 5, 0, 0, 0, 0}, {0, 88, 176, 264, 352}},
        {"margins",
         {.top = 30, .left = 20, .right = 20, .bottom = 30},
         0,
         {5, 6, 10, 1, 30, 31},
         {31, 120, 209, 298, 387, 476}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const LayoutInput in = c.geometry.input();
        const LayoutGrid g = computeGrid(in, c.titleBand);
        EXPECT_EQ(std::vector<int>({g.columns, g.rows, g.gapX, g.gapY, g.firstX, g.firstY}), c.grid);
        // Walk full rows until the page breaks, noting where each row and each first-row cell starts.
        LayoutCursor cursor(in, g);
        std::vector<int> rows{cursor.y()};
        bool full = false;
        for (int i = 1; !full && i < 10000; ++i) {
            if (i <= g.columns) {
                EXPECT_EQ(cursor.x(), g.firstX + (i - 1) * (in.cellWidth + g.gapX));
            }
            full = cursor.advance(in.cellWidth, in.cellHeight);
            if (!full && i % g.columns == 0)
                rows.push_back(cursor.y());
        }
        EXPECT_EQ(rows, c.rowStarts);
    }
}

TEST(Layout, TitleLineIsTheTrimmedTitleAndPageNumber)
{
    LayoutInput in = Geometry{}.input();
    const auto line = [&](const char16_t *title, bool append, int page) {
        in.title = QString::fromUtf16(title), in.appendPageNumber = append;
        return titleLine(in, page);
    };
    EXPECT_EQ(line(u"  Trip  ", true, 12), u"Trip 12"_s);
    EXPECT_EQ(line(u"  Trip  ", false, 2), u"Trip"_s);
    EXPECT_EQ(line(u"   ", false, 1), QString());
    EXPECT_EQ(line(u"", true, 2), u" 2"_s);
}
