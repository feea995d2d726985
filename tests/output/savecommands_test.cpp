// The save commands with scripted answers, and the real save dialogs typed into as a user would;
// what they write is read back by ImageMagick, poppler and libtiff.
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/outputformats.h"
#include "output/savecommands.h"

#include "writer_support.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <deque>

using namespace pagorra;
using namespace Qt::StringLiterals;
using namespace pagorra::testing;

namespace {

// Answers the dialogs from a script and keeps what each dialog was opened with.
class ScriptedDialog : public SaveAsDialog {
  public:
    SaveDialogAnswer askSaveFile(QWidget *, const FileDialog &request) override
    {
        requests.push_back(request);
        if (throwOnOpen)
            PAGORRA_RAISE(err::OutOfMemory, u"Out of memory"_s);
        if (answers.empty())
            return {};
        const SaveDialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString askPageFile(QWidget *, PageSaveChoice &choice) override
    {
        ++pageDialogs;
        if (!pageAnswer.isEmpty())
            choice = pageChoice;
        return pageAnswer;
    }

    std::deque<SaveDialogAnswer> answers;
    std::vector<FileDialog> requests;
    bool throwOnOpen = false;
    int pageDialogs = 0;
    QString pageAnswer;
    PageSaveChoice pageChoice;
};

// Acts on the modal file dialog once it is up, while the caller waits in it.
void whenDialogOpens(const std::function<void(QFileDialog *)> &act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(dialog);
    });
}

} // namespace

class SaveCommandsTest : public QObject {
    Q_OBJECT

    QList<ErrorReport> m_reports;
    QTemporaryDir m_dir;
    PageSet m_pages;
    NullProgress m_progress;

    QStringList written() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    void fillPages(int count)
    {
        m_pages.clear();
        for (int k = 1; k <= count; ++k)
            (k == 1 ? m_pages.page(0) : m_pages.addPage()).setImage(flatPage(k));
    }

  private slots:
    void init()
    {
        fileDialog() = FileDialog{};
        pageSaveChoice() = PageSaveChoice{};
        m_reports.clear();
        setReportPresenter([this](const ErrorReport &r) { m_reports << r; });
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        fillPages(3);
    }
    void cleanup() { setReportPresenter({}); }

    void saveAllNamesAndFormats_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("format");
        QTest::newRow("bmp") << u"a.bmp"_s << 1 << u"a1.bmp"_s << u"BMP3"_s;
        QTest::newRow("psd appended") << u"a"_s << 5 << u"a1.psd"_s << u"PSD"_s;
        QTest::newRow("png as jpeg") << u"a.png"_s << 3 << u"a.png1.jpg"_s << u"JPEG"_s;
        QTest::newRow("upper case kept") << u"s.PDF"_s << 7 << u"s1.PDF"_s << u"PDF"_s;
    }
    void saveAllNamesAndFormats()
    {
        QFETCH(QString, typed);
        QFETCH(int, filterIndex);
        ScriptedDialog dialog;
        dialog.answers.push_back({true, u"  "_s + m_dir.filePath(typed) + u"  "_s, filterIndex});
        saveAllPages(nullptr, m_pages, m_progress, dialog);

        QVERIFY(m_reports.isEmpty());
        QCOMPARE(dialog.requests.size(), std::size_t(1));
        QCOMPARE(dialog.requests[0].dialogTitle, u"Save all thumbnail pages as"_s);
        QCOMPARE(dialog.requests[0].filterList, outputFilterList());
        QCOMPARE(dialog.requests[0].flags, 5);
        const QStringList files = written();
        QCOMPARE(files.size(), 3);
        QTEST(files.first(), "first");
        for (const QString &file : files) {
            const QString path = m_dir.filePath(file);
            QTEST(pdfPageCount(path) == 1 ? u"PDF"_s : identify(path + u"[0]"_s, u"%m"_s), "format");
        }
    }

    void filterIndexIsSharedBetweenTheTwoDialogs()
    {
        fillPages(2);
        ScriptedDialog dialog;
        saveAllPages(nullptr, m_pages, m_progress, dialog); // cancelled: writes nothing
        QVERIFY(!saveMultiPage(nullptr, m_pages, m_progress, dialog));
        dialog.answers.push_back({true, m_dir.filePath(u"a"_s), 5});
        saveAllPages(nullptr, m_pages, m_progress, dialog);
        // Multipage opens on the index confirmed in "Save all pages"; an index it does not
        // know writes a TIFF under the name as typed.
        dialog.answers.push_back({true, m_dir.filePath(u"book"_s), 5});
        QVERIFY(saveMultiPage(nullptr, m_pages, m_progress, dialog));
        dialog.answers.push_back({true, m_dir.filePath(u"b"_s), 2});
        QVERIFY(saveMultiPage(nullptr, m_pages, m_progress, dialog));
        saveAllPages(nullptr, m_pages, m_progress, dialog); // cancelled: keeps the index
        saveAllPages(nullptr, m_pages, m_progress, dialog);

        QList<int> indexes;
        for (const FileDialog &request : dialog.requests)
            indexes << request.filterIndex;
        QCOMPARE(indexes, (QList<int>{0, 0, 0, 5, 5, 2, 2}));
        QCOMPARE(dialog.requests[3].dialogTitle, u"Save to multipage image document"_s);
        QCOMPARE(dialog.requests[3].filterList, multipageFilterList());
        QCOMPARE(written(), (QStringList{u"a1.psd"_s, u"a2.psd"_s, u"b.pdf"_s, u"book"_s}));
        QCOMPARE(tiffDirectoryCount(m_dir.filePath(u"book"_s)), 2);
        QCOMPARE(pdfPageCount(m_dir.filePath(u"b.pdf"_s)), 2);
        QVERIFY(m_reports.isEmpty());
    }

    void onePageUsesThePageDialog()
    {
        fillPages(1);
        m_pages.page(0).setImage(richPage());
        m_pages.setCurrentPageIndex(3); // stale index from an earlier run
        ScriptedDialog dialog;
        dialog.pageAnswer = m_dir.filePath(u"single"_s);
        dialog.pageChoice = {3, 30};
        saveAllPages(nullptr, m_pages, m_progress, dialog);
        QVERIFY(!saveMultiPage(nullptr, m_pages, m_progress, dialog));
        QVERIFY(dialog.requests.empty());
        QCOMPARE(dialog.pageDialogs, 2);
        // The JPEG row's extension was added, and the file written at the chosen quality.
        const QString path = m_dir.filePath(u"single.jpg"_s);
        QCOMPARE(identify(path, u"%m"_s), u"JPEG"_s);
        QVERIFY(std::abs(identify(path, u"%Q"_s).toInt() - 30) <= 1);

        PageSet empty;
        savePageAs(nullptr, empty, dialog);
        QCOMPARE(dialog.pageDialogs, 2); // no image, no dialog
    }

    void failuresReachTheHandlerWithTheirRoutineNames()
    {
        const QString notAFolder = m_dir.filePath(u"file"_s);
        QFile(notAFolder).open(QIODevice::WriteOnly);
        ScriptedDialog dialog;
        setLastAction(u"Starting batch printing"_s);
        dialog.answers.push_back({true, notAFolder + u"/x"_s, 8});
        saveAllPages(nullptr, m_pages, m_progress, dialog);
        dialog.throwOnOpen = true;
        QVERIFY(!saveMultiPage(nullptr, m_pages, m_progress, dialog));
        dialog.pageAnswer = notAFolder + u"/y.png"_s;
        m_pages.setCurrentPageIndex(1);
        savePageAs(nullptr, m_pages, dialog);

        QCOMPARE(m_reports.size(), 3);
        QCOMPARE(m_reports[0].routineName, u"cmdSaveAll_Click"_s);
        QCOMPARE(m_reports[0].trappingString, u"Starting batch printing"_s);
        QVERIFY(m_reports[0].systemError.startsWith(u"75 - "_s));
        QCOMPARE(m_reports[1].routineName, u"fncSaveMultiPageFileBitmap_Dialog"_s);
        QCOMPARE(m_reports[1].trappingString, u"saving pages to a single new file"_s);
        QCOMPARE(m_reports[1].systemError, u"7 - Out of memory"_s);
        QCOMPARE(m_reports[2].routineName, u"cmdSave_Click"_s);
        QCOMPARE(written(), QStringList{u"file"_s});
    }

    // The real dialogs: centred over the owner, opened on the remembered entry, and a name
    // typed with blanks around it taken as the path it names, not as one inside the dialog's folder.
    void realDialogsAreCentredAndTakeTheTypedName()
    {
        QWidget owner;
        // Off the centre of the 800 x 600 offscreen screen but inside it, where Qt keeps dialogs.
        owner.setGeometry(10, 10, 690, 480);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        fileDialog().filterIndex = 3;
        QTemporaryDir elsewhere;
        QString seenFilter;
        QPoint offset;
        whenDialogOpens([&](QFileDialog *d) {
            seenFilter = d->selectedNameFilter();
            offset = d->frameGeometry().center() - owner.frameGeometry().center();
            d->setDirectory(elsewhere.path());
            d->selectNameFilter(u"PNG PNG Image (*.png)"_s);
            auto *name = d->findChild<QLineEdit *>(u"fileNameEdit"_s);
            QTest::keyClicks(name, u"  "_s + m_dir.filePath(u"Sheet "_s));
            QTest::keyClick(name, Qt::Key_Return);
        });
        QtSaveAsDialog dialog;
        saveAllPages(&owner, m_pages, m_progress, dialog);
        QCOMPARE(seenFilter, u"JPG JPEG Image (*.jpg)"_s);
        QVERIFY2(offset.manhattanLength() <= 4, qPrintable(u"off centre by %1,%2"_s.arg(offset.x()).arg(offset.y())));
        QVERIFY(m_reports.isEmpty());
        QCOMPARE(written(), (QStringList{u"Sheet1.png"_s, u"Sheet2.png"_s, u"Sheet3.png"_s}));
        QVERIFY(QDir(elsewhere.path()).isEmpty());

        // The page's own dialog offers the eight formats and a JPEG quality, and remembers both.
        QStringList offered;
        whenDialogOpens([&](QFileDialog *d) {
            offered = d->nameFilters();
            d->findChild<QSpinBox *>(u"spnJpegQuality"_s)->setValue(55);
            d->selectNameFilter(u"GIF CompuServe (*.gif)"_s);
            d->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(u" "_s + m_dir.filePath(u"one"_s));
            static_cast<QDialog *>(d)->accept();
        });
        PageSaveChoice choice;
        QCOMPARE(dialog.askPageFile(&owner, choice), m_dir.filePath(u"one"_s));
        QCOMPARE(offered.size(), 8);
        QCOMPARE(choice.filterIndex, 2);
        QCOMPARE(choice.jpegQuality, 55);

        whenDialogOpens([](QFileDialog *d) { d->close(); });
        QVERIFY(!dialog.askSaveFile(&owner, fileDialog()).confirmed);
    }
};

QTEST_MAIN(SaveCommandsTest)
#include "savecommands_test.moc"
