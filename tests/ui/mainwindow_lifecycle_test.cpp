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
#include <functional>
#include <memory>
#include <new>

using namespace pagorra;

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
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next modal message box with OK and records what it showed.
void answerNextMessageBox(SeenBox *seen)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, seen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen->title = box->windowTitle();
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

    RegistryStore store() const { return RegistryStore(); }
    void put(const QString &name, const QString &text) const { store().setValue(settingsSection(), name, text); }
    QString stored(const QString &name) const
    {
        return store().getValue(settingsSection(), name, QStringLiteral("<missing>"));
    }
    template <typename T> static T *child(QWidget &window, const char *name)
    {
        T *widget = window.findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
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
        QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Arvok Pagorra"));
        QVERIFY(child<QAbstractButton>(window, "optZoom0")->isChecked());
        QVERIFY(!child<QAbstractButton>(window, "optZoom1")->isChecked());
        QCOMPARE(window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
        for (const char *name : {"cmdSave", "cmdSaveAll", "cmdSaveMultiPage", "cmdPrint", "cmdPrintAll"})
            QVERIFY2(!child<QPushButton>(window, name)->isEnabled(), name);
        QCOMPARE(child<QPushButton>(window, "cmdExit")->text(), QStringLiteral("Exit"));
        QCOMPARE(window.currentFolder(), picturesFolder());
        QVERIFY(!QFile::exists(RegistryStore::defaultPath()));

        QTest::mouseClick(child<QPushButton>(window, "cmdExit"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(window.hasEnded());
        RegistrySettings saved;
        loadRegistrySettings(saved, store());
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
        put(QStringLiteral("PageZoom"), QStringLiteral("1"));
        put(QStringLiteral("Title"), QStringLiteral("Mine"));
        put(QStringLiteral("Unknown"), QStringLiteral("kept"));
        MainWindow window;
        window.formLoad();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(child<QAbstractButton>(window, "optZoom1")->isChecked());
        QTest::mouseClick(child<QAbstractButton>(window, "optZoom0"), Qt::LeftButton);
        window.setCurrentFolder(QStringLiteral("/srv/photos"));
        registrySettings().PrintCopies = 4; // as a print dialog would leave it

        if (titleBar)
            window.windowHandle()->close();
        else
            QTest::mouseClick(child<QPushButton>(window, "cmdExit"), Qt::LeftButton);

        QVERIFY(!window.isVisible());
        QCOMPARE(stored(QStringLiteral("PageZoom")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("strFolderPath")), QStringLiteral("/srv/photos"));
        QCOMPARE(stored(QStringLiteral("PrintCopies")), QStringLiteral("4"));
        QCOMPARE(stored(QStringLiteral("Title")), QStringLiteral("Mine"));
        QCOMPARE(stored(QStringLiteral("Unknown")), QStringLiteral("kept"));
    }

    void windowState_data()
    {
        QTest::addColumn<QString>("storedState");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("savedState");
        QTest::newRow("maximised, minimised, closed") << "2"
                                                      << "minimise"
                                                      << "2";
        QTest::newRow("normal, maximised") << "0"
                                           << "maximise"
                                           << "2";
        QTest::newRow("maximised, restored") << "2"
                                             << "restore"
                                             << "0";
        QTest::newRow("normal, minimised") << "0"
                                           << "minimise"
                                           << "0";
        QTest::newRow("maximised, restored, minimised") << "2"
                                                        << "restore then minimise"
                                                        << "2";
    }

    void windowState()
    {
        QFETCH(QString, storedState);
        QFETCH(QString, action);
        QFETCH(QString, savedState);
        put(QStringLiteral("iState"), storedState);
        MainWindow window;
        window.formLoad();
        window.show();
        QCOMPARE(bool(window.windowState() & Qt::WindowMaximized), storedState == u"2");
        if (action == u"minimise")
            window.showMinimized();
        else if (action == u"maximise")
            window.showMaximized();
        else
            window.showNormal();
        if (action == u"restore then minimise")
            window.showMinimized();
        QCoreApplication::processEvents();
        window.close();
        QCOMPARE(stored(QStringLiteral("iState")), savedState);
    }

    void badStoredValueIsReportedOnceAndStartUpGoesOn()
    {
        put(QStringLiteral("PageWidth"), QStringLiteral("wide"));
        put(QStringLiteral("PageHeight"), QStringLiteral("700"));
        put(QStringLiteral("PageZoom"), QStringLiteral("1"));
        MainWindow window;
        window.formLoad();
        QCOMPARE(m_reports.size(), std::size_t(1));
        QCOMPARE(m_reports[0].routineName, QStringLiteral("subLoadRegistrySettings"));
        QCOMPARE(m_reports[0].systemError, QStringLiteral("13 - Type mismatch"));
        QVERIFY(child<QAbstractButton>(window, "optZoom1")->isChecked());
        window.close();
        QCOMPARE(stored(QStringLiteral("PageWidth")), QStringLiteral("800"));
        QCOMPARE(stored(QStringLiteral("PageHeight")), QStringLiteral("700"));
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
        put(QStringLiteral("Title"), QStringLiteral("Mine"));
        auto *extra = new QWidget;
        extra->setAttribute(Qt::WA_DeleteOnClose);
        extra->show();
        QPointer<QWidget> extraAlive(extra);

        FailingStartWindow window([badAlloc] {
            if (badAlloc)
                throw std::bad_alloc();
            PAGORRA_RAISE(err::OutOfMemory, QStringLiteral("Out of memory"));
        });
        SeenBox seen;
        answerNextMessageBox(&seen);
        window.formLoad();

        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.title, QStringLiteral("Arvok Pagorra"));
        QCOMPARE(seen.text,
                 QStringLiteral("The system is low on memory!\nPlease free up some memory and try running again."));
        QVERIFY(window.hasEnded());
        QVERIFY(!window.isVisible());
        QTRY_VERIFY(extraAlive.isNull()); // every other window was closed as well
        QCOMPARE(stored(QStringLiteral("Title")), QStringLiteral("Mine"));
        QVERIFY(m_reports.empty());

        // The nested pass and any later close neither save nor release a second time.
        put(QStringLiteral("Title"), QStringLiteral("written by someone else"));
        window.close();
        window.endProgram();
        QCOMPARE(stored(QStringLiteral("Title")), QStringLiteral("written by someone else"));
    }

    void otherStartUpErrorIsReportedAndWindowStaysAsPrepared()
    {
        FailingStartWindow window([] { PAGORRA_RAISE(err::FileNotFound, QStringLiteral("File not found")); });
        window.formLoad();
        QCOMPARE(m_reports.size(), std::size_t(1));
        QCOMPARE(m_reports[0].routineName, QStringLiteral("Form_Load"));
        QCOMPARE(m_reports[0].systemError, QStringLiteral("53 - File not found"));
        QVERIFY(m_reports[0].errorLineNumber > 0);
        QVERIFY(!window.hasEnded());
        // The steps after the failing one did not run.
        QVERIFY(!child<PictureButton>(window, "cmdAddFiles")->hasPicture());
        QVERIFY(child<QPushButton>(window, "cmdSave")->isEnabled());
        window.show();
        window.close();
        QVERIFY(QFile::exists(RegistryStore::defaultPath()));
    }

    void exitClosesOtherWindowsFirst()
    {
        MainWindow window;
        window.formLoad();
        window.show();
        auto *other = new QWidget;
        other->setAttribute(Qt::WA_DeleteOnClose);
        other->show();
        QPointer<QWidget> otherAlive(other);
        QTest::mouseClick(child<QPushButton>(window, "cmdExit"), Qt::LeftButton);
        QTRY_VERIFY(otherAlive.isNull());
        QVERIFY(!window.isVisible());
    }

    void helpOpensTheShippedDocument()
    {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        MainWindow window;
        window.formLoad();
        QPushButton *help = child<QPushButton>(window, "cmdHelp");
        QCOMPARE(help->toolTip(), QStringLiteral("View Application help and documentation"));
        QTest::mouseClick(help, Qt::LeftButton);
        QCOMPARE(recorder.urls.size(), 1);
        QCOMPARE(recorder.urls[0],
                 QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/help.html")));

        // A folder without the document: nothing is opened.
        QTemporaryDir empty;
        QCOMPARE(helpDocumentPath(empty.path()), QString());
        openHelpDocument(empty.path());
        QCOMPARE(recorder.urls.size(), 1);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        window.close();
    }
};

QTEST_MAIN(MainWindowLifecycleTest)
#include "mainwindow_lifecycle_test.moc"
