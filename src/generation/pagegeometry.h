#pragma once

#include "core/settings.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <optional>

namespace pagorra {

// Pages are laid out in layout pixels, 1/96 inch on paper, whatever resolution they are made
// at: the same pictures land in the same cells at every resolution, and only the image grows.
constexpr double kLayoutPixelsPerInch = 96.0;

// States the resolution in the image, which is also what point sizes of text drawn on it
// are measured by.
void setImageResolution(QImage &image, double pixelsPerInch);

// The resolutions offered, in pixels per inch, the default (96) first.
const QList<int> &offeredResolutions();

// A paper offered by name, upright, in points (1/72 inch).
struct NamedPaper {
    QString name;
    QSizeF points;
};
// A5, A4, A3, Letter, Legal, Tabloid.
const QList<NamedPaper> &namedPapers();
// The paper of that name in any letter case; null when there is none.
const NamedPaper *paperNamed(const QString &name);

// The paper `output` chooses, in points, turned for landscape; nothing when it chooses none,
// names no paper, or is a Custom size that is not positive.
std::optional<QSizeF> paperPoints(const OutputSettings &output);
// A size on paper as whole layout pixels (A4 is 794 x 1123).
QSize layoutPixels(QSizeF points);

// How a page of layout pixels becomes an image: the resolution, and the paper it stands for.
struct PageOutput {
    double pixelsPerInch = kLayoutPixelsPerInch;
    QSizeF paperPoints; // empty: the page's own size (three quarters of a point per pixel)

    double scale() const { return pixelsPerInch / kLayoutPixelsPerInch; }
    // The image of a page of `layoutSize`: the paper at the resolution, or the layout scaled.
    QSize rasterSize(QSize layoutSize) const;
    QSizeF pointSize(QSize layoutSize) const;
};

// The output of pages of `layoutSize` under `output`. A stored resolution outside the offered
// range counts as 96; the paper counts only while the page is its size (a page size typed or
// stored since is a page of its own), so a page never stands for paper it does not fit.
PageOutput pageOutput(const OutputSettings &output, QSize layoutSize);

} // namespace pagorra
