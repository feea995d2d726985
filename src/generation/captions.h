#pragma once

#include "core/settings.h"
#include "generation/captiontemplate.h"
#include "generation/captiontext.h"
#include "generation/captionvalues.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

namespace pagorra {

class Page;
struct LoadedPicture;

// What a text lost on its way onto a page, for the run to count and report: nothing of it is
// dropped without the user hearing of it.
struct TextLoss {
    bool shortened = false;
    QString missing; // characters no installed font has a glyph for
};

// The font of captions and footers.
QFont captionFont(const CaptionSettings &settings);

// Draws the caption under each thumbnail of a run. The caption band belongs to the cell: the
// layout makes every cell that much higher, so the grid stays uniform and the page checks
// hold for picture and caption together.
class CaptionPainter {
  public:
    CaptionPainter(const CaptionSettings &settings, double pixelsPerInch);

    bool isOn() const { return !m_template.isEmpty(); }
    // Layout pixels under every thumbnail: a small gap and the lines; 0 when there are no captions.
    int bandHeight() const;

    // Draws the caption of `photo` in the band below the thumbnail whose cell has its top-left at (x, y), each line
    // centred, in the caption font and colour; the page's own font and colour are left as
    // they were.
    TextLoss draw(Page &page, int x, int y, QSize thumbnail, const PhotoFacts &photo) const;

  private:
    // The caption of `photo` as its lines are drawn under a thumbnail `cellWidth` wide.
    FittedLines lines(const PhotoFacts &photo, int cellWidth) const;

    TextTemplate m_template;
    QString m_dateFormat;
    int m_lines = 1;
    std::int32_t m_color = 0;
    TextFitter m_fitter;
    int m_lineHeight = 0;
};

// Draws one line of text with its top-left at `at` in the fitter's font and in `color`
// (stored form), and leaves the page's own font and colour as they were.
void drawTextLine(Page &page, const QString &text, QPoint at, std::int32_t color, const TextFitter &fitter);

// The settings dialog's sample: one cell, its thumbnail (`picture`, the photo decoded from
// `path`; none leaves the cell blank) on the background colour with its caption below, at the
// layout's resolution. The image is the caller's.
QImage captionSample(const CaptionSettings &captions, QSize thumbnail, std::int32_t background, const QString &path,
                     const LoadedPicture *picture);

} // namespace pagorra
