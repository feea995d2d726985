#include "generation/pagelayout.h"

#include "generation/int16.h"

namespace pagorra {

namespace {

// What the horizontal and the vertical arithmetic are made from, named in an overflow's report.
QList<NamedValue> horizontalValues(const LayoutInput &in)
{
    return {{QStringLiteral("PageWidth"), in.pageWidth},
            {QStringLiteral("PageMarginLeft"), in.marginLeft},
            {QStringLiteral("PageMarginRight"), in.marginRight},
            {QStringLiteral("ThumbnailWidth"), in.cellWidth}};
}

QList<NamedValue> verticalValues(const LayoutInput &in, std::int16_t titleBand)
{
    QList<NamedValue> values{{QStringLiteral("PageHeight"), in.pageHeight},
                             {QStringLiteral("PageMarginTop"), in.marginTop},
                             {QStringLiteral("PageMarginBottom"), in.marginBottom},
                             {QStringLiteral("ThumbnailHeight"), in.cellHeight},
                             {QStringLiteral("title band"), titleBand}};
    if (in.captionBand != 0)
        values.append({QStringLiteral("caption band"), in.captionBand});
    if (in.footerBand != 0)
        values.append({QStringLiteral("footer band"), in.footerBand});
    return values;
}

// A cell is its thumbnail and the caption band under it.
std::int16_t cellHeight(const LayoutInput &in)
{
    return add16(in.cellHeight, in.captionBand);
}

std::int16_t areaWidth(const LayoutInput &in)
{
    return sub16(sub16(in.pageWidth, in.marginLeft), in.marginRight);
}

std::int16_t areaHeight(const LayoutInput &in, std::int16_t titleBand)
{
    return sub16(sub16(sub16(sub16(in.pageHeight, in.marginTop), in.marginBottom), titleBand), in.footerBand);
}

} // namespace

LayoutInput snapshotLayoutInput(const RegistrySettings &s)
{
    LayoutInput in;
    in.pageWidth = namingValues({{QStringLiteral("PageWidth"), s.PageWidth}}, [&] { return toInt16(s.PageWidth); });
    in.pageHeight = namingValues({{QStringLiteral("PageHeight"), s.PageHeight}}, [&] { return toInt16(s.PageHeight); });
    in.marginTop = s.PageMarginTop;
    in.marginLeft = s.PageMarginLeft;
    in.marginRight = s.PageMarginRight;
    in.marginBottom = s.PageMarginBottom;
    in.cellWidth = s.ThumbnailWidth;
    in.cellHeight = s.ThumbnailHeight;
    in.uniform = s.ThumbnailUniformPlacement == 1;
    in.addTitle = s.AddTitle == 1;
    in.appendPageNumber = s.AppendPageNumber == 1;
    in.title = s.Title;
    return in;
}

QString titleLine(const LayoutInput &input, int pageNumber)
{
    QString line = input.title.trimmed();
    if (input.appendPageNumber)
        line += u' ' + QString::number(pageNumber);
    return line;
}

bool titleDrawn(const LayoutInput &input, const QString &line)
{
    return input.addTitle && !line.isEmpty();
}

std::optional<UserMessage> checkBasketSize(std::int64_t entries)
{
    if (entries <= 1)
        return UserMessage{QStringLiteral("At least two images are required in the basket to use this feature!"),
                           MessageIcon::Information};
    return std::nullopt;
}

std::optional<UserMessage> checkPageGeometry(const LayoutInput &in, std::int16_t titleBand)
{
    if (in.cellWidth >= namingValues(horizontalValues(in), [&] { return areaWidth(in); }))
        return UserMessage{QStringLiteral("The specified thumbnail width is too large for the page area!"),
                           MessageIcon::None};
    const auto [cell, area] = namingValues(verticalValues(in, titleBand),
                                           [&] { return std::pair(cellHeight(in), areaHeight(in, titleBand)); });
    if (cell >= area)
        return UserMessage{QStringLiteral("The specified thumbnail height is too large for the page area!"),
                           MessageIcon::None};
    if (in.cellWidth < 30)
        return UserMessage{QStringLiteral("Thumbnail width should be at least 30 pixels!"), MessageIcon::Information};
    if (in.pageWidth < 300)
        return UserMessage{QStringLiteral("Page width should be at least 300 pixels!"), MessageIcon::Information};
    if (in.pageHeight < 200)
        return UserMessage{QStringLiteral("Page height should be at least 200 pixels!"), MessageIcon::Information};
    // A stored cell height of 0 or below would otherwise end in a division by zero or a
    // meaningless grid.
    if (in.cellHeight < 1)
        return UserMessage{QStringLiteral("Thumbnail height should be at least 1 pixel!"), MessageIcon::Information};
    return std::nullopt;
}

LayoutGrid computeGrid(const LayoutInput &in, std::int16_t titleBand)
{
    LayoutGrid g;
    namingValues(horizontalValues(in), [&] {
        const std::int16_t width = areaWidth(in);
        g.columns = integerQuotient16(width, in.cellWidth);
        if (in.uniform)
            g.gapX = integerQuotient16(sub16(width, mul16(g.columns, in.cellWidth)), add16(g.columns, 1));
        g.firstX = std::int32_t(add16(in.marginLeft, g.gapX));
    });
    namingValues(verticalValues(in, titleBand), [&] {
        const std::int16_t height = areaHeight(in, titleBand);
        const std::int16_t cell = cellHeight(in);
        g.rows = integerQuotient16(height, cell);
        if (in.uniform)
            g.gapY = integerQuotient16(sub16(height, mul16(g.rows, cell)), add16(g.rows, 1));
        g.firstY = std::int32_t(add16(add16(in.marginTop, g.gapY), titleBand));
        // Rows may reach into the bottom margin, never into the footer.
        g.pageLimit = std::int32_t(sub16(sub16(in.pageHeight, in.footerBand), cell));
    });
    return g;
}

LayoutCursor::LayoutCursor(const LayoutInput &input, const LayoutGrid &grid)
    : m_grid(grid), m_captionBand(input.captionBand), m_marginLeft(input.marginLeft), m_x(grid.firstX), m_y(grid.firstY)
{
}

bool LayoutCursor::advance(int bitmapWidth, int bitmapHeight)
{
    if (++m_column == m_grid.columns) {
        m_column = 0;
        m_x = m_marginLeft + m_grid.gapX;
        m_y = m_y + bitmapHeight + m_captionBand + m_grid.gapY;
    } else {
        m_x = m_x + bitmapWidth + m_grid.gapX;
    }
    return m_y > m_grid.pageLimit;
}

void LayoutCursor::reset()
{
    m_x = m_grid.firstX;
    m_y = m_grid.firstY;
    m_column = 0;
}

} // namespace pagorra
