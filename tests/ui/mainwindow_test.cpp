// The real main window driven through its controls: layout on resize, the basket commands with
// scripted dialogs, Generate with real photos, the viewer's controls on generated pages, and the
// window's busy state while a run is in progress.
#include "core/registrystore.h"
#include "core/settings.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "generation/generationrun.h"
#include "output/saveasdialog.h"
#include "ui/basketdialogs.h"
#include "ui/mainlayout.h"
#include "ui/mainwindow.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"

#include <QAbstractButton>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

class ScriptedBasketDialogs : public BasketDialogs {
  public:
    QList<QStringList> fileAnswers;
    QStringList folderAnswers;
    QStringList initialFolders; // where each dialog opened, in order

    QStringList openFiles(QWidget *, const QString &initialFolder, const QStringList &) override
    {
        initialFolders.append(initialFolder);
        return fileAnswers.isEmpty() ? QStringList() : fileAnswers.takeFirst();
    }
    QString browseFolder(QWidget *, const QString &initialFolder, const QString &) override
    {
        initialFolders.append(initialFolder);
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    void message(QWidget *, const QString &) override {}
};

class ScriptedSaveAs : public SaveAsDialog {
  public:
    SaveDialogAnswer answer;
    SaveDialogAnswer askSaveFile(QWidget *, const FileDialog &) override { return std::exchange(answer, {}); }
    QString askPageFile(QWidget *, PageSaveChoice &) override { return {}; }
};

// What the window showed while a run was in progress, sampled at every progress step.
struct RunSample {
    QString counter;
    bool progressShown = false;
    bool cancelShown = false;
    QStringList enabledCommands;
};

const char *const kRunLockedCommands[] = {"cmdPreview",       "cmdAddFiles", "cmdAddFolder", "cmdNew",
                                          "cmdRemove",        "cmdTasks",    "cmdSave",      "cmdSaveAll",
                                          "cmdSaveMultiPage", "cmdPrint",    "cmdPrintAll"};

void sendMouse(QWidget *widget, QEvent::Type type, QPointF position)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Thumbnails on a page of the default settings: cells of 140 x 88 whose centre area holds
// anything but the white background.
int thumbnailsOn(const QImage &page)
{
    const int xs[] = {16, 172, 328, 484, 640};
    const int ys[] = {10, 108, 206, 304, 402, 500};
    int count = 0;
    for (int y : ys) {
        for (int x : xs) {
            bool filled = false;
            for (int dy = 34; dy < 54 && !filled; ++dy)
                for (int dx = 60; dx < 80 && !filled; ++dx)
                    filled = page.pixel(x + dx, y + dy) != qRgb(255, 255, 255);
            count += filled;
        }
    }
    return count;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_photoDir;
    QStringList m_photos; // 45 small copies of the real test photos
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<QTemporaryDir> m_files;
    ScriptedBasketDialogs m_basketDialogs;
    ScriptedSaveAs m_saveAs;
    QList<UserMessage> m_messages;
    int m_settingsOpened = 0;
    std::vector<ErrorReport> m_reports;
    std::unique_ptr<MainWindow> m_window;
    QList<RunSample> m_samples;
    QMetaObject::Connection m_sampling;

    template <typename T = QWidget> T *child(const char *name) const
    {
        T *widget = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    void click(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString countText() const { return child<QLabel>("lblCount")->text(); }
    QString counter() const { return child<QLineEdit>("txtNavigation")->text(); }
    QTreeWidget *lv() const { return child<QTreeWidget>("lv"); }
    QStringList listTexts() const
    {
        QStringList texts;
        for (int i = 0; i < lv()->topLevelItemCount(); ++i)
            texts << lv()->topLevelItem(i)->text(0);
        return texts;
    }
    QString stored(const char *name) const
    {
        return RegistryStore().getValue(settingsSection(), QString::fromLatin1(name), u"<missing>"_s);
    }
    QStringList makeFiles(const QString &folder, std::initializer_list<const char *> names) const
    {
        QDir().mkpath(folder);
        QStringList paths;
        for (const char *name : names) {
            QFile file(folder + u'/' + QString::fromLatin1(name));
            file.open(QIODevice::WriteOnly);
            paths << file.fileName();
        }
        return paths;
    }

    void addToBasket(const QStringList &paths)
    {
        m_basketDialogs.fileAnswers.push_back(paths);
        click("cmdAddFiles");
    }

    // Samples the window at every progress step of the next run into m_samples; `action` runs
    // once when the step with value `atValue` is reached.
    void sampleRun(int atValue = 0, std::function<void()> action = {})
    {
        QProgressBar *bar = child<QProgressBar>("pb");
        m_sampling = connect(bar, &QProgressBar::valueChanged, m_window.get(), [=, this](int value) {
            if (value == 0)
                return;
            RunSample sample{counter(), bar->isVisible(), button("cmdCancel")->isVisible(), {}};
            for (const char *name : kRunLockedCommands)
                if (button(name)->isEnabled())
                    sample.enabledCommands << QString::fromLatin1(name);
            m_samples.append(sample);
            if (value == atValue && action)
                action();
        });
    }
    void verifyLockedThroughout() const
    {
        QVERIFY(!m_samples.isEmpty());
        for (const RunSample &s : m_samples)
            QVERIFY2(s.enabledCommands.isEmpty(), qPrintable(s.enabledCommands.join(u' ')));
    }

    // The window's pages must be those the engine makes of the same files.
    void compareWithEngine(const QStringList &paths)
    {
        PageSet expected;
        NullProgress progress;
        GenerationRun(defaultSettings(), paths, progress).run(expected);
        PageSet &pages = m_window->pages();
        QCOMPARE(pages.count(), expected.count());
        for (int k = 0; k < pages.count(); ++k)
            QVERIFY2(pages.page(k).image() == expected.page(k).image(), qPrintable(QString::number(k)));
    }

  private slots:
    void initTestCase()
    {
        // Small copies keep the runs quick; the photos themselves are real camera files.
        const QDir source(QStringLiteral(PAGORRA_TESTDATA "/photos"));
        const QStringList names = source.entryList({u"*.jpg"_s}, QDir::Files, QDir::Name);
        QVERIFY(!names.isEmpty());
        QStringList small;
        for (const QString &name : names) {
            QImageReader reader(source.filePath(name));
            reader.setAutoTransform(true);
            reader.setScaledSize(reader.size().scaled(240, 240, Qt::KeepAspectRatio));
            const QString path = m_photoDir.filePath(name);
            QVERIFY2(reader.read().save(path, "JPEG", 85), qPrintable(name));
            small << path;
        }
        for (int i = 0; i < 45; ++i) {
            const QString path = m_photoDir.filePath(u"photo%1.jpg"_s.arg(i + 1, 2, 10, QLatin1Char('0')));
            QVERIFY(QFile::copy(small.at(i % small.size()), path));
            m_photos << path;
        }
    }

    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        registrySettings() = RegistrySettings();
        m_basketDialogs = ScriptedBasketDialogs();
        m_messages.clear();
        m_settingsOpened = 0;
        m_reports.clear();
        m_samples.clear();
        setReportPresenter([this](const ErrorReport &r) { m_reports.push_back(r); });

        WindowDialogs dialogs;
        dialogs.basket = &m_basketDialogs;
        dialogs.saveAs = &m_saveAs;
        dialogs.settings = [this](RegistrySettings &, QWidget *) {
            ++m_settingsOpened;
            return false;
        };
        dialogs.message = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
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

    void resizeHoldsTheMinimumAndMinimisingKeepsTheLayout()
    {
        const TwipsScale scale = TwipsScale::of(m_window.get());
        m_window->resize(scale.toPixels(QSize(10000, 6000)));
        QTRY_COMPARE(m_window->size(), scale.toPixels(QSize(12200, 8500)));

        m_window->resize(1300, 900);
        QTRY_COMPARE(m_window->size(), QSize(1300, 900));
        QWidget *right = child("picRight");
        QCOMPARE(right->geometry().right(), m_window->centralWidget()->width() - 1);
        QCOMPARE(right->geometry().bottom(), m_window->centralWidget()->height() - 1);
        QWidget *bar = child("picBar");
        QWidget *navigation = child("picNavigationBar");
        QCOMPARE(navigation->x(), roundHalfEven((bar->width() - navigation->width()) / 2.0));

        QHash<const QWidget *, QRect> before;
        const QList<QWidget *> widgets = m_window->findChildren<QWidget *>();
        for (const QWidget *w : widgets)
            before.insert(w, w->geometry());
        m_window->setWindowState(Qt::WindowMinimized);
        QVERIFY(m_window->isMinimized());
        m_window->resize(700, 400); // what a window system may report for an icon
        m_window->setWindowState(Qt::WindowNoState);
        m_window->resize(1300, 900);
        QTRY_COMPARE(m_window->size(), QSize(1300, 900));
        for (const QWidget *w : widgets)
            QCOMPARE(w->geometry(), before.value(w));
    }

    // The basket rules have their own tests; here the commands reach them and the label follows.
    void basketCommandsUpdateTheListCountAndFolder()
    {
        const QString start = m_window->currentFolder();
        QCOMPARE(start, picturesFolder());
        const QString trip = m_files->filePath(u"trip"_s);
        addToBasket(makeFiles(trip, {"e1.jpg", "d2.jpg", "c3.png"}));
        QCOMPARE(listTexts(), (QStringList{u"e1.jpg"_s, u"d2.jpg"_s, u"c3.png"_s}));
        QCOMPARE(countText(), u"3 Files"_s);
        QCOMPARE(m_window->currentFolder(), trip);

        const QString more = m_files->filePath(u"more"_s);
        makeFiles(more, {"x.jpg", "y.gif", "notes.txt"});
        m_basketDialogs.folderAnswers = {more};
        click("cmdAddFolder");
        QCOMPARE(countText(), u"5 Files"_s);
        QCOMPARE(m_basketDialogs.initialFolders, (QStringList{start, trip}));

        lv()->topLevelItem(1)->setSelected(true);
        lv()->topLevelItem(3)->setSelected(true);
        click("cmdRemove");
        QCOMPARE(listTexts(), (QStringList{u"e1.jpg"_s, u"c3.png"_s, u"y.gif"_s}));
        QCOMPARE(countText(), u"3 Files"_s);
        click("cmdNew");
        QCOMPARE(countText(), u"0 Files"_s);
        QCOMPARE(lv()->topLevelItemCount(), 0);

        click("cmdExit");
        QVERIFY(!m_window->isVisible());
        QCOMPARE(stored("strFolderPath"), more);
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
        QCOMPARE(countText(), u"45 Files"_s);

        QCOMPARE(counter(), u"Page 1 of 2"_s);
        PageSet &pages = m_window->pages();
        QCOMPARE(pages.count(), 2);
        QCOMPARE(thumbnailsOn(pages.page(0).image()), 30);
        QCOMPARE(thumbnailsOn(pages.page(1).image()), 15);
        QVERIFY(m_window->viewer()->pageView()->image() == pages.page(0).image());
        QVERIFY(!child("pb")->isVisible());
        QVERIFY(!child("cmdCancel")->isVisible());
        for (const char *name : kRunLockedCommands)
            QVERIFY2(button(name)->isEnabled(), name);

        // While it ran: progress and Cancel shown, the newest page counted, commands locked.
        QCOMPARE(m_samples.size(), 45);
        verifyLockedThroughout();
        QStringList counters;
        for (const RunSample &s : std::as_const(m_samples)) {
            QVERIFY(s.progressShown && s.cancelShown);
            if (!counters.contains(s.counter))
                counters << s.counter;
        }
        QCOMPARE(counters, (QStringList{u"Page 1 of 1"_s, u"Page 2 of 2"_s}));

        // Next on the last page and Previous on the first show the same page again.
        click("cmdNext");
        click("cmdNext");
        QCOMPARE(counter(), u"Page 2 of 2"_s);
        QVERIFY(m_window->viewer()->pageView()->image() == pages.page(1).image());
        click("cmdPrevious");
        click("cmdPrevious");
        QCOMPARE(counter(), u"Page 1 of 2"_s);
        QVERIFY(m_window->viewer()->pageView()->image() == pages.page(0).image());

        // At actual size the page overhangs the default window: a drag pans it and stops at 0.
        QTest::mouseClick(child<QAbstractButton>("optZoom1"), Qt::LeftButton);
        auto *bar = child<QScrollBar>("hsOriginal");
        QVERIFY(bar->maximum() >= 50);
        bar->setValue(50);
        QWidget *page = m_window->viewer()->pageView();
        const QPointF grabbed(300, 200);
        sendMouse(page, QEvent::MouseButtonPress, grabbed);
        sendMouse(page, QEvent::MouseMove, grabbed + QPointF(30, 0));
        QCOMPARE(bar->value(), 20);
        sendMouse(page, QEvent::MouseMove, grabbed + QPointF(30, 0)); // the page moved with the bar
        QCOMPARE(bar->value(), 0);
        sendMouse(page, QEvent::MouseButtonRelease, grabbed);

        click("cmdExit");
        QCOMPARE(stored("PageZoom"), u"1"_s);
    }

    void cancelKeepsThePagesMadeSoFar()
    {
        addToBasket(m_photos);
        sampleRun(33, [this] { click("cmdCancel"); });
        click("cmdPreview");
        QCOMPARE(m_samples.size(), 33);
        QCOMPARE(counter(), u"Page 1 of 2"_s);
        QCOMPARE(thumbnailsOn(m_window->pages().page(1).image()), 3);
        compareWithEngine(m_photos.mid(0, 33));
        QVERIFY(button("cmdSaveAll")->isEnabled());
    }

    void secondRunReplacesTheFirst()
    {
        addToBasket(m_photos);
        click("cmdPreview");
        click("cmdLast");
        click("cmdNew");
        addToBasket(m_photos.mid(40, 3));
        click("cmdPreview");
        QCOMPARE(counter(), u"Page 1 of 1"_s);
        compareWithEngine(m_photos.mid(40, 3));
    }

    void failedCheckShowsItsMessageAndChangesNothing()
    {
        addToBasket(m_photos.mid(0, 1));
        click("cmdPreview");
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, u"At least two images are required in the basket to use this feature!"_s);
        QCOMPARE(counter(), u"Page 1"_s);
        QVERIFY(!button("cmdSave")->isEnabled());
        QVERIFY(button("cmdPreview")->isEnabled());
    }

    void closingDuringARunCancelsItAndSaves()
    {
        addToBasket(m_photos);
        m_window->setCurrentFolder(u"/chosen"_s);
        sampleRun(5, [this] { m_window->close(); });
        click("cmdPreview");
        QCOMPARE(m_samples.size(), 5);
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_window->hasEnded());
        QCOMPARE(stored("strFolderPath"), u"/chosen"_s);
    }

    void saveAllRunsWithTheWindowBusy()
    {
        addToBasket(m_photos);
        click("cmdPreview");
        const QString out = m_files->filePath(u"out"_s);
        QDir().mkpath(out);
        m_saveAs.answer = {true, out + u"/sheet"_s, 8};
        sampleRun();
        click("cmdSaveAll");
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
        verifyLockedThroughout();
        QVERIFY(button("cmdAddFiles")->isEnabled());

        click("cmdTasks");
        QCOMPARE(m_settingsOpened, 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
