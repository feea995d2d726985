#include "output/printjob.h"

#include "core/runtimeerror.h"
#include "output/printdialog.h"
#include "output/printsettings.h"

#include <QPainter>
#include <QPrinter>

namespace pagorra {

namespace {
constexpr std::int32_t PrinterError = 482;
}

int printPageImage(Page &page, PrintDialog &dialog, QWidget *owner)
{
    if (!page.hasImage())
        return 0;
    PagePrintSettings &print = page.print();

    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, print);
    if (print.showDialog && !dialog.ask(owner, printer, print))
        return 0;
    printer.setDocName(print.jobName);
    if (printer.printerName().isEmpty())
        PAGORRA_RAISE(PrinterError, QStringLiteral("Printer error"));

    QPainter painter;
    if (!painter.begin(&printer))
        PAGORRA_RAISE(PrinterError, QStringLiteral("Printer error"));
    const QSizeF area = printer.pageLayout().paintRect(QPageLayout::Point).size();
    const QRectF target = printTargetRect(print, page.image().size(), area);
    const double devicePerPoint = printer.resolution() / 72.0;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(target.topLeft() * devicePerPoint, target.size() * devicePerPoint), page.image());
    if (!painter.end())
        PAGORRA_RAISE(PrinterError, QStringLiteral("Printer error"));
    return 1;
}

} // namespace pagorra
