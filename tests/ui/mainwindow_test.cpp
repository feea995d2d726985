// The real main window driven through its controls as a user would, over a real per-user settings
// file: start-up and shutdown, the layout, the basket commands with scripted dialogs and drops,
// slow folder reading, Generate with real photos, the viewer on generated pages, and the window's
// busy state while a run works. (How each stored value loads is the persistence tests' part.)
#include "core/filenames.h"
#include "core/registrystore.h"
#include "core/settings.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "generation/generationrun.h"
#include "ui/basketcontroller.h"
#include "ui/basketdialogs.h"
#include "ui/mainlayout.h"
#include "ui/mainwindow.h"
#include "ui/picturebutton.h"
#include "ui/workerwait.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Answers the basket's dialogs from a script: a file list per open dialog, a folder per browser
// ("!" makes the browser fail); records where each dialog opened and the messages shown.
class ScriptedBasketDialogs : public BasketDialogs {
  public:
    QList<QStringList> files;
    QStringList folders, openedAt, messages;

    QStringList openFiles(QWidget *, const QString &at, const QStringList &) override
    {
        openedAt << at;
        return files.isEmpty() ? QStringList() : files.takeFirst();
    }
    QString browseFolder(QWidget *, const QString &at, const QString &) override
    {
        openedAt << at;
        const QString answer = folders.isEmpty() ? QString() : folders.takeFirst();
        if (answer == u"!")
            PAGORRA_RAISE(err::OutOfMemory, u"Out of memory"_s);
        return answer;
    }
    void message(QWidget *, const QString &text) override { messages << text; }
};

const char *const kRunLockedCommands[] = {"cmdPreview",       "cmdAddFiles", "cmdAddFolder", "cmdNew",
                                          "cmdRemove",        "cmdTasks",    "cmdSave",      "cmdSaveAll",
                                          "cmdSaveMultiPage", "cmdPrint",    "cmdPrintAll"};

// A main window whose start-up fails at the image library step.
class FailingStartWindow : public MainWindow {
  public:
    explicit FailingStartWindow(std::function<void()> fail) : m_fail(std::move(fail)) {}

  protected:
    void startImagingLibrary() override { m_fail(); }

  private:
    std::function<void()> m_fail;
};

// Another open window: ending the program must close it as well.
QPointer<QWidget> otherWindow()
{
    auto *other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();
    return other;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_photoDir;
    QStringList m_photos; // 45 small copies of the real test photos
    std::unique_ptr<QTemporaryDir> m_config, m_files;
    ScriptedBasketDialogs m_dialogs;
    std::vector<ErrorReport> m_reports;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_samples; // "counter|bar and Cancel shown|enabled commands" at each progress step
    QMetaObject::Connection m_sampling;
    QSemaphore m_release; // lets slow work go on

    template <typename T = QWidget> T *child(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    void click(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString counter() const { return child<QLineEdit>("txtNavigation")->text(); }
    QTreeWidget *lv() const { return child<QTreeWidget>("lv"); }
    QStringList paths() const { return m_window->basket()->paths(); }
    // The count label and the list as the user reads them: "3 Files: c.jpg a.JPG b.png".
    QString shown() const
    {
        QStringList texts;
        for (int i = 0; i < lv()->topLevelItemCount(); ++i)
            texts << lv()->topLevelItem(i)->text(0);
        return child<QLabel>("lblCount")->text() + u": "_s + texts.join(u' ');
    }
    QString stored(const char *name) const
    {
        return RegistryStore().getValue(settingsSection(), QString::fromLatin1(name), u"<missing>"_s);
    }
    static void put(const char *name, const char *text)
    {
        RegistryStore().setValue(settingsSection(), QString::fromLatin1(name), QString::fromLatin1(text));
    }
    QStringList makeFiles(const QString &folder, const QString &names) const
    {
        QDir().mkpath(m_files->filePath(folder));
        QStringList made;
        for (const QString &name : names.split(u' ')) {
            made << m_files->filePath(folder + u'/' + name);
            QFile(made.last()).open(QIODevice::WriteOnly);
        }
        return made;
    }
    void addToBasket(const QStringList &files)
    {
        m_dialogs.files << files;
        click("cmdAddFiles");
    }
    bool drop(const QList<QUrl> &urls) const
    {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = lv()->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(lv()->viewport(), &enter);
        if (enter.isAccepted())
            QApplication::sendEvent(lv()->viewport(), &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    }
    // Samples the window at every progress step of the next run; `action` runs at step `atValue`.
    void sampleRun(int atValue = 0, std::function<void()> action = {})
    {
        m_sampling = connect(child<QProgressBar>("pb"), &QProgressBar::valueChanged, this, [=, this](int value) {
            QStringList enabled;
            for (const char *name : kRunLockedCommands)
                if (button(name)->isEnabled())
                    enabled << QString::fromLatin1(name);
            if (value > 0)
                m_samples << u"%1|%2%3|%4"_s.arg(counter())
                                 .arg(child("pb")->isVisible())
                                 .arg(child("cmdCancel")->isVisible())
                                 .arg(enabled.join(u' '));
            if (value == atValue && action)
                action();
        });
    }
    // The window's pages must be those the engine makes of the same files.
    void compareWithEngine(const QStringList &files)
    {
        PageSet expected;
        NullProgress progress;
        GenerationRun(defaultSettings(), files, progress).run(expected);
        QCOMPARE(m_window->pages().count(), expected.count());
        for (int k = 0; k < expected.count(); ++k)
            QVERIFY(m_window->pages().page(k).image() == expected.page(k).image());
    }

  private slots:
    void initTestCase()
    {
        // Small copies keep the runs quick; the photos themselves are real camera files.
        const QDir source(QStringLiteral(PAGORRA_TESTDATA "/photos"));
        const QStringList names = source.entryList({u"*.jpg"_s}, QDir::Files, QDir::Name);
        QVERIFY(!names.isEmpty());
        for (int i = 0; i < 45; ++i) {
            QImageReader reader(source.filePath(names.at(i % names.size())));
            reader.setAutoTransform(true);
            reader.setScaledSize(reader.size().scaled(240, 240, Qt::KeepAspectRatio));
            m_photos << m_photoDir.filePath(u"photo%1.jpg"_s.arg(i + 1, 2, 10, QLatin1Char('0')));
            QVERIFY(reader.read().save(m_photos.last(), "JPEG", 85));
        }
    }

    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        registrySettings() = RegistrySettings();
        m_dialogs = ScriptedBasketDialogs();
        m_reports.clear();
        m_samples.clear();
        setReportPresenter([this](const ErrorReport &r) { m_reports.push_back(r); });
        WindowDialogs dialogs;
        dialogs.basket = &m_dialogs;
        m_window = std::make_unique<MainWindow>(dialogs);
        m_window->formLoad();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        QObject::disconnect(m_sampling);
        m_window.reset();
        setReportPresenter({});
        QVERIFY(m_reports.empty());
    }

    // The first run starts from the defaults and writes nothing until it ends; a later run starts
    // from what was stored. Either way of closing saves the window's state once (the paper and
    // output choices in their own section), keeps values it does not know, and closes every
    // other window. (The window from init() saves nothing.)
    void startsFromTheStoreAndSavesAtTheEnd()
    {
        for (const bool firstRun : {true, false}) {
            if (!firstRun) {
                put("PageZoom", "1");
                put("Unknown", "kept");
            }
            m_window = std::make_unique<MainWindow>();
            m_window->formLoad();
            m_window->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
            QVERIFY(child<QAbstractButton>(firstRun ? "optZoom0" : "optZoom1")->isChecked());
            for (const char *name : {"cmdSave", "cmdSaveAll", "cmdSaveMultiPage", "cmdPrint", "cmdPrintAll"})
                QVERIFY2(!button(name)->isEnabled(), name);
            QVERIFY(child<PictureButton>("cmdAddFiles")->hasPicture());
            QCOMPARE(QFile::exists(RegistryStore::defaultPath()), !firstRun);
            const QPointer<QWidget> other = otherWindow();
            if (firstRun) {
                click("cmdExit");
                RegistrySettings saved, expected = defaultSettings();
                loadRegistrySettings(saved, RegistryStore());
                expected.strFolderPath = picturesFolder();
                QCOMPARE(saved, expected);
                QCOMPARE(RegistryStore().getValue(outputSection(), u"Resolution"_s, {}), u"96"_s);
            } else {
                QTest::mouseClick(child<QAbstractButton>("optZoom0"), Qt::LeftButton);
                m_window->setCurrentFolder(u"/srv/photos"_s);
                registrySettings().PrintCopies = 4; // as a print dialog would leave it
                m_window->windowHandle()->close();
                QCOMPARE(stored("PageZoom") + stored("strFolderPath") + stored("PrintCopies") + stored("Unknown"),
                         u"0/srv/photos4kept"_s);
            }
            QVERIFY(m_window->hasEnded() && !m_window->isVisible());
            QTRY_VERIFY(other.isNull());
        }
    }

    void outOfMemoryAtStartUpSavesOnceAndEnds()
    {
        for (const bool badAlloc : {false, true}) {
            put("Title", "Mine");
            const QPointer<QWidget> other = otherWindow();
            m_window = std::make_unique<FailingStartWindow>([badAlloc] {
                if (badAlloc)
                    throw std::bad_alloc();
                PAGORRA_RAISE(err::OutOfMemory, u"Out of memory"_s);
            });
            QString seen;
            QTimer::singleShot(0, [&seen] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                seen = QString::number(box->icon()) + u' ' + box->text();
                box->accept();
            });
            m_window->formLoad();
            QCOMPARE(seen, u"%1 The system is low on memory!\nPlease free up some memory and try running again."_s.arg(
                               int(QMessageBox::Critical)));
            QVERIFY(m_window->hasEnded() && !m_window->isVisible());
            QTRY_VERIFY(other.isNull());
            QCOMPARE(stored("Title"), u"Mine"_s);
            // The nested pass and any later close neither save nor release a second time.
            put("Title", "written by someone else");
            m_window->close();
            m_window->endProgram();
            QCOMPARE(stored("Title"), u"written by someone else"_s);
        }
    }

    // Any other failure is reported, and the start-up steps after the failing one do not run.
    void startUpErrorIsReportedAndTheWindowStaysAsPrepared()
    {
        m_window = std::make_unique<FailingStartWindow>([] { PAGORRA_RAISE(err::FileNotFound, u"File not found"_s); });
        m_window->formLoad();
        QCOMPARE(m_reports.size(), std::size_t(1));
        QCOMPARE(m_reports[0].routineName + m_reports[0].systemError, u"Form_Load53 - File not found"_s);
        m_reports.clear();
        QVERIFY(!m_window->hasEnded() && button("cmdSave")->isEnabled());
        QVERIFY(!child<PictureButton>("cmdAddFiles")->hasPicture());
    }

    void layoutFollowsTheWindow()
    {
        const TwipsScale scale = TwipsScale::of(m_window.get());
        // Asked for, held (a window manager may ignore the minimum-size hint: the last row).
        for (const auto &[asked, held] : {std::pair{QSize(24000, 14000), QSize(24000, 14000)},
                                          {QSize(10000, 6000), QSize(12200, 8500)},
                                          {QSize(11000, 9000), QSize(12200, 9000)}}) {
            if (asked.height() == 9000)
                m_window->setMinimumSize(0, 0);
            m_window->resize(scale.toPixels(asked));
            QTRY_COMPARE(m_window->size(), scale.toPixels(held));
            const QSize inner = m_window->centralWidget()->size();
            const QRect left = child("picLeft")->geometry();
            QCOMPARE(left, QRect(0, 0, scale.toPixelsX(3975), inner.height()));
            QCOMPARE(child("picLeftBottom")->geometry().bottom(), left.height() - 1);
            QCOMPARE(lv()->geometry().bottom() + 1, child("picLeftBottom")->y());
            QCOMPARE(child("lblPreview")->pos(), QPoint(left.width(), 0));
            const int top = child("lblPreview")->height();
            QCOMPARE(child("picRight")->geometry(),
                     QRect(left.width(), top, inner.width() - left.width(), inner.height() - top));
            QCOMPARE(child("cmdAbout")->geometry(), scale.toPixels(QRect(7470, 0, 855, 375)));
            QCOMPARE(child("picNavigationBar")->x(),
                     roundHalfEven((child("picBar")->width() - child("picNavigationBar")->width()) / 2.0));
        }
        // What a window system may report for an iconified window must not reach the panes.
        const auto geometries = [this] {
            QList<QRect> all;
            for (const QWidget *w : m_window->centralWidget()->findChildren<QWidget *>())
                all << w->geometry();
            return all;
        };
        const QList<QRect> before = geometries();
        const QSize size = m_window->size();
        m_window->setWindowState(Qt::WindowMinimized);
        m_window->resize(700, 400);
        QVERIFY(geometries() == before);
        m_window->setWindowState(Qt::WindowNoState);
        m_window->resize(size);
        QTRY_COMPARE(m_window->size(), size);
        QVERIFY(geometries() == before);
        // Pixels to twips and back must come out unchanged at any DPI, or holding the window at its
        // minimum would resize it again on every resize.
        for (const TwipsScale odd : {TwipsScale(110, 110), TwipsScale(144, 144), TwipsScale(192, 192)})
            for (int pixels = 0; pixels <= 5000; ++pixels)
                QVERIFY(odd.toPixelsX(odd.toTwipsX(pixels)) == pixels && odd.toPixelsY(odd.toTwipsY(pixels)) == pixels);
    }

    void basketCommands()
    {
        QCOMPARE(m_window->currentFolder(), picturesFolder());
        const QStringList trip = makeFiles(u"trip"_s, u"e1.jpg d2.jpg c3.png d4.jpg e5.gif"_s);
        addToBasket(trip);
        QCOMPARE(shown(), u"5 Files: e1.jpg d2.jpg c3.png d4.jpg e5.gif"_s);
        QCOMPARE(paths(), trip);
        // Entries 2 and 4 picked with the mouse, the second with Ctrl held; Delete takes them out.
        QTest::mouseClick(lv()->viewport(), Qt::LeftButton, {}, lv()->visualItemRect(lv()->topLevelItem(1)).center());
        QTest::mouseClick(lv()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          lv()->visualItemRect(lv()->topLevelItem(3)).center());
        QTest::keyClick(lv(), Qt::Key_Delete);
        QCOMPARE(shown(), u"3 Files: e1.jpg c3.png e5.gif"_s);

        // Add Folder twice: pictures only, each once; a folder gone since it was picked adds nothing.
        const QStringList more = makeFiles(u"more"_s, u"x.jpg Y.TIFF notes.txt"_s);
        const QString folder = m_files->filePath(u"more"_s);
        m_dialogs.folders = {folder, folder, folder + u"/gone"_s};
        for (int i = 0; i < 3; ++i)
            click("cmdAddFolder");
        QCOMPARE(shown(), u"5 Files: e1.jpg c3.png e5.gif x.jpg Y.TIFF"_s);
        QCOMPARE(paths().mid(3), more.mid(0, 2));
        QCOMPARE(m_dialogs.openedAt, (QStringList{picturesFolder(), m_files->filePath(u"trip"_s), folder, folder}));
        QVERIFY(m_dialogs.messages.isEmpty());

        lv()->topLevelItem(0)->setSelected(true);
        click("cmdRemove");
        QCOMPARE(shown(), u"4 Files: c3.png e5.gif x.jpg Y.TIFF"_s);
        QTest::keyClick(lv(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(lv()->selectedItems().size(), 4);
        click("cmdNew");
        QCOMPARE(shown(), u"0 Files: "_s);
        // Cancelled, blank and failing dialogs change nothing; the failure is reported.
        click("cmdAddFiles");
        m_dialogs.folders = {u"   "_s, u"!"_s};
        click("cmdAddFolder");
        click("cmdAddFolder");
        QCOMPARE(shown(), u"0 Files: "_s);
        QCOMPARE(m_reports.size(), std::size_t(1));
        QCOMPARE(m_reports[0].routineName + m_reports[0].trappingString,
                 u"modBrowseForFolder.Folder_BrowseCalling the Folder for Browse dialog"_s);
        m_reports.clear();
        click("cmdExit");
        QCOMPARE(stored("strFolderPath"), folder);
    }

    void fullBasketSaysSo()
    {
        // The basket does not open files, so the bulk of the entries need not exist.
        QStringList many;
        for (int i = 0; i < Basket::MaxEntries - 1; ++i)
            many << u"/bulk/%1.jpg"_s.arg(i);
        addToBasket(many);
        const QStringList last = makeFiles(u"last"_s, u"a.jpg b.jpg c.jpg"_s);
        m_dialogs.folders = {m_files->filePath(u"last"_s)};
        click("cmdAddFolder");
        QCOMPARE(m_dialogs.messages, QStringList{BasketController::limitMessage(2)});
        QCOMPARE(child<QLabel>("lblCount")->text(), u"32767 Files"_s);
        QCOMPARE(lv()->topLevelItemCount(), Basket::MaxEntries);
        QCOMPARE(paths().last(), last.at(0));
    }

    void dropsAddLikeTheCommands()
    {
        const QStringList loose = makeFiles(u"loose"_s, u"one.png readme.txt"_s);
        makeFiles(u"dropped"_s, u"p.jpg q.JPEG"_s);
        // A single file and a non-picture: like Add files with one file.
        QVERIFY(drop({QUrl::fromLocalFile(loose.at(0)), QUrl::fromLocalFile(loose.at(1))}));
        QCOMPARE(shown(), u"1 Files: one.png"_s);
        QCOMPARE(m_window->currentFolder(), m_files->filePath(u"loose/"_s));
        // A folder, plus the file again: like Add Folder, no duplicate.
        QVERIFY(drop({QUrl::fromLocalFile(loose.at(0)), QUrl::fromLocalFile(m_files->filePath(u"dropped/"_s))}));
        QCOMPARE(shown(), u"3 Files: one.png p.jpg q.JPEG"_s);
        QCOMPARE(m_window->currentFolder(), m_files->filePath(u"dropped"_s));
        QVERIFY(!drop({QUrl(u"https://example.org/x.jpg"_s)})); // not a local file: refused at the door

        // A name that is not UTF-8 arrives byte for byte, and the list shows it escaped.
        const QByteArray name = QFile::encodeName(m_files->path()) + "/caf\xe9 #1.jpg";
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0 && ::close(fd) == 0);
        QVERIFY(drop({QUrl::fromEncoded("file://" + name.toPercentEncoding("/"))}));
        QCOMPARE(nativePath(paths().last()), name);
        QCOMPARE(lv()->topLevelItem(3)->text(0), displayName(pathFromNative("caf\xe9 #1.jpg")));
    }

    // Reading that takes long locks the window, shows the progress and Cancel; Cancel returns at
    // once with nothing, and a close asked for meanwhile closes the window once it has returned.
    void slowReadingKeepsTheWindowResponsive()
    {
        const std::function<int(std::stop_token)> slow = [this](std::stop_token) { return m_release.acquire(), 7; };
        QTimer::singleShot(WorkerWait::ProgressAfterMs + 100, this, [this] {
            const auto cancel = qScopeGuard([this] { click("cmdCancel"); });
            QVERIFY(child("pb")->isVisible() && child<QProgressBar>("pb")->maximum() == 0);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
            for (const char *name : kRunLockedCommands)
                QVERIFY2(!button(name)->isEnabled(), name);
        });
        QTimer::singleShot(5000, this, [this] { m_release.release(); }); // a Cancel that fails must not hang
        QCOMPARE(m_window->workerWait().run(slow), std::nullopt);
        QVERIFY(!child("pb")->isVisible() && !child("cmdCancel")->isVisible() && !QGuiApplication::overrideCursor());
        QVERIFY(button("cmdAddFolder")->isEnabled());
        m_release.release(2); // the cancelled worker ends on its own; the next one need not wait
        QCOMPARE(m_window->workerWait().run(slow), std::optional<int>(7));
        QTRY_COMPARE(m_release.available(), 0); // taken by the cancelled worker, not the next one

        QTimer::singleShot(WorkerWait::QuickWaitMs * 2, this, [this] { m_window->close(); });
        QCOMPARE(m_window->workerWait().run(slow), std::nullopt);
        m_release.release();
        QTRY_VERIFY(m_window->hasEnded());
    }

    void fortyFivePhotosNavigationAndDrag()
    {
        addToBasket(m_photos);
        // The Delete key in the list would change the basket under the run.
        sampleRun(10, [this] {
            lv()->topLevelItem(0)->setSelected(true);
            QTest::keyClick(lv(), Qt::Key_Delete);
        });
        click("cmdPreview");
        QCOMPARE(child<QLabel>("lblCount")->text(), u"45 Files"_s);
        QCOMPARE(counter(), u"Page 1 of 2"_s);
        compareWithEngine(m_photos);
        QVERIFY(m_window->viewer()->pageView()->image() == m_window->pages().page(0).image());
        QVERIFY(!child("pb")->isVisible() && !child("cmdCancel")->isVisible() && button("cmdPrintAll")->isEnabled());
        // While it ran: progress and Cancel shown, commands locked, the newest page counted.
        QCOMPARE(m_samples.size(), 45);
        QCOMPARE(m_samples.filter(u"Page 1 of 1|11|"_s).size() + m_samples.filter(u"Page 2 of 2|11|"_s).size(), 45);

        // Next on the last page and Previous on the first show the same page again.
        for (const char *name : {"cmdNext", "cmdNext", "cmdLast", "cmdPrevious", "cmdPrevious", "cmdNext", "cmdFirst"})
            click(name);
        QCOMPARE(counter(), u"Page 1 of 2"_s);
        click("cmdLast");
        QCOMPARE(counter(), u"Page 2 of 2"_s);
        QVERIFY(m_window->viewer()->pageView()->image() == m_window->pages().page(1).image());

        // At actual size the page overhangs the default window: a drag pans it and stops at 0.
        QTest::mouseClick(child<QAbstractButton>("optZoom1"), Qt::LeftButton);
        auto *bar = child<QScrollBar>("hsOriginal");
        QVERIFY(bar->maximum() >= 50);
        bar->setValue(50);
        QWidget *page = m_window->viewer()->pageView();
        QTest::mousePress(page, Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseMove(page, QPoint(330, 200));
        QCOMPARE(bar->value(), 20);
        QTest::mouseMove(page, QPoint(330, 200)); // the page moved with the bar
        QCOMPARE(bar->value(), 0);
        QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(330, 200));
        click("cmdExit");
        QCOMPARE(stored("PageZoom"), u"1"_s);
    }

    void cancelKeepsThePagesMadeSoFarAndARunReplacesThem()
    {
        addToBasket(m_photos);
        sampleRun(33, [this] { click("cmdCancel"); });
        click("cmdPreview");
        QCOMPARE(m_samples.size(), 33);
        QCOMPARE(counter(), u"Page 1 of 2"_s);
        compareWithEngine(m_photos.mid(0, 33));
        QVERIFY(button("cmdSaveAll")->isEnabled());
        click("cmdLast");
        click("cmdNew");
        addToBasket(m_photos.mid(40, 3));
        click("cmdPreview");
        QCOMPARE(m_samples.last(), u"Page 1 of 1|11|"_s); // the pages of the first run locked too
        compareWithEngine(m_photos.mid(40, 3));
    }

    // A run whose captions had to give way says how many when it ends.
    void captionsThatLoseTextAreCountedWhenTheRunEnds()
    {
        QStringList shown;
        WindowDialogs dialogs;
        dialogs.basket = &m_dialogs;
        dialogs.message = [&](QWidget *, const UserMessage &message) { shown << message.text; };
        m_window = std::make_unique<MainWindow>(dialogs);
        m_window->formLoad();
        registrySettings().Captions.Caption = u"{name}, far too long a caption for its cell"_s;
        addToBasket(m_photos.mid(0, 3));
        click("cmdPreview");
        QCOMPARE(shown, QStringList{u"3 caption(s) or footer(s) had to be shortened to fit."_s});
    }

    void closingDuringARunCancelsItAndSaves()
    {
        addToBasket(m_photos);
        m_window->setCurrentFolder(u"/chosen"_s);
        sampleRun(5, [this] { m_window->close(); });
        click("cmdPreview");
        QCOMPARE(m_samples.size(), 5);
        QVERIFY(!m_window->isVisible() && m_window->hasEnded());
        QCOMPARE(stored("strFolderPath"), u"/chosen"_s);
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
