#pragma once

#include "core/settings.h"
#include "generation/page.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

class QPrinter;

namespace pagorra {

// The codes the ten stored print settings use (the help page lists them for users).
namespace printcode {
// PrintOrientation
constexpr std::uint8_t Portrait = 0;
constexpr std::uint8_t Landscape = 1;
// PrintPaperSize: 0 is the printer's own default paper; any other value is the
// well-known paper number of the Windows/PCL world (1 Letter, 5 Legal, 8 A3, 9 A4, 11 A5 ...),
// which QPageSize translates both ways.
constexpr std::int32_t PrinterDefaultPaper = 0;
// PrintUnits, for PrintLeft and PrintTop
constexpr std::uint8_t Millimetres = 0;
constexpr std::uint8_t Inches = 1;
constexpr std::uint8_t Points = 2;
constexpr std::uint8_t Centimetres = 3;
// The value copied page to page that the record does not hold: the colour mode.
constexpr std::int32_t Colour = 0;
constexpr std::int32_t Greyscale = 1;
} // namespace printcode

// Layout pixels of a page per inch of paper at a scale of 100 % (the screen's 96 DPI),
// whatever resolution the page's image is made at.
constexpr double PagePixelsPerInch = 96.0;

// The ten print settings from the record to a page's print properties, and back.
void handPrintSettings(const RegistrySettings &settings, PagePrintSettings &print);
void readBackPrintSettings(const PagePrintSettings &print, RegistrySettings &settings);

// Points (1/72 inch) per unit of the given PrintUnits code; unknown codes count as millimetres.
double pointsPerUnit(std::uint8_t unitsCode);
QString unitName(std::uint8_t unitsCode);

// Where a page of `imagePixels` layout pixels goes on the paper, in points, relative to the
// top-left corner of the printable area of `areaPoints` size. Size: fitted into the area
// keeping the aspect ratio when `fit` is set, else one layout pixel per 1/96 inch; then times
// the scale (a scale that is not a positive number counts as 100 %); a page larger than the
// area is then shrunk to fit it. Position: centred in the area when `centre` is set, else at the area's corner;
// then moved by (left, top) in the given units, but never past the area's edges.
QRectF printTargetRect(const PagePrintSettings &print, QSizeF imagePixels, QSizeF areaPoints);

// Puts the printer, copies, orientation, paper and colour mode of `print` onto `printer`.
// An index outside the list of printers, or −1, selects the default printer.
void configurePrinter(QPrinter &printer, const PagePrintSettings &print);
// Takes the printer, copies, orientation, paper and colour mode the user chose back from
// `printer`; the placement fields (centre, fit, scale, left, top, units) stay as they are.
void readPrinterChoices(const QPrinter &printer, PagePrintSettings &print);

// Index of the printer in QPrinterInfo::availablePrinters(), or −1 where it is not listed.
int printerIndexOf(const QString &printerName);

} // namespace pagorra
