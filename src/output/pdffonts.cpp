#include "output/pdffonts.h"

#include "output/fontsubset.h"

#include <QCryptographicHash>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pagorra {

namespace {

// Glyph metrics are written in thousandths of the em, PDF's unit for font widths.
constexpr double kUnitsPerEm = 1000;
// A Type 3 font is a simple font: one byte per glyph. Code 0 is a blank glyph half an em wide
// that no text uses: readers that guess a Type 3 font's scale from its first glyph's width,
// taking half an em as usual, then take the font at its size (a wide emoji would make them
// take the line as twice as tall).
constexpr int kGlyphsPerDrawnFont = 255;
constexpr double kBlankWidth = 500;
// Glyph pictures are drawn at the size shown on the output device, within these bounds: big
// enough to stay sharp in a reader's zoom, small enough that a large title costs little.
constexpr double kMinPicturePixels = 64;
constexpr double kMaxPicturePixels = 512;
// Entries per block of a CMap, the most the format allows.
constexpr int kCMapBlock = 100;

// Fonts are told apart by name and by their header table, which holds the font's revision and
// dates; the size is not part of it, as one PDF font serves every size.
QByteArray keyOf(const QRawFont &font)
{
    return font.familyName().toUtf8() + '|' + font.styleName().toUtf8() + '|' + QByteArray::number(font.weight()) +
           '|' + QByteArray::number(int(font.style())) + '|' + font.fontTable("head").toHex();
}

// The font's name as a PDF name: letters, digits and dashes only.
QByteArray postScriptName(const QRawFont &font)
{
    QByteArray name;
    for (const QChar c : font.familyName() + u'-' + font.styleName()) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-')
            name += char(c.unicode());
    }
    return name.isEmpty() ? QByteArray("Font") : name;
}

// Six capitals that tell this subset from other subsets of the font, the same for the same
// glyphs, so that a document written twice is the same.
QByteArray subsetTag(const std::map<quint32, QString> &glyphs)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (const auto &entry : glyphs)
        hash.addData(QByteArray::number(entry.first) + ',');
    const QByteArray digest = hash.result();
    QByteArray tag;
    for (int i = 0; i < 6; ++i)
        tag += char('A' + quint8(digest.at(i)) % 26);
    return tag;
}

QByteArray hexCode(quint32 value, int bytes)
{
    QByteArray code;
    for (int i = bytes - 1; i >= 0; --i)
        code += char((value >> (8 * i)) & 0xFF);
    return code;
}

// The ToUnicode map: each code to the text its glyph stands for; codes without text are left
// out, which extracts as nothing.
QByteArray toUnicode(const std::map<quint32, QString> &texts, int codeBytes)
{
    QList<QByteArray> entries;
    for (const auto &[code, text] : texts) {
        if (!text.isEmpty())
            entries << '<' + hexCode(code, codeBytes).toHex().toUpper() + "> " +
                           pdfTextString(text).replace("<FEFF", "<");
    }
    QByteArray map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n" +
                     (codeBytes == 1 ? QByteArray("<00> <FF>") : QByteArray("<0000> <FFFF>")) + "\nendcodespacerange\n";
    for (qsizetype at = 0; at < entries.size(); at += kCMapBlock) {
        const QList<QByteArray> block = entries.mid(at, kCMapBlock);
        map += QByteArray::number(block.size()) + " beginbfchar\n" + block.join('\n') + "\nendbfchar\n";
    }
    return map + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

double advance(const QRawFont &font, quint32 glyph)
{
    const QList<QPointF> advances = font.advancesForGlyphIndexes(QList<quint32>{glyph});
    return advances.isEmpty() ? 0 : advances.first().x();
}

// A glyph outline as PDF path operators, in the font's glyph space (y up).
QByteArray outlinePath(const QPainterPath &path)
{
    QByteArray ops;
    const auto point = [](const QPainterPath::Element &e) { return pdfNumber(e.x) + ' ' + pdfNumber(-e.y); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo())
            ops += point(e) + " m\n";
        else if (e.isLineTo())
            ops += point(e) + " l\n";
        else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            ops += point(e) + ' ' + point(path.elementAt(i + 1)) + ' ' + point(path.elementAt(i + 2)) + " c\n";
            i += 2;
        }
    }
    return ops + 'f';
}

} // namespace

struct PdfFontSet::Font {
    QRawFont font; // at kUnitsPerEm pixels, so its metrics are in thousandths of the em
    FontOutlines outlines;
    std::vector<int> objects;         // embedded: one; drawn: one per kGlyphsPerDrawnFont glyphs
    std::map<quint32, QString> texts; // by glyph id (embedded) or by code (drawn)
    std::map<quint32, quint32> codes; // drawn fonts: glyph id to code, in order of first use
    double picturePixels = kMinPicturePixels;
};

PdfFontSet::PdfFontSet(PdfFile &file, QByteArray colorSpace) : m_file(file), m_colorSpace(std::move(colorSpace)) {}

PdfFontSet::~PdfFontSet() = default;

PdfFontSet::Font &PdfFontSet::fontFor(const QRawFont &font)
{
    const QByteArray key = keyOf(font);
    const auto found = m_byKey.find(key);
    if (found != m_byKey.end())
        return *m_fonts[found->second];
    auto entry = std::make_unique<Font>();
    entry->font = font;
    entry->font.setPixelSize(kUnitsPerEm);
    entry->outlines = fontOutlines(font);
    m_byKey.emplace(key, m_fonts.size());
    m_fonts.push_back(std::move(entry));
    return *m_fonts.back();
}

PdfGlyphCode PdfFontSet::glyph(const QRawFont &font, quint32 index, const QString &text, double pixelsPerEm)
{
    Font &f = fontFor(font);
    const double width = advance(f.font, index);
    if (f.outlines == FontOutlines::TrueType || f.outlines == FontOutlines::Cff) {
        if (f.objects.empty())
            f.objects.push_back(m_file.reserveObject());
        f.texts.emplace(index, text); // the first text seen for a glyph stays
        return {f.objects.front(), hexCode(index, 2), width};
    }
    if (f.outlines == FontOutlines::Pictures)
        f.picturePixels = std::clamp(pixelsPerEm, f.picturePixels, kMaxPicturePixels);
    const auto [code, added] = f.codes.emplace(index, quint32(f.codes.size()));
    const std::size_t part = code->second / kGlyphsPerDrawnFont;
    if (f.objects.size() <= part)
        f.objects.push_back(m_file.reserveObject());
    f.texts.emplace(code->second, text);
    return {f.objects[part], hexCode(code->second % kGlyphsPerDrawnFont + 1, 1), width};
}

void PdfFontSet::writeFonts()
{
    for (const auto &font : m_fonts) {
        if (font->outlines == FontOutlines::TrueType || font->outlines == FontOutlines::Cff)
            writeEmbedded(*font);
        else {
            for (std::size_t part = 0; part < font->objects.size(); ++part)
                writeDrawn(*font, part);
        }
    }
}

void PdfFontSet::writeEmbedded(const Font &font)
{
    std::vector<quint32> glyphs;
    for (const auto &entry : font.texts)
        glyphs.push_back(entry.first);
    const QByteArray name = subsetTag(font.texts) + '+' + postScriptName(font.font);
    const bool trueType = font.outlines == FontOutlines::TrueType;
    const int descendant = m_file.reserveObject(), descriptor = m_file.reserveObject();
    const int program = m_file.reserveObject(), unicode = m_file.reserveObject();

    // Widths of runs of consecutive glyph ids: "first [w1 w2 ...]".
    QByteArray widths;
    for (auto it = glyphs.begin(); it != glyphs.end();) {
        widths += QByteArray::number(*it) + " [";
        quint32 next = *it;
        for (; it != glyphs.end() && *it == next; ++it, ++next)
            widths += pdfNumber(advance(font.font, *it)) + ' ';
        widths += "] ";
    }
    m_file.writeObject(font.objects.front(), "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                                                 " /Encoding /Identity-H /DescendantFonts [" +
                                                 pdfReference(descendant) + "] /ToUnicode " + pdfReference(unicode) +
                                                 " >>");
    m_file.writeObject(descendant, "<< /Type /Font /Subtype /" +
                                       QByteArray(trueType ? "CIDFontType2" : "CIDFontType0") + " /BaseFont /" + name +
                                       " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                                       " /FontDescriptor " +
                                       pdfReference(descriptor) + " /DW 0 /W [" + widths + ']' +
                                       (trueType ? " /CIDToGIDMap /Identity" : "") + " >>");
    // The bounding box from the font's header: xMin, yMin, xMax, yMax in font units.
    const QByteArray head = font.font.fontTable("head");
    QByteArray box = "0 0 0 0";
    if (head.size() >= 44 && font.font.unitsPerEm() > 0) {
        const double scale = kUnitsPerEm / font.font.unitsPerEm();
        box.clear();
        for (int at = 36; at < 44; at += 2)
            box += pdfNumber(qint16(quint16(quint8(head.at(at)) << 8 | quint8(head.at(at + 1)))) * scale) + ' ';
        box.chop(1);
    }
    m_file.writeObject(descriptor, "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" + box +
                                       "] /ItalicAngle 0 /Ascent " + pdfNumber(font.font.ascent()) + " /Descent " +
                                       pdfNumber(-font.font.descent()) + " /CapHeight " +
                                       pdfNumber(font.font.capHeight()) + " /StemV 80 /" +
                                       (trueType ? "FontFile2 " : "FontFile3 ") + pdfReference(program) + " >>");
    m_file.writeDeflated(program, trueType ? QByteArray() : QByteArray("/Subtype /OpenType"),
                         subsetFont(font.font, glyphs));
    m_file.writeDeflated(unicode, {}, toUnicode(font.texts, 2));
}

void PdfFontSet::writeDrawn(const Font &font, std::size_t part)
{
    const quint32 first = quint32(part * kGlyphsPerDrawnFont);
    const int blank = m_file.reserveObject();
    m_file.writeStream(blank, {}, pdfNumber(kBlankWidth) + " 0 d0");
    QByteArray procs = "/blank " + pdfReference(blank) + ' ', differences = "0 /blank ";
    QByteArray widths = pdfNumber(kBlankWidth) + ' ', pictures;
    std::map<quint32, QString> texts;
    // Across every glyph, and from the font's descent to its ascent: readers take the height of
    // a line of text from it (and a colour glyph's box reaches far beyond).
    QRectF bounds(0, -font.font.ascent(), 0, font.font.ascent() + font.font.descent());
    std::map<quint32, quint32> glyphOf; // this part's codes in order, as the widths go
    for (const auto &[glyph, code] : font.codes) {
        if (code >= first && code < first + kGlyphsPerDrawnFont)
            glyphOf.emplace(code, glyph);
    }
    for (const auto &[code, glyph] : glyphOf) {
        const quint32 byte = code - first + 1;
        const double width = advance(font.font, glyph);
        widths += pdfNumber(width) + ' ';
        differences += QByteArray::number(byte) + " /g" + QByteArray::number(byte) + ' ';
        texts.emplace(byte, font.texts.at(code));
        const int proc = m_file.reserveObject();
        procs += "/g" + QByteArray::number(byte) + ' ' + pdfReference(proc) + ' ';

        const QRectF box = font.font.boundingRect(glyph);
        bounds.setLeft(std::min(bounds.left(), box.left()));
        bounds.setRight(std::max(bounds.right(), box.right()));
        QByteArray drawing;
        if (font.outlines != FontOutlines::Pictures) {
            // Filled in the text's colour (d1).
            drawing = pdfNumber(width) + " 0 " + pdfNumber(box.left()) + ' ' + pdfNumber(-box.bottom()) + ' ' +
                      pdfNumber(box.right()) + ' ' + pdfNumber(-box.top()) + " d1\n" +
                      outlinePath(font.font.pathForGlyph(glyph));
        } else {
            // In its own colours (d0), drawn by Qt at the size it is shown at.
            QRawFont sized = font.font;
            sized.setPixelSize(font.picturePixels);
            const QRectF area = sized.boundingRect(glyph);
            drawing = pdfNumber(width) + " 0 d0\n";
            if (!area.isEmpty()) {
                QImage picture(QSize(int(std::ceil(area.width())), int(std::ceil(area.height()))),
                               QImage::Format_ARGB32_Premultiplied);
                picture.fill(Qt::transparent);
                QGlyphRun run;
                run.setRawFont(sized);
                run.setGlyphIndexes({glyph});
                run.setPositions({-area.topLeft()});
                QPainter(&picture).drawGlyphRun(QPointF(), run);
                picture = picture.convertToFormat(QImage::Format_ARGB32);
                QByteArray alpha;
                for (int y = 0; y < picture.height(); ++y) {
                    const auto *row = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
                    for (int x = 0; x < picture.width(); ++x)
                        alpha += char(qAlpha(row[x]));
                }
                const QByteArray size = " /Width " + QByteArray::number(picture.width()) + " /Height " +
                                        QByteArray::number(picture.height()) + " /BitsPerComponent 8";
                const int mask = m_file.reserveObject(), image = m_file.reserveObject();
                m_file.writeDeflated(mask, "/Type /XObject /Subtype /Image /ColorSpace /DeviceGray" + size, alpha);
                m_file.writeImageRows(image,
                                      "/Type /XObject /Subtype /Image /ColorSpace " + m_colorSpace + size + " /SMask " +
                                          pdfReference(mask),
                                      picture);
                const QByteArray name = "/P" + QByteArray::number(image);
                pictures += name + ' ' + pdfReference(image) + ' ';
                const double scale = kUnitsPerEm / font.picturePixels;
                drawing += "q " + pdfNumber(picture.width() * scale) + " 0 0 " + pdfNumber(picture.height() * scale) +
                           ' ' + pdfNumber(area.left() * scale) + ' ' + pdfNumber(-area.bottom() * scale) + " cm " +
                           name + " Do Q";
            }
        }
        m_file.writeDeflated(proc, {}, drawing);
    }
    const int unicode = m_file.reserveObject();
    m_file.writeObject(font.objects[part],
                       "<< /Type /Font /Subtype /Type3 /FontBBox [" + pdfNumber(bounds.left()) + ' ' +
                           pdfNumber(-bounds.bottom()) + ' ' + pdfNumber(bounds.right()) + ' ' +
                           pdfNumber(-bounds.top()) + "] /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << " + procs +
                           ">> /Encoding << /Type /Encoding /Differences [" + differences +
                           "] >> /FirstChar 0 /LastChar " + QByteArray::number(qsizetype(texts.size())) + " /Widths [" +
                           widths + "] /Resources << /XObject << " + pictures + ">> >> /ToUnicode " +
                           pdfReference(unicode) + " >>");
    m_file.writeDeflated(unicode, {}, toUnicode(texts, 1));
}

} // namespace pagorra
