#include "viewer/zoomtools.h"

#include "viewer/pagefit.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

namespace pagorra {

namespace {

constexpr int IconSize = 16;

QPixmap blankIcon()
{
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(Qt::white);
    return pixmap;
}

// A page filling a frame, with arrows pushing out to its corners.
QPixmap bestFitPicture()
{
    QPixmap pixmap = blankIcon();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.drawRect(QRectF(0.5, 0.5, IconSize - 1, IconSize - 1));
    painter.setPen(QPen(QColor(30, 80, 160), 1.4));
    const QPointF centre(IconSize / 2.0, IconSize / 2.0);
    const qreal reach = IconSize / 2.0 - 3;
    for (const QPointF direction : {QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1)}) {
        const QPointF tip = centre + direction * reach;
        painter.drawLine(centre + direction * 1.5, tip);
        painter.drawLine(tip, tip - QPointF(direction.x() * 3, 0));
        painter.drawLine(tip, tip - QPointF(0, direction.y() * 3));
    }
    return pixmap;
}

// "1:1", the page shown pixel for pixel.
QPixmap actualSizePicture()
{
    QPixmap pixmap = blankIcon();
    QPainter painter(&pixmap);
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 30));
    painter.drawText(QRect(0, 0, IconSize, IconSize), Qt::AlignCenter, QStringLiteral("1:1"));
    return pixmap;
}

QToolButton *makeOption(QWidget *parent, int index, const QPixmap &picture, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("optZoom%1").arg(index));
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(IconSize, IconSize));
    button->setToolTip(tip);
    return button;
}

} // namespace

ZoomTools::ZoomTools(QWidget *parent)
    : QWidget(parent), m_group(new QButtonGroup(this)), m_label(new QLabel(QStringLiteral("100%"), this))
{
    setObjectName(QStringLiteral("picTools"));
    setFixedSize(twipsToPixels(1695, logicalDpiX()), twipsToPixels(375, logicalDpiY()));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const QString tips[] = {tr("Best fit"), tr("Actual size")};
    const QPixmap pictures[] = {bestFitPicture(), actualSizePicture()};
    for (int index = 0; index < 2; ++index) {
        QToolButton *button = makeOption(this, index, pictures[index], tips[index]);
        button->setFixedSize(height(), height());
        m_group->addButton(button, index);
        layout->addWidget(button);
    }
    m_group->button(0)->setChecked(true);
    m_label->setObjectName(QStringLiteral("lblZoom"));
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label, 1);

    connect(m_group, &QButtonGroup::idClicked, this, &ZoomTools::optionClicked);
}

QAbstractButton *ZoomTools::option(int index) const
{
    return m_group->button(index);
}

int ZoomTools::selected() const
{
    return m_group->checkedId() == 0 ? 0 : 1;
}

void ZoomTools::select(int index)
{
    m_group->button(index == 0 ? 0 : 1)->setChecked(true);
}

} // namespace pagorra
