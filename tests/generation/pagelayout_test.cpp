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

    LayoutInput input() const
    {
        LayoutInput in = snapshotLayoutInput(defaultSettings());
        in.pageWidth = pageW, in.pageHeight = pageH, in.cellWidth = cellW, in.cellHeight = cellH;
        in.marginTop = top, in.marginLeft = left, in.marginRight = right, in.marginBottom = bottom;
        in.uniform = uniform;
        return in;
    }
};

const QString kTooWide = u"The specified thumbnail width is too large for the page area!"_s;
const QString kTooHigh = u"The specified thumbnail height is too large for the page area!"_s;
const QString kWidth30 = u"Thumbnail width should be at least 30 pixels!"_s;
const QString kPage300 = u"Page width should be at least 300 pixels!"_s;
const QString kPage200 = u"Page height should be at least 200 pixels!"_s;
const QString kHeight1 = u"Thumbnail height should be at least 1 pixel!"_s;
constexpr auto Info = MessageIcon::Information, None = MessageIcon::None;

} // namespace

struct CheckCase {
    const char *name;
    Geometry geometry;
    std::int16_t titleBand;
    QString message; // empty: passes
    MessageIcon icon;
};

class LayoutCheckTable : public ::testing::TestWithParam<CheckCase> {};

TEST_P(LayoutCheckTable, FirstFailingCheckWins)
{
    const CheckCase &c = GetParam();
    const auto m = checkPageGeometry(c.geometry.input(), c.titleBand);
    EXPECT_EQ(m.value_or(UserMessage{}), (UserMessage{c.message, c.icon}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, LayoutCheckTable, ::testing::Values(
    CheckCase{"defaults", {}, 0, {}, None},
    CheckCase{"cellAsWideAsArea", {.left = 30, .right = 30, .cellW = 740}, 0, kTooWide, None},
    CheckCase{"cellOnePixelNarrower", {.left = 30, .right = 30, .cellW = 739}, 0, {}, None},
    CheckCase{"cellAsHighAsArea", {.top = 50, .bottom = 50, .cellH = 500}, 0, kTooHigh, None},
    CheckCase{"titleBandCountsInHeight", {.cellH = 570}, 35, kTooHigh, None},
    CheckCase{"sameHeightWithoutTitle", {.cellH = 570}, 0, {}, None},
    CheckCase{"width29", {.cellW = 29}, 0, kWidth30, Info},
    CheckCase{"width29OnNarrowArea", {.left = 400, .right = 371, .cellW = 29}, 0, kTooWide, None},
    CheckCase{"widthNegative", {.cellW = -5}, 0, kWidth30, Info},
    CheckCase{"page299", {.pageW = 299}, 0, kPage300, Info},
    CheckCase{"page199High", {.pageH = 199}, 0, kPage200, Info},
    CheckCase{"page199HighButTooWideFirst", {.pageW = 100, .pageH = 199}, 0, kTooWide, None},
    CheckCase{"heightZero", {.cellH = 0}, 0, kHeight1, Info},
    CheckCase{"heightOne", {.cellH = 1}, 0, {}, None}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

struct GridCase {
    const char *name;
    Geometry geometry;
    std::int16_t titleBand;
    int columns, rows, gapX, gapY, firstX, firstY;
    std::vector<int> rowStarts; // y of every row on one page
};

class LayoutGridTable : public ::testing::TestWithParam<GridCase> {};

TEST_P(LayoutGridTable, GridAndRowsOfAPage)
{
    const GridCase &c = GetParam();
    const LayoutInput in = c.geometry.input();
    const LayoutGrid g = computeGrid(in, c.titleBand);
    EXPECT_EQ(std::vector<int>({g.columns, g.rows, g.gapX, g.gapY, g.firstX, g.firstY}),
              std::vector<int>({c.columns, c.rows, c.gapX, c.gapY, c.firstX, c.firstY}));

    // Walk full rows until the page breaks, noting where each row and each first-row cell starts.
    LayoutCursor cursor(in, g);
    std::vector<int> rows{cursor.y()}, firstRowX{cursor.x()};
    bool full = false;
    for (int i = 1; !full && i < 10000; ++i) {
        full = cursor.advance(in.cellWidth, in.cellHeight);
        if (i < g.columns)
            firstRowX.push_back(cursor.x());
        if (!full && i % g.columns == 0)
            rows.push_back(cursor.y());
    }
    EXPECT_EQ(rows, c.rowStarts);
    for (int k = 0; k < g.columns; ++k)
        EXPECT_EQ(firstRowX[k], c.firstX + k * (in.cellWidth + c.gapX));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, LayoutGridTable, ::testing::Values(
    // The worked example: columns at 16, 172, ... 640, 30 to a page.
    GridCase{"defaults", {}, 0, 5, 6, 16, 10, 16, 10, {10, 108, 206, 304, 402, 500}},
    GridCase{"packed", {.uniform = false}, 0, 5, 6, 0, 0, 0, 0, {0, 88, 176, 264, 352, 440}},
    GridCase{"wholeQuotientNoGap", {.right = 100}, 0, 5, 6, 0, 10, 0, 10, {10, 108, 206, 304, 402, 500}},
    GridCase{"bottomMarginRowKept", {.bottom = 100, .uniform = false}, 0, 5, 5, 0, 0, 0, 0,
             {0, 88, 176, 264, 352, 440}},
    GridCase{"titleBand", {}, 34, 5, 6, 16, 5, 16, 39, {39, 132, 225, 318, 411, 504}},
    GridCase{"margins", {.top = 30, .left = 20, .right = 20, .bottom = 30}, 0, 5, 6, 10, 1, 30, 31,
             {31, 120, 209, 298, 387, 476}}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(TitleLines, TrimmedTitleAndPageNumber)
{
    const struct {
        const char *title;
        bool append;
        int page;
        const char *line;
    } cases[] = {
        {"  Trip  ", true, 12, "Trip 12"}, {"", true, 2, " 2"}, {"  Trip  ", false, 2, "Trip"}, {"   ", false, 1, ""}};
    for (const auto &c : cases) {
        LayoutInput in = Geometry{}.input();
        in.addTitle = true;
        in.title = QString::fromUtf8(c.title);
        in.appendPageNumber = c.append;
        EXPECT_EQ(titleLine(in, c.page), QString::fromUtf8(c.line)) << c.title;
    }
}
