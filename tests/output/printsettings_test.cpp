#include "core/runprogress.h"
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/printcommands.h"
#include "output/printdialog.h"
#include "output/printsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTest>
#include <QTimer>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {
const QString Queue = u"PagorraPDF"_s;

PagePrintSettings placement(bool centre, bool fit, double scale, double left, double top, std::uint8_t units)
{
    PagePrintSettings print;
    print.centre = centre;
    print.fit = fit;
    print.scale = scale;
    print.left = left;
    print.top = top;
    print.units = units;
    return print;
}
} // namespace

class PrintSettingsTest : public QObject {
    Q_OBJECT

  private slots:
    void placementOnThePaper_data();
    void placementOnThePaper();
    void recordAndPageCarryTheTenSettings();
    void printerTakesAndGivesBackTheChoices();
    void realDialogIsSeededAndReadBack_data();
    void realDialogIsSeededAndReadBack();
    void failureIsReportedUnderTheCommandsName_data();
    void failureIsReportedUnderTheCommandsName();
    void pageWithoutImageIsNotPrinted();
};

void PrintSettingsTest::placementOnThePaper_data()
{
    QTest::addColumn<PagePrintSettings>("print");
    QTest::addColumn<QRectF>("expected");
    // An 800 x 600 page on an area of 500 x 700 points; 96 page pixels make an inch (72 pt).
    QTest::newRow("natural size at the corner")
        << placement(false, false, 100, 0, 0, printcode::Millimetres) << QRectF(0, 0, 600, 450);
    QTest::newRow("fit then scale") << placement(false, true, 50, 0, 0, printcode::Millimetres)
                                    << QRectF(0, 0, 250, 187.5);
    QTest::newRow("centred") << placement(true, true, 100, 0, 0, printcode::Millimetres) << QRectF(0, 162.5, 500, 375);
    QTest::newRow("centred then moved by the offset")
        << placement(true, false, 50, 1, -0.5, printcode::Inches) << QRectF(172, 201.5, 300, 225);
    QTest::newRow("offset in points") << placement(false, false, 100, 10, 20, printcode::Points)
                                      << QRectF(10, 20, 600, 450);
    QTest::newRow("offset in centimetres")
        << placement(false, false, 100, 2.54, 0, printcode::Centimetres) << QRectF(72, 0, 600, 450);
    QTest::newRow("unknown unit code counts as millimetres")
        << placement(false, false, 100, 25.4, 50.8, 77) << QRectF(72, 144, 600, 450);
    QTest::newRow("negative scale prints at full size")
        << placement(false, false, -40, 0, 0, 0) << QRectF(0, 0, 600, 450);
    QTest::newRow("not-a-number scale prints at full size")
        << placement(false, false, std::numeric_limits<double>::quiet_NaN(), 0, 0, 0) << QRectF(0, 0, 600, 450);
}

void PrintSettingsTest::placementOnThePaper()
{
    QFETCH(PagePrintSettings, print);
    QFETCH(QRectF, expected);
    const QRectF target = printTargetRect(print, QSizeF(800, 600), QSizeF(500, 700));
    const double off = qAbs(target.x() - expected.x()) + qAbs(target.y() - expected.y()) +
                       qAbs(target.width() - expected.width()) + qAbs(target.height() - expected.height());
    QVERIFY2(off < 1e-9,
             qPrintable(u"got %1,%2 %3x%4"_s.arg(target.x()).arg(target.y()).arg(target.width()).arg(target.height())));
}

void PrintSettingsTest::recordAndPageCarryTheTenSettings()
{
    RegistrySettings record = defaultSettings();
    record.PrintCentre = true;
    record.PrintFit = true;
    record.PrintCopies = 4;
    record.PrinterIndex = 2;
    record.PrintLeft = 1.25;
    record.PrintTop = -3.5;
    record.PrintOrientation = 255;
    record.PrintPaperSize = 11;
    record.PrintScale = 37.5;
    record.PrintUnits = 2;

    PagePrintSettings page;
    page.extra = printcode::Greyscale;
    page.jobName = u"job"_s;
    handPrintSettings(record, page);
    // The values the record does not hold stay with the page.
    QCOMPARE(page.extra, printcode::Greyscale);
    QCOMPARE(page.jobName, u"job"_s);

    RegistrySettings back = defaultSettings();
    readBackPrintSettings(page, back);
    QVERIFY(back == record);
}

void PrintSettingsTest::printerTakesAndGivesBackTheChoices()
{
    const int queue = printerIndexOf(Queue);
    if (queue < 0)
        QSKIP("The CUPS queue PagorraPDF is missing (scripts/print-setup.sh adds it).");
    struct Row {
        int copies, orientation, paperSize, colourMode, paperBack; // paperBack -1: the queue's default
    };
    for (const Row &row : {Row{3, 1, 11, printcode::Greyscale, 11}, Row{2, 0, 9999, printcode::Colour, -1},
                           Row{0, 0, 9, printcode::Colour, 9}}) {
        PagePrintSettings print;
        print.printerIndex = queue;
        print.copies = row.copies;
        print.orientation = std::uint8_t(row.orientation);
        print.paperSize = row.paperSize;
        print.extra = row.colourMode;
        QPrinter printer;
        configurePrinter(printer, print);
        QCOMPARE(printer.printerName(), Queue);

        PagePrintSettings back;
        back.paperSize = row.paperSize;
        readPrinterChoices(printer, back);
        QCOMPARE(back.printerIndex, queue);
        QCOMPARE(back.copies, std::max(1, row.copies));
        QCOMPARE(int(back.orientation), row.orientation);
        QCOMPARE(back.paperSize,
                 row.paperBack < 0 ? QPrinterInfo(printer).defaultPageSize().windowsId() : row.paperBack);
        QCOMPARE(back.extra, row.colourMode);
    }
    // An index no printer has falls back to one that exists.
    PagePrintSettings print;
    print.printerIndex = 9999;
    QPrinter printer;
    configurePrinter(printer, print);
    QVERIFY(!printer.printerName().isEmpty());
}

void PrintSettingsTest::realDialogIsSeededAndReadBack_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void PrintSettingsTest::realDialogIsSeededAndReadBack()
{
    QFETCH(bool, confirm);
    PagePrintSettings print;
    print.scale = 50;
    print.units = printcode::Inches;
    print.left = 1.5;
    print.centre = true;
    print.printerIndex = printerIndexOf(Queue);
    print.copies = 2;
    const PagePrintSettings seeded = print;
    QPrinter printer;
    configurePrinter(printer, print);

    QString shown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *scale = dialog->findChild<QDoubleSpinBox *>(u"txtPrintScale"_s);
        auto *units = dialog->findChild<QComboBox *>(u"cboPrintUnits"_s);
        auto *fit = dialog->findChild<QCheckBox *>(u"chkPrintFit"_s);
        auto *centre = dialog->findChild<QCheckBox *>(u"chkPrintCentre"_s);
        auto *left = dialog->findChild<QDoubleSpinBox *>(u"txtPrintLeft"_s);
        if (scale && units && fit && centre && left) {
            shown = u"%1 %2 %3 %4 %5"_s.arg(scale->value())
                        .arg(units->currentData().toInt())
                        .arg(centre->isChecked())
                        .arg(left->value())
                        .arg(printer.copyCount());
            scale->setValue(25);
            fit->setChecked(true);
            units->setCurrentIndex(units->findData(int(printcode::Points)));
        }
        confirm ? dialog->accept() : dialog->reject();
    });
    QtPrintDialog real;
    QCOMPARE(real.ask(nullptr, printer, print), confirm);
    QCOMPARE(shown, u"50 %1 1 1.5 2"_s.arg(int(printcode::Inches)));
    if (!confirm) {
        QVERIFY(print == seeded);
        return;
    }
    QCOMPARE(print.scale, 25.0);
    QVERIFY(print.fit);
    QCOMPARE(print.units, printcode::Points);
    QCOMPARE(print.left, 108.0); // still 1.5 inches, now counted in points
    QCOMPARE(print.copies, 2);
    QCOMPARE(print.printerIndex, seeded.printerIndex);
}

namespace {
// The user confirms a destination that cannot be written: a file in a missing folder.
class UnwritableDestination : public PrintDialog {
  public:
    bool ask(QWidget *, QPrinter &printer, PagePrintSettings &print) override
    {
        print.scale = 40;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(u"/nonexistent-folder/page.pdf"_s);
        return true;
    }
};

class CountingProgress : public NullProgress {
  public:
    int begun = 0;
    void begin(int) override { ++begun; }
};
} // namespace

void PrintSettingsTest::failureIsReportedUnderTheCommandsName_data()
{
    QTest::addColumn<bool>("batch");
    QTest::addColumn<QString>("routine");
    QTest::newRow("print page") << false << u"cmdPrint_Click"_s;
    QTest::newRow("print all pages") << true << u"subPrintAllBitmaps"_s;
}

void PrintSettingsTest::failureIsReportedUnderTheCommandsName()
{
    QFETCH(bool, batch);
    QFETCH(QString, routine);
    PageSet pages;
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    pages.page(0).setImage(image);
    for (int k = 0; k < 2; ++k)
        pages.addPage().setImage(image);
    pages.setCurrentPageIndex(1);
    QList<ErrorReport> reports;
    setReportPresenter([&reports](const ErrorReport &report) { reports.append(report); });
    setLastAction(QString());
    RegistrySettings settings = defaultSettings();
    UnwritableDestination dialog;
    CountingProgress progress;
    if (batch)
        printAllPages(nullptr, settings, pages, progress, &dialog);
    else
        printCurrentPage(nullptr, settings, pages, &dialog);
    setReportPresenter({});

    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().routineName, routine);
    QCOMPARE(reports.first().systemError, u"482 - Printer error"_s);
    QCOMPARE(reports.first().trappingString, batch ? u"Starting batch printing"_s : QString());
    // The failure came before the choices were taken over and before any progress showed.
    QVERIFY(settings == defaultSettings());
    QCOMPARE(progress.begun, 0);
}

void PrintSettingsTest::pageWithoutImageIsNotPrinted()
{
    class NeverAsked : public PrintDialog {
      public:
        int asked = 0;
        bool ask(QWidget *, QPrinter &, PagePrintSettings &) override { return ++asked, false; }
    } dialog;
    PageSet pages;
    pages.setCurrentPageIndex(5); // stale, from an earlier and larger page set
    RegistrySettings settings = defaultSettings();
    NullProgress progress;
    printCurrentPage(nullptr, settings, pages, &dialog);
    QCOMPARE(pages.currentPageIndex(), 0);
    printAllPages(nullptr, settings, pages, progress, &dialog);
    QCOMPARE(dialog.asked, 0);
    QVERIFY(settings == defaultSettings());
}

QTEST_MAIN(PrintSettingsTest)
#include "printsettings_test.moc"
