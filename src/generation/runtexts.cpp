#include "generation/runtexts.h"

#include "generation/page.h"

#include <QDateTime>

namespace pagorra {

RunTexts::RunTexts(const RegistrySettings &settings, const PageOutput &output)
    : m_captions(settings.Captions, output.pixelsPerInch),
      m_footer(settings.Captions, settings.Title, QDateTime::currentDateTime(), output.pixelsPerInch)
{
}

void RunTexts::placed(Page &page, int pageNumber, QPoint at, QSize thumbnail, const PhotoFacts &photo)
{
    if (m_captions.isOn())
        note(m_captions.draw(page, at.x(), at.y(), thumbnail, photo), photo.path);
    if (!m_footer.isOn())
        return;
    if (m_pages.size() < std::size_t(pageNumber))
        m_pages.resize(std::size_t(pageNumber));
    PageFacts &facts = m_pages[std::size_t(pageNumber - 1)];
    if (facts.count++ == 0)
        facts.first = photo.path;
    facts.last = photo.path;
}

void RunTexts::drawFooter(Page &page, int pageNumber, int pages)
{
    if (!m_footer.isOn())
        return;
    PageFacts facts = pageNumber <= int(m_pages.size()) ? m_pages[std::size_t(pageNumber - 1)] : PageFacts();
    facts.page = pageNumber;
    facts.pages = pages;
    const QSizeF size = page.content().layoutSize;
    note(m_footer.draw(page, QSize(int(size.width()), int(size.height())), facts),
         QStringLiteral("footer of page %1").arg(pageNumber));
}

void RunTexts::note(const TextLoss &loss, const QString &where)
{
    if (loss.shortened)
        shortened << where;
    if (!loss.missing.isEmpty())
        missingGlyphs.append({where, loss.missing});
}

} // namespace pagorra
