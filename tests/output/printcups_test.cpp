// Printing end to end: the print commands through the local CUPS PDF queue that
// scripts/print-setup.sh sets up, with the PDF files that arrive rendered back by poppler; the
// real print dialog seeded and read back; where the page lands on the paper. The tests that
// need the queue skip where no CUPS server with it is reachable.

#include "core/registrystore.h"
#include "core/settings.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/printcommands.h"
#include "output/printdialog.h"
#include "output/printsettings.h"

#include "writer_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <pwd.h>
#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;
using namespace pagorra::testing;

namespace {

const QString Queue = u"PagorraPDF"_s;

// Records what the dialog was offered, applies the test's choices, then confirms or cancels.
class ScriptedPrintDialog : public PrintDialog {
  public:
    bool confirm = true;
    std::function<void(PagePrintSettings &)> answer;
    QList<PagePrintSettings> offered;

    bool ask(QWidget *, QPrinter &printer, PagePrintSettings &print) override
    {
        offered.append(print);
        if (answer) // also before a Cancel: what the user changed there must not stick
            answer(print);
        if (!confirm)
            return false;
        configurePrinter(printer, print);
        return true;
    }
};

QString run(const QString &program, const QStringList &arguments)
{
    return QString::fromLocal8Bit(runTool(program, arguments));
}

// Where cups-pdf puts the printing user's files: its Out setting, ${HOME} being that user's
// home from the password database.
QString pdfOutputDir()
{
    QString out = u"${HOME}/PDF"_s;
    QFile conf(u"/etc/cups/cups-pdf.conf"_s);
    if (conf.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString &line : QString::fromLocal8Bit(conf.readAll()).split(u'\n')) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(u"Out "_s) || trimmed.startsWith(u"Out\t"_s))
                out = trimmed.mid(4).trimmed();
        }
    }
    const passwd *user = getpwuid(getuid());
    return out.replace(u"${HOME}"_s, user ? QString::fromLocal8Bit(user->pw_dir) : QDir::homePath());
}

// The first sheet at `dpi`, the whole paper, as poppler draws it.
QImage renderFirstPage(const QString &path, const QTemporaryDir &scratch, int dpi = 18)
{
    const QString prefix = scratch.filePath(QFileInfo(path).completeBaseName());
    run(u"pdftoppm"_s, {u"-r"_s, QString::number(dpi), u"-singlefile"_s, u"-png"_s, path, prefix});
    return QImage(prefix + u".png"_s);
}

// Jobs CUPS has accepted for the queue so far, finished or not.
int jobCount()
{
    return int(run(u"lpstat"_s, {u"-W"_s, u"all"_s, u"-o"_s, Queue}).split(u'\n', Qt::SkipEmptyParts).size());
}

bool nearColour(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

// The first colour met walking from `from` in steps of `step` that is not the white paper.
QColor firstInk(const QImage &paper, QPoint from, QPoint step)
{
    for (QPoint p = from; paper.rect().contains(p); p += step) {
        if (!nearColour(paper.pixelColor(p), Qt::white))
            return paper.pixelColor(p);
    }
    return Qt::white;
}

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

// The user confirms a destination that cannot be written: a file in a missing folder.
class UnwritableDestination : public PrintDialog {
  public:
    bool ask(QWidget *, QPrinter &printer, PagePrintSettings &) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(u"/nonexistent-folder/page.pdf"_s);
        return true;
    }
};

} // namespace

class PrintCupsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void placementOnThePaper_data();
    void placementOnThePaper();
    void realDialogIsSeededAndReadBack_data();
    void realDialogIsSeededAndReadBack();
    void failureIsReportedUnderTheCommandsName_data();
    void failureIsReportedUnderTheCommandsName();
    void defaultPageOnA4IsPrintedWhole();
    void batchPrintsEveryPageWithTheFirstPagesChoices();
    void confirmedChoicesAreOfferedAgain();
    void cancelledBatchPrintsNothingAndKeepsTheRecord();
    void cancelDuringBatchStopsBeforeTheNextPage();
    void cleanupTestCase();

  private:
    void requireQueue() const;
    QStringList pdfFiles() const { return QDir(m_outDir).entryList({u"*.pdf"_s}, QDir::Files); }
    QMap<QString, QString> waitForPdfs(int count);
    // Pages of one colour each; settings printing to the queue unless the dialog picks it.
    void prepare(const QList<QColor> &colours, bool queueInRecord = true);

    int m_queue = -1;
    QString m_outDir;
    QSet<QString> m_seen;
    QStringList m_received;
    PageSet m_pages;
    RegistrySettings m_settings;
    ScriptedPrintDialog m_dialog;
    QTemporaryDir m_scratch;
    QList<ErrorReport> m_reports;
};

void PrintCupsTest::initTestCase()
{
    if (run(u"lpstat"_s, {u"-r"_s}).contains(u"is running"_s))
        m_queue = printerIndexOf(Queue);
    m_outDir = pdfOutputDir();
    const QStringList existing = pdfFiles();
    m_seen = {existing.begin(), existing.end()};
    setReportPresenter([this](const ErrorReport &report) { m_reports.append(report); });
}

void PrintCupsTest::cleanupTestCase()
{
    setReportPresenter({});
    for (const QString &path : std::as_const(m_received))
        QFile::remove(path);
}

void PrintCupsTest::requireQueue() const
{
    if (m_queue < 0)
        QSKIP("No CUPS scheduler with the queue PagorraPDF (scripts/print-setup.sh); printing not tested.");
}

// Waits until `count` new PDF files have arrived; returns them by job title.
QMap<QString, QString> PrintCupsTest::waitForPdfs(int count)
{
    QMap<QString, QString> byTitle;
    QElapsedTimer timer;
    timer.start();
    while (byTitle.size() < count && timer.elapsed() < 90000) {
        QTest::qWait(250);
        for (const QString &name : pdfFiles()) {
            const QString path = QDir(m_outDir).filePath(name);
            QString title = pdfInfo(path, u"Title"_s);
            if (title.startsWith(u'(') && title.endsWith(u')'))
                title = title.mid(1, title.size() - 2);
            if (m_seen.contains(name) || title.isEmpty()) // an empty title: still being written
                continue;
            m_seen.insert(name);
            m_received << path;
            byTitle.insert(title, path);
        }
    }
    return byTitle;
}

void PrintCupsTest::prepare(const QList<QColor> &colours, bool queueInRecord)
{
    m_pages.clear();
    for (qsizetype i = 0; i < colours.size(); ++i) {
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(colours.at(i));
        (i == 0 ? m_pages.page(0) : m_pages.addPage()).setImage(image);
    }
    m_settings = defaultSettings();
    if (queueInRecord)
        m_settings.PrinterIndex = m_queue;
    m_dialog = ScriptedPrintDialog();
    m_reports.clear();
}

void PrintCupsTest::placementOnThePaper_data()
{
    QTest::addColumn<PagePrintSettings>("print");
    QTest::addColumn<QRectF>("expected");
    // An 800 x 600 page on an area of 700 x 500 points; 96 page pixels make an inch (72 pt).
    QTest::newRow("natural size at the corner") << placement(false, false, 100, 0, 0, 0) << QRectF(0, 0, 600, 450);
    QTest::newRow("fit then scale") << placement(false, true, 50, 0, 0, 0) << QRectF(0, 0, 1000 / 3.0, 250);
    QTest::newRow("centred then moved by inches")
        << placement(true, false, 50, 1, -0.5, printcode::Inches) << QRectF(272, 101.5, 300, 225);
    QTest::newRow("centimetres") << placement(false, false, 50, 2.54, 0, printcode::Centimetres)
                                 << QRectF(72, 0, 300, 225);
    QTest::newRow("unknown units are millimetres")
        << placement(false, false, 50, 25.4, 50.8, 77) << QRectF(72, 144, 300, 225);
    QTest::newRow("negative scale prints at 100 %") << placement(false, false, -40, 0, 0, 0) << QRectF(0, 0, 600, 450);
    // Nothing may fall off the printable area: too large is shrunk, offsets stop at the edges.
    QTest::newRow("too large is shrunk") << placement(false, false, 200, 0, 0, 0) << QRectF(0, 0, 2000 / 3.0, 500);
    QTest::newRow("shrunk and centred") << placement(true, false, 200, 0, 0, 0) << QRectF(50 / 3.0, 0, 2000 / 3.0, 500);
    QTest::newRow("offsets stop at the edges")
        << placement(false, false, 100, 200, -30, printcode::Points) << QRectF(100, 0, 600, 450);
}

void PrintCupsTest::placementOnThePaper()
{
    QFETCH(PagePrintSettings, print);
    QFETCH(QRectF, expected);
    const QRectF got = printTargetRect(print, QSizeF(800, 600), QSizeF(700, 500));
    const double off = qAbs(got.x() - expected.x()) + qAbs(got.y() - expected.y()) +
                       qAbs(got.width() - expected.width()) + qAbs(got.height() - expected.height());
    QVERIFY2(off < 1e-9, qPrintable(u"got %1,%2 %3x%4"_s.arg(got.x()).arg(got.y()).arg(got.width()).arg(got.height())));
}

void PrintCupsTest::realDialogIsSeededAndReadBack_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

// The real dialog shows the choices it is given and hands back the ones confirmed in it.
void PrintCupsTest::realDialogIsSeededAndReadBack()
{
    requireQueue();
    QFETCH(bool, confirm);
    PagePrintSettings print = placement(true, false, 50, 1.5, 0, printcode::Inches);
    print.printerIndex = m_queue;
    print.copies = 2;
    print.orientation = printcode::Landscape;
    const PagePrintSettings seeded = print;
    QPrinter printer;
    configurePrinter(printer, print);

    QString shown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *scale = dialog->findChild<QDoubleSpinBox *>(u"txtPrintScale"_s);
        auto *units = dialog->findChild<QComboBox *>(u"cboPrintUnits"_s);
        auto *centre = dialog->findChild<QCheckBox *>(u"chkPrintCentre"_s);
        auto *left = dialog->findChild<QDoubleSpinBox *>(u"txtPrintLeft"_s);
        if (scale && units && centre && left) {
            shown = u"%1 %2 %3 %4"_s.arg(scale->value())
                        .arg(units->currentData().toInt())
                        .arg(centre->isChecked())
                        .arg(left->value());
            scale->setValue(25);
            dialog->findChild<QCheckBox *>(u"chkPrintFit"_s)->setChecked(true);
            units->setCurrentIndex(units->findData(int(printcode::Points)));
        }
        confirm ? dialog->accept() : dialog->reject();
    });
    QtPrintDialog real;
    QCOMPARE(real.ask(nullptr, printer, print), confirm);
    QCOMPARE(shown, u"50 %1 1 1.5"_s.arg(int(printcode::Inches)));
    PagePrintSettings expected = seeded;
    if (confirm) {
        expected.scale = 25;
        expected.fit = true;
        expected.units = printcode::Points;
        expected.left = 108; // still 1.5 inches, now counted in points
    }
    QCOMPARE(print, expected);
}

void PrintCupsTest::failureIsReportedUnderTheCommandsName_data()
{
    QTest::addColumn<bool>("batch");
    QTest::addColumn<QString>("routine");
    QTest::newRow("print page") << false << u"cmdPrint_Click"_s;
    QTest::newRow("print all pages") << true << u"subPrintAllBitmaps"_s;
}

void PrintCupsTest::failureIsReportedUnderTheCommandsName()
{
    QFETCH(bool, batch);
    QFETCH(QString, routine);
    prepare({Qt::red, Qt::green, Qt::blue});
    m_pages.setCurrentPageIndex(1);
    setLastAction(QString());
    UnwritableDestination dialog;
    RecordingProgress progress;
    if (batch)
        printAllPages(nullptr, m_settings, m_pages, progress, &dialog);
    else
        printCurrentPage(nullptr, m_settings, m_pages, &dialog);

    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.first().routineName, routine);
    QCOMPARE(m_reports.first().systemError, u"482 - Printer error"_s);
    QCOMPARE(m_reports.first().trappingString, batch ? u"Starting batch printing"_s : QString());
    QVERIFY(progress.events.isEmpty()); // the failure came before any progress showed
}

// The default 800 x 600 page at the default settings on A4 portrait: every edge on the paper.
// With one page, Print all pages is Print page: one dialog, a job named after the window.
void PrintCupsTest::defaultPageOnA4IsPrintedWhole()
{
    requireQueue();
    prepare({Qt::blue});
    QImage framed = m_pages.page(0).image();
    QPainter(&framed).fillRect(framed.rect().adjusted(3, 3, -3, -3), Qt::red);
    m_pages.page(0).setImage(framed);
    m_settings.PrintPaperSize = 9; // A4
    RecordingProgress progress;
    printAllPages(nullptr, m_settings, m_pages, progress, &m_dialog);
    QCOMPARE(m_dialog.offered.size(), 1);
    QCOMPARE(m_dialog.offered.first().jobName, u"Arvok Pagorra"_s);
    QVERIFY(progress.events.isEmpty());

    const QMap<QString, QString> pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.keys(), QStringList{u"Arvok Pagorra"_s});
    const QImage paper = renderFirstPage(pdfs.first(), m_scratch, 144);
    QVERIFY(paper.width() < paper.height());
    // The page's blue frame, 3 page pixels wide, is met on every side before its red inside.
    const int across = paper.width() / 3;
    const int down = paper.height() / 6;
    const QList<QPair<QPoint, QPoint>> walks{{{0, down}, {1, 0}},
                                             {{paper.width() - 1, down}, {-1, 0}},
                                             {{across, 0}, {0, 1}},
                                             {{across, paper.height() - 1}, {0, -1}}};
    for (const auto &[from, step] : walks)
        QVERIFY2(nearColour(firstInk(paper, from, step), Qt::blue),
                 qPrintable(u"edge cut off walking by %1,%2"_s.arg(step.x()).arg(step.y())));
}

void PrintCupsTest::batchPrintsEveryPageWithTheFirstPagesChoices()
{
    requireQueue();
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
    prepare(colours, false);
    m_dialog.answer = [queue = m_queue](PagePrintSettings &print) {
        print.printerIndex = queue;
        print.fit = true;
        print.centre = true;
        print.orientation = printcode::Landscape;
        print.paperSize = 9; // A4
    };
    RecordingProgress progress;
    const int jobsBefore = jobCount();
    printAllPages(nullptr, m_settings, m_pages, progress, &m_dialog);

    QCOMPARE(m_dialog.offered.size(), 1);
    QCOMPARE(progress.events.join(u','), u"begin 3,value 1,value 2,end"_s);
    QCOMPARE(lastAction(), u"Starting batch printing"_s);
    QCOMPARE(m_settings.PrinterIndex, m_queue);
    QVERIFY(m_settings.PrintFit && m_settings.PrintCentre);
    QCOMPARE(m_settings.PrintOrientation, printcode::Landscape);
    QCOMPARE(jobCount() - jobsBefore, 3);

    const QMap<QString, QString> pdfs = waitForPdfs(3);
    QCOMPARE(pdfs.keys(), (QStringList{u"Arvok Pagorra0"_s, u"Arvok Pagorra1"_s, u"Arvok Pagorra2"_s}));
    for (int k = 0; k < 3; ++k) {
        const QImage paper = renderFirstPage(pdfs.value(u"Arvok Pagorra%1"_s.arg(k)), m_scratch);
        QVERIFY(!paper.isNull());
        // CUPS turns landscape jobs onto the portrait sheet: the 4:3 page, fitted to the
        // landscape area, stands upright and covers most of the sheet's height, where portrait
        // would leave the upper fifth white. Pages printed without a dialog must show it too.
        QVERIFY(paper.width() < paper.height());
        const int x = paper.width() / 2;
        QVERIFY2(nearColour(paper.pixelColor(x, paper.height() / 6), colours.at(k)), "page not printed landscape");
        QVERIFY(nearColour(paper.pixelColor(x, paper.height() / 2), colours.at(k)));
        // Centred: white bands above and below the image.
        QVERIFY(nearColour(paper.pixelColor(x, 1), Qt::white));
        QVERIFY(nearColour(paper.pixelColor(x, paper.height() - 2), Qt::white));
    }
}

void PrintCupsTest::confirmedChoicesAreOfferedAgain()
{
    requireQueue();
    prepare({Qt::black}, false);
    // All ten stored choices differ from the defaults, so none can be lost on the way.
    m_dialog.answer = [queue = m_queue](PagePrintSettings &print) {
        print.centre = print.fit = true;
        print.scale = 50;
        print.left = 3;
        print.top = 2;
        print.units = printcode::Centimetres;
        print.printerIndex = queue;
        print.copies = 2;
        print.orientation = printcode::Landscape;
        print.paperSize = 11; // A5
    };
    printCurrentPage(nullptr, m_settings, m_pages, &m_dialog);
    RegistrySettings expected = defaultSettings();
    expected.PrintCentre = expected.PrintFit = true;
    expected.PrintScale = 50;
    expected.PrintLeft = 3;
    expected.PrintTop = 2;
    expected.PrintUnits = printcode::Centimetres;
    expected.PrinterIndex = m_queue;
    expected.PrintCopies = 2;
    expected.PrintOrientation = printcode::Landscape;
    expected.PrintPaperSize = 11;
    QCOMPARE(m_settings, expected);

    // A restart: the record is saved at exit and loaded afresh from the per-user file.
    QTemporaryDir config;
    const RegistryStore store(config.filePath(u"settings.json"_s));
    QVERIFY(saveRegistrySettings(m_settings, store));
    RegistrySettings restarted;
    loadRegistrySettings(restarted, store);
    QCOMPARE(restarted, expected);

    // The next dialog opens with those choices; this time the user cancels.
    m_dialog.confirm = false;
    m_dialog.answer = {};
    printCurrentPage(nullptr, restarted, m_pages, &m_dialog);
    QCOMPARE(m_dialog.offered.size(), 2);
    QCOMPARE(m_dialog.offered.at(1).jobName, u"Arvok Pagorra"_s);
    RegistrySettings offered = defaultSettings();
    readBackPrintSettings(m_dialog.offered.at(1), offered);
    QCOMPARE(offered, expected);

    const QMap<QString, QString> pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.keys(), QStringList{u"Arvok Pagorra"_s});
    // Half the fitted size near the middle of the sheet, white paper around it; two copies.
    const QImage paper = renderFirstPage(pdfs.first(), m_scratch);
    QVERIFY(nearColour(paper.pixelColor(paper.width() / 2, paper.height() / 2), Qt::black));
    for (const QPoint corner : {QPoint(2, 2), QPoint(paper.width() - 3, paper.height() - 3)})
        QVERIFY(nearColour(paper.pixelColor(corner), Qt::white));
    QCOMPARE(pdfPageCount(pdfs.first()), 2);
}

void PrintCupsTest::cancelledBatchPrintsNothingAndKeepsTheRecord()
{
    requireQueue();
    prepare({Qt::red, Qt::green, Qt::blue});
    m_settings.PrintScale = 75;
    const RegistrySettings before = m_settings;
    m_dialog.confirm = false;
    m_dialog.answer = [](PagePrintSettings &print) { print.scale = 20; };
    RecordingProgress progress;
    const int jobsBefore = jobCount();
    printAllPages(nullptr, m_settings, m_pages, progress, &m_dialog);

    QCOMPARE(m_dialog.offered.size(), 1);
    QCOMPARE(m_dialog.offered.first().scale, 75.0);
    QCOMPARE(m_dialog.offered.first().jobName, u"Arvok Pagorra0"_s);
    QCOMPARE(m_settings, before);
    QVERIFY(progress.events.isEmpty());

    // Pages without an image (no run yet, a stale page index): no dialog, nothing printed.
    PageSet empty;
    empty.setCurrentPageIndex(5);
    printCurrentPage(nullptr, m_settings, empty, &m_dialog);
    printAllPages(nullptr, m_settings, empty, progress, &m_dialog);
    QCOMPARE(empty.currentPageIndex(), 0);
    QCOMPARE(m_dialog.offered.size(), 1);
    QCOMPARE(jobCount(), jobsBefore);
}

void PrintCupsTest::cancelDuringBatchStopsBeforeTheNextPage()
{
    requireQueue();
    prepare({Qt::red, Qt::green, Qt::blue, Qt::yellow});
    m_dialog.answer = [](PagePrintSettings &print) {
        print.fit = true;
        print.centre = true;
        print.extra = printcode::Greyscale;
    };
    RecordingProgress progress(-1, 1);
    const int jobsBefore = jobCount();
    printAllPages(nullptr, m_settings, m_pages, progress, &m_dialog);

    QCOMPARE(jobCount() - jobsBefore, 2);
    QCOMPARE(progress.events.join(u','), u"begin 4,value 1,end"_s);
    const QMap<QString, QString> pdfs = waitForPdfs(2);
    QCOMPARE(pdfs.keys(), (QStringList{u"Arvok Pagorra0"_s, u"Arvok Pagorra1"_s}));
    // The greyscale choice, which the record does not keep, reached the page printed
    // without a dialog: its green comes out grey.
    const QImage paper = renderFirstPage(pdfs.value(u"Arvok Pagorra1"_s), m_scratch);
    const QColor middle = paper.pixelColor(paper.width() / 2, paper.height() / 2);
    QVERIFY2(qAbs(middle.red() - middle.green()) < 10 && qAbs(middle.green() - middle.blue()) < 10,
             qPrintable(middle.name()));
    QVERIFY(!nearColour(middle, Qt::white));
}

QTEST_MAIN(PrintCupsTest)
#include "printcups_test.moc"
