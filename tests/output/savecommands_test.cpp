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
#include <QTimer>
#include <QtTest>

using namespace pagorra;
using namespace Qt::StringLiterals;
using namespace pagorra::testing;

namespace {

// Answers the save-as dialogs from a script (none left: cancelled; "!": the dialog fails) and
// keeps what each was opened with.
class ScriptedDialog : public SaveAsDialog {
  public:
    QList<SaveDialogAnswer> answers;
    QList<FileDialog> requests;

    SaveDialogAnswer askSaveFile(QWidget *, const FileDialog &request) override
    {
        requests << request;
        const SaveDialogAnswer answer = answers.isEmpty() ? SaveDialogAnswer{} : answers.takeFirst();
        if (answer.fileName == u"!")
            PAGORRA_RAISE(err::OutOfMemory, u"Out of memory"_s);
        return answer;
    }
    QString askPageFile(QWidget *, PageSaveChoice &) override { return {}; }
};

// Acts on the modal file dialog once it is up, while the caller waits in it.
void whenDialogOpens(const std::function<void(QFileDialog *)> &act)
{
    QTimer::singleShot(0, [act] { act(qobject_cast<QFileDialog *>(QApplication::activeModalWidget())); });
}

} // namespace

class SaveCommandsTest : public QObject {
    Q_OBJECT

    QList<ErrorReport> m_reports;
    QTemporaryDir m_dir;
    PageSet m_pages;
    NullProgress m_progress;
    ScriptedDialog m_dialog;

    QString at(const QString &name) const { return m_dir.filePath(name); }
    QStringList written() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

  private slots:
    void init()
    {
        fileDialog() = FileDialog{};
        m_dialog = ScriptedDialog();
        m_reports.clear();
        setReportPresenter([this](const ErrorReport &r) { m_reports << r; });
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_pages.clear();
        m_pages.page(0).setImage(flatPage(1));
        m_pages.addPage().setImage(flatPage(2));
    }
    void cleanup() { setReportPresenter({}); }

    void filterIndexIsSharedBetweenTheTwoDialogs()
    {
        saveAllPages(nullptr, m_pages, m_progress, m_dialog); // cancelled: writes nothing
        QVERIFY(!saveMultiPage(nullptr, m_pages, m_progress, m_dialog));
        // Blanks around the answer are the user's slip; the format follows the extension appended.
        m_dialog.answers = {{true, u"  "_s + at(u"a"_s) + u"  "_s, 5}, {true, at(u"book"_s), 5}, {true, at(u"b"_s), 2}};
        saveAllPages(nullptr, m_pages, m_progress, m_dialog);
        // Multipage opens on the index confirmed in "Save all pages"; an index it does not know
        // writes a TIFF under the name as typed.
        QVERIFY(saveMultiPage(nullptr, m_pages, m_progress, m_dialog));
        QVERIFY(saveMultiPage(nullptr, m_pages, m_progress, m_dialog));
        saveAllPages(nullptr, m_pages, m_progress, m_dialog); // cancelled: keeps the index
        saveAllPages(nullptr, m_pages, m_progress, m_dialog);

        QList<int> indexes;
        for (const FileDialog &request : std::as_const(m_dialog.requests))
            indexes << request.filterIndex;
        QCOMPARE(indexes, (QList<int>{0, 0, 0, 5, 5, 2, 2}));
        const FileDialog &all = m_dialog.requests[2], &multi = m_dialog.requests[3];
        QCOMPARE(all.dialogTitle + all.filterList + QString::number(all.flags),
                 u"Save all thumbnail pages as"_s + outputFilterList() + u'5');
        QCOMPARE(multi.dialogTitle + multi.filterList, u"Save to multipage image document"_s + multipageFilterList());
        QCOMPARE(written(), (QStringList{u"a1.psd"_s, u"a2.psd"_s, u"b.pdf"_s, u"book"_s}));
        QCOMPARE(identify(at(u"a1.psd[0]"_s), u"%m"_s), u"PSD"_s);
        QCOMPARE(tiffDirectoryCount(at(u"book"_s)), 2);
        QCOMPARE(pdfPageCount(at(u"b.pdf"_s)), 2);
        QVERIFY(m_reports.isEmpty());
    }

    // A page that cannot be written is reported under the command's name, a failing dialog
    // under the multipage dialog's, with the action in progress.
    void failuresReachTheHandlerWithTheirRoutineNames()
    {
        QFile(at(u"file"_s)).open(QIODevice::WriteOnly);
        m_dialog.answers = {{true, at(u"file/x"_s), 8}, {true, u"!"_s, 1}};
        saveAllPages(nullptr, m_pages, m_progress, m_dialog);
        QVERIFY(!saveMultiPage(nullptr, m_pages, m_progress, m_dialog));
        QCOMPARE(m_reports.size(), 2);
        QCOMPARE(m_reports[0].routineName + m_reports[0].systemError.left(5), u"cmdSaveAll_Click75 - "_s);
        QCOMPARE(m_reports[1].routineName + m_reports[1].trappingString + m_reports[1].systemError,
                 u"fncSaveMultiPageFileBitmap_Dialogsaving pages to a single new file7 - Out of memory"_s);
        QCOMPARE(written(), QStringList{u"file"_s});
    }

    // The real dialogs: centred over the owner, opened on the remembered entry, and a name typed
    // with blanks around it taken as the path it names, not as one inside the dialog's folder.
    void realDialogsAreCentredAndTakeTheTypedName()
    {
        QWidget owner;
        // Off the centre of the 800 x 600 offscreen screen but inside it, where Qt keeps dialogs.
        owner.setGeometry(10, 10, 690, 480);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        fileDialog().filterIndex = 3;
        QTemporaryDir elsewhere;
        QString seen;
        whenDialogOpens([&](QFileDialog *d) {
            const QPoint offset = d->frameGeometry().center() - owner.frameGeometry().center();
            seen = d->selectedNameFilter() + (offset.manhattanLength() <= 4 ? u" centred"_s : u" off centre"_s);
            d->setDirectory(elsewhere.path());
            d->selectNameFilter(u"PNG PNG Image (*.png)"_s);
            QTest::keyClicks(d->findChild<QLineEdit *>(u"fileNameEdit"_s), u"  "_s + at(u"Sheet "_s));
            QTest::keyClick(d->findChild<QLineEdit *>(u"fileNameEdit"_s), Qt::Key_Return);
        });
        QtSaveAsDialog dialog;
        saveAllPages(&owner, m_pages, m_progress, dialog);
        QCOMPARE(seen, u"JPG JPEG Image (*.jpg) centred"_s);
        QVERIFY(m_reports.isEmpty());
        QCOMPARE(written(), (QStringList{u"Sheet1.png"_s, u"Sheet2.png"_s}));
        QVERIFY(QDir(elsewhere.path()).isEmpty());

        whenDialogOpens([](QFileDialog *d) { d->close(); });
        QVERIFY(!dialog.askSaveFile(&owner, fileDialog()).confirmed);
    }
};

QTEST_MAIN(SaveCommandsTest)
#include "savecommands_test.moc"
