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
struct GenerationResult;

// The file dialogs of jobs and manifests.
enum class JobFileDialog { OpenJob, SaveJobAs, SaveManifest };
// The answer to changes that would be lost: save them first, let them go, or stay.
enum class UnsavedAnswer { Save, Discard, Cancel };

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
    // The file a job or manifest dialog chose; empty when cancelled.
    std::function<QString(QWidget *, JobFileDialog, const QString &folder)> jobFile;
    // Whether to save the open job's changes (or a basket not saved as a job, jobName empty).
    std::function<UnsavedAnswer(QWidget *, const QString &jobName)> unsavedJob;
};

// The program's one working window, `frmMain`: the basket and the commands on the left, the
// page viewer on the right. Loading it (formLoad) starts the program and closing it (the
// "Exit" button or the title bar) ends it: the window state is captured into the settings
// record, the settings are saved once and every window is closed.
// Construction lives in mainwindow.cpp, start-up and shutdown in mainwindow_lifecycle.cpp,
// the commands in mainwindow_commands.cpp, the Generate run in mainwindow_generate.cpp and
// jobs and manifests in mainwindow_jobs.cpp.
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

    // The open job's file; empty when the window works on no job.
    QString jobPath() const;
    // Whether the basket, the job's settings or its output differ from the job as saved.
    bool jobModified() const;
    // Opens a job file in place of the basket and the job's settings, asking first about
    // changes that would be lost; a refused file changes nothing. True when opened.
    bool openJobFile(const QString &path);

  public slots:
    // "Generate" (cmdPreview_Click).
    void generate();
    void openJob();
    // Saves the job to its file, or asks for one; true when saved.
    bool saveJob();
    bool saveJobAs();
    // The manifest of the last Generate: where each basket entry went, or why it did not.
    void saveManifest();

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

    // Jobs (mainwindow_jobs.cpp).
    struct JobSession;
    void setUpJobs();
    bool writeJobTo(const QString &path);
    // Whether what the job would lose may go: asks when it has changes. A basket that is no
    // job is asked about only when it would be replaced, never on closing.
    bool mayLeaveJob(bool closing);
    void updateJobState();
    void rememberRun(const QStringList &paths, const GenerationResult &result);
    // Save all pages and Save as multipage name the job's output: the answer of their dialog.
    void forgetSaveAnswer();
    void noteOutputTarget(bool multipage);
    void showJobMessage(const QString &text);

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
    std::unique_ptr<JobSession> m_job;

    QString m_currentFolder;
    bool m_running = false;
    bool m_closeAfterRun = false;
    bool m_shutdownStarted = false;
    bool m_closed = false;
};

} // namespace pagorra
