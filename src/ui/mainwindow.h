#pragma once

#include "generation/pageset.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QPushButton;

namespace pagorra {

class BasketController;
struct BasketReading;
class BasketDialogs;
class MainPanes;
class PageViewer;
class PrintDialog;
class SaveAsDialog;
class WindowProgress;
class WorkerWait;
class ZoomTools;
struct RegistrySettings;
struct UserMessage;
struct WriteOptions;

// The dialogs the window's commands open. A null entry means the program's own dialog; tests
// put scripted ones in. The window does not own them, and they must outlive it.
struct WindowDialogs {
    BasketDialogs *basket = nullptr;
    SaveAsDialog *saveAs = nullptr;
    PrintDialog *print = nullptr;
    // The settings dialog: true when the user saved.
    std::function<bool(RegistrySettings &, QWidget *)> settings;
    // A run's check message, shown modally with the application title.
    std::function<void(QWidget *, const UserMessage &)> message;
};

// The program's one working window, `frmMain`: the basket and the commands on the left, the
// page viewer on the right. Loading it (formLoad) starts the program and closing it (the
// "Exit" button or the title bar) ends it: the window state is captured into the settings
// record, the settings are saved once and every window is closed.
// Construction lives in mainwindow.cpp, start-up and shutdown in mainwindow_lifecycle.cpp,
// the commands in mainwindow_commands.cpp and the Generate run in mainwindow_generate.cpp.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(const WindowDialogs &dialogs = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: initialises the window from the settings record. A failure is reported
    // ("Form_Load") and leaves the window as far as it was prepared; running out of memory
    // says so and ends the program (hasEnded() is then true).
    void formLoad();
    // Copies the zoom option, the window state (unless minimised) and the current folder
    // into the settings record.
    void storeMainFormState();
    // Shutdown: saves the settings, releases the pages and closes every window. Runs once;
    // a nested call (from closing this window inside it) returns at once.
    void endProgram();
    bool hasEnded() const { return m_shutdownStarted; }

    // The folder in which the add-files and add-folder dialogs start.
    const QString &currentFolder() const { return m_currentFolder; }
    void setCurrentFolder(const QString &folder) { m_currentFolder = folder; }

    PageSet &pages() { return m_pages; }
    MainPanes *panes() const { return m_panes; }
    PageViewer *viewer() const { return m_viewer; }
    BasketController *basket() const { return m_basket; }
    // Slow reading for the window's commands, with the window responsive meanwhile.
    WorkerWait &workerWait() const { return *m_workerWait; }
    // True while Generate or one of the output runs is in progress.
    bool isRunning() const { return m_running; }

    // The five output commands, enabled only while there are generated pages.
    void setOutputButtonsEnabled(bool enabled);
    // Lays the panes out for the window's size and fits the page on display.
    void relayout();

  public slots:
    // "Generate" (cmdPreview_Click).
    void generate();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Starts the image library (initialisation step 4); virtual so that a test can make
    // start-up fail there.
    virtual void startImagingLibrary();

  private:
    // Construction (mainwindow.cpp).
    void buildWidgets();
    void connectCommands();
    QList<QPushButton *> outputButtons() const;

    // Lifecycle (mainwindow_lifecycle.cpp).
    void initMainForm();
    void restoreWindowState();
    void attachToolButtonPictures();
    void releaseToolButtonPictures();
    void reportLowMemoryAndEnd();
    void closeAllWindows();

    // Commands (mainwindow_commands.cpp).
    void addFiles();
    void addFolder();
    void newBasket();
    void removeSelected();
    void showSettings();
    void savePage();
    void saveAll();
    void saveMultiPageDocument();
    WriteOptions writeOptions() const;
    void printPage();
    void printAll();
    void showAbout();
    void showHelp();
    // Runs an output command that goes through the pages one by one, with the window busy.
    void runOutput(const std::function<void()> &command);
    // Reads the paths of Add Folder and of drops off the window's thread (see WorkerWait).
    std::optional<BasketReading> readFolders(const QStringList &paths, const QSet<QString> &known, int room);

    // Runs (mainwindow_generate.cpp).
    void beginRun();
    void endRun();
    // A close asked for during a run takes effect once the run has ended.
    void closeIfAsked();
    void finishGeneration();
    void showCheckMessage(const UserMessage &message);
    bool hasGeneratedPages() const;

    WindowDialogs m_dialogs;
    PageSet m_pages;
    std::unique_ptr<BasketDialogs> m_ownBasketDialogs;
    std::unique_ptr<SaveAsDialog> m_ownSaveAsDialog;

    MainPanes *m_panes = nullptr;
    ZoomTools *m_zoomTools = nullptr;
    PageViewer *m_viewer = nullptr;
    BasketController *m_basket = nullptr;
    WindowProgress *m_progress = nullptr;
    std::unique_ptr<WorkerWait> m_workerWait;

    QString m_currentFolder;
    bool m_running = false;
    bool m_closeAfterRun = false;
    bool m_shutdownStarted = false;
    bool m_closed = false;
};

} // namespace pagorra
