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
QByteArray subsetTag(const std::vector<quint32> &glyphs)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (const quint32 glyph : glyphs)
        hash.addData(QByteArray::number(glyph) + ',');
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
    std::vector<int> objects; // embedded: one; drawn: one per kGlyphsPerDrawnFont glyphs
    // A code for each glyph and the text it stands for there, in order of first use: a glyph
    // that stands for other text elsewhere (a letter alone, and with its mark in a cluster)
    // has a code for each, so that every occurrence extracts as its own text. CFF fonts are
    // shown by glyph id: there the first text seen for a glyph stays.
    std::map<std::pair<quint32, QString>, quint32> codeOf;
    std::map<quint32, std::pair<quint32, QString>> byCode; // code -> glyph, text
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

PdfGlyphCode PdfFontSet::glyph(const QRawFont &font, quint32 index, const QString &text)
{
    Font &f = fontFor(font);
    const double width = advance(f.font, index);
    if (f.outlines == FontOutlines::Cff) {
        f.byCode.emplace(index, std::pair{index, text});
    } else if (!f.codeOf.count({index, text})) {
        // Embedded fonts start at 1: character id 0 is the missing glyph.
        const auto code = quint32(f.byCode.size()) + (f.outlines == FontOutlines::TrueType ? 1 : 0);
        f.codeOf.emplace(std::pair{index, text}, code);
        f.byCode.emplace(code, std::pair{index, text});
    }
    const quint32 code = f.outlines == FontOutlines::Cff ? index : f.codeOf.at({index, text});
    const std::size_t part =
        f.outlines == FontOutlines::Paths || f.outlines == FontOutlines::Pictures ? code / kGlyphsPerDrawnFont : 0;
    while (f.objects.size() <= part)
        f.objects.push_back(m_file.reserveObject());
    if (part == 0 && (f.outlines == FontOutlines::TrueType || f.outlines == FontOutlines::Cff))
        return {f.objects.front(), hexCode(code, 2), width, false};
    return {f.objects[part], hexCode(code % kGlyphsPerDrawnFont + 1, 1), width, f.outlines == FontOutlines::Pictures};
}

PdfGlyphPicture PdfFontSet::picture(const QRawFont &font, quint32 index)
{
    const auto key = std::tuple{keyOf(font), index, font.pixelSize()};
    const auto found = m_pictures.find(key);
    if (found != m_pictures.end())
        return found->second;
    PdfGlyphPicture made;
    made.area = font.boundingRect(index);
    if (made.area.isEmpty())
        return m_pictures[key] = made;
    QImage image(QSize(int(std::ceil(made.area.width())), int(std::ceil(made.area.height()))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes({index});
    run.setPositions({-made.area.topLeft()});
    QPainter(&image).drawGlyphRun(QPointF(), run);
    image = image.convertToFormat(QImage::Format_ARGB32);
    made.area.setSize(image.size());
    QByteArray alpha;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            alpha += char(qAlpha(row[x]));
    }
    const QByteArray size = " /Width " + QByteArray::number(image.width()) + " /Height " +
                            QByteArray::number(image.height()) + " /BitsPerComponent 8";
    const int mask = m_file.reserveObject();
    made.object = m_file.reserveObject();
    m_file.writeDeflated(mask, "/Type /XObject /Subtype /Image /ColorSpace /DeviceGray" + size, alpha);
    m_file.writeImageRows(
        made.object,
        "/Type /XObject /Subtype /Image /ColorSpace " + m_colorSpace + size + " /SMask " + pdfReference(mask), image);
    return m_pictures[key] = made;
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
    std::map<quint32, QString> texts; // by code
    for (const auto &[code, shown] : font.byCode) {
        glyphs.push_back(shown.first);
        texts.emplace(code, shown.second);
    }
    const QByteArray name = subsetTag(glyphs) + '+' + postScriptName(font.font);
    const bool trueType = font.outlines == FontOutlines::TrueType;
    const int descendant = m_file.reserveObject(), descriptor = m_file.reserveObject();
    const int program = m_file.reserveObject(), unicode = m_file.reserveObject();
    const int glyphMap = trueType ? m_file.reserveObject() : 0;

    // Widths of runs of consecutive codes: "first [w1 w2 ...]"; the glyph of each code.
    QByteArray widths, glyphOfCode(2, 0);
    for (auto it = font.byCode.begin(); it != font.byCode.end();) {
        widths += QByteArray::number(it->first) + " [";
        for (quint32 next = it->first; it != font.byCode.end() && it->first == next; ++it, ++next) {
            widths += pdfNumber(advance(font.font, it->second.first)) + ' ';
            glyphOfCode += hexCode(it->second.first, 2);
        }
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
                                       (trueType ? " /CIDToGIDMap " + pdfReference(glyphMap) : QByteArray()) + " >>");
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
    m_file.writeDeflated(unicode, {}, toUnicode(texts, 2));
    if (trueType)
        m_file.writeDeflated(glyphMap, {}, glyphOfCode);
}

void PdfFontSet::writeDrawn(const Font &font, std::size_t part)
{
    const quint32 first = quint32(part * kGlyphsPerDrawnFont);
    const int blank = m_file.reserveObject();
    m_file.writeStream(blank, {}, pdfNumber(kBlankWidth) + " 0 d0");
    QByteArray procs = "/blank " + pdfReference(blank) + ' ', differences = "0 /blank ";
    QByteArray widths = pdfNumber(kBlankWidth) + ' ';
    std::map<quint32, QString> texts;
    // Across every glyph, and from the font's descent to its ascent: readers take the height of
    // a line of text from it (and a colour glyph's box reaches far beyond).
    QRectF bounds(0, -font.font.ascent(), 0, font.font.ascent() + font.font.descent());
    for (auto it = font.byCode.lower_bound(first); it != font.byCode.end() && it->first < first + kGlyphsPerDrawnFont;
         ++it) {
        const quint32 code = it->first, glyph = it->second.first;
        const quint32 byte = code - first + 1;
        const double width = advance(font.font, glyph);
        widths += pdfNumber(width) + ' ';
        differences += QByteArray::number(byte) + " /g" + QByteArray::number(byte) + ' ';
        texts.emplace(byte, it->second.second);
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
            // Drawn on the page as a picture (see picture()); the glyph is the text's only.
            drawing = pdfNumber(width) + " 0 d0";
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
                           widths + "] /ToUnicode " + pdfReference(unicode) + " >>");
    m_file.writeDeflated(unicode, {}, toUnicode(texts, 1));
}

} // namespace pagorra
