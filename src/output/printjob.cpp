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
    // The placement is worked out in layout pixels, so the print settings mean the same at
    // every resolution; the page is then drawn at the printer's own: text as text, each
    // picture with all its pixels. A page with no drawing items is printed as its image.
    const PageContent &content = page.content();
    const bool drawn = !content.layoutSize.isEmpty();
    const QSizeF pageSize = drawn ? content.layoutSize : QSizeF(page.image().size());
    const QSizeF area = printer.pageLayout().paintRect(QPageLayout::Point).size();
    const QRectF target = printTargetRect(print, pageSize, area);
    const double devicePerPoint = printer.resolution() / 72.0;
    const QRectF onDevice(target.topLeft() * devicePerPoint, target.size() * devicePerPoint);
    if (drawn) {
        painter.translate(onDevice.topLeft());
        painter.scale(onDevice.width() / pageSize.width(), onDevice.height() / pageSize.height());
        paintPageContent(painter, content);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(onDevice, page.image());
    }
    if (!painter.end())
        PAGORRA_RAISE(PrinterError, QStringLiteral("Printer error"));
    return 1;
}

} // namespace pagorra
