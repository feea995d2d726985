#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "output/outputformats.h"
#include "output/savecommands.h"

#include "writer_support.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <stdexcept>

using namespace pagorra;
using namespace pagorra::testing;

namespace {

// Answers the dialogs from a script and keeps what each dialog was opened with.
class ScriptedDialog : public SaveAsDialog {
  public:
    SaveDialogAnswer askSaveFile(QWidget *, const FileDialog &request) override
    {
        requests.push_back(request);
        if (throwOnOpen)
            PAGORRA_RAISE(err::OutOfMemory, QStringLiteral("Out of memory"));
        if (answers.empty())
            return {};
        SaveDialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString askPageFile(QWidget *, PageSaveChoice &choice) override
    {
        ++pageDialogs;
        if (pageAnswer.isEmpty())
            return {};
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

void fillPages(PageSet &pages, int count)
{
    pages.clear();
    pages.page(0).setImage(flatPage(1));
    for (int k = 2; k <= count; ++k)
        pages.addPage().setImage(flatPage(k));
}

QString magickFormatOf(const QString &path)
{
    return QString::fromUtf8(runTool(QStringLiteral("identify"),
                                     {QStringLiteral("-format"), QStringLiteral("%m"), path + QStringLiteral("[0]")}));
}

} // namespace

class SaveCommandsTest : public QObject {
    Q_OBJECT

  private:
    QList<ErrorReport> m_reports;

  private Q_SLOTS:
    void init()
    {
        fileDialog() = FileDialog{};
        pageSaveChoice() = PageSaveChoice{};
        m_reports.clear();
        setReportPresenter([this](const ErrorReport &r) { m_reports << r; });
    }
    void cleanup() { setReportPresenter({}); }

    void saveAllNamesAndFormats_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("format");
        QTest::newRow("bmp") << u"a.bmp"_qs << 1 << QStringList{u"a1.bmp"_qs, u"a2.bmp"_qs, u"a3.bmp"_qs} << u"BMP3"_qs;
        QTest::newRow("psd appended") << u"a"_qs << 5 << QStringList{u"a1.psd"_qs, u"a2.psd"_qs, u"a3.psd"_qs}
                                      << u"PSD"_qs;
        QTest::newRow("upper case kept, blanks trimmed")
            << u"  a.PNG  "_qs << 8 << QStringList{u"a1.PNG"_qs, u"a2.PNG"_qs, u"a3.PNG"_qs} << u"PNG"_qs;
        QTest::newRow("png as jpeg") << u"a.png"_qs << 3
                                     << QStringList{u"a.png1.jpg"_qs, u"a.png2.jpg"_qs, u"a.png3.jpg"_qs} << u"JPEG"_qs;
        QTest::newRow("pdf pages") << u"s.pdf"_qs << 7 << QStringList{u"s1.pdf"_qs, u"s2.pdf"_qs, u"s3.pdf"_qs}
                                   << u"PDF"_qs;
    }
    void saveAllNamesAndFormats()
    {
        QFETCH(QString, typed);
        QFETCH(int, filterIndex);
        QFETCH(QStringList, files);
        QFETCH(QString, format);
        QTemporaryDir dir;
        PageSet pages;
        fillPages(pages, 3);
        ScriptedDialog dialog;
        // Blanks around the whole answer, as a user may type them.
        const QString lead = typed.startsWith(u' ') ? u"  "_qs : QString();
        dialog.answers.push_back(
            {true, lead + dir.filePath(typed.trimmed()) + (typed.endsWith(u' ') ? u"  "_qs : QString()), filterIndex});
        NullProgress progress;
        saveAllPages(nullptr, pages, progress, dialog);

        QVERIFY(m_reports.isEmpty());
        QCOMPARE(dialog.requests.size(), std::size_t(1));
        const FileDialog &request = dialog.requests[0];
        QCOMPARE(request.dialogTitle, u"Save all thumbnail pages as"_qs);
        QCOMPARE(request.filterList, outputFilterList());
        QCOMPARE(request.flags, 5);
        QVERIFY(request.fileName.isEmpty());
        QStringList written = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(written, files);
        for (const QString &file : files) {
            if (format == u"PDF")
                QCOMPARE(pdfPageCount(dir.filePath(file)), 1);
            else
                QCOMPARE(magickFormatOf(dir.filePath(file)), format);
        }
    }

    void filterIndexIsSharedBetweenTheTwoDialogs()
    {
        QTemporaryDir dir;
        PageSet pages;
        fillPages(pages, 2);
        NullProgress progress;
        ScriptedDialog dialog;

        dialog.answers.push_back({true, dir.filePath(u"a"_qs), 5});
        saveAllPages(nullptr, pages, progress, dialog);
        // Multipage opens on the index confirmed in "Save all pages"; an index it does not
        // know writes a TIFF under the name as typed.
        dialog.answers.push_back({true, dir.filePath(u"book"_qs), 5});
        QVERIFY(saveMultiPage(nullptr, pages, progress, dialog));
        dialog.answers.push_back({true, dir.filePath(u"b"_qs), 2});
        QVERIFY(saveMultiPage(nullptr, pages, progress, dialog));
        saveAllPages(nullptr, pages, progress, dialog); // cancelled: no answer left
        saveAllPages(nullptr, pages, progress, dialog);

        QCOMPARE(dialog.requests.size(), std::size_t(5));
        QCOMPARE(dialog.requests[0].filterIndex, 0); // first use: first entry
        QCOMPARE(dialog.requests[1].filterIndex, 5);
        QCOMPARE(dialog.requests[1].dialogTitle, u"Save to multipage image document"_qs);
        QCOMPARE(dialog.requests[1].filterList, multipageFilterList());
        QCOMPARE(dialog.requests[2].filterIndex, 5);
        QCOMPARE(dialog.requests[3].filterIndex, 2);
        QCOMPARE(dialog.requests[4].filterIndex, 2); // a cancel keeps the index
        QVERIFY(fileDialog().fileName.isEmpty());
        QCOMPARE(tiffDirectoryCount(dir.filePath(u"book"_qs)), 2);
        QCOMPARE(pdfPageCount(dir.filePath(u"b.pdf"_qs)), 2);
        QVERIFY(m_reports.isEmpty());
    }

    void cancelledDialogsWriteNothing()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        PageSet pages;
        fillPages(pages, 3);
        NullProgress progress;
        ScriptedDialog dialog;
        saveAllPages(nullptr, pages, progress, dialog);
        QVERIFY(!saveMultiPage(nullptr, pages, progress, dialog));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(m_reports.isEmpty());
    }

    void onePageUsesThePageDialog()
    {
        QTemporaryDir dir;
        PageSet pages;
        fillPages(pages, 1);
        pages.page(0).setImage(richPage());
        pages.setCurrentPageIndex(3); // stale index from an earlier run
        NullProgress progress;
        ScriptedDialog dialog;
        dialog.pageAnswer = dir.filePath(u"single"_qs);
        dialog.pageChoice = {3, 30};
        saveAllPages(nullptr, pages, progress, dialog);
        QVERIFY(!saveMultiPage(nullptr, pages, progress, dialog));

        QVERIFY(dialog.requests.empty());
        QCOMPARE(dialog.pageDialogs, 2);
        QCOMPARE(pages.currentPageIndex(), 0);
        // Format by extension: the JPEG row's extension was added, at the chosen quality.
        const QString path = dir.filePath(u"single.jpg"_qs);
        QCOMPARE(magickFormatOf(path), u"JPEG"_qs);
        const int quality = QString::fromUtf8(runTool(u"identify"_qs, {u"-format"_qs, u"%Q"_qs, path})).toInt();
        QVERIFY2(std::abs(quality - 30) <= 1, qPrintable(QString::number(quality)));
        QCOMPARE(pageSaveChoice().jpegQuality, 30);
    }

    void pageWithoutImageOpensNoDialog()
    {
        PageSet pages;
        ScriptedDialog dialog;
        dialog.pageAnswer = u"/nonexistent/x.png"_qs;
        savePageAs(nullptr, pages, dialog);
        QCOMPARE(dialog.pageDialogs, 0);
    }

    void failuresReachTheHandlerWithTheirRoutineNames()
    {
        QTemporaryDir dir;
        const QString notAFolder = dir.filePath(u"file"_qs);
        QFile(notAFolder).open(QIODevice::WriteOnly);
        PageSet pages;
        fillPages(pages, 3);
        NullProgress progress;
        ScriptedDialog dialog;

        setLastAction(u"Starting batch printing"_qs);
        dialog.answers.push_back({true, notAFolder + u"/x"_qs, 8});
        saveAllPages(nullptr, pages, progress, dialog);
        QCOMPARE(m_reports.size(), 1);
        QCOMPARE(m_reports[0].routineName, u"cmdSaveAll_Click"_qs);
        QCOMPARE(m_reports[0].trappingString, u"Starting batch printing"_qs);
        QVERIFY(m_reports[0].systemError.startsWith(u"75 - "_qs));

        dialog.throwOnOpen = true;
        QVERIFY(!saveMultiPage(nullptr, pages, progress, dialog));
        QCOMPARE(m_reports.size(), 2);
        QCOMPARE(m_reports[1].routineName, u"fncSaveMultiPageFileBitmap_Dialog"_qs);
        QCOMPARE(m_reports[1].trappingString, u"saving pages to a single new file"_qs);
        QCOMPARE(m_reports[1].systemError, u"7 - Out of memory"_qs);

        dialog.pageAnswer = notAFolder + u"/y.png"_qs;
        pages.setCurrentPageIndex(1);
        savePageAs(nullptr, pages, dialog);
        QCOMPARE(m_reports.size(), 3);
        QCOMPARE(m_reports[2].routineName, u"cmdSave_Click"_qs);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"file"_qs});
    }

    // The real dialog: opened centred over its owner on the remembered entry, and its answer.
    void qtDialogIsCentredAndAnswers()
    {
        QTemporaryDir dir;
        QWidget owner;
        // Off the centre of the 800 x 600 offscreen screen but inside it, where Qt keeps dialogs.
        owner.setGeometry(10, 10, 690, 480);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        FileDialog request;
        request.dialogTitle = u"Save all thumbnail pages as"_qs;
        request.filterList = outputFilterList();
        request.filterIndex = 3;
        request.flags = SaveDialogFlags;

        QString seenFilter;
        QPoint offset;
        QTimer::singleShot(0, [&] {
            auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(fileDialog);
            seenFilter = fileDialog->selectedNameFilter();
            offset = fileDialog->frameGeometry().center() - owner.frameGeometry().center();
            fileDialog->selectNameFilter(u"PSD Photosop (*.psd)"_qs);
            fileDialog->findChild<QLineEdit *>(u"fileNameEdit"_qs)->setText(dir.filePath(u"pages"_qs));
            static_cast<QDialog *>(fileDialog)->accept();
        });
        QtSaveAsDialog dialog;
        const SaveDialogAnswer answer = dialog.askSaveFile(&owner, request);
        QCOMPARE(seenFilter, u"JPG JPEG Image (*.jpg)"_qs);
        QVERIFY2(std::abs(offset.x()) <= 2 && std::abs(offset.y()) <= 2,
                 qPrintable(u"off centre by %1,%2"_qs.arg(offset.x()).arg(offset.y())));
        QVERIFY(answer.confirmed);
        QCOMPARE(answer.filterIndex, 5);
        QCOMPARE(answer.fileName, dir.filePath(u"pages"_qs));

        // The page dialog offers the eight formats and a JPEG quality, and remembers both.
        PageSaveChoice choice;
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(fileDialog);
            offered = fileDialog->nameFilters();
            fileDialog->findChild<QSpinBox *>(u"spnJpegQuality"_qs)->setValue(55);
            fileDialog->selectNameFilter(u"GIF CompuServe (*.gif)"_qs);
            fileDialog->findChild<QLineEdit *>(u"fileNameEdit"_qs)->setText(dir.filePath(u"one"_qs));
            static_cast<QDialog *>(fileDialog)->accept();
        });
        QCOMPARE(dialog.askPageFile(&owner, choice), dir.filePath(u"one"_qs));
        QCOMPARE(offered.size(), 8);
        QCOMPARE(choice.filterIndex, 2);
        QCOMPARE(choice.jpegQuality, 55);

        QTimer::singleShot(0, [&] { QApplication::activeModalWidget()->close(); });
        QVERIFY(!dialog.askSaveFile(&owner, request).confirmed);
    }
};

QTEST_MAIN(SaveCommandsTest)
#include "savecommands_test.moc"
