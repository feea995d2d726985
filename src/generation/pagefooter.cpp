#include "generation/pagefooter.h"

#include "generation/pagecontent.h"

#include <algorithm>
#include <cmath>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

// As the title's band: the line stands this far from the page's edge.
constexpr int kEdgeDistance = 10;
// Between two parts of the line when each has to keep to its third.
constexpr int kPartGap = 10;

} // namespace

PageFooter::PageFooter(const CaptionSettings &settings, const QString &title, const QDateTime &runStarted,
                       double pixelsPerInch)
    : m_title(title.trimmed()), m_started(runStarted), m_dateFormat(settings.DateFormat),
      m_color(settings.CaptionFontColor), m_fitter(captionFont(settings), pixelsPerInch),
      m_lineHeight(layoutTextHeight(m_fitter.font()))
{
    const QStringList parts = settings.Footer.split(u'|');
    for (qsizetype i = 0; i < std::min<qsizetype>(parts.size(), 3); ++i)
        m_parts[std::size_t(i)] = TextTemplate(parts[i], TemplateKind::Footer);
}

bool PageFooter::isOn() const
{
    return std::any_of(m_parts.begin(), m_parts.end(), [](const TextTemplate &part) { return !part.isEmpty(); });
}

bool PageFooter::usesPageTotal() const
{
    return std::any_of(m_parts.begin(), m_parts.end(), [](const TextTemplate &part) { return part.uses(u"pages"_s); });
}

int PageFooter::bandHeight() const
{
    return isOn() ? m_lineHeight + kEdgeDistance : 0;
}

QString PageFooter::valueOf(const QString &token, const PageFacts &facts) const
{
    if (token == u"page")
        return QString::number(facts.page);
    if (token == u"pages")
        return QString::number(facts.pages);
    if (token == u"date")
        return formattedDate(m_started, m_dateFormat, true);
    if (token == u"title")
        return m_title;
    if (token == u"count")
        return QString::number(facts.count);
    if (token == u"first")
        return facts.first.isEmpty() ? QString() : shownFileName(facts.first);
    if (token == u"last")
        return facts.last.isEmpty() ? QString() : shownFileName(facts.last);
    return {};
}

TextLoss PageFooter::draw(Page &page, QSize pageSize, const PageFacts &facts) const
{
    std::array<FilledText, 3> texts;
    int used = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = m_parts[i].fill([&](const QString &token) { return valueOf(token, facts); });
        used += !texts[i].text.isEmpty();
    }
    // One part may take the whole line; several keep to a third each, so none covers another.
    const int line = pageSize.width() - 2 * kEdgeDistance;
    const int room = used > 1 ? (line - 2 * kPartGap) / 3 : line;
    const int top = pageSize.height() - kEdgeDistance - m_lineHeight;
    TextLoss loss;
    QStringList drawn;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].text.isEmpty())
            continue;
        const FittedLines fitted = m_fitter.fit(texts[i], room, 1);
        const QString text = fitted.lines.value(0);
        const double width = m_fitter.width(text);
        const double left = i == 0   ? kEdgeDistance
                            : i == 1 ? (pageSize.width() - width) / 2
                                     : pageSize.width() - kEdgeDistance - width;
        drawTextLine(page, text, {int(std::lround(left)), top}, m_color, m_fitter);
        loss.shortened = loss.shortened || fitted.shortened;
        drawn << text;
    }
    loss.missing = m_fitter.missingGlyphs(drawn.join(u' '));
    return loss;
}

} // namespace pagorra
