#include "generation/pageset.h"

#include "core/runtimeerror.h"
#include "generation/pagestore.h"
#include "generation/pixelpack.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>

namespace pagorra {

PageSet::PageSet(std::shared_ptr<PageStore> store) : m_store(std::move(store))
{
    m_pages.push_back(std::make_unique<Page>());
    m_stowed.emplace_back();
}

PageSet::~PageSet() = default;

Page &PageSet::page(int index)
{
    touch(index);
    return *m_pages.at(std::size_t(index));
}

const Page &PageSet::page(int index) const
{
    touch(index);
    return *m_pages.at(std::size_t(index));
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
    m_stowed.emplace_back();
    touch(lastPageIndex());
    return *m_pages.back();
}

void PageSet::clear()
{
    m_pages.resize(1);
    m_pages.front()->setImage(QImage());
    m_stowed.assign(1, {});
    m_resident.clear();
    if (m_store)
        m_store->clear();
    m_current = 0;
}

void PageSet::dropLastPage()
{
    if (m_pages.size() == 1) {
        clear();
        return;
    }
    m_pages.pop_back();
    m_stowed.pop_back();
    std::erase(m_resident, int(m_pages.size()));
    m_current = std::min(m_current, lastPageIndex());
}

// Brings the page's pixels back when it was put aside, and puts aside the pages asked for
// longest ago beyond the resident few.
void PageSet::touch(int index) const
{
    Page &page = *m_pages.at(std::size_t(index));
    if (page.isStowed()) {
        QDataStream in(m_store->get(m_stowed.at(std::size_t(index)).slot));
        qint32 count = 0;
        in >> count;
        QList<QImage> pictures;
        for (qint32 k = 0; k < count; ++k) {
            QByteArray packed;
            in >> packed;
            std::optional<QImage> picture = unpackPixels(packed);
            if (!picture)
                PAGORRA_RAISE(err::DeviceIO, QStringLiteral("Device I/O error: a page put aside came back damaged"));
            pictures.append(*picture);
        }
        page.restorePixels(pictures);
        if (!page.hasImage() || page.image().isNull())
            PAGORRA_RAISE(err::OutOfMemory, QStringLiteral("Out of memory"));
    }
    std::erase(m_resident, index);
    m_resident.push_back(index);
    while (m_store && m_resident.size() > ResidentPages) {
        const int oldest = m_resident.front();
        m_resident.pop_front();
        stow(oldest);
    }
}

void PageSet::stow(int index) const
{
    Page &page = *m_pages.at(std::size_t(index));
    if (!page.canStow())
        return;
    Stowed &stowed = m_stowed.at(std::size_t(index));
    if (stowed.slot >= 0 && stowed.revision == page.revision()) {
        page.stowPixels(); // unchanged since it was last put aside: those bytes still hold
        return;
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    const QList<QImage> pictures = page.stowPixels();
    out << qint32(pictures.size());
    for (const QImage &picture : pictures)
        out << packPixels(picture);
    stowed = {m_store->put(bytes), page.revision()};
}

} // namespace pagorra
