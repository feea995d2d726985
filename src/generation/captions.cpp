#include "generation/captions.h"

#include "generation/imageloader.h"
#include "generation/page.h"
#include "generation/pagecontent.h"

#include <algorithm>
#include <cmath>

namespace pagorra {

namespace {

// Between a picture and its caption, so that the text never touches the picture.
constexpr int kCaptionGap = 2;
// Kept free left and right of a caption line: glyphs may reach a little past their advance
// (italics), and a printer draws the text at its own resolution.
constexpr int kCaptionInset = 2;
// More lines under each thumbnail would crowd the page.
constexpr int kMaxCaptionLines = 2;

} // namespace

QFont captionFont(const CaptionSettings &settings)
{
    QFont font(settings.CaptionFontName);
    if (settings.CaptionFontSize > 0)
        font.setPointSize(settings.CaptionFontSize);
    font.setBold(settings.CaptionBold);
    font.setItalic(settings.CaptionItalic);
    return font;
}

CaptionPainter::CaptionPainter(const CaptionSettings &settings, double pixelsPerInch)
    : m_template(settings.Caption, TemplateKind::Caption), m_dateFormat(settings.DateFormat),
      m_lines(std::clamp(std::max<int>(settings.CaptionLines, int(settings.Caption.count(u'\n')) + 1), 1,
                         kMaxCaptionLines)),
      m_color(settings.CaptionFontColor), m_fitter(captionFont(settings), pixelsPerInch),
      m_lineHeight(layoutTextHeight(m_fitter.font()))
{
}

int CaptionPainter::bandHeight() const
{
    return isOn() ? kCaptionGap + m_lines * m_lineHeight : 0;
}

FittedLines CaptionPainter::lines(const PhotoFacts &photo, int cellWidth) const
{
    const FilledText text =
        m_template.fill([&](const QString &token) { return captionValue(token, photo, m_dateFormat); });
    return m_fitter.fit(text, cellWidth - 2 * kCaptionInset, m_lines);
}

TextLoss CaptionPainter::draw(Page &page, int x, int y, QSize thumbnail, const PhotoFacts &photo) const
{
    const FittedLines fitted = lines(photo, thumbnail.width());
    int top = y + thumbnail.height() + kCaptionGap;
    for (const QString &line : fitted.lines) {
        const int left = x + int(std::lround((thumbnail.width() - m_fitter.width(line)) / 2));
        drawTextLine(page, line, {left, top}, m_color, m_fitter);
        top += m_lineHeight;
    }
    return {fitted.shortened, m_fitter.missingGlyphs(fitted.lines.join(u' '))};
}

void drawTextLine(Page &page, const QString &text, QPoint at, std::int32_t color, const TextFitter &fitter)
{
    const QFont pageFont = page.font();
    const std::int32_t pageColor = page.textColor();
    page.setFont(fitter.font());
    page.setTextColor(color);
    page.drawText(at.x(), at.y(), text);
    page.setFont(pageFont);
    page.setTextColor(pageColor);
}

QImage captionSample(const CaptionSettings &captions, QSize thumbnail, std::int32_t background, const QString &path,
                     const LoadedPicture *picture)
{
    const CaptionPainter painter(captions, kLayoutPixelsPerInch);
    Page page;
    page.setCanvasColor(background);
    page.newImage(thumbnail.width(), thumbnail.height() + painter.bandHeight());
    if (picture)
        page.drawBitmap(0, 0, picture->bitmap);
    if (painter.isOn())
        painter.draw(page, 0, 0, thumbnail,
                     PhotoFacts{path, 1, picture ? QSize(picture->actualWidth, picture->actualHeight) : QSize(),
                                picture ? &picture->info : nullptr});
    return page.image();
}

} // namespace pagorra
