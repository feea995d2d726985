#include "generation/runslice.h"

#include <algorithm>

namespace pagorra {

std::int64_t picturesPerPage(const LayoutInput &input, const LayoutGrid &grid)
{
    // As LayoutCursor walks a page: a row of `columns` cells, then the next row one cell, its
    // caption band and one gap lower, until a row would start below the page's limit. The first
    // row is always placed.
    std::int64_t rows = 0;
    std::int64_t y = grid.firstY;
    do {
        ++rows;
        y += std::int64_t(input.cellHeight) + input.captionBand + grid.gapY;
    } while (y <= grid.pageLimit);
    return rows * std::max<std::int64_t>(grid.columns, 1);
}

RunSlice runSlice(std::int64_t entries, std::int64_t perPage, int index, int count)
{
    perPage = std::max<std::int64_t>(perPage, 1);
    const std::int64_t pages = (entries + perPage - 1) / perPage;
    const std::int64_t firstPage = pages * (index - 1) / count;
    const std::int64_t endPage = pages * index / count;
    RunSlice slice;
    slice.first = std::min(entries, firstPage * perPage);
    slice.end = std::min(entries, endPage * perPage);
    slice.firstPage = int(firstPage + 1);
    return slice;
}

} // namespace pagorra
