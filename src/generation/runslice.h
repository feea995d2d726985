#pragma once

#include "generation/pagelayout.h"

#include <cstdint>

namespace pagorra {

// The part of a run's entries one of several machines makes, so that a run too large for one
// machine can be split by a job runner: contiguous, cut at whole pages, and numbered as the
// whole run numbers its pages when every entry gives a picture.
struct RunSlice {
    std::int64_t first = 0; // first entry (0-based)
    std::int64_t end = 0;   // one past the last entry
    int firstPage = 1;      // the number of the slice's first page in the whole run
    bool isEmpty() const { return end <= first; }
};

// How many pictures a page of this layout takes, every picture being a cell's size.
std::int64_t picturesPerPage(const LayoutInput &input, const LayoutGrid &grid);

// The `index`-th (1-based) of `count` slices of `entries` entries, `perPage` to a page: the
// pages are shared out as evenly as whole pages allow, the earlier slices taking the larger
// shares; a slice beyond the pages there are is empty.
RunSlice runSlice(std::int64_t entries, std::int64_t perPage, int index, int count);

} // namespace pagorra
