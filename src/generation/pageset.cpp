#include "generation/pageset.h"

#include <algorithm>

namespace pagorra {

PageSet::PageSet()
{
    m_pages.push_back(std::make_unique<Page>());
}

Page &PageSet::addPage()
{
    auto page = std::make_unique<Page>();
    const Page &first = *m_pages.front();
    page->setCanvasColor(first.canvasColor());
    page->setOutput(first.output());
    page->setFont(first.font());
    page->setTextColor(first.textColor());
    page->print() = first.print();
    m_pages.push_back(std::move(page));
    return *m_pages.back();
}

void PageSet::clear()
{
    m_pages.resize(1);
    m_pages.front()->setImage(QImage());
    m_current = 0;
}

void PageSet::dropLastPage()
{
    if (m_pages.size() == 1) {
        clear();
        return;
    }
    m_pages.pop_back();
    m_current = std::min(m_current, lastPageIndex());
}

} // namespace pagorra
