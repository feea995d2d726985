#include "ui/mainlayout.h"

#include "ui/mainpanes.h"

#include <QLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace pagorra {

namespace {

constexpr double kTwipsPerInch = 1440.0;

int roundToInt(double value)
{
    return static_cast<int>(std::lround(value));
}

} // namespace

TwipsScale::TwipsScale(double dpiX, double dpiY)
    : m_perPixelX(dpiX > 0 ? kTwipsPerInch / dpiX : 15.0), m_perPixelY(dpiY > 0 ? kTwipsPerInch / dpiY : 15.0)
{
}

TwipsScale TwipsScale::of(const QWidget *widget)
{
    return TwipsScale(widget->logicalDpiX(), widget->logicalDpiY());
}

int TwipsScale::toPixelsX(int twips) const
{
    return roundToInt(twips / m_perPixelX);
}

int TwipsScale::toPixelsY(int twips) const
{
    return roundToInt(twips / m_perPixelY);
}

int TwipsScale::toTwipsX(int pixels) const
{
    return roundToInt(pixels * m_perPixelX);
}

int TwipsScale::toTwipsY(int pixels) const
{
    return roundToInt(pixels * m_perPixelY);
}

QSize TwipsScale::toPixels(QSize twips) const
{
    return {toPixelsX(twips.width()), toPixelsY(twips.height())};
}

QSize TwipsScale::toTwips(QSize pixels) const
{
    return {toTwipsX(pixels.width()), toTwipsY(pixels.height())};
}

QRect TwipsScale::toPixels(const QRect &twips) const
{
    return {toPixelsX(twips.x()), toPixelsY(twips.y()), toPixelsX(twips.width()), toPixelsY(twips.height())};
}

QSize clampToMinimumWindowSize(QSize windowTwips)
{
    return {std::max(windowTwips.width(), kMinimumWindowWidth), std::max(windowTwips.height(), kMinimumWindowHeight)};
}

PaneLayout computePaneLayout(const PaneMeasures &m)
{
    PaneLayout out;
    out.picLeft = QRect(0, 0, m.picLeft.width(), m.inner.height());

    out.picLeftBottom = m.picLeftBottom;
    out.picLeftBottom.moveTo(0, out.picLeft.height() - m.picLeftBottom.height());

    out.lv = m.lv;
    out.lv.setHeight(std::max(0, out.picLeft.height() - m.lv.top() - m.picLeftBottom.height()));

    out.lblPreview = m.lblPreview;
    out.lblPreview.moveTo(out.picLeft.left() + out.picLeft.width(), 0);

    out.picRight = QRect(out.picLeft.left() + out.picLeft.width(), out.picLeft.top() + m.lblPreview.height(),
                         std::max(0, m.inner.width() - out.picLeft.width()),
                         std::max(0, m.inner.height() - m.lblPreview.height()));
    return out;
}

void layoutMainWindow(QWidget *window, MainPanes *panes)
{
    if (window->isMinimized())
        return;

    const TwipsScale scale = TwipsScale::of(window);
    const QSize before = window->size();
    // The hint spares the user a window that snaps back after every drag; the explicit resize
    // below still holds the minimum where a window manager ignores hints.
    window->setMinimumSize(scale.toPixels(QSize(kMinimumWindowWidth, kMinimumWindowHeight)));
    // A maximised or full-screen window has the size the screen gives it; forcing another would
    // only fight the window manager.
    if (!(window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QSize wanted = scale.toPixels(clampToMinimumWindowSize(scale.toTwips(window->size())));
        if (wanted != window->size())
            window->resize(wanted);
    }
    // A window resized while it is being shown gets no resize event of its own, and its layout
    // would leave the panes at their old size; ask it to place them again.
    if (window->size() != before && window->layout())
        window->layout()->update();
    panes->layoutPanes();
}

} // namespace pagorra
