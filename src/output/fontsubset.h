#pragma once

#include <QByteArray>
#include <QRawFont>
#include <vector>

namespace pagorra {

// How a font's glyphs can go into a document.
enum class FontOutlines {
    TrueType, // glyf outlines: an embedded subset
    Cff,      // name-keyed CFF outlines: an embedded subset (glyph ids are its character ids)
    Paths,    // outlines Qt can draw but we cannot embed as a font program (Type 1, CID-keyed CFF)
    Pictures, // colour glyphs (bitmaps or layers): only pictures keep them as they look
};

FontOutlines fontOutlines(const QRawFont &font);

// The font program (an OpenType file) holding only `glyphs` (glyph 0 is always kept), each
// under its own glyph id; empty when the font cannot be subset. Made by HarfBuzz from the
// font's tables as Qt reads them, so any font Qt has opened, in a collection or not, works.
QByteArray subsetFont(const QRawFont &font, const std::vector<quint32> &glyphs);

} // namespace pagorra
