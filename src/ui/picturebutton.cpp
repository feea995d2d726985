#include "ui/picturebutton.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QSvgRenderer>
#include <algorithm>

// The pictures live in the gui library, which is static: nothing would pull the resource object
// into an executable unless someone asks for it by name.
static void initProgramPictures()
{
    Q_INIT_RESOURCE(resources);
}

namespace pagorra {

namespace {

// The picture sits this many pixels from the button's left edge; the caption follows after a gap
// and may reach to just inside the button's frame.
constexpr int kPictureLeft = 5;
constexpr int kCaptionGap = 4;
constexpr int kCaptionRight = 3;
constexpr int kPictureSize = 16;

} // namespace

PictureButton::PictureButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    setIconSize(QSize(kPictureSize, kPictureSize));
}

void PictureButton::attachPicture(const QIcon &picture)
{
    m_picture = picture;
    update();
}

void PictureButton::detachPicture()
{
    m_picture = QIcon();
    update();
}

QRect PictureButton::pictureRect() const
{
    const QSize size = iconSize();
    const int top = (height() - size.height()) / 2;
    if (text().trimmed().isEmpty())
        return QRect(QPoint((width() - size.width()) / 2, top), size);
    return QRect(QPoint(kPictureLeft, top), size);
}

QRect PictureButton::captionRect() const
{
    const QRect picture = pictureRect();
    const int left = picture.right() + 1 + kCaptionGap;
    return QRect(left, 0, std::max(0, width() - left - kCaptionRight), height());
}

void PictureButton::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }

    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text.trimmed();
    // The style draws the face, the default frame and the focus; the picture and the caption are ours.
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    QPoint shift;
    if (option.state & (QStyle::State_Sunken | QStyle::State_On)) {
        shift = QPoint(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    m_picture.paint(&painter, pictureRect().translated(shift), Qt::AlignCenter, mode);
    if (!caption.isEmpty()) {
        painter.drawItemText(captionRect().translated(shift), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                             option.palette, isEnabled(), caption, QPalette::ButtonText);
    }
}

QIcon programPicture(const QString &name)
{
    static const bool resourcesReady = (initProgramPictures(), true);
    Q_UNUSED(resourcesReady);

    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    if (!QFile::exists(path))
        return QIcon();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QIcon();
    QIcon icon;
    for (const int side : {16, 20, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace pagorra
