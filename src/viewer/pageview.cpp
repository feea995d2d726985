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
    if (image.cacheKey() != m_image.cacheKey() || image.isNull() != m_image.isNull())
        m_scaled = QPixmap();
    m_image = image;
    update();
}

void PageView::paintEvent(QPaintEvent *event)
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    const QRect exposed = event->rect();
    if (size() == m_image.size()) {
        painter.drawImage(exposed, m_image, exposed);
        return;
    }
    if (m_scaled.size() != size())
        m_scaled = QPixmap::fromImage(m_image.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    painter.drawPixmap(exposed, m_scaled, exposed);
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
