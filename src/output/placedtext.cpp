#include "output/placedtext.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace pagorra {

namespace {

// A glyph told apart from the other glyphs of the line: the same glyph of the same font may
// appear more than once, never at the same place.
using GlyphKey = std::tuple<QString, quint32, qint64, qint64>;

GlyphKey keyOf(const QRawFont &font, quint32 index, QPointF position)
{
    return {font.familyName() + u'|' + font.styleName(), index, std::llround(position.x() * 64),
            std::llround(position.y() * 64)};
}

// The characters in the opposite order (pairs of surrogates stay pairs).
QString reversed(const QString &text)
{
    QString result;
    for (qsizetype at = text.size(); at > 0;) {
        const qsizetype length =
            at > 1 && text.at(at - 1).isLowSurrogate() && text.at(at - 2).isHighSurrogate() ? 2 : 1;
        at -= length;
        result += text.mid(at, length);
    }
    return result;
}

} // namespace

PlacedText placeText(const PageTextItem &item, double pixelsPerInch)
{
    // Laid out on a device of the raster's resolution, so sizes, hinting and rounding are the
    // raster's; positions come back in its pixels.
    QImage device(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(pixelsPerInch / 0.0254));
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
    const double scale = 96.0 / pixelsPerInch;

    QTextLayout layout(item.text, item.font, &device);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return {};
    }
    line.setLineWidth(1e9); // one line, never wrapped, as the raster draws it
    layout.endLayout();

    // The raster puts the baseline one whole-pixel ascent below the item's top.
    const QFontMetrics metrics(item.font, &device);
    const QPointF baseline(item.topLeft.x(), item.topLeft.y() + metrics.ascent() * scale);

    // Which characters each glyph stands for: Qt tells the glyphs of a range of characters,
    // so each grapheme is asked for its own. The first glyph of a grapheme carries its text
    // (marks included: readers keep a cluster together only so); a ligature is the first
    // glyph of several and carries them all.
    std::map<GlyphKey, QString> textOf;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, item.text);
    for (int start = 0, end = graphemes.toNextBoundary(); end > 0; start = end, end = graphemes.toNextBoundary()) {
        for (const QGlyphRun &run : line.glyphRuns(start, end - start)) {
            if (!run.glyphIndexes().isEmpty()) {
                textOf[keyOf(run.rawFont(), run.glyphIndexes().first(), run.positions().first())] +=
                    item.text.mid(start, end - start);
                break;
            }
        }
    }

    PlacedText placed;
    for (const QGlyphRun &run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            const QPointF position = positions[i];
            const auto found = textOf.find(keyOf(font, indexes[i], position));
            QString text = found == textOf.end() ? QString() : found->second;
            // Readers put right-to-left text in reading order by reversing what they extract
            // from left to right, a glyph's text included: it is stored the other way round.
            if (run.isRightToLeft())
                text = reversed(text);
            placed.glyphs.append(PlacedGlyph{
                font, indexes[i],
                QPointF(baseline.x() + position.x() * scale, baseline.y() + (position.y() - line.ascent()) * scale),
                font.pixelSize() * scale, text});
        }
    }
    // Runs of right-to-left text list their glyphs from the right; a cluster's glyphs share
    // one place and keep their order.
    std::stable_sort(placed.glyphs.begin(), placed.glyphs.end(),
                     [](const PlacedGlyph &a, const PlacedGlyph &b) { return a.origin.x() < b.origin.x(); });

    // Decoration lines as the raster draws them: from whole pixel to whole pixel, the
    // underline's offset rounded up and centred on a pixel row.
    const QFontMetricsF lineMetrics(item.font, &device);
    // The raster draws them without antialiasing: whole pixel rows.
    const double thickness = std::max(1.0, std::round(lineMetrics.lineWidth()));
    const double originX = item.topLeft.x() / scale;
    const double left = std::floor(originX), right = std::floor(originX + line.naturalTextWidth());
    const double baselineY = item.topLeft.y() / scale + metrics.ascent();
    const auto rule = [&](double centre) {
        placed.rules.append(
            QRectF(left * scale, (centre - thickness / 2) * scale, (right - left) * scale, thickness * scale));
    };
    if (item.font.underline())
        rule(baselineY + std::ceil(lineMetrics.underlinePos()) + 0.5);
    if (item.font.strikeOut())
        rule(baselineY - lineMetrics.ascent() / 3.0);
    return placed;
}

} // namespace pagorra
