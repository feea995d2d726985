#include "generation/page.h"

#include "core/colors.h"

#include <QFontMetrics>
#include <QPainter>

namespace pagorra {

void Page::newImage(int width, int height)
{
    if (width <= 0 || height <= 0) {
        m_image = QImage();
        return;
    }
    m_image = QImage(width, height, QImage::Format_RGB32);
    m_image.fill(resolveColor(m_canvasColor));
}

int Page::textHeight(const QString &text) const
{
    Q_UNUSED(text); // line height of the font, the same for every text
    return QFontMetrics(m_font).height();
}

void Page::drawText(int x, int y, const QString &text)
{
    if (m_image.isNull())
        return;
    QPainter p(&m_image);
    p.setFont(m_font);
    p.setPen(resolveColor(m_textColor));
    p.drawText(x, y + QFontMetrics(m_font).ascent(), text);
}

void Page::drawBitmap(int x, int y, const QImage &bitmap)
{
    if (m_image.isNull() || bitmap.isNull())
        return;
    QPainter p(&m_image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(x, y, bitmap);
}

} // namespace pagorra
