#pragma once

#include "generation/pageset.h"

#include <QMainWindow>
#include <QString>

class QPushButton;
class QRadioButton;

namespace pagorra {

// The program's one working window, `frmMain`. Loading it (formLoad) starts the program and
// closing it (the "Exit" button or the title bar) ends it: the window state is captured into
// the settings record, the settings are saved once and every window is closed.
// Widgets are built in mainwindow.cpp; start-up and shutdown live in mainwindow_lifecycle.cpp.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget *parent = nullptr);
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
    // The five output commands, enabled only while there are generated pages.
    void setOutputButtonsEnabled(bool enabled);

  protected:
    void closeEvent(QCloseEvent *event) override;
    // Starts the image library (initialisation step 4); virtual so that a test can make
    // start-up fail there.
    virtual void startImagingLibrary();

  private:
    void buildWidgets();
    void initMainForm();
    void selectZoomOption(int index);
    void restoreWindowState();
    void attachToolButtonPictures();
    void releaseToolButtonPictures();
    void reportLowMemoryAndEnd();
    void closeAllWindows();
    void showHelp();

    QPushButton *m_cmdExit = nullptr;
    QPushButton *m_cmdHelp = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdSaveAll = nullptr;
    QPushButton *m_cmdSaveMultiPage = nullptr;
    QPushButton *m_cmdPrint = nullptr;
    QPushButton *m_cmdPrintAll = nullptr;
    QRadioButton *m_optZoom[2] = {nullptr, nullptr};

    PageSet m_pages;
    QString m_currentFolder;
    bool m_shutdownStarted = false;
    bool m_closed = false;
};

} // namespace pagorra
