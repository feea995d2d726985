#include "generation/pagegeometry.h"

#include <cmath>

namespace pagorra {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kMillimetresPerInch = 25.4;

// Below 96 a page would lose detail the layout itself has; above 600 an A3 page alone is
// some 280 MB of pixels, more than any printer resolves in a thumbnail.
constexpr int kMinResolution = 96;
constexpr int kMaxResolution = 600;

QSizeF millimetres(double width, double height)
{
    const double points = kPointsPerInch / kMillimetresPerInch;
    return {width * points, height * points};
}

QSizeF inches(double width, double height)
{
    return {width * kPointsPerInch, height * kPointsPerInch};
}

int rounded(double value)
{
    return int(std::lround(value));
}

} // namespace

void setImageResolution(QImage &image, double pixelsPerInch)
{
    const int perMetre = rounded(pixelsPerInch / 0.0254);
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
}

const QList<int> &offeredResolutions()
{
    static const QList<int> resolutions{96, 150, 200, 300, 400, 600};
    return resolutions;
}

const QList<NamedPaper> &namedPapers()
{
    static const QList<NamedPaper> papers{
        {QStringLiteral("A5"), millimetres(148, 210)}, {QStringLiteral("A4"), millimetres(210, 297)},
        {QStringLiteral("A3"), millimetres(297, 420)}, {QStringLiteral("Letter"), inches(8.5, 11)},
        {QStringLiteral("Legal"), inches(8.5, 14)},    {QStringLiteral("Tabloid"), inches(11, 17)},
    };
    return papers;
}

const NamedPaper *paperNamed(const QString &name)
{
    for (const NamedPaper &paper : namedPapers()) {
        if (paper.name.compare(name, Qt::CaseInsensitive) == 0)
            return &paper;
    }
    return nullptr;
}

std::optional<QSizeF> paperPoints(const OutputSettings &output)
{
    if (output.Paper == u"Custom") {
        const bool inch = output.PaperUnits == u"in";
        const QSizeF size =
            inch ? inches(output.PaperWidth, output.PaperHeight) : millimetres(output.PaperWidth, output.PaperHeight);
        // NaN fails both comparisons as well.
        if (!(size.width() > 0 && size.height() > 0))
            return std::nullopt;
        return size;
    }
    const NamedPaper *paper = output.Paper.isEmpty() ? nullptr : paperNamed(output.Paper);
    if (!paper)
        return std::nullopt;
    return output.PaperLandscape ? paper->points.transposed() : paper->points;
}

QSize layoutPixels(QSizeF points)
{
    const double perPoint = kLayoutPixelsPerInch / kPointsPerInch;
    return {rounded(points.width() * perPoint), rounded(points.height() * perPoint)};
}

QSize PageOutput::rasterSize(QSize layoutSize) const
{
    if (!paperPoints.isEmpty()) {
        const double perPoint = pixelsPerInch / kPointsPerInch;
        return {rounded(paperPoints.width() * perPoint), rounded(paperPoints.height() * perPoint)};
    }
    if (pixelsPerInch == kLayoutPixelsPerInch)
        return layoutSize;
    return {rounded(layoutSize.width() * scale()), rounded(layoutSize.height() * scale())};
}

QSizeF PageOutput::pointSize(QSize layoutSize) const
{
    if (!paperPoints.isEmpty())
        return paperPoints;
    return QSizeF(layoutSize) * (kPointsPerInch / kLayoutPixelsPerInch);
}

PageOutput pageOutput(const OutputSettings &output, QSize layoutSize)
{
    PageOutput result;
    if (output.Resolution >= kMinResolution && output.Resolution <= kMaxResolution)
        result.pixelsPerInch = output.Resolution;
    const std::optional<QSizeF> paper = paperPoints(output);
    if (paper && layoutPixels(*paper) == layoutSize)
        result.paperPoints = *paper;
    return result;
}

} // namespace pagorra
