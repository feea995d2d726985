#include "output/pdfpage.h"

#include "core/filenames.h"
#include "output/placedtext.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <cmath>
#include <set>

namespace pagorra {

namespace {

// A glyph this close (in thousandths of the em) to where the widths put it is left there:
// Qt's positions are rounded to 1/64 pixel. The error never adds up, as the next glyph is
// measured from where this one really is.
constexpr double kNegligibleShift = 0.5;

QByteArray rgb(const QColor &color)
{
    return pdfNumber(color.redF()) + ' ' + pdfNumber(color.greenF()) + ' ' + pdfNumber(color.blueF());
}

QByteArray rectangle(const QRectF &r)
{
    return pdfNumber(r.x()) + ' ' + pdfNumber(r.y()) + ' ' + pdfNumber(r.width()) + ' ' + pdfNumber(r.height());
}

QByteArray jpegData(const QImage &image, int quality)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(image) ? buffer.data() : QByteArray();
}

// The glyphs of a text item as text-showing operators: runs of one font on one baseline,
// each glyph placed where the layout put it (kerning, marks and fallback fonts included).
// Glyphs without outlines are shown invisibly, for their text, and listed in `pictures` to be
// drawn as images.
QByteArray showGlyphs(PdfFontSet &fonts, const PlacedText &text, double pixelsPerInch, std::set<int> &used,
                      QList<std::pair<QRectF, int>> &pictures)
{
    QByteArray ops;
    int font = 0;
    bool invisible = false;
    double size = 0, baseline = 0, penX = 0; // where the last glyph's width left the pen
    QByteArray codes;
    bool inRun = false;
    const auto closeRun = [&] {
        if (inRun)
            ops += '<' + codes.toHex().toUpper() + ">] TJ\n";
        codes.clear();
        inRun = false;
    };
    for (const PlacedGlyph &g : text.glyphs) {
        const PdfGlyphCode code = fonts.glyph(g.font, g.index, g.text);
        if (code.picture) {
            const PdfGlyphPicture picture = fonts.picture(g.font, g.index);
            const double scale = 96.0 / pixelsPerInch;
            if (picture.object != 0)
                pictures.append(
                    {QRectF(g.origin + picture.area.topLeft() * scale, picture.area.size() * scale), picture.object});
        }
        if (!inRun || code.font != font || g.size != size || std::abs(g.origin.y() - baseline) > 1e-6) {
            closeRun();
            font = code.font;
            size = g.size;
            baseline = g.origin.y();
            used.insert(font);
            if (code.picture != invisible)
                ops += code.picture ? "3 Tr " : "0 Tr ";
            invisible = code.picture;
            ops += "/F" + QByteArray::number(font) + ' ' + pdfNumber(size) + " Tf 1 0 0 -1 " + pdfNumber(g.origin.x()) +
                   ' ' + pdfNumber(baseline) + " Tm [";
            inRun = true;
            penX = g.origin.x();
        } else {
            // A positive number moves the next glyph back, in thousandths of the em.
            const double shift = (penX - g.origin.x()) * 1000 / size;
            if (std::abs(shift) > kNegligibleShift) {
                ops += '<' + codes.toHex().toUpper() + "> " + pdfNumber(shift) + ' ';
                codes.clear();
                penX = g.origin.x();
            }
        }
        codes += code.code;
        penX += code.width * size / 1000;
    }
    closeRun();
    if (invisible)
        ops += "0 Tr\n";
    return ops;
}

} // namespace

QByteArray fileUri(const QString &path)
{
    // Each byte of the name as the file system holds it, so a name that is not UTF-8 still
    // leads to its file.
    QByteArray uri("file://");
    for (const char c : nativePath(QFileInfo(path).absoluteFilePath())) {
        const auto byte = quint8(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            QByteArrayView("-._~/").contains(c))
            uri += c;
        else
            uri += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
    }
    return uri;
}

bool composePdfPage(PdfFile &file, PdfFontSet &fonts, const PageContent &page, const WriteOptions &options,
                    const QByteArray &colorSpace, PdfPageParts &parts)
{
    const double sx = page.pointSize.width() / page.layoutSize.width();
    const double sy = page.pointSize.height() / page.layoutSize.height();
    // Everything below is drawn in layout pixels, y down, as the page was composed.
    QByteArray &ops = parts.content;
    ops = pdfNumber(sx) + " 0 0 " + pdfNumber(-sy) + " 0 " + pdfNumber(page.pointSize.height()) + " cm\n";
    if (page.background.isValid())
        ops += rgb(page.background) + " rg " + rectangle(QRectF(QPointF(), page.layoutSize)) + " re f\n";

    QByteArray pictures;
    std::set<int> usedFonts;
    for (const auto &item : page.items) {
        if (const auto *picture = std::get_if<PagePictureItem>(&item)) {
            const QImage &source = picture->image;
            if (source.isNull())
                continue;
            const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
                                     ? source
                                     : source.convertToFormat(QImage::Format_RGB32);
            const int object = file.reserveObject();
            const QByteArray head = "/Type /XObject /Subtype /Image /Width " + QByteArray::number(image.width()) +
                                    " /Height " + QByteArray::number(image.height()) + " /ColorSpace " + colorSpace +
                                    " /BitsPerComponent 8";
            const QByteArray jpeg = options.pdfJpegPictures ? jpegData(image, options.jpegQuality) : QByteArray();
            if (!jpeg.isEmpty())
                file.writeStream(object, head + " /Filter /DCTDecode", jpeg);
            else if (!file.writeImageRows(object, head, image))
                return false;
            const QByteArray name = "/Im" + QByteArray::number(object);
            pictures += name + ' ' + pdfReference(object) + ' ';
            const QRectF r = picture->rect;
            ops += "q " + pdfNumber(r.width()) + " 0 0 " + pdfNumber(-r.height()) + ' ' + pdfNumber(r.x()) + ' ' +
                   pdfNumber(r.y() + r.height()) + " cm " + name + " Do Q\n";
            if (options.pdfLinks && !picture->sourcePath.isEmpty()) {
                const QRectF area(r.x() * sx, page.pointSize.height() - r.bottom() * sy, r.width() * sx,
                                  r.height() * sy);
                parts.links.append({area, fileUri(picture->sourcePath)});
            }
        } else if (const auto *text = std::get_if<PageTextItem>(&item)) {
            const PlacedText placed = placeText(*text, page.pixelsPerInch);
            QList<std::pair<QRectF, int>> glyphPictures;
            ops += "BT " + rgb(text->color) + " rg\n" +
                   showGlyphs(fonts, placed, page.pixelsPerInch, usedFonts, glyphPictures) + "ET\n";
            for (const auto &[area, object] : glyphPictures) {
                const QByteArray name = "/G" + QByteArray::number(object);
                if (!pictures.contains(name + ' '))
                    pictures += name + ' ' + pdfReference(object) + ' ';
                ops += "q " + pdfNumber(area.width()) + " 0 0 " + pdfNumber(-area.height()) + ' ' +
                       pdfNumber(area.x()) + ' ' + pdfNumber(area.bottom()) + " cm " + name + " Do Q\n";
            }
            for (const QRectF &rule : placed.rules)
                ops += rgb(text->color) + " rg " + rectangle(rule) + " re f\n";
        }
    }
    QByteArray fontNames;
    for (const int font : usedFonts)
        fontNames += "/F" + QByteArray::number(font) + ' ' + pdfReference(font) + ' ';
    parts.resources = "/XObject << " + pictures + ">> /Font << " + fontNames + ">>";
    return true;
}

} // namespace pagorra
