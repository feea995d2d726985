#include "output/printsettings.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

namespace pagorra {

void handPrintSettings(const RegistrySettings &settings, PagePrintSettings &print)
{
    print.centre = settings.PrintCentre;
    print.fit = settings.PrintFit;
    print.copies = settings.PrintCopies;
    print.printerIndex = settings.PrinterIndex;
    print.left = settings.PrintLeft;
    print.top = settings.PrintTop;
    print.orientation = settings.PrintOrientation;
    print.paperSize = settings.PrintPaperSize;
    print.scale = settings.PrintScale;
    print.units = settings.PrintUnits;
}

void readBackPrintSettings(const PagePrintSettings &print, RegistrySettings &settings)
{
    settings.PrintCentre = print.centre;
    settings.PrintFit = print.fit;
    settings.PrintCopies = print.copies;
    settings.PrinterIndex = print.printerIndex;
    settings.PrintLeft = print.left;
    settings.PrintTop = print.top;
    settings.PrintOrientation = print.orientation;
    settings.PrintPaperSize = print.paperSize;
    settings.PrintScale = print.scale;
    settings.PrintUnits = print.units;
}

double pointsPerUnit(std::uint8_t unitsCode)
{
    switch (unitsCode) {
    case printcode::Inches:
        return 72.0;
    case printcode::Points:
        return 1.0;
    case printcode::Centimetres:
        return 72.0 / 2.54;
    default:
        return 72.0 / 25.4;
    }
}

QString unitName(std::uint8_t unitsCode)
{
    switch (unitsCode) {
    case printcode::Inches:
        return QStringLiteral("in");
    case printcode::Points:
        return QStringLiteral("pt");
    case printcode::Centimetres:
        return QStringLiteral("cm");
    default:
        return QStringLiteral("mm");
    }
}

QRectF printTargetRect(const PagePrintSettings &print, QSizeF imagePixels, QSizeF areaPoints)
{
    if (imagePixels.isEmpty())
        return {};
    QSizeF size = imagePixels * (72.0 / PagePixelsPerInch);
    if (print.fit && !areaPoints.isEmpty())
        size = imagePixels.scaled(areaPoints, Qt::KeepAspectRatio);
    // A stored scale of 0, a negative one or garbage would print nothing at all.
    const double scale = std::isfinite(print.scale) && print.scale > 0 ? print.scale : 100.0;
    size *= scale / 100.0;
    // Paper would cut off what lies past the printable area, without a word: the page is
    // shrunk to fit instead. The stored scale stays, so larger paper prints it as chosen.
    if (!areaPoints.isEmpty())
        size = size.boundedTo(size.scaled(areaPoints, Qt::KeepAspectRatio));

    QPointF origin(0, 0);
    if (print.centre)
        origin = QPointF((areaPoints.width() - size.width()) / 2, (areaPoints.height() - size.height()) / 2);
    const double unit = pointsPerUnit(print.units);
    const double left = std::isfinite(print.left) ? print.left : 0.0;
    const double top = std::isfinite(print.top) ? print.top : 0.0;
    origin += QPointF(left * unit, top * unit);
    // The offsets move the page at most up to the edges of the printable area, for the same reason.
    if (!areaPoints.isEmpty()) {
        origin.setX(std::clamp(origin.x(), 0.0, std::max(0.0, areaPoints.width() - size.width())));
        origin.setY(std::clamp(origin.y(), 0.0, std::max(0.0, areaPoints.height() - size.height())));
    }
    return QRectF(origin, size);
}

int printerIndexOf(const QString &printerName)
{
    if (printerName.isEmpty())
        return -1;
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    for (qsizetype i = 0; i < printers.size(); ++i) {
        if (printers.at(i).printerName() == printerName)
            return int(i);
    }
    return -1;
}

void configurePrinter(QPrinter &printer, const PagePrintSettings &print)
{
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    QPrinterInfo chosen;
    if (print.printerIndex >= 0 && print.printerIndex < printers.size())
        chosen = printers.at(print.printerIndex);
    else
        chosen = QPrinterInfo::defaultPrinter();
    // CUPS may list printers without naming a default one; a user with a single queue
    // still expects it to print.
    if (chosen.isNull() && !printers.isEmpty())
        chosen = printers.front();
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!chosen.isNull())
        printer.setPrinterName(chosen.printerName());

    // The printer name resets the page layout, so the paper comes after it.
    if (print.paperSize != printcode::PrinterDefaultPaper) {
        const QPageSize::PageSizeId id = QPageSize::id(print.paperSize);
        if (id != QPageSize::Custom)
            printer.setPageSize(QPageSize(id));
    }
    printer.setPageOrientation(print.orientation == printcode::Landscape ? QPageLayout::Landscape
                                                                         : QPageLayout::Portrait);
    printer.setCopyCount(std::max(1, print.copies));
    printer.setColorMode(print.extra == printcode::Greyscale ? QPrinter::GrayScale : QPrinter::Color);
}

void readPrinterChoices(const QPrinter &printer, PagePrintSettings &print)
{
    print.printerIndex = printerIndexOf(printer.printerName());
    print.copies = printer.copyCount();
    const QPageLayout layout = printer.pageLayout();
    print.orientation = layout.orientation() == QPageLayout::Landscape ? printcode::Landscape : printcode::Portrait;

    // Keep "the printer's default" while the user left the paper alone, so a later change
    // of the printer's default still applies.
    const QPageSize chosen = layout.pageSize();
    const QPrinterInfo info(printer);
    const bool isPrinterDefault = !info.isNull() && info.defaultPageSize().id() == chosen.id();
    if (print.paperSize == printcode::PrinterDefaultPaper && isPrinterDefault) {
        // unchanged
    } else {
        // A size without a number of its own (a custom one) cannot be stored.
        const int number = chosen.windowsId();
        const bool numbered = chosen.id() != QPageSize::Custom && QPageSize::id(number) == chosen.id();
        print.paperSize = numbered ? number : printcode::PrinterDefaultPaper;
    }
    print.extra = printer.colorMode() == QPrinter::GrayScale ? printcode::Greyscale : printcode::Colour;
}

} // namespace pagorra
