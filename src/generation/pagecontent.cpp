#include "generation/pagecontent.h"

#include "generation/pagegeometry.h"

#include <QFontMetrics>
#include <QPainter>

namespace pagorra {

namespace {

// An image at the layout's resolution: fonts measured on it give layout pixels.
const QImage &layoutProbe()
{
    static const QImage probe = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        setImageResolution(image, kLayoutPixelsPerInch);
        return image;
    }();
    return probe;
}

} // namespace

int layoutTextHeight(const QFont &font)
{
    return QFontMetrics(font, &layoutProbe()).height();
}

int layoutAscent(const QFont &font)
{
    return QFontMetrics(font, &layoutProbe()).ascent();
}

void paintPageContent(QPainter &painter, const PageContent &content)
{
    const QRectF page(QPointF(0, 0), content.layoutSize);
    painter.save();
    painter.setClipRect(page, Qt::IntersectClip);
    painter.fillRect(page, content.background);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // A point size is turned into pixels at the device's resolution before the transformation
    // applies, which then scales layout pixels onto the device once more: the size is taken
    // as if the device had the layout's resolution.
    const double deviceToLayout = kLayoutPixelsPerInch / painter.device()->logicalDpiY();
    for (const auto &item : content.items) {
        if (const auto *text = std::get_if<PageTextItem>(&item)) {
            QFont font = text->font;
            if (font.pointSizeF() > 0) // a size in pixels is in layout pixels already
                font.setPointSizeF(font.pointSizeF() * deviceToLayout);
            painter.setFont(font);
            painter.setPen(text->color);
            painter.drawText(text->topLeft + QPointF(0, layoutAscent(text->font)), text->text);
        } else {
            const auto &picture = std::get<PagePictureItem>(item);
            painter.drawImage(picture.rect, picture.image);
        }
    }
    painter.restore();
}

} // namespace pagorra
