#pragma once

#include "output/pdffile.h"

#include <QByteArray>
#include <QRawFont>
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace pagorra {

// A glyph as page content shows it.
struct PdfGlyphCode {
    int font = 0;     // object number of the PDF font
    QByteArray code;  // the bytes a text-showing operator takes for it
    double width = 0; // its advance as the font's widths state it, in 1/1000 of the em
};

// The fonts of one PDF document. Pages ask for each glyph as they draw it, which fixes its
// font's object number; the glyphs used, with the text each stands for, are gathered across
// pages (a few bytes each: pages are not held), and writeFonts() writes every font holding
// only those glyphs. Outline fonts become embedded subsets (TrueType or CFF outlines,
// Identity-H, with their widths); fonts whose outlines cannot be embedded that way (colour
// emoji, Type 1 files, CID-keyed CFF) become Type 3 fonts whose glyphs are drawn from the
// font's outlines, or as pictures where a glyph has none. Every font carries a ToUnicode
// map, so the text can be searched, selected and extracted.
class PdfFontSet {
  public:
    // `colorSpace` names the colour space of glyph pictures ("n 0 R").
    PdfFontSet(PdfFile &file, QByteArray colorSpace);
    ~PdfFontSet();
    PdfFontSet(const PdfFontSet &) = delete;
    PdfFontSet &operator=(const PdfFontSet &) = delete;

    // `pixelsPerEm` is the glyph's size on the output device: a glyph drawn as a picture is
    // drawn at the largest size it is shown at.
    PdfGlyphCode glyph(const QRawFont &font, quint32 index, const QString &text, double pixelsPerEm);
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
};

} // namespace pagorra
