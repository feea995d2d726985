#include "viewer/pagefit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pagorra {

int twipsToPixels(int twips, int dpi)
{
    return roundHalfEven(double(twips) * dpi / 1440.0);
}

namespace {

// Scroll bar limits are 16-bit; pages are at most 32767 pixels, so this only guards.
int toBarLimit(int value)
{
    return std::clamp(value, int(std::numeric_limits<std::int16_t>::min()),
                      int(std::numeric_limits<std::int16_t>::max()));
}

// Centred when there is room, else flush with the start so the bar can reach the rest.
int centred(int inner, int shown)
{
    return inner > shown ? roundHalfEven((inner - shown) / 2.0) : 0;
}

} // namespace

PageFit fitPage(QSize pageSize, QSize viewportSize, bool bestFit, double zoom)
{
    const int pageWidth = std::max(0, pageSize.width());
    const int pageHeight = std::max(0, pageSize.height());
    const int innerWidth = std::max(0, viewportSize.width());
    const int innerHeight = std::max(0, viewportSize.height());

    PageFit fit;
    fit.shown = QSize(pageWidth, pageHeight);
    if (bestFit && pageWidth > 0 && pageHeight > 0) {
        const double scale = std::min(double(innerWidth) / pageWidth, double(innerHeight) / pageHeight);
        fit.zoom = scale * 100;
        fit.shown = QSize(roundHalfEven(pageWidth * scale), roundHalfEven(pageHeight * scale));
    } else if (!bestFit && zoom != 100) {
        fit.zoom = zoom;
        fit.shown = QSize(roundHalfEven(pageWidth * zoom / 100), roundHalfEven(pageHeight * zoom / 100));
    }
    const int width = fit.shown.width();
    const int height = fit.shown.height();
    fit.left = centred(innerWidth, width);
    fit.top = centred(innerHeight, height);
    fit.horizontalEnabled = width > innerWidth;
    fit.verticalEnabled = height > innerHeight;
    fit.horizontalMaximum = toBarLimit(width - innerWidth);
    fit.verticalMaximum = toBarLimit(height - innerHeight);
    return fit;
}

QString zoomLabelText(double zoom)
{
    return QString::number(roundHalfEven(zoom)) + QStringLiteral(" %");
}

} // namespace pagorra
