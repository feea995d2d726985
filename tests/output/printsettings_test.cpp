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

namespace {
const QString Queue = QStringLiteral("PagorraPDF");

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
    void printerTakesAndGivesBackTheChoices_data();
    void printerTakesAndGivesBackTheChoices();
    void unknownPrinterIndexFallsBackToADefault();
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
    QTest::newRow("half scale") << placement(false, false, 50, 0, 0, printcode::Millimetres) << QRectF(0, 0, 300, 225);
    QTest::newRow("fit keeps the aspect ratio")
        << placement(false, true, 100, 0, 0, printcode::Millimetres) << QRectF(0, 0, 500, 375);
    QTest::newRow("fit then scale") << placement(false, true, 50, 0, 0, printcode::Millimetres)
                                    << QRectF(0, 0, 250, 187.5);
    QTest::newRow("centred") << placement(true, true, 100, 0, 0, printcode::Millimetres) << QRectF(0, 162.5, 500, 375);
    QTest::newRow("centred then moved by the offset")
        << placement(true, false, 50, 1, -0.5, printcode::Inches) << QRectF(172, 201.5, 300, 225);
    QTest::newRow("offset in points") << placement(false, false, 100, 10, 20, printcode::Points)
                                      << QRectF(10, 20, 600, 450);
    QTest::newRow("offset in centimetres")
        << placement(false, false, 100, 2.54, 0, printcode::Centimetres) << QRectF(72, 0, 600, 450);
    QTest::newRow("offset in millimetres")
        << placement(false, false, 100, 25.4, 50.8, printcode::Millimetres) << QRectF(72, 144, 600, 450);
    QTest::newRow("unknown unit code counts as millimetres")
        << placement(false, false, 100, 25.4, 0, 77) << QRectF(72, 0, 600, 450);
    QTest::newRow("zero scale prints at full size")
        << placement(false, false, 0, 0, 0, printcode::Millimetres) << QRectF(0, 0, 600, 450);
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
    QVERIFY2(qAbs(target.x() - expected.x()) < 1e-9 && qAbs(target.y() - expected.y()) < 1e-9 &&
                 qAbs(target.width() - expected.width()) < 1e-9 && qAbs(target.height() - expected.height()) < 1e-9,
             qPrintable(QStringLiteral("got %1,%2 %3x%4")
                            .arg(target.x())
                            .arg(target.y())
                            .arg(target.width())
                            .arg(target.height())));
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
    page.jobName = QStringLiteral("job");
    handPrintSettings(record, page);
    // The values the record does not hold stay with the page.
    QCOMPARE(page.extra, printcode::Greyscale);
    QCOMPARE(page.jobName, QStringLiteral("job"));

    RegistrySettings back = defaultSettings();
    readBackPrintSettings(page, back);
    QVERIFY(back == record);
}

void PrintSettingsTest::printerTakesAndGivesBackTheChoices_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("paperSize");
    QTest::addColumn<int>("colourMode");
    QTest::addColumn<int>("paperBack");
    QTest::newRow("landscape A5, three grey copies") << 3 << 1 << 11 << printcode::Greyscale << 11;
    QTest::newRow("portrait Letter") << 1 << 0 << 1 << printcode::Colour << 1;
    QTest::newRow("printer's default paper stays the default") << 1 << 0 << 0 << printcode::Colour << 0;
    // -1: the number of the printer's default paper, on which it then prints.
    QTest::newRow("unknown paper number prints on the default") << 2 << 0 << 9999 << printcode::Colour << -1;
    QTest::newRow("no copies prints one") << 0 << 0 << 9 << printcode::Colour << 9;
}

void PrintSettingsTest::printerTakesAndGivesBackTheChoices()
{
    const int queue = printerIndexOf(Queue);
    if (queue < 0)
        QSKIP("The CUPS queue PagorraPDF is missing (scripts/print-setup.sh adds it).");
    QFETCH(int, copies);
    QFETCH(int, orientation);
    QFETCH(int, paperSize);
    QFETCH(int, colourMode);
    QFETCH(int, paperBack);

    PagePrintSettings print;
    print.printerIndex = queue;
    print.copies = copies;
    print.orientation = std::uint8_t(orientation);
    print.paperSize = paperSize;
    print.extra = colourMode;
    QPrinter printer;
    configurePrinter(printer, print);
    QCOMPARE(printer.printerName(), Queue);

    PagePrintSettings back;
    back.paperSize = paperSize;
    readPrinterChoices(printer, back);
    QCOMPARE(back.printerIndex, queue);
    QCOMPARE(back.copies, std::max(1, copies));
    QCOMPARE(int(back.orientation), orientation);
    if (paperBack < 0)
        paperBack = QPrinterInfo(printer).defaultPageSize().windowsId();
    QCOMPARE(back.paperSize, paperBack);
    QCOMPARE(back.extra, colourMode);
}

void PrintSettingsTest::unknownPrinterIndexFallsBackToADefault()
{
    if (QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("No printer is configured.");
    for (int index : {-1, 9999, -7}) {
        PagePrintSettings print;
        print.printerIndex = index;
        QPrinter printer;
        configurePrinter(printer, print);
        QVERIFY2(!printer.printerName().isEmpty(), qPrintable(QString::number(index)));
    }
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

    PagePrintSettings shown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *scale = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("txtPrintScale"));
        auto *units = dialog->findChild<QComboBox *>(QStringLiteral("cboPrintUnits"));
        auto *fit = dialog->findChild<QCheckBox *>(QStringLiteral("chkPrintFit"));
        auto *centre = dialog->findChild<QCheckBox *>(QStringLiteral("chkPrintCentre"));
        auto *left = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("txtPrintLeft"));
        if (!scale || !units || !fit || !centre || !left) {
            dialog->reject();
            QFAIL("options tab missing from the print dialog");
        }
        shown.scale = scale->value();
        shown.units = std::uint8_t(units->currentData().toInt());
        shown.centre = centre->isChecked();
        shown.left = left->value();
        shown.copies = printer.copyCount();
        scale->setValue(25);
        fit->setChecked(true);
        units->setCurrentIndex(units->findData(int(printcode::Points)));
        if (confirm)
            dialog->accept();
        else
            dialog->reject();
    });
    QtPrintDialog real;
    const bool accepted = real.ask(nullptr, printer, print);

    QCOMPARE(accepted, confirm);
    QCOMPARE(shown.scale, 50.0);
    QCOMPARE(shown.units, printcode::Inches);
    QVERIFY(shown.centre);
    QCOMPARE(shown.left, 1.5);
    QCOMPARE(shown.copies, 2);
    if (confirm) {
        QCOMPARE(print.scale, 25.0);
        QVERIFY(print.fit);
        QCOMPARE(print.units, printcode::Points);
        // Still 1.5 inches from where it was, now counted in points.
        QCOMPARE(print.left, 108.0);
        QCOMPARE(print.copies, 2);
        QCOMPARE(print.printerIndex, seeded.printerIndex);
    } else {
        QVERIFY(print == seeded);
    }
}

namespace {
// The user confirms a destination that cannot be written: a file in a missing folder.
class UnwritableDestination : public PrintDialog {
  public:
    bool ask(QWidget *, QPrinter &printer, PagePrintSettings &print) override
    {
        print.scale = 40;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QStringLiteral("/nonexistent-folder/page.pdf"));
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
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<QString>("routine");
    QTest::newRow("print page") << false << 2 << QStringLiteral("cmdPrint_Click");
    QTest::newRow("print all pages") << true << 3 << QStringLiteral("subPrintAllBitmaps");
}

void PrintSettingsTest::failureIsReportedUnderTheCommandsName()
{
    QFETCH(bool, batch);
    QFETCH(int, pageCount);
    QFETCH(QString, routine);
    PageSet pages;
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    pages.page(0).setImage(image);
    for (int k = 1; k < pageCount; ++k)
        pages.addPage().setImage(image);
    pages.setCurrentPageIndex(1);
    QList<ErrorReport> reports;
    setReportPresenter([&reports](const ErrorReport &report) { reports.append(report); });
    setLastAction(QString());
    RegistrySettings settings = defaultSettings();
    const RegistrySettings before = settings;
    UnwritableDestination dialog;
    CountingProgress progress;

    if (batch)
        printAllPages(nullptr, settings, pages, progress, &dialog);
    else
        printCurrentPage(nullptr, settings, pages, &dialog);
    setReportPresenter({});

    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().routineName, routine);
    QCOMPARE(reports.first().systemError, QStringLiteral("482 - Printer error"));
    QCOMPARE(reports.first().trappingString, batch ? QStringLiteral("Starting batch printing") : QString());
    QVERIFY(reports.first().errorLineNumber > 0);
    // The failure came before the choices were taken over and before any progress showed.
    QVERIFY(settings == before);
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
    // A stale index from an earlier, larger page set must not reach past the single page.
    pages.setCurrentPageIndex(5);
    RegistrySettings settings = defaultSettings();
    settings.PrintScale = 70;
    const RegistrySettings before = settings;
    NullProgress progress;

    printCurrentPage(nullptr, settings, pages, &dialog);
    QCOMPARE(pages.currentPageIndex(), 0);
    printAllPages(nullptr, settings, pages, progress, &dialog);

    QCOMPARE(dialog.asked, 0);
    QVERIFY(settings == before);
}

QTEST_MAIN(PrintSettingsTest)
#include "printsettings_test.moc"
