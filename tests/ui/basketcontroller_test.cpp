#include "basket/inputfiles.h"
#include "core/runtimeerror.h"
#include "errors/errorhandler.h"
#include "ui/basketcontroller.h"
#include "ui/basketdialogs.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <deque>
#include <optional>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Answers the basket's dialogs from a script and records how they were opened.
class ScriptedDialogs : public BasketDialogs {
  public:
    struct Call {
        QString initialFolder;
        QString lastActionAtCall;
        QString caption;
        QStringList filters;
    };

    std::deque<QStringList> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers; // nullopt: the browser fails
    QList<Call> fileCalls;
    QList<Call> folderCalls;
    QStringList messages;

    QStringList openFiles(QWidget *, const QString &initialFolder, const QStringList &nameFilters) override
    {
        fileCalls.append({initialFolder, lastAction(), QString(), nameFilters});
        if (fileAnswers.empty())
            return {};
        const QStringList answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }

    QString browseFolder(QWidget *, const QString &initialFolder, const QString &instruction) override
    {
        folderCalls.append({initialFolder, lastAction(), instruction, {}});
        if (folderAnswers.empty())
            return QString();
        const std::optional<QString> answer = std::move(folderAnswers.front());
        folderAnswers.pop_front();
        if (!answer.has_value())
            PAGORRA_RAISE(err::OutOfMemory, u"Out of memory"_s);
        return answer.value();
    }

    void message(QWidget *, const QString &text) override { messages.append(text); }
};

} // namespace

class BasketControllerTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void addFilesThreeInOneFolder();
    void addFilesSameFileAndCaseVariant();
    void cancelledOrFailedDialogsChangeNothing();
    void addFolderTwice();
    void removeEntriesTwoAndFour_data();
    void removeEntriesTwoAndFour();
    void keysOnEmptyThenFullList();
    void headerClicksToggleOrder();
    void limitAddsUpToTheLimitAndSaysSo();
    void dropAddsLikeTheCommands();

  private:
    // Creates the folder and the space-separated files in it; returns the files' paths.
    QStringList makeFiles(const QString &folder, const QString &names);
    // The count label and the list as the user reads them: "3 Files: c.jpg a.JPG b.png".
    QString shown() const;
    void clickHeader();

    QTemporaryDir *m_tmp = nullptr;
    QWidget *m_window = nullptr;
    QTreeWidget *m_lv = nullptr;
    QLabel *m_count = nullptr;
    QString m_folder;
    ScriptedDialogs m_dialogs;
    BasketController *m_controller = nullptr;
    QList<ErrorReport> m_reports;
};

void BasketControllerTest::init()
{
    m_tmp = new QTemporaryDir;
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    m_count = new QLabel(m_window);
    m_lv = new QTreeWidget(m_window);
    layout->addWidget(m_count);
    layout->addWidget(m_lv);
    m_folder = u"/start"_s;
    m_dialogs = ScriptedDialogs();
    m_controller = new BasketController(m_lv, m_count, &m_folder, &m_dialogs, m_window);
    m_window->resize(300, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_reports.clear();
    setReportPresenter([this](const ErrorReport &report) { m_reports.append(report); });
}

void BasketControllerTest::cleanup()
{
    setReportPresenter({});
    delete m_window;
    delete m_tmp;
}

QStringList BasketControllerTest::makeFiles(const QString &folder, const QString &names)
{
    QDir().mkpath(m_tmp->filePath(folder));
    QStringList paths;
    for (const QString &name : names.split(u' ', Qt::SkipEmptyParts)) {
        QFile f(m_tmp->filePath(folder + u'/' + name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(f.fileName()));
        paths << f.fileName();
    }
    return paths;
}

QString BasketControllerTest::shown() const
{
    QStringList texts;
    for (int i = 0; i < m_lv->topLevelItemCount(); ++i)
        texts.append(m_lv->topLevelItem(i)->text(0));
    return m_count->text() + u": "_s + texts.join(u' ');
}

void BasketControllerTest::clickHeader()
{
    QHeaderView *header = m_lv->header();
    const QPoint centre(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

void BasketControllerTest::addFilesThreeInOneFolder()
{
    const QStringList picked = makeFiles(u"trip"_s, u"c.jpg a.JPG b.png"_s);
    m_dialogs.fileAnswers.push_back(picked);
    QSignalSpy changed(m_controller, &BasketController::basketChanged);
    m_controller->addFiles();

    QCOMPARE(m_dialogs.fileCalls.at(0).initialFolder, u"/start"_s);
    QCOMPARE(shown(), u"3 Files: c.jpg a.JPG b.png"_s);
    QCOMPARE(m_controller->paths(), picked);
    QCOMPARE(m_folder, m_tmp->filePath(u"trip"_s));
    QCOMPARE(changed.count(), 1);
    // The next dialog opens where the last one left off.
    m_controller->addFiles();
    QCOMPARE(m_dialogs.fileCalls.at(1).initialFolder, m_folder);
}

void BasketControllerTest::addFilesSameFileAndCaseVariant()
{
    const QString file = makeFiles(u"one"_s, u"Photo.jpg"_s).first();
    m_dialogs.fileAnswers.push_back({file});
    m_controller->addFiles();
    QCOMPARE(m_folder, m_tmp->filePath(u"one/"_s));

    m_folder = u"/elsewhere"_s;
    m_dialogs.fileAnswers.push_back({file});
    m_controller->addFiles();
    QCOMPARE(shown(), u"1 Files: Photo.jpg"_s);
    QCOMPARE(m_folder, u"/elsewhere"_s);
    // Another file on Linux.
    m_dialogs.fileAnswers.push_back({m_tmp->filePath(u"one/PHOTO.JPG"_s)});
    m_controller->addFiles();
    QCOMPARE(shown(), u"2 Files: Photo.jpg PHOTO.JPG"_s);

    m_controller->newBasket();
    QCOMPARE(shown(), u"0 Files: "_s);
    QVERIFY(m_controller->paths().isEmpty());
}

void BasketControllerTest::cancelledOrFailedDialogsChangeNothing()
{
    m_controller->addFiles();                        // script empty: cancelled
    m_dialogs.folderAnswers.push_back(u"   "_s);     // only spaces counts as cancelled
    m_dialogs.folderAnswers.push_back(std::nullopt); // the browser fails
    m_controller->addFolder();
    m_controller->addFolder();
    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.size(), 3);
    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.at(0).routineName, u"modBrowseForFolder.Folder_Browse"_s);
    QCOMPARE(m_reports.at(0).trappingString, u"Calling the Folder for Browse dialog"_s);
    QCOMPARE(m_reports.at(0).systemError, u"7 - Out of memory"_s);
    QCOMPARE(shown(), u": "_s);
    QCOMPARE(m_folder, u"/start"_s);
}

void BasketControllerTest::addFolderTwice()
{
    const QStringList files = makeFiles(u"scans"_s, u"IMG_1.JPG scan.tiff notes.txt"_s);
    const QString d = m_tmp->filePath(u"scans"_s);
    m_dialogs.folderAnswers = {d, d, d + u"/gone"_s};

    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.at(0).initialFolder, u"/start"_s);
    QCOMPARE(m_dialogs.folderCalls.at(0).lastActionAtCall, u"Calling the Folder for Browse dialog"_s);
    QCOMPARE(m_dialogs.folderCalls.at(0).caption, u"Please select a destination folder to save all the files!"_s);
    QCOMPARE(lastAction(), u"Returning selected folder from the Browse dialog"_s);
    QCOMPARE(m_folder, d);

    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.at(1).initialFolder, d);
    QCOMPARE(shown(), u"2 Files: IMG_1.JPG scan.tiff"_s);
    QCOMPARE(m_controller->paths(), files.mid(0, 2));

    // A folder that has gone since it was picked adds nothing and says nothing.
    m_controller->addFolder();
    QCOMPARE(m_folder, d);
    QCOMPARE(shown(), u"2 Files: IMG_1.JPG scan.tiff"_s);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void BasketControllerTest::removeEntriesTwoAndFour_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("remove command") << false;
    QTest::newRow("Delete key") << true;
}

void BasketControllerTest::removeEntriesTwoAndFour()
{
    QFETCH(bool, byKey);
    const QStringList picked = makeFiles(u"five"_s, u"1.jpg 2.jpg 3.jpg 4.jpg 5.jpg"_s);
    m_dialogs.fileAnswers.push_back(picked);
    m_controller->addFiles();

    // Entries 2 and 4 picked with the mouse, the second with Ctrl held.
    QTest::mouseClick(m_lv->viewport(), Qt::LeftButton, {}, m_lv->visualItemRect(m_lv->topLevelItem(1)).center());
    QTest::mouseClick(m_lv->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      m_lv->visualItemRect(m_lv->topLevelItem(3)).center());
    QCOMPARE(m_lv->selectedItems().size(), 2);

    QSignalSpy refresh(m_controller, &BasketController::refreshButtonsRequested);
    if (byKey) {
        m_lv->setFocus();
        QTest::keyClick(m_lv, Qt::Key_Delete);
        QCOMPARE(refresh.count(), 1);
    } else {
        m_controller->removeSelected();
    }
    QCOMPARE(shown(), u"3 Files: 1.jpg 3.jpg 5.jpg"_s);
    QCOMPARE(m_controller->paths(), (QStringList{picked.at(0), picked.at(2), picked.at(4)}));
}

void BasketControllerTest::keysOnEmptyThenFullList()
{
    QSignalSpy refresh(m_controller, &BasketController::refreshButtonsRequested);
    m_lv->setFocus();
    QTest::keyClick(m_lv, Qt::Key_Delete);
    QTest::keyClick(m_lv, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_lv, Qt::Key_Down);
    QVERIFY(refresh.count() >= 3); // every key asks for the repaint
    QCOMPARE(shown(), u": "_s);

    m_dialogs.fileAnswers.push_back(makeFiles(u"all"_s, u"x.gif y.bmp"_s));
    m_controller->addFiles();
    QTest::keyClick(m_lv, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_lv->selectedItems().size(), 2);
    QTest::keyClick(m_lv, Qt::Key_Delete);
    QCOMPARE(shown(), u"0 Files: "_s);
}

void BasketControllerTest::headerClicksToggleOrder()
{
    m_dialogs.fileAnswers.push_back(makeFiles(u"sort"_s, u"c.jpg a.jpg B.jpg"_s));
    m_controller->addFiles();
    m_lv->topLevelItem(0)->setSelected(true); // c.jpg

    clickHeader();
    QCOMPARE(shown(), u"3 Files: a.jpg B.jpg c.jpg"_s);
    QCOMPARE(m_lv->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(m_controller->paths().first(), m_tmp->filePath(u"sort/a.jpg"_s));
    // The selection follows its entry.
    QCOMPARE(m_lv->selectedItems().size(), 1);
    QCOMPARE(m_lv->selectedItems().first()->text(0), u"c.jpg"_s);

    clickHeader();
    QCOMPARE(shown(), u"3 Files: c.jpg B.jpg a.jpg"_s);
    QCOMPARE(m_lv->header()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Once sorted, new entries take their place in the order.
    m_dialogs.fileAnswers.push_back(makeFiles(u"sort"_s, u"b2.jpg"_s));
    m_controller->addFiles();
    QCOMPARE(shown(), u"4 Files: c.jpg b2.jpg B.jpg a.jpg"_s);
    QCOMPARE(m_controller->paths().at(1), m_tmp->filePath(u"sort/b2.jpg"_s));
}

void BasketControllerTest::limitAddsUpToTheLimitAndSaysSo()
{
    // The basket does not open files, so the bulk of the entries need not exist.
    QStringList many;
    for (int i = 0; i < Basket::MaxEntries - 1; ++i)
        many.append(u"/bulk/%1.jpg"_s.arg(i));
    m_dialogs.fileAnswers.push_back(many);
    m_controller->addFiles();
    QVERIFY(m_dialogs.messages.isEmpty());

    const QStringList last = makeFiles(u"last"_s, u"a.jpg b.jpg c.jpg"_s);
    const QString d = m_tmp->filePath(u"last"_s);
    m_dialogs.folderAnswers = {d, d};
    m_controller->addFolder();
    QCOMPARE(m_dialogs.messages, QStringList{BasketController::limitMessage(2)});
    QCOMPARE(m_count->text(), u"32767 Files"_s);
    QCOMPARE(m_lv->topLevelItemCount(), Basket::MaxEntries);
    QCOMPARE(m_controller->paths().last(), last.at(0));
    QCOMPARE(m_folder, d);

    // A full basket still takes removals and a later add.
    m_lv->topLevelItem(0)->setSelected(true);
    m_controller->removeSelected();
    m_controller->addFolder();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_dialogs.messages.last(), BasketController::limitMessage(1));
    QCOMPARE(m_controller->paths().last(), last.at(1));
}

void BasketControllerTest::dropAddsLikeTheCommands()
{
    const QStringList loose = makeFiles(u"loose"_s, u"one.png readme.txt"_s);
    makeFiles(u"dropped"_s, u"p.jpg q.JPEG"_s);
    auto drop = [this](const QList<QUrl> &urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = m_lv->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_lv->viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_lv->viewport(), &dropEvent);
        return dropEvent.isAccepted();
    };

    // A single file and a non-picture: like Add files with one file.
    QVERIFY(drop({QUrl::fromLocalFile(loose.at(0)), QUrl::fromLocalFile(loose.at(1))}));
    QCOMPARE(shown(), u"1 Files: one.png"_s);
    QCOMPARE(m_folder, m_tmp->filePath(u"loose/"_s));

    // A folder, plus the file again: like Add Folder, no duplicate.
    QVERIFY(drop({QUrl::fromLocalFile(loose.at(0)), QUrl::fromLocalFile(m_tmp->filePath(u"dropped/"_s))}));
    QCOMPARE(shown(), u"3 Files: one.png p.jpg q.JPEG"_s);
    QCOMPARE(m_folder, m_tmp->filePath(u"dropped"_s));

    // Anything that is not a local file is refused at the door.
    QVERIFY(!drop({QUrl(u"https://example.org/x.jpg"_s)}));
    QCOMPARE(m_controller->basket().count(), 3);
}

QTEST_MAIN(BasketControllerTest)
#include "basketcontroller_test.moc"
