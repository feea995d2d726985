#pragma once

#include "core/settings.h"
#include "generation/captions.h"

#include <QDateTime>
#include <QSize>
#include <QString>
#include <array>

namespace pagorra {

class Page;

// What the tokens of a footer stand for on one page.
struct PageFacts {
    int page = 0;        // 1-based
    int pages = 0;       // pages of the run
    int count = 0;       // pictures placed on the page
    QString first, last; // paths of its first and last picture
};

// The footer line of a run's pages: a left, a centre and a right part, each a template, in the
// caption font and colour. Its band at the bottom of every page is taken from the page as the
// title's band is at the top: the line's height and 10 pixels, the line 10 pixels above the
// page's bottom edge whatever the margins.
class PageFooter {
  public:
    PageFooter(const CaptionSettings &settings, const QString &title, const QDateTime &runStarted,
               double pixelsPerInch);

    bool isOn() const;
    // Whether a page's footer needs the run's page count, which only the run's end knows.
    bool usesPageTotal() const;
    // 0 when there is no footer.
    int bandHeight() const;

    // Draws the footer of a page of `pageSize` layout pixels; each part that is too long for
    // its room is shortened. The page's own font and colour are left as they were.
    TextLoss draw(Page &page, QSize pageSize, const PageFacts &facts) const;

  private:
    QString valueOf(const QString &token, const PageFacts &facts) const;

    std::array<TextTemplate, 3> m_parts;
    QString m_title;
    QDateTime m_started;
    QString m_dateFormat;
    std::int32_t m_color = 0;
    TextFitter m_fitter;
    int m_lineHeight = 0;
};

} // namespace pagorra
