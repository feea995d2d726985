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
    QString makeFile(const QString &folder, const QString &name);
    QString makeFolder(const QString &name);
    QStringList listTexts() const;
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
    QVERIFY(m_tmp->isValid());
    m_window = new QWidget;
    m_window->setWindowTitle(u"Arvok Pagorra"_s);
    auto *layout = new QVBoxLayout(m_window);
    m_count = new QLabel(m_window);
    m_count->setObjectName(u"lblCount"_s);
    m_lv = new QTreeWidget(m_window);
    m_lv->setObjectName(u"lv"_s);
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

QString BasketControllerTest::makeFolder(const QString &name)
{
    QDir().mkpath(m_tmp->filePath(name));
    return m_tmp->filePath(name);
}

QString BasketControllerTest::makeFile(const QString &folder, const QString &name)
{
    QFile f(folder + u'/' + name);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(f.fileName()));
    return f.fileName();
}

QStringList BasketControllerTest::listTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_lv->topLevelItemCount(); ++i)
        texts.append(m_lv->topLevelItem(i)->text(0));
    return texts;
}

void BasketControllerTest::clickHeader()
{
    QHeaderView *header = m_lv->header();
    const QPoint centre(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

void BasketControllerTest::addFilesThreeInOneFolder()
{
    const QString d = makeFolder(u"trip"_s);
    const QStringList picked{makeFile(d, u"c.jpg"_s), makeFile(d, u"a.JPG"_s), makeFile(d, u"b.png"_s)};
    m_dialogs.fileAnswers.push_back(picked);
    QSignalSpy changed(m_controller, &BasketController::basketChanged);

    m_controller->addFiles();

    QCOMPARE(m_dialogs.fileCalls.size(), 1);
    QCOMPARE(m_dialogs.fileCalls.at(0).initialFolder, u"/start"_s);
    QCOMPARE(m_dialogs.fileCalls.at(0).filters, fileDialogNameFilters(openFileFilter()));
    QCOMPARE(listTexts(), (QStringList{u"c.jpg"_s, u"a.JPG"_s, u"b.png"_s}));
    QCOMPARE(m_controller->paths(), picked);
    QCOMPARE(m_count->text(), u"3 Files"_s);
    QCOMPARE(m_folder, d);
    QCOMPARE(changed.count(), 1);

    // The next dialog opens where the last one left off.
    m_controller->addFiles();
    QCOMPARE(m_dialogs.fileCalls.at(1).initialFolder, d);
}

void BasketControllerTest::addFilesSameFileAndCaseVariant()
{
    const QString d = makeFolder(u"one"_s);
    const QString file = makeFile(d, u"Photo.jpg"_s);
    m_dialogs.fileAnswers.push_back({file});
    m_controller->addFiles();
    QCOMPARE(m_folder, d + u'/');
    QCOMPARE(m_count->text(), u"1 Files"_s);

    m_folder = u"/elsewhere"_s;
    m_dialogs.fileAnswers.push_back({file});
    m_dialogs.fileAnswers.push_back({d + u"/PHOTO.JPG"_s});
    m_controller->addFiles();
    m_controller->addFiles();
    QCOMPARE(m_lv->topLevelItemCount(), 1);
    QCOMPARE(m_count->text(), u"1 Files"_s);
    QCOMPARE(m_folder, u"/elsewhere"_s);

    m_controller->newBasket();
    QCOMPARE(m_lv->topLevelItemCount(), 0);
    QCOMPARE(m_count->text(), u"0 Files"_s);
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
    QCOMPARE(m_count->text(), QString());
    QCOMPARE(m_folder, u"/start"_s);
    QCOMPARE(m_lv->topLevelItemCount(), 0);
}

void BasketControllerTest::addFolderTwice()
{
    const QString d = makeFolder(u"scans"_s);
    makeFile(d, u"IMG_1.JPG"_s);
    makeFile(d, u"scan.tiff"_s);
    makeFile(d, u"notes.txt"_s);
    m_dialogs.folderAnswers.push_back(d);
    m_dialogs.folderAnswers.push_back(d);

    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.at(0).initialFolder, u"/start"_s);
    QCOMPARE(m_dialogs.folderCalls.at(0).lastActionAtCall, u"Calling the Folder for Browse dialog"_s);
    QCOMPARE(m_dialogs.folderCalls.at(0).caption, u"Please select a destination folder to save all the files!"_s);
    QCOMPARE(lastAction(), u"Returning selected folder from the Browse dialog"_s);
    QCOMPARE(m_folder, d);
    QCOMPARE(m_count->text(), u"2 Files"_s);

    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.at(1).initialFolder, d);
    QCOMPARE(listTexts(), (QStringList{u"IMG_1.JPG"_s, u"scan.tiff"_s}));
    QCOMPARE(m_controller->paths(), (QStringList{d + u"/IMG_1.JPG"_s, d + u"/scan.tiff"_s}));
    QCOMPARE(m_count->text(), u"2 Files"_s);

    // A folder that has gone since it was picked adds nothing but still sets the label.
    m_dialogs.folderAnswers.push_back(d + u"/gone"_s);
    m_controller->addFolder();
    QCOMPARE(m_folder, d);
    QCOMPARE(m_controller->basket().count(), 2);
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
    const QString d = makeFolder(u"five"_s);
    QStringList picked;
    for (const char *name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"})
        picked.append(makeFile(d, QString::fromLatin1(name)));
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
    QCOMPARE(listTexts(), (QStringList{u"1.jpg"_s, u"3.jpg"_s, u"5.jpg"_s}));
    QCOMPARE(m_controller->paths(), (QStringList{picked.at(0), picked.at(2), picked.at(4)}));
    QCOMPARE(m_count->text(), u"3 Files"_s);
}

void BasketControllerTest::keysOnEmptyThenFullList()
{
    QSignalSpy refresh(m_controller, &BasketController::refreshButtonsRequested);
    m_lv->setFocus();
    QTest::keyClick(m_lv, Qt::Key_Delete);
    QTest::keyClick(m_lv, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_lv, Qt::Key_Down);
    QVERIFY(refresh.count() >= 3); // every key asks for the repaint
    QCOMPARE(m_count->text(), QString());

    const QString d = makeFolder(u"all"_s);
    m_dialogs.fileAnswers.push_back({makeFile(d, u"x.gif"_s), makeFile(d, u"y.bmp"_s)});
    m_controller->addFiles();
    QTest::keyClick(m_lv, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_lv->selectedItems().size(), 2);
    QTest::keyClick(m_lv, Qt::Key_Delete);
    QCOMPARE(m_lv->topLevelItemCount(), 0);
    QCOMPARE(m_count->text(), u"0 Files"_s);
}

void BasketControllerTest::headerClicksToggleOrder()
{
    const QString d = makeFolder(u"sort"_s);
    m_dialogs.fileAnswers.push_back({makeFile(d, u"c.jpg"_s), makeFile(d, u"a.jpg"_s), makeFile(d, u"B.jpg"_s)});
    m_controller->addFiles();
    m_lv->topLevelItem(0)->setSelected(true); // c.jpg

    clickHeader();
    QCOMPARE(listTexts(), (QStringList{u"a.jpg"_s, u"B.jpg"_s, u"c.jpg"_s}));
    QCOMPARE(m_lv->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(m_controller->paths().first(), d + u"/a.jpg"_s);
    // The selection follows its entry.
    QCOMPARE(m_lv->selectedItems().size(), 1);
    QCOMPARE(m_lv->selectedItems().first()->text(0), u"c.jpg"_s);

    clickHeader();
    QCOMPARE(listTexts(), (QStringList{u"c.jpg"_s, u"B.jpg"_s, u"a.jpg"_s}));
    QCOMPARE(m_lv->header()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Once sorted, new entries take their place in the order.
    m_dialogs.fileAnswers.push_back({makeFile(d, u"b2.jpg"_s)});
    m_controller->addFiles();
    QCOMPARE(listTexts(), (QStringList{u"c.jpg"_s, u"b2.jpg"_s, u"B.jpg"_s, u"a.jpg"_s}));
    QCOMPARE(m_count->text(), u"4 Files"_s);
    QCOMPARE(m_controller->paths().at(1), d + u"/b2.jpg"_s);
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

    const QString d = makeFolder(u"last"_s);
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        makeFile(d, QString::fromLatin1(name));
    m_dialogs.folderAnswers.push_back(d);
    m_controller->addFolder();

    QCOMPARE(m_dialogs.messages, QStringList{BasketController::limitMessage(2)});
    QCOMPARE(m_count->text(), u"32767 Files"_s);
    QCOMPARE(m_lv->topLevelItemCount(), Basket::MaxEntries);
    QCOMPARE(m_controller->paths().last(), d + u"/a.jpg"_s);
    QCOMPARE(m_folder, d);

    // A full basket still takes removals and a later add.
    m_lv->topLevelItem(0)->setSelected(true);
    m_controller->removeSelected();
    m_dialogs.folderAnswers.push_back(d);
    m_controller->addFolder();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_dialogs.messages.last(), BasketController::limitMessage(1));
    QCOMPARE(m_controller->paths().last(), d + u"/b.jpg"_s);
}

void BasketControllerTest::dropAddsLikeTheCommands()
{
    const QString loose = makeFolder(u"loose"_s);
    const QString single = makeFile(loose, u"one.png"_s);
    const QString text = makeFile(loose, u"readme.txt"_s);
    const QString d = makeFolder(u"dropped"_s);
    makeFile(d, u"p.jpg"_s);
    makeFile(d, u"q.JPEG"_s);

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
    QVERIFY(drop({QUrl::fromLocalFile(single), QUrl::fromLocalFile(text)}));
    QCOMPARE(listTexts(), QStringList{u"one.png"_s});
    QCOMPARE(m_folder, loose + u'/');
    QCOMPARE(m_count->text(), u"1 Files"_s);

    // A folder, plus the file again: like Add Folder, no duplicate.
    QVERIFY(drop({QUrl::fromLocalFile(single), QUrl::fromLocalFile(d + u'/')}));
    QCOMPARE(listTexts(), (QStringList{u"one.png"_s, u"p.jpg"_s, u"q.JPEG"_s}));
    QCOMPARE(m_folder, d);
    QCOMPARE(m_count->text(), u"3 Files"_s);

    // Anything that is not a local file is refused at the door.
    QVERIFY(!drop({QUrl(u"https://example.org/x.jpg"_s)}));
    QCOMPARE(m_controller->basket().count(), 3);
}

QTEST_MAIN(BasketControllerTest)
#include "basketcontroller_test.moc"
