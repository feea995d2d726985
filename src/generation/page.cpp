#include "generation/page.h"

#include "core/colors.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace pagorra {

void Page::newImage(int width, int height)
{
    m_content = PageContent();
    if (width <= 0 || height <= 0) {
        m_image = QImage();
        return;
    }
    m_image = QImage(width, height, QImage::Format_RGB32);
    m_image.fill(resolveColor(m_canvasColor));
    m_content.layoutSize = QSizeF(width, height);
    m_content.pointSize = QSizeF(width * 0.75, height * 0.75);
    m_content.background = resolveColor(m_canvasColor);
}

int Page::textHeight(const QString &text) const
{
    Q_UNUSED(text); // one line of title text: the font's line height, whatever the characters
    // Measured for an image, never the screen, so a point size means the same here as when
    // drawn on the page (the first measurement may come before the page has an image).
    static const QImage probe(1, 1, QImage::Format_RGB32);
    return QFontMetrics(m_font, m_image.isNull() ? &probe : &m_image).height();
}

void Page::drawText(int x, int y, const QString &text)
{
    if (m_image.isNull() || text.isEmpty())
        return;
    QPainter p(&m_image);
    p.setFont(m_font);
    p.setPen(resolveColor(m_textColor));
    p.drawText(x, y + QFontMetrics(m_font, &m_image).ascent(), text);
    m_content.items.append(PageTextItem{QPointF(x, y), m_font, resolveColor(m_textColor), text});
}

void Page::drawBitmap(int x, int y, const QImage &bitmap, const QString &sourcePath)
{
    if (m_image.isNull() || bitmap.isNull())
        return;
    m_content.items.append(PagePictureItem{QRectF(x, y, bitmap.width(), bitmap.height()), bitmap, sourcePath});
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
