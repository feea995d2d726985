#include "generation/pagelayout.h"

#include "core/runtimeerror.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pagorra;

namespace {

LayoutInput defaults()
{
    return snapshotLayoutInput(defaultSettings());
}

const QString kTooWide = QStringLiteral("The specified thumbnail width is too large for the page area!");
const QString kTooHigh = QStringLiteral("The specified thumbnail height is too large for the page area!");
const QString kWidth30 = QStringLiteral("Thumbnail width should be at least 30 pixels!");
const QString kPage300 = QStringLiteral("Page width should be at least 300 pixels!");
const QString kPage200 = QStringLiteral("Page height should be at least 200 pixels!");
const QString kHeight1 = QStringLiteral("Thumbnail height should be at least 1 pixel!");

} // namespace

TEST(LayoutChecks, BasketNeedsTwoEntries)
{
    for (int n : {0, 1}) {
        auto m = checkBasketSize(n);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->text, QStringLiteral("At least two images are required in the basket to use this feature!"));
        EXPECT_EQ(m->icon, MessageIcon::Information);
    }
    EXPECT_FALSE(checkBasketSize(2));
}

struct CheckCase {
    const char *name;
    void (*edit)(LayoutInput &);
    std::int16_t titleBand;
    QString message; // empty: passes
    MessageIcon icon;
};

class LayoutCheckTable : public ::testing::TestWithParam<CheckCase> {};

TEST_P(LayoutCheckTable, FirstFailingCheckWins)
{
    const auto &c = GetParam();
    LayoutInput in = defaults();
    c.edit(in);
    auto m = checkPageGeometry(in, c.titleBand);
    if (c.message.isEmpty()) {
        EXPECT_FALSE(m) << m->text.toStdString();
        return;
    }
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, c.message);
    EXPECT_EQ(m->icon, c.icon);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutCheckTable,
    ::testing::Values(
        CheckCase{"defaults", [](LayoutInput &) {}, 0, {}, MessageIcon::None},
        CheckCase{"cellAsWideAsArea",
                  [](LayoutInput &i) {
                      i.marginLeft = 30;
                      i.marginRight = 30;
                      i.cellWidth = 740;
                  },
                  0, kTooWide, MessageIcon::None},
        CheckCase{"cellOnePixelNarrower",
                  [](LayoutInput &i) {
                      i.marginLeft = 30;
                      i.marginRight = 30;
                      i.cellWidth = 739;
                  },
                  0,
                  {},
                  MessageIcon::None},
        CheckCase{"cellAsHighAsArea",
                  [](LayoutInput &i) {
                      i.marginTop = 50;
                      i.marginBottom = 50;
                      i.cellHeight = 500;
                  },
                  0, kTooHigh, MessageIcon::None},
        CheckCase{"titleBandCountsInHeight", [](LayoutInput &i) { i.cellHeight = 570; }, 35, kTooHigh,
                  MessageIcon::None},
        CheckCase{"sameHeightWithoutTitle", [](LayoutInput &i) { i.cellHeight = 570; }, 0, {}, MessageIcon::None},
        CheckCase{"width29", [](LayoutInput &i) { i.cellWidth = 29; }, 0, kWidth30, MessageIcon::Information},
        CheckCase{"width29OnNarrowArea",
                  [](LayoutInput &i) {
                      i.cellWidth = 29;
                      i.marginLeft = 400;
                      i.marginRight = 371;
                  },
                  0, kTooWide, MessageIcon::None},
        CheckCase{"widthZero", [](LayoutInput &i) { i.cellWidth = 0; }, 0, kWidth30, MessageIcon::Information},
        CheckCase{"widthNegative", [](LayoutInput &i) { i.cellWidth = -5; }, 0, kWidth30, MessageIcon::Information},
        CheckCase{"page299", [](LayoutInput &i) { i.pageWidth = 299; }, 0, kPage300, MessageIcon::Information},
        CheckCase{"page199High", [](LayoutInput &i) { i.pageHeight = 199; }, 0, kPage200, MessageIcon::Information},
        CheckCase{"page199HighButTooWideFirst",
                  [](LayoutInput &i) {
                      i.pageHeight = 199;
                      i.pageWidth = 100;
                  },
                  0, kTooWide, MessageIcon::None},
        CheckCase{"heightZero", [](LayoutInput &i) { i.cellHeight = 0; }, 0, kHeight1, MessageIcon::Information},
        CheckCase{"heightNegative", [](LayoutInput &i) { i.cellHeight = -3; }, 0, kHeight1, MessageIcon::Information},
        CheckCase{"heightOne", [](LayoutInput &i) { i.cellHeight = 1; }, 0, {}, MessageIcon::None}),
    [](const auto &info) { return std::string(info.param.name); });

struct GridCase {
    const char *name;
    void (*edit)(LayoutInput &);
    std::int16_t titleBand;
    int columns, rows, gapX, gapY, firstX, firstY;
    std::vector<int> rowStarts; // y of every row on one page
};

class LayoutGridTable : public ::testing::TestWithParam<GridCase> {};

TEST_P(LayoutGridTable, GridAndRowsOfAPage)
{
    const auto &c = GetParam();
    LayoutInput in = defaults();
    c.edit(in);
    const LayoutGrid g = computeGrid(in, c.titleBand);
    EXPECT_EQ(g.columns, c.columns);
    EXPECT_EQ(g.rows, c.rows);
    EXPECT_EQ(g.gapX, c.gapX);
    EXPECT_EQ(g.gapY, c.gapY);
    EXPECT_EQ(g.firstX, c.firstX);
    EXPECT_EQ(g.firstY, c.firstY);

    // Walk full rows until the page breaks, noting where each row starts.
    LayoutCursor cursor(in, g);
    std::vector<int> rows{cursor.y()};
    std::vector<int> firstRowX{cursor.x()};
    bool full = false;
    for (int i = 1; !full && i < 10000; ++i) {
        full = cursor.advance(i, in.cellWidth, in.cellHeight);
        if (i <= g.columns - 1)
            firstRowX.push_back(cursor.x());
        if (!full && i % g.columns == 0)
            rows.push_back(cursor.y());
    }
    EXPECT_EQ(rows, c.rowStarts);
    for (int k = 0; k < g.columns; ++k)
        EXPECT_EQ(firstRowX[k], c.firstX + k * (in.cellWidth + c.gapX));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutGridTable,
    ::testing::Values(
        GridCase{"defaults", [](LayoutInput &) {}, 0, 5, 6, 16, 10, 16, 10, {10, 108, 206, 304, 402, 500}},
        GridCase{"packed", [](LayoutInput &i) { i.uniform = false; }, 0, 5, 6, 0, 0, 0, 0, {0, 88, 176, 264, 352, 440}},
        GridCase{"wholeQuotientNoGap",
                 [](LayoutInput &i) { i.marginRight = 100; },
                 0,
                 5,
                 6,
                 0,
                 10,
                 0,
                 10,
                 {10, 108, 206, 304, 402, 500}},
        GridCase{"bottomMarginRowKept",
                 [](LayoutInput &i) {
                     i.uniform = false;
                     i.marginBottom = 100;
                 },
                 0,
                 5,
                 5,
                 0,
                 0,
                 0,
                 0,
                 {0, 88, 176, 264, 352, 440}},
        GridCase{"titleBand",
                 [](LayoutInput &i) { i.addTitle = true; },
                 34,
                 5,
                 6,
                 16,
                 5,
                 16,
                 39,
                 {39, 132, 225, 318, 411, 504}},
        GridCase{"margins",
                 [](LayoutInput &i) {
                     i.marginLeft = 20;
                     i.marginTop = 30;
                     i.marginRight = 20;
                     i.marginBottom = 30;
                 },
                 0,
                 5,
                 6,
                 10,
                 1,
                 30,
                 31,
                 {31, 120, 209, 298, 387, 476}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LayoutWalk, DefaultPageHoldsThirtyAndRowsFollowBasketPositions)
{
    const LayoutInput in = defaults();
    const LayoutGrid g = computeGrid(in, 0);
    LayoutCursor cursor(in, g);
    // Entry 3 could not be loaded: 4 and 5 take cells 3 and 4, 6 starts the next row.
    struct Step {
        int position, x, y;
    };
    const std::vector<Step> placed{{1, 16, 10}, {2, 172, 10}, {4, 328, 10}, {5, 484, 10}, {6, 16, 108}};
    for (const Step &s : placed) {
        EXPECT_EQ(cursor.x(), s.x) << s.position;
        EXPECT_EQ(cursor.y(), s.y) << s.position;
        EXPECT_FALSE(cursor.advance(s.position, 140, 88));
    }
    cursor.reset();
    int full = 0;
    for (int i = 1; i <= 30; ++i)
        if (cursor.advance(i, 140, 88))
            full = i;
    EXPECT_EQ(full, 30);
}

TEST(LayoutOverflow, SixteenBitLimitsRaise)
{
    RegistrySettings s = defaultSettings();
    s.PageWidth = 40000;
    try {
        snapshotLayoutInput(s);
        FAIL();
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::Overflow);
    }
    LayoutInput in = defaults();
    in.marginLeft = -32000;
    in.marginRight = 0;
    in.pageWidth = 1000;
    try {
        checkPageGeometry(in, 0);
        FAIL();
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::Overflow);
    }
    in = defaults();
    in.cellHeight = 0;
    try {
        computeGrid(in, 0);
        FAIL();
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::DivisionByZero);
    }
}

struct TitleCase {
    QString title;
    bool append;
    int page;
    QString line;
};

class TitleLines : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleLines, TrimmedTitleAndPageNumber)
{
    LayoutInput in = defaults();
    in.addTitle = true;
    in.title = GetParam().title;
    in.appendPageNumber = GetParam().append;
    EXPECT_EQ(titleLine(in, GetParam().page), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Cases, TitleLines,
                         ::testing::Values(TitleCase{QStringLiteral("Photo List"), true, 3,
                                                     QStringLiteral("Photo List 3")},
                                           TitleCase{QStringLiteral("  Trip  "), true, 2, QStringLiteral("Trip 2")},
                                           TitleCase{QString(), true, 2, QStringLiteral(" 2")},
                                           TitleCase{QStringLiteral("  Trip  "), false, 2, QStringLiteral("Trip")},
                                           TitleCase{QStringLiteral("   "), false, 1, QString()}));
