#pragma once

#include "generation/page.h"

#include <memory>
#include <vector>

namespace pagorra {

// The generated pages, held in memory only. Element 0 always exists (it may hold no image
// before the first run). Page k is element k.
class PageSet {
  public:
    PageSet();

    int count() const { return int(m_pages.size()); }
    Page &page(int index) { return *m_pages.at(std::size_t(index)); }
    const Page &page(int index) const { return *m_pages.at(std::size_t(index)); }
    // Appends a page that copies element 0's drawing and print state (not its image).
    Page &addPage();
    // Destroys every page but element 0, and clears element 0's image.
    void clear();
    // Destroys the last page, or clears element 0's image when it is the only one; the
    // current page stays within the set.
    void dropLastPage();

    int lastPageIndex() const { return count() - 1; }
    int currentPageIndex() const { return m_current; }
    void setCurrentPageIndex(int index) { m_current = index; }

  private:
    std::vector<std::unique_ptr<Page>> m_pages;
    int m_current = 0;
};

} // namespace pagorra
