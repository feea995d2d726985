#include "generation/pageset.h"

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

} // namespace pagorra
