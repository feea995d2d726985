#pragma once

#include "generation/pagecontent.h"

#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>

namespace pagorra {

// One glyph of a line of text, where the page's raster draws it.
struct PlacedGlyph {
    QRawFont font; // the font Qt chose for it (a fallback font where the item's has no glyph)
    quint32 index = 0;
    QPointF origin;  // on the baseline, in layout pixels
    double size = 0; // the font's em in layout pixels
    // The characters the glyph stands for: several for a ligature, none for a mark whose
    // cluster's text its base glyph carries already.
    QString text;
};

struct PlacedText {
    QList<PlacedGlyph> glyphs; // from left to right; the glyphs of one cluster in their order
    QList<QRectF> rules;       // underline and strike-through, in layout pixels
};

// Shapes the item's text as the raster draws it at pixelsPerInch (same fonts, fallback fonts,
// hinting and rounding), so a document that places these glyphs shows the text where the
// raster image has it.
PlacedText placeText(const PageTextItem &item, double pixelsPerInch);

} // namespace pagorra
