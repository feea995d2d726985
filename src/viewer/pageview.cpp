#include "viewer/pageview.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace pagorra {

PageView::PageView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ib"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageView::setImage(const QImage &image)
{
    if (image.cacheKey() != m_image.cacheKey() || image.isNull() != m_image.isNull() || m_image.isNull())
        m_scaled = QPixmap();
    m_image = image;
    update();
}

void PageView::keepOnlyWhatIsShown()
{
    if (!m_scaled.isNull())
        m_image = QImage();
}

void PageView::paintEvent(QPaintEvent *event)
{
    if (!showsPage() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    const QRect exposed = event->rect();
    if (m_image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_scaled);
        return;
    }
    if (size() == m_image.size() && devicePixelRatioF() == 1) {
        painter.drawImage(exposed, m_image, exposed);
        return;
    }
    const double ratio = devicePixelRatioF();
    const QSize device(qRound(width() * ratio), qRound(height() * ratio));
    if (device.width() > m_image.width() || device.height() > m_image.height()) {
        // Shown larger than its own pixels: each repaint scales only what it shows, so no
        // enlarged copy of a large page is ever held.
        const double x = double(m_image.width()) / width(), y = double(m_image.height()) / height();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(exposed), m_image,
                          QRectF(exposed.x() * x, exposed.y() * y, exposed.width() * x, exposed.height() * y));
        return;
    }
    if (m_scaled.size() != device) {
        m_scaled = QPixmap::fromImage(m_image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    painter.drawPixmap(
        QRectF(exposed), m_scaled,
        QRectF(exposed.x() * ratio, exposed.y() * ratio, exposed.width() * ratio, exposed.height() * ratio));
}

void PageView::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->position());
}

void PageView::mouseMoveEvent(QMouseEvent *event)
{
    emit moved(event->position());
}

void PageView::mouseReleaseEvent(QMouseEvent *)
{
    emit released();
}

} // namespace pagorra
