// Prints through the local CUPS PDF queue set up by scripts/print-setup.sh and reads the
// PDF files that arrive back. Skips where no CUPS server with that queue is reachable.

#include "core/registrystore.h"
#include "core/settings.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/printcommands.h"
#include "output/printdialog.h"
#include "output/printsettings.h"

#include "writer_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

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

QImage renderFirstPage(const QString &path, const QTemporaryDir &scratch)
{
    const QString prefix = scratch.filePath(QFileInfo(path).completeBaseName());
    run(u"pdftoppm"_s, {u"-r"_s, u"18"_s, u"-singlefile"_s, u"-png"_s, path, prefix});
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

} // namespace

class PrintCupsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void batchPrintsEveryPageWithTheFirstPagesChoices();
    void confirmedChoicesAreOfferedAgain();
    void cancelledBatchPrintsNothingAndKeepsTheRecord();
    void cancelDuringBatchStopsBeforeTheNextPage();
    void singlePageBatchIsPrintPage();
    void cleanupTestCase();

  private:
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
};

void PrintCupsTest::initTestCase()
{
    if (!run(u"lpstat"_s, {u"-r"_s}).contains(u"is running"_s))
        QSKIP("No CUPS scheduler is running (scripts/print-setup.sh could not start one); printing not tested.");
    m_queue = printerIndexOf(Queue);
    if (m_queue < 0)
        QSKIP("The CUPS queue PagorraPDF is missing (scripts/print-setup.sh adds it); printing not tested.");
    m_outDir = pdfOutputDir();
    const QStringList existing = pdfFiles();
    m_seen = {existing.begin(), existing.end()};
    setReportPresenter([](const ErrorReport &report) {
        QFAIL(qPrintable(u"unexpected error report: %1 %2"_s.arg(report.routineName, report.systemError)));
    });
}

void PrintCupsTest::cleanupTestCase()
{
    setReportPresenter({});
    for (const QString &path : std::as_const(m_received))
        QFile::remove(path);
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
}

void PrintCupsTest::batchPrintsEveryPageWithTheFirstPagesChoices()
{
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
    prepare({Qt::black}, false);
    m_dialog.answer = [queue = m_queue](PagePrintSettings &print) {
        print.printerIndex = queue;
        print.copies = 2;
        print.scale = 50;
    };
    printCurrentPage(nullptr, m_settings, m_pages, &m_dialog);
    QCOMPARE(m_settings.PrintCopies, 2);
    QCOMPARE(m_settings.PrintScale, 50.0);

    // A restart: the record is saved at exit and loaded afresh from the per-user file.
    QTemporaryDir config;
    const RegistryStore store(config.filePath(u"settings.json"_s));
    QVERIFY(saveRegistrySettings(m_settings, store));
    RegistrySettings restarted;
    loadRegistrySettings(restarted, store);
    QCOMPARE(restarted, m_settings);

    // The next dialog opens with those choices; this time the user cancels.
    m_dialog.confirm = false;
    printCurrentPage(nullptr, restarted, m_pages, &m_dialog);
    QCOMPARE(m_dialog.offered.size(), 2);
    const PagePrintSettings &again = m_dialog.offered.at(1);
    QCOMPARE(again.copies, 2);
    QCOMPARE(again.scale, 50.0);
    QCOMPARE(again.printerIndex, m_queue);
    QCOMPARE(again.jobName, u"Arvok Pagorra"_s);

    const QMap<QString, QString> pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.keys(), QStringList{u"Arvok Pagorra"_s});
    // Half size at the printable area's corner: black there, white in the middle; two copies.
    const QImage paper = renderFirstPage(pdfs.first(), m_scratch);
    QVERIFY(nearColour(paper.pixelColor(paper.width() / 5, paper.height() / 10), Qt::black));
    QVERIFY(nearColour(paper.pixelColor(paper.width() / 2, paper.height() / 2), Qt::white));
    QCOMPARE(pdfPageCount(pdfs.first()), 2);
}

void PrintCupsTest::cancelledBatchPrintsNothingAndKeepsTheRecord()
{
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
    QVERIFY(m_settings == before);
    QVERIFY(progress.events.isEmpty());
    QCOMPARE(jobCount(), jobsBefore);
}

void PrintCupsTest::cancelDuringBatchStopsBeforeTheNextPage()
{
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

void PrintCupsTest::singlePageBatchIsPrintPage()
{
    prepare({Qt::green});
    m_dialog.answer = [](PagePrintSettings &print) { print.fit = true; };
    RecordingProgress progress;
    printAllPages(nullptr, m_settings, m_pages, progress, &m_dialog);

    QCOMPARE(m_dialog.offered.size(), 1);
    QCOMPARE(m_dialog.offered.first().jobName, u"Arvok Pagorra"_s);
    QVERIFY(m_settings.PrintFit);
    QVERIFY(progress.events.isEmpty());
    QCOMPARE(waitForPdfs(1).keys(), QStringList{u"Arvok Pagorra"_s});
}

QTEST_MAIN(PrintCupsTest)
#include "printcups_test.moc"
