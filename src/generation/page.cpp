#include "generation/page.h"

#include "core/colors.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <variant>

namespace pagorra {

namespace {

// What drawText() and drawBitmap() do to the image, also when a stowed page is drawn again.
void paintText(QImage &image, double scale, const PageTextItem &item)
{
    QPainter p(&image);
    p.setFont(item.font);
    p.setPen(item.color);
    p.drawText(QPointF(item.topLeft.x() * scale, item.topLeft.y() * scale + QFontMetrics(item.font, &image).ascent()),
               item.text);
}

void pasteBitmap(QImage &image, double scale, QPoint at, const QImage &bitmap)
{
    const int x = int(std::lround(at.x() * scale));
    const int y = int(std::lround(at.y() * scale));
    if (bitmap.format() != image.format()) {
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(x, y, bitmap);
        return;
    }
    // Same pixel format: plain row copies, clipped to the page (thousands of pastes per run).
    const QRect target = QRect(x, y, bitmap.width(), bitmap.height()) & image.rect();
    if (target.isEmpty())
        return;
    const int bytesPerPixel = image.depth() / 8;
    for (int row = target.top(); row <= target.bottom(); ++row) {
        const uchar *src = bitmap.constScanLine(row - y) + (target.left() - x) * bytesPerPixel;
        uchar *dst = image.scanLine(row) + target.left() * bytesPerPixel;
        std::memcpy(dst, src, size_t(target.width()) * bytesPerPixel);
    }
}

QImage blankRaster(const PageOutput &output, QSize layout, const QColor &background)
{
    QImage image(output.rasterSize(layout), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // Point sizes of text drawn on the image then mean the same on paper at any resolution.
    setImageResolution(image, output.pixelsPerInch);
    image.fill(background);
    return image;
}

} // namespace

void Page::newImage(int width, int height)
{
    m_content = PageContent();
    m_stowed = false;
    ++m_revision;
    if (width <= 0 || height <= 0) {
        m_image = QImage();
        return;
    }
    const QSize layout(width, height);
    m_image = blankRaster(m_output, layout, resolveColor(m_canvasColor));
    if (m_image.isNull())
        return;
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
    ++m_revision;
    PageTextItem item{QPointF(x, y), m_font, resolveColor(m_textColor), text};
    paintText(m_image, m_output.scale(), item);
    m_content.items.append(std::move(item));
}

void Page::drawBitmap(int x, int y, const QImage &bitmap, const QString &sourcePath)
{
    if (m_image.isNull() || bitmap.isNull())
        return;
    ++m_revision;
    const double scale = m_output.scale();
    m_content.items.append(
        PagePictureItem{QRectF(x, y, bitmap.width() / scale, bitmap.height() / scale), bitmap, sourcePath});
    pasteBitmap(m_image, scale, QPoint(x, y), bitmap);
}

bool Page::canStow() const
{
    if (m_stowed || m_image.isNull() || m_content.layoutSize.isEmpty())
        return false;
    return std::all_of(m_content.items.begin(), m_content.items.end(), [](const auto &item) {
        const auto *picture = std::get_if<PagePictureItem>(&item);
        return !picture || picture->image.format() == QImage::Format_RGB32 ||
               picture->image.format() == QImage::Format_ARGB32;
    });
}

QList<QImage> Page::stowPixels()
{
    QList<QImage> pictures;
    for (auto &item : m_content.items) {
        if (auto *picture = std::get_if<PagePictureItem>(&item))
            pictures.append(std::exchange(picture->image, QImage()));
    }
    m_image = QImage();
    m_stowed = true;
    return pictures;
}

void Page::restorePixels(const QList<QImage> &pictures)
{
    QImage image = blankRaster(m_output, m_content.layoutSize.toSize(), m_content.background);
    if (image.isNull())
        return;
    const double scale = m_output.scale();
    qsizetype next = 0;
    // Every kind of item is drawn as it was first drawn; a new kind must be added here.
    for (auto &item : m_content.items) {
        std::visit(
            [&](auto &drawn) {
                using Item = std::decay_t<decltype(drawn)>;
                if constexpr (std::is_same_v<Item, PageTextItem>) {
                    paintText(image, scale, drawn);
                } else {
                    static_assert(std::is_same_v<Item, PagePictureItem>);
                    drawn.image = pictures.value(next++);
                    pasteBitmap(image, scale, drawn.rect.topLeft().toPoint(), drawn.image);
                }
            },
            item);
    }
    m_image = std::move(image);
    m_stowed = false;
}

} // namespace pagorra
