#include "generation/captiontext.h"

#include "generation/pagegeometry.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <numeric>

namespace pagorra {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

// The part [start, end) of `text`, with the file names that lie in it.
FilledText slice(const FilledText &text, qsizetype start, qsizetype end)
{
    FilledText part{text.text.mid(start, end - start), {}};
    for (const auto &[at, length] : text.names) {
        const qsizetype from = std::max(at, start), to = std::min(at + length, end);
        if (from < to)
            part.names.append({from - start, to - from});
    }
    return part;
}

// Characters that draw nothing of their own, or only change their neighbour's glyph: no font
// need claim them.
bool drawsNothing(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Format || category == QChar::Other_Control || category == QChar::Separator_Space ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

} // namespace

TextFitter::TextFitter(const QFont &font, double pixelsPerInch)
    : m_font(font), m_device(1, 1, QImage::Format_RGB32), m_scale(pixelsPerInch / kLayoutPixelsPerInch)
{
    setImageResolution(m_device, pixelsPerInch);
}

double TextFitter::width(const QString &text) const
{
    return QFontMetricsF(m_font, &m_device).horizontalAdvance(text) / m_scale;
}

FittedLines TextFitter::fit(const FilledText &text, double width, int maxLines) const
{
    FittedLines fitted;
    QList<FilledText> lines;
    for (qsizetype start = 0;;) {
        const qsizetype end = text.text.indexOf(u'\n', start);
        lines.append(slice(text, start, end < 0 ? text.text.size() : end));
        if (end < 0)
            break;
        start = end + 1;
    }
    // Lines beyond the room are run into the last one, which is then shortened.
    while (lines.size() > std::max(1, maxLines)) {
        FilledText last = lines.takeLast();
        FilledText &into = lines.last();
        for (auto &[at, length] : last.names)
            into.names.append({at + into.text.size() + 1, length});
        into.text += u' ' + last.text;
    }
    // A line of its own fills its room; lines left over go to the first, which wraps into them.
    int spare = std::max(1, maxLines) - int(lines.size());
    for (const FilledText &line : lines) {
        fitted.lines += wrap(line, width, 1 + spare, fitted.shortened);
        spare = 0;
    }
    return fitted;
}

QStringList TextFitter::wrap(const FilledText &line, double width, int maxLines, bool &shortened) const
{
    QStringList out;
    FilledText rest = line;
    while (this->width(rest.text) > width) {
        qsizetype taken = 0;
        if (out.size() + 1 < maxLines) {
            QTextLayout layout(rest.text, m_font, &m_device);
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            QTextLine first = layout.createLine();
            first.setLineWidth(width * m_scale);
            layout.endLayout();
            taken = first.isValid() ? first.textLength() : 0;
        }
        if (taken <= 0 || taken >= rest.text.size()) {
            out << shorten(rest, width);
            shortened = true;
            return out;
        }
        // The spaces at the break belong to neither line.
        QString head = rest.text.left(taken);
        while (head.endsWith(u' '))
            head.chop(1);
        out << head;
        rest = slice(rest, taken, rest.text.size());
    }
    out << rest.text;
    return out;
}

QString TextFitter::shorten(const FilledText &line, double width) const
{
    const QFontMetricsF metrics(m_font, &m_device);
    const double room = width * m_scale;
    if (!line.names.isEmpty()) {
        // The room the other text leaves is shared out among the names: a name shorter than
        // its share keeps all of it and leaves the rest to the longer ones.
        QStringList names, shown;
        QString others;
        qsizetype at = 0;
        for (const auto &[start, length] : line.names) {
            others += line.text.mid(at, start - at);
            names << line.text.mid(start, length);
            at = start + length;
        }
        others += line.text.mid(at);
        QList<qsizetype> order(names.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            return metrics.horizontalAdvance(names[a]) < metrics.horizontalAdvance(names[b]);
        });
        shown = names;
        double left = room - metrics.horizontalAdvance(others);
        for (qsizetype k = 0; k < order.size(); ++k) {
            QString &name = shown[order[k]];
            name = metrics.elidedText(name, Qt::ElideMiddle, left / double(order.size() - k));
            left -= metrics.horizontalAdvance(name);
        }
        QString shortened;
        at = 0;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const auto &[start, length] = line.names[i];
            shortened += line.text.mid(at, start - at) + shown[i];
            at = start + length;
        }
        shortened += line.text.mid(at);
        if (!shown.contains(QString()) && metrics.horizontalAdvance(shortened) <= room)
            return shortened;
    }
    return metrics.elidedText(line.text, Qt::ElideRight, room);
}

QString TextFitter::missingGlyphs(const QString &text) const
{
    QTextLayout layout(text, m_font, &m_device);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return {};
    }
    line.setLineWidth(1e9); // one line: only the fonts are wanted
    layout.endLayout();
    QList<QRawFont> fonts;
    for (const QGlyphRun &run : line.glyphRuns())
        fonts << run.rawFont();
    QList<char32_t> missing;
    for (const char32_t c : text.toUcs4()) {
        if (drawsNothing(c) || missing.contains(c))
            continue;
        if (std::none_of(fonts.begin(), fonts.end(), [c](const QRawFont &font) { return font.supportsCharacter(c); }))
            missing << c;
    }
    return QString::fromUcs4(missing.constData(), missing.size());
}

} // namespace pagorra
