#pragma once

#include "output/pdffile.h"

#include <QByteArray>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace pagorra {

// A glyph as page content shows it.
struct PdfGlyphCode {
    int font = 0;     // object number of the PDF font
    QByteArray code;  // the bytes a text-showing operator takes for it
    double width = 0; // its advance as the font's widths state it, in 1/1000 of the em
    // The glyph has no outlines (a colour emoji): its text is shown invisibly, and the page
    // draws the glyph as a picture.
    bool picture = false;
};

// A glyph drawn as an image.
struct PdfGlyphPicture {
    int object = 0; // the image; 0 when the glyph shows nothing
    QRectF area;    // in pixels of the font's size, from the glyph's origin (y down)
};

// The fonts of one PDF document. Pages ask for each glyph as they draw it, which fixes its
// font's object number; the glyphs used, with the text each stands for, are gathered across
// pages (a few bytes each: pages are not held), and writeFonts() writes every font holding
// only those glyphs. Outline fonts become embedded subsets (TrueType or CFF outlines,
// Identity-H, with their widths); fonts whose outlines cannot be embedded that way (Type 1
// files, CID-keyed CFF) become Type 3 fonts whose glyphs are drawn from the font's outlines.
// Glyphs without outlines (colour emoji) are drawn by the page as pictures, their text shown
// invisibly in a Type 3 font. Every font carries a ToUnicode map, so the text can be
// searched, selected and extracted.
class PdfFontSet {
  public:
    // `colorSpace` names the colour space of glyph pictures ("[/ICCBased n 0 R]").
    PdfFontSet(PdfFile &file, QByteArray colorSpace);
    ~PdfFontSet();
    PdfFontSet(const PdfFontSet &) = delete;
    PdfFontSet &operator=(const PdfFontSet &) = delete;

    PdfGlyphCode glyph(const QRawFont &font, quint32 index, const QString &text);
    // The glyph as Qt draws it at the font's size, written once per document and size.
    PdfGlyphPicture picture(const QRawFont &font, quint32 index);
    void writeFonts();

  private:
    struct Font;
    Font &fontFor(const QRawFont &font);
    void writeEmbedded(const Font &font);
    void writeDrawn(const Font &font, std::size_t part);

    PdfFile &m_file;
    QByteArray m_colorSpace;
    std::vector<std::unique_ptr<Font>> m_fonts;
    std::map<QByteArray, std::size_t> m_byKey;
    std::map<std::tuple<QByteArray, quint32, double>, PdfGlyphPicture> m_pictures;
};

} // namespace pagorra
