#include "generation/page.h"

#include "core/colors.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pagorra {

void Page::newImage(int width, int height)
{
    m_content = PageContent();
    if (width <= 0 || height <= 0) {
        m_image = QImage();
        return;
    }
    const QSize layout(width, height);
    m_image = QImage(m_output.rasterSize(layout), QImage::Format_RGB32);
    if (m_image.isNull())
        return;
    // Point sizes of text drawn on the image then mean the same on paper at any resolution.
    setImageResolution(m_image, m_output.pixelsPerInch);
    m_image.fill(resolveColor(m_canvasColor));
    m_content.layoutSize = QSizeF(layout);
    m_content.pointSize = m_output.pointSize(layout);
    m_content.pixelsPerInch = m_output.pixelsPerInch;
    m_content.background = resolveColor(m_canvasColor);
}

int Page::textHeight(const QString &text) const
{
    Q_UNUSED(text); // one line of title text: the font's line height, whatever the characters
    // Measured in layout pixels, never on the screen nor at the page's resolution, so that the
    // layout is the same whatever the screen and whatever resolution the page is made at.
    return layoutTextHeight(m_font);
}

void Page::drawText(int x, int y, const QString &text)
{
    if (m_image.isNull() || text.isEmpty())
        return;
    QPainter p(&m_image);
    p.setFont(m_font);
    p.setPen(resolveColor(m_textColor));
    const double scale = m_output.scale();
    p.drawText(QPointF(x * scale, y * scale + QFontMetrics(m_font, &m_image).ascent()), text);
    m_content.items.append(PageTextItem{QPointF(x, y), m_font, resolveColor(m_textColor), text});
}

void Page::drawBitmap(int x, int y, const QImage &bitmap, const QString &sourcePath)
{
    if (m_image.isNull() || bitmap.isNull())
        return;
    const double scale = m_output.scale();
    m_content.items.append(
        PagePictureItem{QRectF(x, y, bitmap.width() / scale, bitmap.height() / scale), bitmap, sourcePath});
    x = int(std::lround(x * scale));
    y = int(std::lround(y * scale));
    if (bitmap.format() != m_image.format()) {
        QPainter p(&m_image);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(x, y, bitmap);
        return;
    }
    // Same pixel format: plain row copies, clipped to the page (thousands of pastes per run).
    const QRect target = QRect(x, y, bitmap.width(), bitmap.height()) & m_image.rect();
    if (target.isEmpty())
        return;
    const int bytesPerPixel = m_image.depth() / 8;
    for (int row = target.top(); row <= target.bottom(); ++row) {
        const uchar *src = bitmap.constScanLine(row - y) + (target.left() - x) * bytesPerPixel;
        uchar *dst = m_image.scanLine(row) + target.left() * bytesPerPixel;
        std::memcpy(dst, src, size_t(target.width()) * bytesPerPixel);
    }
}

} // namespace pagorra
