#pragma once

#include "core/rounding.h"

#include <QSize>
#include <QString>

namespace pagorra {

// A window-layout length in twips (1440 per inch) as pixels at a logical DPI.
int twipsToPixels(int twips, int dpi);

// Where the page on display sits in the viewport and how far the scroll bars reach.
struct PageFit {
    QSize shown;       // the page's size on screen
    double zoom = 100; // percent of the page's size
    int left = 0;      // position while the page fits in that direction; 0 when it overhangs
    int top = 0;
    bool horizontalEnabled = false; // exactly when the page overhangs the viewport
    bool verticalEnabled = false;
    int horizontalMaximum = 0; // overhang; negative while the page fits
    int verticalMaximum = 0;
};

// Fits a page of `pageSize` layout pixels into a viewport of the given inner size: at best fit
// it is scaled, aspect kept, to fill the viewport in one direction; otherwise it is shown at
// `zoom` percent, one screen pixel per layout pixel at 100 %. A page smaller than the
// viewport is centred; a null image counts as 0 x 0 at 100 %.
PageFit fitPage(QSize pageSize, QSize viewportSize, bool bestFit, double zoom = 100);

// The zoom label's text for a percentage: "50 %".
QString zoomLabelText(double zoom);

} // namespace pagorra
