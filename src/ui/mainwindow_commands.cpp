// The commands of the main window: each handler calls one function of its module and shows
// the result. The basket commands, Help and "Save page as" repaint their own button first.
#include "ui/mainwindow.h"

#include "basket/inputfiles.h"
#include "core/help.h"
#include "core/settings.h"
#include "output/outputsettings.h"
#include "output/printcommands.h"
#include "output/savecommands.h"
#include "ui/aboutbox.h"
#include "ui/basketcontroller.h"
#include "ui/mainpanes.h"
#include "ui/picturebutton.h"
#include "ui/settingsdialog.h"
#include "ui/windowprogress.h"
#include "ui/workerwait.h"

#include <QCoreApplication>

namespace pagorra {

void MainWindow::addFiles()
{
    m_panes->cmdAddFiles()->repaint();
    m_basket->addFiles();
}

void MainWindow::addFolder()
{
    m_panes->cmdAddFolder()->repaint();
    m_basket->addFolder();
}

std::optional<BasketReading> MainWindow::readFolders(const QStringList &paths, const QSet<QString> &known, int room)
{
    return m_workerWait->run<BasketReading>(
        [paths, known, room](std::stop_token stop) { return readBasketPaths(paths, std::move(stop), known, room); });
}

void MainWindow::newBasket()
{
    m_panes->cmdNew()->repaint();
    m_basket->newBasket();
}

void MainWindow::removeSelected()
{
    m_panes->cmdRemove()->repaint();
    m_basket->removeSelected();
}

void MainWindow::showSettings()
{
    if (m_dialogs.settings)
        m_dialogs.settings(registrySettings(), this);
    else
        showSettingsDialog(registrySettings(), this, m_basket->paths().value(0));
    setAllFormatsOffered(registrySettings().Input.ReadAllFormats);
    m_panes->showInputTypes();
    updateJobState();
}

// The pages state the resolution they were made at, whatever the settings say now.
WriteOptions MainWindow::writeOptions() const
{
    return writeOptionsFor(registrySettings(), m_pages.peek(0).content().pixelsPerInch);
}

void MainWindow::savePage()
{
    m_panes->cmdSave()->repaint();
    savePageAs(this, m_pages, *m_dialogs.saveAs, writeOptions());
}

void MainWindow::saveAll()
{
    forgetSaveAnswer();
    runOutput([this] { saveAllPages(this, m_pages, *m_progress, *m_dialogs.saveAs, writeOptions()); });
    noteOutputTarget(false);
}

void MainWindow::saveMultiPageDocument()
{
    forgetSaveAnswer();
    runOutput([this] { saveMultiPage(this, m_pages, *m_progress, *m_dialogs.saveAs, writeOptions()); });
    noteOutputTarget(true);
}

void MainWindow::printPage()
{
    printCurrentPage(this, registrySettings(), m_pages, m_dialogs.print);
}

void MainWindow::printAll()
{
    runOutput([this] { printAllPages(this, registrySettings(), m_pages, *m_progress, m_dialogs.print); });
}

void MainWindow::runOutput(const std::function<void()> &command)
{
    if (m_running)
        return;
    beginRun();
    command();
    endRun();
    closeIfAsked();
}

void MainWindow::showAbout()
{
    showAboutBox(this);
}

void MainWindow::showHelp()
{
    m_panes->cmdHelp()->repaint();
    openHelpDocument(QCoreApplication::applicationDirPath());
}

} // namespace pagorra
