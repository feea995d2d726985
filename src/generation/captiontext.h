#pragma once

#include "generation/captiontemplate.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>

namespace pagorra {

struct FittedLines {
    QStringList lines;
    bool shortened = false; // some of the text had to give way to "…"
};

// Fits text into lines of a width as a page made at `pixelsPerInch` draws it: measured with
// the fonts, fallback fonts, hinting and rounding of that resolution, so that what fits here
// fits on the page. Widths are in layout pixels.
class TextFitter {
  public:
    TextFitter(const QFont &font, double pixelsPerInch);

    const QFont &font() const { return m_font; }
    double width(const QString &text) const;

    // At most `maxLines` lines no wider than `width`. The text's own line breaks are kept; a
    // line too long for its room is wrapped at word boundaries (within a word only where a
    // word alone is too long) and what still does not fit is shortened with "…": in the middle
    // of a file name, so that its start and its extension stay, else at the end.
    FittedLines fit(const FilledText &text, double width, int maxLines) const;

    // The characters of `text` for which no installed font has a glyph, each once, in order:
    // the fonts Qt chose for the text (its fallbacks included) are asked for each character.
    // Characters that draw nothing of their own (joiners, variation selectors) are not asked.
    QString missingGlyphs(const QString &text) const;

  private:
    QStringList wrap(const FilledText &line, double width, int maxLines, bool &shortened) const;
    QString shorten(const FilledText &line, double width) const;

    QFont m_font;
    QImage m_device; // of the page's resolution, for measuring
    double m_scale;  // device pixels per layout pixel
};

} // namespace pagorra
