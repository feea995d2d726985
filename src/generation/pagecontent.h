#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <variant>

class QPainter;

namespace pagorra {

// What a page shows, kept as drawing items beside its raster image, so that a document
// format can write text as text and each picture at its own resolution, and a printer can
// draw the page at its own resolution. Positions are in layout pixels (1/96 inch on paper);
// pictures carry their pixels at the page's output resolution. The background is drawn
// first, then the items in their order.
struct PageTextItem {
    QPointF topLeft; // the line's top-left; its baseline lies one ascent of `font` below
    QFont font;      // sizes in points, as on paper
    QColor color;
    QString text; // one line, drawn as it is
};

struct PagePictureItem {
    QRectF rect;        // where the picture lies on the page
    QImage image;       // its pixels, background bands included, at the output resolution
    QString sourcePath; // the file it was made from; empty when none
};

struct PageContent {
    QSizeF layoutSize;         // the page in layout pixels
    QSizeF pointSize;          // the page on paper, in points (1/72 inch)
    double pixelsPerInch = 96; // resolution of the raster image and of the pictures
    QColor background;
    QList<std::variant<PageTextItem, PagePictureItem>> items; // in drawing order
};

// Text measured in layout pixels (as at 96 pixels per inch), whatever the screen: the height
// of a line of `font`, and the distance from a line's top to its baseline.
int layoutTextHeight(const QFont &font);
int layoutAscent(const QFont &font);

// Draws the page with `painter`, whose transformation maps layout pixels onto its device:
// the background, then each text as text in its point size on paper, each picture at its
// own pixels, all clipped to the page. A device at any resolution gets the same page.
void paintPageContent(QPainter &painter, const PageContent &content);

} // namespace pagorra
