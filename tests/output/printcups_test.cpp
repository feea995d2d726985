// Prints through the local CUPS PDF queue set up by scripts/print-setup.sh and reads the
// PDF files that arrive back. Skips where no CUPS server with that queue is reachable.

#include "core/registrystore.h"
#include "core/runprogress.h"
#include "core/settingspersistence.h"
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/printcommands.h"
#include "output/printdialog.h"
#include "output/printsettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace pagorra;

namespace {

const QString Queue = QStringLiteral("PagorraPDF");

// Answers the dialog as a user would: records what it was offered, then confirms with
// the chosen printer and options, or cancels.
class ScriptedPrintDialog : public PrintDialog {
  public:
    bool confirm = true;
    std::function<void(PagePrintSettings &)> answer;
    QList<PagePrintSettings> offered;

    bool ask(QWidget *, QPrinter &printer, PagePrintSettings &print) override
    {
        offered.append(print);
        if (!confirm)
            return false;
        if (answer)
            answer(print);
        configurePrinter(printer, print);
        return true;
    }
};

class RecordingProgress : public RunProgress {
  public:
    int cancelAfterValue = -1;
    QStringList events;
    int current = 0;

    void begin(int maximum) override { events << QStringLiteral("begin %1").arg(maximum); }
    void yield() override {}
    bool cancelRequested() const override { return cancelAfterValue >= 0 && current >= cancelAfterValue; }
    void setValue(int value) override
    {
        current = value;
        events << QStringLiteral("value %1").arg(value);
    }
    void end() override { events << QStringLiteral("end"); }
};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Where cups-pdf puts the files of the user who prints: the Out setting of its
// configuration with ${HOME} being that user's home directory from the password database.
QString pdfOutputDir()
{
    QString out = QStringLiteral("${HOME}/PDF");
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QStringList lines = QString::fromLocal8Bit(conf.readAll()).split(u'\n');
        for (const QString &line : lines) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(QStringLiteral("Out ")) || trimmed.startsWith(QStringLiteral("Out\t")))
                out = trimmed.mid(4).trimmed();
        }
    }
    const passwd *user = getpwuid(getuid());
    const QString home = user ? QString::fromLocal8Bit(user->pw_dir) : QDir::homePath();
    out.replace(QStringLiteral("${HOME}"), home);
    return out;
}

QSet<QString> pdfFiles(const QString &dir)
{
    const QStringList names = QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    return {names.begin(), names.end()};
}

QString pdfTitle(const QString &path)
{
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Title:\\s*\\(?(.*?)\\)?\\s*$"), QRegularExpression::MultilineOption)
            .match(info);
    return match.hasMatch() ? match.captured(1) : QString();
}

int pdfPageCount(const QString &path)
{
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s*(\\d+)"), QRegularExpression::MultilineOption).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QImage renderFirstPage(const QString &path, const QTemporaryDir &scratch)
{
    const QString prefix = scratch.filePath(QFileInfo(path).completeBaseName());
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("18"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
         QStringLiteral("1"), QStringLiteral("-singlefile"), QStringLiteral("-png"), path, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

// Jobs CUPS has accepted for the queue so far, finished or not.
int jobCount()
{
    return int(run(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), Queue})
                   .split(u'\n', Qt::SkipEmptyParts)
                   .size());
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
    // Waits until `count` new PDF files have arrived; returns them by job title.
    QMap<QString, QString> waitForPdfs(int count);
    void fillPages(PageSet &pages, const QList<QColor> &colours);

    int m_queueIndex = -1;
    QString m_outDir;
    QSet<QString> m_seen;
    QStringList m_received;
    RegistrySettings m_settings;
};

void PrintCupsTest::initTestCase()
{
    if (!run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).contains(QStringLiteral("is running")))
        QSKIP("No CUPS scheduler is running (scripts/print-setup.sh could not start one); printing not tested.");
    m_queueIndex = printerIndexOf(Queue);
    if (m_queueIndex < 0)
        QSKIP("The CUPS queue PagorraPDF is missing (scripts/print-setup.sh adds it); printing not tested.");
    m_outDir = pdfOutputDir();
    m_seen = pdfFiles(m_outDir);
    setReportPresenter([](const ErrorReport &report) {
        QFAIL(qPrintable(QStringLiteral("unexpected error report: %1 %2").arg(report.routineName, report.systemError)));
    });
}

void PrintCupsTest::cleanupTestCase()
{
    setReportPresenter({});
    for (const QString &path : std::as_const(m_received))
        QFile::remove(path);
}

QMap<QString, QString> PrintCupsTest::waitForPdfs(int count)
{
    QMap<QString, QString> byTitle;
    QElapsedTimer timer;
    timer.start();
    while (byTitle.size() < count && timer.elapsed() < 90000) {
        QTest::qWait(250);
        const QSet<QString> now = pdfFiles(m_outDir);
        for (const QString &name : now) {
            if (m_seen.contains(name))
                continue;
            const QString path = QDir(m_outDir).filePath(name);
            const QString title = pdfTitle(path);
            if (title.isEmpty())
                continue; // still being written
            m_seen.insert(name);
            m_received << path;
            byTitle.insert(title, path);
        }
    }
    return byTitle;
}

void PrintCupsTest::fillPages(PageSet &pages, const QList<QColor> &colours)
{
    pages.clear();
    for (qsizetype i = 0; i < colours.size(); ++i) {
        Page &page = i == 0 ? pages.page(0) : pages.addPage();
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(colours.at(i));
        page.setImage(image);
    }
}

void PrintCupsTest::batchPrintsEveryPageWithTheFirstPagesChoices()
{
    PageSet pages;
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
    fillPages(pages, colours);
    RegistrySettings settings = defaultSettings();
    ScriptedPrintDialog dialog;
    const int queue = m_queueIndex;
    dialog.answer = [queue](PagePrintSettings &print) {
        print.printerIndex = queue;
        print.fit = true;
        print.centre = true;
        print.orientation = printcode::Landscape;
        print.paperSize = 9; // A4
    };
    RecordingProgress progress;
    const int jobsBefore = jobCount();

    printAllPages(nullptr, settings, pages, progress, &dialog);

    QCOMPARE(dialog.offered.size(), 1);
    QCOMPARE(progress.events, (QStringList{QStringLiteral("begin 3"), QStringLiteral("value 1"),
                                           QStringLiteral("value 2"), QStringLiteral("end")}));
    QCOMPARE(lastAction(), QStringLiteral("Starting batch printing"));
    QCOMPARE(settings.PrinterIndex, queue);
    QVERIFY(settings.PrintFit && settings.PrintCentre);
    QCOMPARE(settings.PrintOrientation, printcode::Landscape);
    QCOMPARE(jobCount() - jobsBefore, 3);

    const QMap<QString, QString> pdfs = waitForPdfs(3);
    QCOMPARE(pdfs.keys(), (QStringList{QStringLiteral("Arvok Pagorra0"), QStringLiteral("Arvok Pagorra1"),
                                       QStringLiteral("Arvok Pagorra2")}));
    QTemporaryDir scratch;
    for (int k = 0; k < 3; ++k) {
        const QImage paper = renderFirstPage(pdfs.value(QStringLiteral("Arvok Pagorra%1").arg(k)), scratch);
        QVERIFY(!paper.isNull());
        // CUPS turns landscape jobs onto the portrait sheet: the 4:3 page, fitted to the
        // landscape area, stands upright and covers most of the sheet's height. Portrait
        // would leave the upper fifth white. Every page must show it, also those printed
        // without a dialog.
        QCOMPARE(paper.width() < paper.height(), true);
        QVERIFY2(nearColour(paper.pixelColor(paper.width() / 2, paper.height() / 6), colours.at(k)),
                 "page not printed landscape");
        QVERIFY(nearColour(paper.pixelColor(paper.width() / 2, paper.height() / 2), colours.at(k)));
        // Centred: white bands above and below the image.
        QVERIFY(nearColour(paper.pixelColor(paper.width() / 2, 1), Qt::white));
        QVERIFY(nearColour(paper.pixelColor(paper.width() / 2, paper.height() - 2), Qt::white));
    }
}

void PrintCupsTest::confirmedChoicesAreOfferedAgain()
{
    PageSet pages;
    fillPages(pages, {Qt::black});
    RegistrySettings settings = defaultSettings();
    ScriptedPrintDialog dialog;
    const int queue = m_queueIndex;
    dialog.answer = [queue](PagePrintSettings &print) {
        print.printerIndex = queue;
        print.copies = 2;
        print.scale = 50;
    };
    printCurrentPage(nullptr, settings, pages, &dialog);
    QCOMPARE(settings.PrintCopies, 2);
    QCOMPARE(settings.PrintScale, 50.0);
    QCOMPARE(settings.PrinterIndex, queue);

    // A restart: the record is saved at exit and loaded afresh from the per-user file.
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const RegistryStore store(config.filePath(QStringLiteral("settings.json")));
    QVERIFY(saveRegistrySettings(settings, store));
    RegistrySettings restarted;
    loadRegistrySettings(restarted, store);
    QCOMPARE(restarted, settings);
    settings = restarted;

    // The next dialog opens with those choices; this time the user cancels.
    dialog.confirm = false;
    printCurrentPage(nullptr, settings, pages, &dialog);
    QCOMPARE(dialog.offered.size(), 2);
    QCOMPARE(dialog.offered.at(1).copies, 2);
    QCOMPARE(dialog.offered.at(1).scale, 50.0);
    QCOMPARE(dialog.offered.at(1).printerIndex, queue);
    QCOMPARE(dialog.offered.at(1).jobName, QStringLiteral("Arvok Pagorra"));
    QCOMPARE(settings.PrintCopies, 2);

    const QMap<QString, QString> pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.keys(), QStringList{QStringLiteral("Arvok Pagorra")});
    // Half size at the printable area's corner: black there, white in the middle.
    QTemporaryDir scratch;
    const QImage paper = renderFirstPage(pdfs.first(), scratch);
    QVERIFY(nearColour(paper.pixelColor(paper.width() / 5, paper.height() / 10), Qt::black));
    QVERIFY(nearColour(paper.pixelColor(paper.width() / 2, paper.height() / 2), Qt::white));
    // Two copies of the one page.
    QCOMPARE(pdfPageCount(pdfs.first()), 2);
}

void PrintCupsTest::cancelledBatchPrintsNothingAndKeepsTheRecord()
{
    PageSet pages;
    fillPages(pages, {Qt::red, Qt::green, Qt::blue});
    RegistrySettings settings = defaultSettings();
    settings.PrinterIndex = m_queueIndex;
    settings.PrintScale = 75;
    const RegistrySettings before = settings;
    ScriptedPrintDialog dialog;
    dialog.confirm = false;
    RecordingProgress progress;
    const int jobsBefore = jobCount();

    printAllPages(nullptr, settings, pages, progress, &dialog);

    QCOMPARE(dialog.offered.size(), 1);
    QCOMPARE(dialog.offered.first().scale, 75.0);
    QCOMPARE(dialog.offered.first().jobName, QStringLiteral("Arvok Pagorra0"));
    QVERIFY(settings == before);
    QVERIFY(progress.events.isEmpty());
    QCOMPARE(jobCount(), jobsBefore);
}

void PrintCupsTest::cancelDuringBatchStopsBeforeTheNextPage()
{
    PageSet pages;
    fillPages(pages, {Qt::red, Qt::green, Qt::blue, Qt::yellow});
    RegistrySettings settings = defaultSettings();
    settings.PrinterIndex = m_queueIndex;
    ScriptedPrintDialog dialog;
    dialog.answer = [](PagePrintSettings &print) {
        print.fit = true;
        print.centre = true;
        print.extra = printcode::Greyscale;
    };
    RecordingProgress progress;
    progress.cancelAfterValue = 1;
    const int jobsBefore = jobCount();

    printAllPages(nullptr, settings, pages, progress, &dialog);

    QCOMPARE(jobCount() - jobsBefore, 2);
    QCOMPARE(progress.events,
             (QStringList{QStringLiteral("begin 4"), QStringLiteral("value 1"), QStringLiteral("end")}));
    const QMap<QString, QString> pdfs = waitForPdfs(2);
    QCOMPARE(pdfs.keys(), (QStringList{QStringLiteral("Arvok Pagorra0"), QStringLiteral("Arvok Pagorra1")}));
    // The greyscale choice, which the record does not keep, reached the page printed
    // without a dialog: its green comes out grey.
    QTemporaryDir scratch;
    const QImage paper = renderFirstPage(pdfs.value(QStringLiteral("Arvok Pagorra1")), scratch);
    const QColor middle = paper.pixelColor(paper.width() / 2, paper.height() / 2);
    QVERIFY2(qAbs(middle.red() - middle.green()) < 10 && qAbs(middle.green() - middle.blue()) < 10,
             qPrintable(middle.name()));
    QVERIFY(!nearColour(middle, Qt::white));
}

void PrintCupsTest::singlePageBatchIsPrintPage()
{
    PageSet pages;
    fillPages(pages, {Qt::green});
    RegistrySettings settings = defaultSettings();
    ScriptedPrintDialog dialog;
    const int queue = m_queueIndex;
    dialog.answer = [queue](PagePrintSettings &print) {
        print.printerIndex = queue;
        print.fit = true;
    };
    RecordingProgress progress;

    printAllPages(nullptr, settings, pages, progress, &dialog);

    QCOMPARE(dialog.offered.size(), 1);
    QCOMPARE(dialog.offered.first().jobName, QStringLiteral("Arvok Pagorra"));
    QVERIFY(settings.PrintFit);
    QVERIFY(progress.events.isEmpty());
    const QMap<QString, QString> pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.keys(), QStringList{QStringLiteral("Arvok Pagorra")});
}

QTEST_MAIN(PrintCupsTest)
#include "printcups_test.moc"
