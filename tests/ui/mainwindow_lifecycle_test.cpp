#include "core/help.h"
#include "core/registrystore.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "ui/mainwindow.h"
#include "ui/picturebutton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// A main window whose start-up fails at the image library step.
class FailingStartWindow : public MainWindow {
  public:
    explicit FailingStartWindow(std::function<void()> fail) : m_fail(std::move(fail)) {}

  protected:
    void startImagingLibrary() override { m_fail(); }

  private:
    std::function<void()> m_fail;
};

struct SeenBox {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next modal message box with OK and records what it showed.
void answerNextMessageBox(SeenBox *seen)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, seen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen->text = box->text();
            seen->icon = box->icon();
            box->accept();
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

} // namespace

class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class MainWindowLifecycleTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<ErrorReport> m_reports;

    static void put(const char *name, const char *text)
    {
        RegistryStore().setValue(settingsSection(), QString::fromLatin1(name), QString::fromLatin1(text));
    }
    static QString stored(const char *name)
    {
        return RegistryStore().getValue(settingsSection(), QString::fromLatin1(name), u"<missing>"_s);
    }
    template <typename T = QPushButton> static T *child(QWidget &window, const char *name)
    {
        T *widget = window.findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

    // Another open window: ending the program must close it as well.
    static QPointer<QWidget> otherWindow()
    {
        auto *other = new QWidget;
        other->setAttribute(Qt::WA_DeleteOnClose);
        other->show();
        return other;
    }

  private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
        registrySettings() = RegistrySettings();
        m_reports.clear();
        setReportPresenter([this](const ErrorReport &r) { m_reports.push_back(r); });
    }

    void cleanup() { setReportPresenter({}); }

    void firstRunStartsWithDefaultsAndSavesThemAtExit()
    {
        MainWindow window;
        window.formLoad();
        window.show();
        QVERIFY(child<QAbstractButton>(window, "optZoom0")->isChecked());
        QCOMPARE(window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
        for (const char *name : {"cmdSave", "cmdSaveAll", "cmdSaveMultiPage", "cmdPrint", "cmdPrintAll"})
            QVERIFY2(!child(window, name)->isEnabled(), name);
        QVERIFY(!QFile::exists(RegistryStore::defaultPath()));

        QTest::mouseClick(child(window, "cmdExit"), Qt::LeftButton);
        QVERIFY(window.hasEnded());
        RegistrySettings saved;
        loadRegistrySettings(saved, RegistryStore());
        RegistrySettings expected = defaultSettings();
        expected.strFolderPath = picturesFolder();
        QCOMPARE(saved, expected);
        QVERIFY(m_reports.empty());
    }

    void closePathsSaveAlike_data()
    {
        QTest::addColumn<bool>("titleBar");
        QTest::newRow("Exit button") << false;
        QTest::newRow("title-bar close") << true;
    }

    void closePathsSaveAlike()
    {
        QFETCH(bool, titleBar);
        put("PageZoom", "1");
        put("Title", "Mine");
        put("Unknown", "kept");
        MainWindow window;
        window.formLoad();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(child<QAbstractButton>(window, "optZoom1")->isChecked());
        QTest::mouseClick(child<QAbstractButton>(window, "optZoom0"), Qt::LeftButton);
        window.setCurrentFolder(u"/srv/photos"_s);
        registrySettings().PrintCopies = 4; // as a print dialog would leave it
        const QPointer<QWidget> other = otherWindow();

        if (titleBar)
            window.windowHandle()->close();
        else
            QTest::mouseClick(child(window, "cmdExit"), Qt::LeftButton);

        QVERIFY(!window.isVisible());
        QTRY_VERIFY(other.isNull());
        QCOMPARE(stored("PageZoom"), u"0"_s);
        QCOMPARE(stored("strFolderPath"), u"/srv/photos"_s);
        QCOMPARE(stored("PrintCopies"), u"4"_s);
        QCOMPARE(stored("Title"), u"Mine"_s);
        QCOMPARE(stored("Unknown"), u"kept"_s);
    }

    void windowState_data()
    {
        QTest::addColumn<int>("storedState");
        QTest::addColumn<QList<int>>("shown");
        QTest::addColumn<QString>("savedState");
        QTest::newRow("maximised, minimised") << 2 << QList<int>{Qt::WindowMinimized} << "2";
        // a minimised window keeps the state it was started in, not the one it had last
        QTest::newRow("maximised, restored, minimised")
            << 2 << QList<int>{Qt::WindowNoState, Qt::WindowMinimized} << "2";
        QTest::newRow("normal, minimised") << 0 << QList<int>{Qt::WindowMinimized} << "0";
        QTest::newRow("normal, maximised") << 0 << QList<int>{Qt::WindowMaximized} << "2";
        QTest::newRow("maximised, restored") << 2 << QList<int>{Qt::WindowNoState} << "0";
    }

    void windowState()
    {
        QFETCH(int, storedState);
        QFETCH(QList<int>, shown);
        QFETCH(QString, savedState);
        put("iState", storedState == 2 ? "2" : "0");
        MainWindow window;
        window.formLoad();
        window.show();
        QCOMPARE(bool(window.windowState() & Qt::WindowMaximized), storedState == 2);
        for (int state : shown)
            window.setWindowState(Qt::WindowState(state));
        QCoreApplication::processEvents();
        window.close();
        QCOMPARE(stored("iState"), savedState);
    }

    void badStoredValueIsReportedOnceAndStartUpGoesOn()
    {
        put("PageWidth", "wide");
        put("PageHeight", "700");
        put("PageZoom", "1");
        MainWindow window;
        window.formLoad();
        QCOMPARE(m_reports.size(), std::size_t(1));
        QCOMPARE(m_reports[0].routineName, u"subLoadRegistrySettings"_s);
        QCOMPARE(m_reports[0].systemError, u"13 - Type mismatch"_s);
        QVERIFY(child<QAbstractButton>(window, "optZoom1")->isChecked());
        window.close();
        QCOMPARE(stored("PageWidth"), u"800"_s);
        QCOMPARE(stored("PageHeight"), u"700"_s);
    }

    void outOfMemoryAtStartUpSavesOnceAndEnds_data()
    {
        QTest::addColumn<bool>("badAlloc");
        QTest::newRow("run-time error 7") << false;
        QTest::newRow("allocation failure") << true;
    }

    void outOfMemoryAtStartUpSavesOnceAndEnds()
    {
        QFETCH(bool, badAlloc);
        put("Title", "Mine");
        const QPointer<QWidget> other = otherWindow();
        FailingStartWindow window([badAlloc] {
            if (badAlloc)
                throw std::bad_alloc();
            PAGORRA_RAISE(err::OutOfMemory, u"Out of memory"_s);
        });
        SeenBox seen;
        answerNextMessageBox(&seen);
        window.formLoad();

        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.text, u"The system is low on memory!\nPlease free up some memory and try running again."_s);
        QVERIFY(window.hasEnded());
        QVERIFY(!window.isVisible());
        QTRY_VERIFY(other.isNull());
        QCOMPARE(stored("Title"), u"Mine"_s);
        QVERIFY(m_reports.empty());

        // The nested pass and any later close neither save nor release a second time.
        put("Title", "written by someone else");
        window.close();
        window.endProgram();
        QCOMPARE(stored("Title"), u"written by someone else"_s);
    }

    void otherStartUpErrorIsReportedAndWindowStaysAsPrepared()
    {
        FailingStartWindow window([] { PAGORRA_RAISE(err::FileNotFound, u"File not found"_s); });
        window.formLoad();
        QCOMPARE(m_reports.size(), std::size_t(1));
        QCOMPARE(m_reports[0].routineName, u"Form_Load"_s);
        QCOMPARE(m_reports[0].systemError, u"53 - File not found"_s);
        QVERIFY(!window.hasEnded());
        // The steps after the failing one did not run.
        QVERIFY(!child<PictureButton>(window, "cmdAddFiles")->hasPicture());
        QVERIFY(child(window, "cmdSave")->isEnabled());
        window.show();
        window.close();
        QVERIFY(QFile::exists(RegistryStore::defaultPath()));
    }

    void helpOpensTheShippedDocument()
    {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(u"file"_s, &recorder, "open");
        MainWindow window;
        window.formLoad();
        QTest::mouseClick(child(window, "cmdHelp"), Qt::LeftButton);
        // A folder without the document: nothing is opened.
        QTemporaryDir empty;
        openHelpDocument(empty.path());
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QCOMPARE(recorder.urls,
                 QList<QUrl>{QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + u"/help.html"_s)});
        window.close();
    }
};

QTEST_MAIN(MainWindowLifecycleTest)
#include "mainwindow_lifecycle_test.moc"
