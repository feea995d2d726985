#pragma once

#include "core/settings.h"
#include "generation/captions.h"
#include "generation/pagefooter.h"
#include "generation/pagegeometry.h"

#include <QList>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <utility>
#include <vector>

namespace pagorra {

class Page;

// The captions and footers of one run, and what they lost on the way onto the pages: each
// caption or footer part that had to be shortened, each character no installed font has,
// noted with the file (or the footer) it belongs to, for the run's result.
class RunTexts {
  public:
    RunTexts(const RegistrySettings &settings, const PageOutput &output);

    int captionBand() const { return m_captions.bandHeight(); }
    int footerBand() const { return m_footer.bandHeight(); }
    bool hasFooter() const { return m_footer.isOn(); }
    bool footerNeedsTotal() const { return m_footer.usesPageTotal(); }

    // A picture has been placed on page `pageNumber` with its cell's top-left at `at`.
    void placed(Page &page, int pageNumber, QPoint at, QSize thumbnail, const PhotoFacts &photo);
    // Draws the footer of page `pageNumber` of a run of `pages` pages.
    void drawFooter(Page &page, int pageNumber, int pages);

    QStringList shortened;                            // files, or "footer of page n"
    QList<std::pair<QString, QString>> missingGlyphs; // the same, and the characters

  private:
    void note(const TextLoss &loss, const QString &where);

    CaptionPainter m_captions;
    PageFooter m_footer;
    std::vector<PageFacts> m_pages; // page n at n - 1
};

} // namespace pagorra
