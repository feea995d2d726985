// Printing end to end: the print commands through the local CUPS PDF queue that
// scripts/print-setup.sh sets up, the PDF files that arrive rendered back by poppler, and the
// real print dialog seeded and read back. Skips where no CUPS server with the queue runs.
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "generation/generationrun.h"
#include "generation/pageset.h"
#include "output/printcommands.h"
#include "output/printdialog.h"
#include "output/printsettings.h"

#include "writer_support.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImageReader>
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
        configurePrinter(printer, print);
        return confirm;
    }
};

// Where cups-pdf puts the printing user's files: its Out setting, ${HOME} being that user's home.
QString pdfOutputDir()
{
    QFile conf(u"/etc/cups/cups-pdf.conf"_s);
    conf.open(QIODevice::ReadOnly);
    const QRegularExpression outLine(u"^Out\\s+(\\S+)"_s, QRegularExpression::MultilineOption);
    QString out = outLine.match(QString::fromLocal8Bit(conf.readAll())).captured(1);
    const passwd *user = getpwuid(getuid());
    return (out.isEmpty() ? u"${HOME}/PDF"_s : out).replace(u"${HOME}"_s, QString::fromLocal8Bit(user->pw_dir));
}

// The ids of the jobs CUPS has accepted for the queue so far, finished or not.
QSet<QString> jobs()
{
    QSet<QString> ids;
    const QString listed = QString::fromLocal8Bit(runTool(u"lpstat"_s, {u"-W"_s, u"all"_s, u"-o"_s, Queue}));
    for (auto m = QRegularExpression(u"^PagorraPDF-(\\d+)"_s, QRegularExpression::MultilineOption).globalMatch(listed);
         m.hasNext();)
        ids << m.next().captured(1);
    return ids;
}

// How many pixels of row y lie between black and white at the edge that ends the row's first
// black run of 200 pixels or more (a picture's black half, not the title's strokes); -1: none.
int edgeWidth(const QImage &paper, int y)
{
    int x = 0;
    for (int run = 0; x < paper.width() && run < 200; ++x)
        run = qGray(paper.pixel(x, y)) <= 8 ? run + 1 : 0;
    while (x < paper.width() && qGray(paper.pixel(x, y)) <= 8)
        ++x;
    const int from = x;
    while (x < paper.width() && qGray(paper.pixel(x, y)) < 247)
        ++x;
    return x < paper.width() ? x - from : -1;
}

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

// The first colour met walking from `from` in steps of `step` that is not the white paper.
QColor firstInk(const QImage &paper, QPoint from, QPoint step)
{
    for (QPoint p = from; paper.rect().contains(p); p += step) {
        if (!near(paper.pixelColor(p), Qt::white))
            return paper.pixelColor(p);
    }
    return Qt::white;
}

} // namespace

class PrintCupsTest : public QObject {
    Q_OBJECT

    int m_queue = -1;
    QString m_outDir;
    QSet<QString> m_jobsBefore; // other programs may print to the queue meanwhile: their jobs are not ours
    PageSet m_pages;
    RegistrySettings m_settings;
    ScriptedPrintDialog m_dialog;
    RecordingProgress m_progress;
    QTemporaryDir m_scratch;

    QSet<QString> newJobs() const { return jobs() - m_jobsBefore; }

    // Waits until the PDF files of the jobs `ours` have arrived; returns them by job title, each as
    // the first sheet drawn by poppler at `dpi`. cups-pdf ends each file name in the job id.
    QMap<QString, QImage> waitForPdfs(const QSet<QString> &ours, int dpi = 18, int *sheets = nullptr,
                                      QString *text = nullptr)
    {
        QMap<QString, QImage> byTitle;
        QElapsedTimer timer;
        timer.start();
        while (byTitle.size() < ours.size() && timer.elapsed() < 90000) {
            QTest::qWait(250);
            for (const QString &name : QDir(m_outDir).entryList({u"*.pdf"_s}, QDir::Files)) {
                const QString path = QDir(m_outDir).filePath(name);
                const QString title = pdfInfo(path, u"Title"_s).remove(u'(').remove(u')');
                const QString job = QRegularExpression(u"-job_(\\d+)\\.pdf$"_s).match(name).captured(1);
                if (!ours.contains(job) || title.isEmpty()) // an empty title: still being written
                    continue;
                const QString png = m_scratch.filePath(name);
                runTool(u"pdftoppm"_s, {u"-r"_s, QString::number(dpi), u"-singlefile"_s, u"-png"_s, path, png});
                byTitle.insert(title, QImage(png + u".png"_s));
                if (sheets)
                    *sheets = pdfPageCount(path);
                if (text)
                    *text = QString::fromUtf8(runTool(u"pdftotext"_s, {path, u"-"_s}));
                QFile::remove(path);
            }
        }
        return byTitle;
    }

    // Pages of one colour each; settings printing to the queue unless the dialog picks it.
    void prepare(const QList<QColor> &colours, bool queueInRecord = true)
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
        m_progress = RecordingProgress();
        m_jobsBefore = jobs();
    }

  private slots:
    void initTestCase()
    {
        if (runTool(u"lpstat"_s, {u"-r"_s}).contains("is running"))
            m_queue = printerIndexOf(Queue);
        m_outDir = pdfOutputDir();
        QImageReader::setAllocationLimit(256); // a sheet at 600 dpi
        setReportPresenter([](const ErrorReport &report) { QFAIL(qPrintable(report.systemError)); });
    }
    void cleanupTestCase() { setReportPresenter({}); }
    void init()
    {
        const QByteArray test = QTest::currentTestFunction();
        if (m_queue < 0 && test != "placementOnThePaper")
            QSKIP("No CUPS scheduler with the queue PagorraPDF (scripts/print-setup.sh); printing not tested.");
    }

    // Where an 800 x 600 page lands on an area of 700 x 500 points; 96 page pixels make an inch.
    void placementOnThePaper()
    {
        const auto place = [](bool centre, double scale, double left = 0, double top = 0, int units = 0) {
            PagePrintSettings print;
            print.centre = centre;
            print.scale = scale;
            print.left = left;
            print.top = top;
            print.units = std::uint8_t(units);
            return print;
        };
        const struct {
            PagePrintSettings print;
            QRectF expected;
        } rows[] = {
            {place(true, 50, 1, -0.5, printcode::Inches), {272, 101.5, 300, 225}},
            {place(false, 50, 2.54, 0, printcode::Centimetres), {72, 0, 300, 225}},
            {place(false, 50, 25.4, 50.8, 77), {72, 144, 300, 225}}, // unknown units: millimetres
            {place(false, -40), {0, 0, 600, 450}},                   // counts as 100 %
            // Nothing may fall off the printable area: too large is shrunk, offsets stop at the edges.
            {place(false, 200), {0, 0, 2000 / 3.0, 500}},
            {place(true, 200), {50 / 3.0, 0, 2000 / 3.0, 500}},
            {place(false, 100, 200, -30, printcode::Points), {100, 0, 600, 450}},
        };
        for (const auto &row : rows) {
            const QRectF got = printTargetRect(row.print, QSizeF(800, 600), QSizeF(700, 500));
            QVERIFY2((got.topLeft() - row.expected.topLeft()).manhattanLength() < 1e-9 &&
                         qAbs(got.width() - row.expected.width()) + qAbs(got.height() - row.expected.height()) < 1e-9,
                     qPrintable(u"got %1,%2 %3x%4"_s.arg(got.x()).arg(got.y()).arg(got.width()).arg(got.height())));
        }
    }

    // The real dialog opens on the stored placement and hands back what is changed in it:
    // other units keep the distance on the paper.
    void realDialogIsSeededAndReadBack()
    {
        for (const bool confirm : {true, false}) {
            PagePrintSettings print;
            print.printerIndex = m_queue;
            print.centre = true;
            print.scale = 50;
            print.left = 1.5;
            print.units = printcode::Inches;
            QPrinter printer;
            configurePrinter(printer, print);
            QTimer::singleShot(0, this, [confirm] {
                auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
                auto *units = dialog->findChild<QComboBox *>(u"cboPrintUnits"_s);
                units->setCurrentIndex(units->findData(int(printcode::Points)));
                confirm ? dialog->accept() : dialog->reject();
            });
            QCOMPARE(QtPrintDialog().ask(nullptr, printer, print), confirm);
            QCOMPARE(u"%1 %2 %3 %4 %5"_s.arg(print.scale)
                         .arg(print.centre)
                         .arg(print.left)
                         .arg(print.units)
                         .arg(print.printerIndex),
                     u"50 1 %1 %2"_s.arg(confirm ? u"108 2"_s : u"1.5 1"_s).arg(m_queue));
        }
    }

    // The default 800 x 600 page at the default settings on A4 portrait: every edge on the
    // paper. With one page, Print all pages is Print page: one dialog, a job named after the window.
    void defaultPageOnA4IsPrintedWhole()
    {
        prepare({Qt::blue});
        QImage framed = m_pages.page(0).image();
        QPainter(&framed).fillRect(framed.rect().adjusted(3, 3, -3, -3), Qt::red);
        m_pages.page(0).setImage(framed);
        m_settings.PrintPaperSize = 9; // A4
        printAllPages(nullptr, m_settings, m_pages, m_progress, &m_dialog);
        QCOMPARE(m_dialog.offered.size(), 1);
        QVERIFY(m_progress.events.isEmpty());

        const QMap<QString, QImage> pdfs = waitForPdfs(newJobs(), 144);
        QCOMPARE(pdfs.keys(), QStringList{u"Arvok Pagorra"_s});
        const QImage paper = pdfs.first();
        // The page's blue frame, 3 page pixels wide, is met on every side before its red inside.
        const int x = paper.width() / 3, y = paper.height() / 6, right = paper.width() - 1, bottom = paper.height() - 1;
        for (const auto &[from, step] : {std::pair{QPoint(0, y), QPoint(1, 0)},
                                         {QPoint(right, y), QPoint(-1, 0)},
                                         {QPoint(x, 0), QPoint(0, 1)},
                                         {QPoint(x, bottom), QPoint(0, -1)}})
            QVERIFY2(near(firstInk(paper, from, step), Qt::blue),
                     qPrintable(u"edge cut off walking %1,%2"_s.arg(step.x()).arg(step.y())));
    }

    // A page made at 300 pixels per inch prints sharper than at 96: the edge in a picture half
    // black, half white spans fewer dots; its title stays text either way.
    void printedAtThePagesResolutionWithTextAsText()
    {
        QImage halves(600, 400, QImage::Format_RGB32);
        halves.fill(Qt::white);
        QPainter(&halves).fillRect(0, 0, 300, 400, Qt::black);
        const QString picture = m_scratch.filePath(u"halves.png"_s);
        QVERIFY(halves.save(picture));
        QList<int> widths;
        for (const int dpi : {96, 300}) {
            prepare({});
            m_settings.AddTitle = 1;
            m_settings.Title = u"Sharpness"_s;
            m_settings.Output.Resolution = std::int16_t(dpi);
            NullProgress progress;
            GenerationRun(m_settings, {picture, picture}, progress).run(m_pages);
            printCurrentPage(nullptr, m_settings, m_pages, &m_dialog);
            QString text;
            const QImage paper = waitForPdfs(newJobs(), 600, nullptr, &text).value(u"Arvok Pagorra"_s);
            QVERIFY2(text.contains(u"Sharpness"_s), qPrintable(text));
            int top = 0; // of the first cell, whose picture fills its 88 layout pixels' height
            while (top < paper.height() && edgeWidth(paper, top) < 0)
                ++top;
            widths << edgeWidth(paper, top + 44 * 600 / 96);
        }
        QVERIFY2(widths[1] > 0 && widths[1] * 2 <= widths[0], qPrintable(u"%1 %2"_s.arg(widths[0]).arg(widths[1])));
    }

    void batchPrintsEveryPageWithTheFirstPagesChoices()
    {
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
        prepare(colours, false);
        m_dialog.answer = [queue = m_queue](PagePrintSettings &print) {
            print.printerIndex = queue;
            print.fit = print.centre = true;
            print.orientation = printcode::Landscape;
            print.paperSize = 9; // A4
        };
        printAllPages(nullptr, m_settings, m_pages, m_progress, &m_dialog);
        QCOMPARE(m_dialog.offered.size(), 1);
        QCOMPARE(m_progress.events.join(u','), u"begin 3,value 1,value 2,end"_s);
        QCOMPARE(lastAction(), u"Starting batch printing"_s);
        QVERIFY(m_settings.PrinterIndex == m_queue && m_settings.PrintFit && m_settings.PrintCentre);
        const QSet<QString> ours = newJobs();
        QCOMPARE(ours.size(), 3);

        const QMap<QString, QImage> pdfs = waitForPdfs(ours);
        QCOMPARE(pdfs.keys(), (QStringList{u"Arvok Pagorra0"_s, u"Arvok Pagorra1"_s, u"Arvok Pagorra2"_s}));
        for (int k = 0; k < 3; ++k) {
            const QImage paper = pdfs.value(u"Arvok Pagorra%1"_s.arg(k));
            // CUPS turns landscape jobs onto the portrait sheet: the 4:3 page, fitted to the
            // landscape area, stands upright and covers most of the sheet's height, where portrait
            // would leave the upper fifth white. Pages printed without a dialog must show it too.
            QVERIFY(paper.width() < paper.height());
            const int x = paper.width() / 2;
            QVERIFY2(near(paper.pixelColor(x, paper.height() / 6), colours.at(k)), "page not printed landscape");
            QVERIFY(near(paper.pixelColor(x, paper.height() / 2), colours.at(k)));
            // Centred: white bands above and below the image.
            QVERIFY(near(paper.pixelColor(x, 1), Qt::white) &&
                    near(paper.pixelColor(x, paper.height() - 2), Qt::white));
        }
    }

    void confirmedChoicesAreOfferedAgain()
    {
        prepare({Qt::black}, false);
        // All ten stored choices differ from the defaults, so none can be lost on the way.
        m_dialog.answer = [queue = m_queue](PagePrintSettings &print) {
            print.centre = print.fit = true;
            print.copies = 2;
            print.printerIndex = queue;
            print.left = 3;
            print.top = 2;
            print.orientation = printcode::Landscape;
            print.paperSize = 11; // A5
            print.scale = 50;
            print.units = printcode::Centimetres;
        };
        printCurrentPage(nullptr, m_settings, m_pages, &m_dialog);
        PagePrintSettings answered = m_dialog.offered[0];
        m_dialog.answer(answered);
        QCOMPARE(u"%1 %2 %3"_s.arg(m_settings.PrintPaperSize).arg(m_settings.PrintTop).arg(m_settings.PrintUnits),
                 u"11 2 3"_s);

        // The next dialog opens with all ten (their round trip through the store is the
        // persistence tests' part); this time the user cancels.
        m_dialog.confirm = false;
        m_dialog.answer = {};
        printCurrentPage(nullptr, m_settings, m_pages, &m_dialog);
        QCOMPARE(m_dialog.offered.size(), 2);
        QCOMPARE(m_dialog.offered[1], answered);

        // Half the fitted size near the middle of the sheet, white paper around it; two copies.
        int sheets = 0;
        const QImage paper = waitForPdfs(newJobs(), 18, &sheets).value(u"Arvok Pagorra"_s);
        QVERIFY(near(paper.pixelColor(paper.width() / 2, paper.height() / 2), Qt::black));
        QVERIFY(near(paper.pixelColor(2, 2), Qt::white) &&
                near(paper.pixelColor(paper.width() - 3, paper.height() - 3), Qt::white));
        QCOMPARE(sheets, 2);
    }

    // A cancelled dialog prints nothing and keeps the record; Cancel during the batch stops
    // before the next page, and the greyscale choice the record does not keep reaches the pages
    // printed without a dialog.
    void cancellingABatch()
    {
        prepare({Qt::red, Qt::green, Qt::blue, Qt::yellow});
        m_settings.PrintScale = 75;
        const RegistrySettings before = m_settings;
        m_dialog.confirm = false;
        m_dialog.answer = [](PagePrintSettings &print) {
            print.fit = print.centre = true;
            print.extra = printcode::Greyscale;
        };
        printAllPages(nullptr, m_settings, m_pages, m_progress, &m_dialog);
        QCOMPARE(m_dialog.offered[0].scale, 75.0);
        QCOMPARE(m_settings, before);
        QVERIFY(m_progress.events.isEmpty());
        QVERIFY(newJobs().isEmpty());

        m_dialog.confirm = true;
        m_progress = RecordingProgress(-1, 1);
        printAllPages(nullptr, m_settings, m_pages, m_progress, &m_dialog);
        const QSet<QString> ours = newJobs();
        QCOMPARE(ours.size(), 2);
        QCOMPARE(m_progress.events.join(u','), u"begin 4,value 1,end"_s);
        const QMap<QString, QImage> pdfs = waitForPdfs(ours);
        QCOMPARE(pdfs.keys(), (QStringList{u"Arvok Pagorra0"_s, u"Arvok Pagorra1"_s}));
        const QImage paper = pdfs.value(u"Arvok Pagorra1"_s);
        const QColor middle = paper.pixelColor(paper.width() / 2, paper.height() / 2);
        QVERIFY2(qAbs(middle.red() - middle.green()) < 10 && qAbs(middle.green() - middle.blue()) < 10,
                 qPrintable(middle.name()));
        QVERIFY(!near(middle, Qt::white));
    }
};

QTEST_MAIN(PrintCupsTest)
#include "printcups_test.moc"
