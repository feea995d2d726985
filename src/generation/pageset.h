#pragma once

#include "generation/page.h"

#include <deque>
#include <memory>
#include <vector>

namespace pagorra {

class PageStore;

// The generated pages. Element 0 always exists (it may hold no image before the first run).
// Page k is element k.
// Given a store, the set keeps only the pages last asked for with their pixels and puts the
// others aside in it (see Page::stowPixels()), packed: page(k) draws a page put aside again
// before handing it out, so the reference it gives has its image until a later page() call
// puts that page aside once more (its drawing and print state stay in memory throughout).
// Without a store every page keeps its pixels in memory.
class PageSet {
  public:
    explicit PageSet(std::shared_ptr<PageStore> store = nullptr);
    ~PageSet();

    int count() const { return int(m_pages.size()); }
    // The page with its image. Throws RuntimeError when a page put aside cannot be read back
    // (device I/O error) or drawn again (out of memory).
    Page &page(int index);
    const Page &page(int index) const;
    // The page's drawing and print state, leaving its pixels where they are: its image is null
    // when it has been put aside, though hasImage() tells whether it has one.
    const Page &peek(int index) const { return *m_pages.at(std::size_t(index)); }
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

    // How many pages hold their pixels in memory at most: the one being filled or shown and
    // the one before it (a page saved or printed while another is on display).
    static constexpr std::size_t ResidentPages = 2;

  private:
    void touch(int index) const;
    void stow(int index) const;

    std::vector<std::unique_ptr<Page>> m_pages;
    int m_current = 0;
    std::shared_ptr<PageStore> m_store;
    // Where each page's pixels were put aside, by page index, and the page's revision then;
    // slot -1: never put aside.
    struct Stowed {
        int slot = -1;
        int revision = 0;
    };
    mutable std::vector<Stowed> m_stowed;
    // Pages with their pixels in memory, the most recently asked for last.
    mutable std::deque<int> m_resident;
};

} // namespace pagorra
