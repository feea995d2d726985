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
            PAGORRA_RAISE(err::OutOfMemory, QStringLiteral("Out of memory"));
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
    m_window->setWindowTitle(QStringLiteral("Arvok Pagorra"));
    auto *layout = new QVBoxLayout(m_window);
    m_count = new QLabel(m_window);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_lv = new QTreeWidget(m_window);
    m_lv->setObjectName(QStringLiteral("lv"));
    layout->addWidget(m_count);
    layout->addWidget(m_lv);
    m_folder = QStringLiteral("/start");
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
    const QString d = makeFolder(QStringLiteral("trip"));
    const QStringList picked{makeFile(d, QStringLiteral("c.jpg")), makeFile(d, QStringLiteral("a.JPG")),
                             makeFile(d, QStringLiteral("b.png"))};
    m_dialogs.fileAnswers.push_back(picked);
    QSignalSpy changed(m_controller, &BasketController::basketChanged);

    m_controller->addFiles();

    QCOMPARE(m_dialogs.fileCalls.size(), 1);
    QCOMPARE(m_dialogs.fileCalls.at(0).initialFolder, QStringLiteral("/start"));
    QCOMPARE(m_dialogs.fileCalls.at(0).filters, fileDialogNameFilters(openFileFilter()));
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("c.jpg"), QStringLiteral("a.JPG"), QStringLiteral("b.png")}));
    QCOMPARE(m_controller->paths(), picked);
    QCOMPARE(m_count->text(), QStringLiteral("3 Files"));
    QCOMPARE(m_folder, d);
    QCOMPARE(changed.count(), 1);

    // The next dialog opens where the last one left off.
    m_controller->addFiles();
    QCOMPARE(m_dialogs.fileCalls.at(1).initialFolder, d);
}

void BasketControllerTest::addFilesSameFileAndCaseVariant()
{
    const QString d = makeFolder(QStringLiteral("one"));
    const QString file = makeFile(d, QStringLiteral("Photo.jpg"));
    m_dialogs.fileAnswers.push_back({file});
    m_controller->addFiles();
    QCOMPARE(m_folder, d + u'/');
    QCOMPARE(m_count->text(), QStringLiteral("1 Files"));

    m_folder = QStringLiteral("/elsewhere");
    m_dialogs.fileAnswers.push_back({file});
    m_dialogs.fileAnswers.push_back({d + QStringLiteral("/PHOTO.JPG")});
    m_controller->addFiles();
    m_controller->addFiles();
    QCOMPARE(m_lv->topLevelItemCount(), 1);
    QCOMPARE(m_count->text(), QStringLiteral("1 Files"));
    QCOMPARE(m_folder, QStringLiteral("/elsewhere"));

    m_controller->newBasket();
    QCOMPARE(m_lv->topLevelItemCount(), 0);
    QCOMPARE(m_count->text(), QStringLiteral("0 Files"));
    QVERIFY(m_controller->paths().isEmpty());
}

void BasketControllerTest::cancelledOrFailedDialogsChangeNothing()
{
    m_controller->addFiles(); // script empty: cancelled
    m_dialogs.folderAnswers.push_back(QStringLiteral("   ")); // only spaces counts as cancelled
    m_dialogs.folderAnswers.push_back(std::nullopt);         // the browser fails
    m_controller->addFolder();
    m_controller->addFolder();
    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.size(), 3);
    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.at(0).routineName, QStringLiteral("modBrowseForFolder.Folder_Browse"));
    QCOMPARE(m_reports.at(0).trappingString, QStringLiteral("Calling the Folder for Browse dialog"));
    QCOMPARE(m_reports.at(0).systemError, QStringLiteral("7 - Out of memory"));
    QCOMPARE(m_count->text(), QString());
    QCOMPARE(m_folder, QStringLiteral("/start"));
    QCOMPARE(m_lv->topLevelItemCount(), 0);
}

void BasketControllerTest::addFolderTwice()
{
    const QString d = makeFolder(QStringLiteral("scans"));
    makeFile(d, QStringLiteral("IMG_1.JPG"));
    makeFile(d, QStringLiteral("scan.tiff"));
    makeFile(d, QStringLiteral("notes.txt"));
    m_dialogs.folderAnswers.push_back(d);
    m_dialogs.folderAnswers.push_back(d);

    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.at(0).initialFolder, QStringLiteral("/start"));
    QCOMPARE(m_dialogs.folderCalls.at(0).lastActionAtCall, QStringLiteral("Calling the Folder for Browse dialog"));
    QCOMPARE(m_dialogs.folderCalls.at(0).caption,
             QStringLiteral("Please select a destination folder to save all the files!"));
    QCOMPARE(lastAction(), QStringLiteral("Returning selected folder from the Browse dialog"));
    QCOMPARE(m_folder, d);
    QCOMPARE(m_count->text(), QStringLiteral("2 Files"));

    m_controller->addFolder();
    QCOMPARE(m_dialogs.folderCalls.at(1).initialFolder, d);
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("IMG_1.JPG"), QStringLiteral("scan.tiff")}));
    QCOMPARE(m_controller->paths(), (QStringList{d + QStringLiteral("/IMG_1.JPG"), d + QStringLiteral("/scan.tiff")}));
    QCOMPARE(m_count->text(), QStringLiteral("2 Files"));

    // A folder that has gone since it was picked adds nothing but still sets the label.
    m_dialogs.folderAnswers.push_back(d + QStringLiteral("/gone"));
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
    const QString d = makeFolder(QStringLiteral("five"));
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
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("1.jpg"), QStringLiteral("3.jpg"), QStringLiteral("5.jpg")}));
    QCOMPARE(m_controller->paths(), (QStringList{picked.at(0), picked.at(2), picked.at(4)}));
    QCOMPARE(m_count->text(), QStringLiteral("3 Files"));

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

    const QString d = makeFolder(QStringLiteral("all"));
    m_dialogs.fileAnswers.push_back({makeFile(d, QStringLiteral("x.gif")), makeFile(d, QStringLiteral("y.bmp"))});
    m_controller->addFiles();
    QTest::keyClick(m_lv, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_lv->selectedItems().size(), 2);
    QTest::keyClick(m_lv, Qt::Key_Delete);
    QCOMPARE(m_lv->topLevelItemCount(), 0);
    QCOMPARE(m_count->text(), QStringLiteral("0 Files"));
}

void BasketControllerTest::headerClicksToggleOrder()
{
    const QString d = makeFolder(QStringLiteral("sort"));
    m_dialogs.fileAnswers.push_back({makeFile(d, QStringLiteral("c.jpg")), makeFile(d, QStringLiteral("a.jpg")),
                                     makeFile(d, QStringLiteral("B.jpg"))});
    m_controller->addFiles();
    m_lv->topLevelItem(0)->setSelected(true); // c.jpg

    clickHeader();
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("B.jpg"), QStringLiteral("c.jpg")}));
    QCOMPARE(m_lv->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(m_controller->paths().first(), d + QStringLiteral("/a.jpg"));
    // The selection follows its entry.
    QCOMPARE(m_lv->selectedItems().size(), 1);
    QCOMPARE(m_lv->selectedItems().first()->text(0), QStringLiteral("c.jpg"));

    clickHeader();
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("c.jpg"), QStringLiteral("B.jpg"), QStringLiteral("a.jpg")}));
    QCOMPARE(m_lv->header()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Once sorted, new entries take their place in the order.
    m_dialogs.fileAnswers.push_back({makeFile(d, QStringLiteral("b2.jpg"))});
    m_controller->addFiles();
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("c.jpg"), QStringLiteral("b2.jpg"), QStringLiteral("B.jpg"),
                                       QStringLiteral("a.jpg")}));
    QCOMPARE(m_count->text(), QStringLiteral("4 Files"));
    QCOMPARE(m_controller->paths().at(1), d + QStringLiteral("/b2.jpg"));
}

void BasketControllerTest::limitAddsUpToTheLimitAndSaysSo()
{
    // The basket does not open files, so the bulk of the entries need not exist.
    QStringList many;
    for (int i = 0; i < Basket::MaxEntries - 1; ++i)
        many.append(QStringLiteral("/bulk/%1.jpg").arg(i));
    m_dialogs.fileAnswers.push_back(many);
    m_controller->addFiles();
    QVERIFY(m_dialogs.messages.isEmpty());

    const QString d = makeFolder(QStringLiteral("last"));
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        makeFile(d, QString::fromLatin1(name));
    m_dialogs.folderAnswers.push_back(d);
    m_controller->addFolder();

    QCOMPARE(m_dialogs.messages, QStringList{BasketController::limitMessage(2)});
    QCOMPARE(m_count->text(), QStringLiteral("32767 Files"));
    QCOMPARE(m_lv->topLevelItemCount(), Basket::MaxEntries);
    QCOMPARE(m_controller->paths().last(), d + QStringLiteral("/a.jpg"));
    QCOMPARE(m_folder, d);

    // A full basket still takes removals and a later add.
    m_lv->topLevelItem(0)->setSelected(true);
    m_controller->removeSelected();
    m_dialogs.folderAnswers.push_back(d);
    m_controller->addFolder();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_dialogs.messages.last(), BasketController::limitMessage(1));
    QCOMPARE(m_controller->paths().last(), d + QStringLiteral("/b.jpg"));
}

void BasketControllerTest::dropAddsLikeTheCommands()
{
    const QString loose = makeFolder(QStringLiteral("loose"));
    const QString single = makeFile(loose, QStringLiteral("one.png"));
    const QString text = makeFile(loose, QStringLiteral("readme.txt"));
    const QString d = makeFolder(QStringLiteral("dropped"));
    makeFile(d, QStringLiteral("p.jpg"));
    makeFile(d, QStringLiteral("q.JPEG"));

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
    QCOMPARE(listTexts(), QStringList{QStringLiteral("one.png")});
    QCOMPARE(m_folder, loose + u'/');
    QCOMPARE(m_count->text(), QStringLiteral("1 Files"));

    // A folder, plus the file again: like Add Folder, no duplicate.
    QVERIFY(drop({QUrl::fromLocalFile(single), QUrl::fromLocalFile(d + u'/')}));
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("one.png"), QStringLiteral("p.jpg"), QStringLiteral("q.JPEG")}));
    QCOMPARE(m_folder, d);
    QCOMPARE(m_count->text(), QStringLiteral("3 Files"));

    // Anything that is not a local file is refused at the door.
    QVERIFY(!drop({QUrl(QStringLiteral("https://example.org/x.jpg"))}));
    QCOMPARE(m_controller->basket().count(), 3);
}

QTEST_MAIN(BasketControllerTest)
#include "basketcontroller_test.moc"
