// Start-up, state capture and shutdown of the main window.
#include "ui/mainwindow.h"

#include "basket/inputfiles.h"
#include "core/imaging.h"
#include "core/product.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "ui/mainpanes.h"
#include "ui/windowprogress.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMessageBox>
#include <new>

namespace pagorra {

void MainWindow::formLoad()
{
    try {
        initMainForm();
    } catch (const std::bad_alloc &) {
        reportLowMemoryAndEnd();
    } catch (const RuntimeError &error) {
        if (error.number() == err::OutOfMemory)
            reportLowMemoryAndEnd();
        else
            globalErrorHandler(error, QStringLiteral("Form_Load"));
    }
}

void MainWindow::initMainForm()
{
    // First, so that a report raised by anything after it names the product.
    initErrorHandling();
    RegistrySettings &settings = registrySettings();
    loadRegistrySettings(); // reports its own failures and always completes
    setAllFormatsOffered(settings.Input.ReadAllFormats);
    m_panes->showInputTypes();
    startImagingLibrary();
    m_viewer->setZoomOption(settings.PageZoom == 1 ? 1 : 0);
    m_currentFolder = settings.strFolderPath;
    attachToolButtonPictures();
    setOutputButtonsEnabled(false);
    restoreWindowState();
}

void MainWindow::startImagingLibrary()
{
    startImaging(QFile::encodeName(QCoreApplication::applicationFilePath()).constData());
}

void MainWindow::restoreWindowState()
{
    switch (registrySettings().iState) {
    case 1:
        setWindowState(Qt::WindowMinimized);
        break;
    case 2:
        setWindowState(Qt::WindowMaximized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
}

void MainWindow::attachToolButtonPictures()
{
    m_panes->attachPictures();
}

void MainWindow::releaseToolButtonPictures()
{
    m_panes->detachPictures();
}

void MainWindow::storeMainFormState()
{
    RegistrySettings &settings = registrySettings();
    settings.PageZoom = m_zoomTools->selected() == 0 ? 0 : 1;
    const Qt::WindowStates state = windowState();
    if (!(state & Qt::WindowMinimized))
        settings.iState = (state & Qt::WindowMaximized) ? 2 : 0;
    settings.strFolderPath = m_currentFolder;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A run in progress works on the pages and the basket: it is stopped first, and the
    // window closes as soon as it has ended (see endRun).
    if (m_running) {
        m_closeAfterRun = true;
        m_progress->requestCancel();
        event->ignore();
        return;
    }
    if (!m_shutdownStarted && !mayLeaveJob(true)) {
        event->ignore();
        return;
    }
    storeMainFormState();
    endProgram();
    m_closed = true;
    event->accept();
}

void MainWindow::endProgram()
{
    // Closing this window below runs closeEvent, and so this routine, once more: that pass
    // finds everything saved and released already.
    if (m_shutdownStarted)
        return;
    m_shutdownStarted = true;

    saveRegistrySettings();
    // The image library is shut down once, when the process ends (runDesktopProgram).
    m_pages.clear();
    m_viewer->refresh(); // lets go of the last page it showed
    releaseToolButtonPictures();
    closeAllWindows();
}

void MainWindow::closeAllWindows()
{
    // The most recently opened window first; this window, open since start-up (even when not
    // yet shown), comes last. A window that refuses to close stops the round.
    auto openWindows = [this] {
        QList<QWidget *> windows;
        if (!m_closed)
            windows.append(this);
        const QWidgetList all = QApplication::topLevelWidgets();
        for (QWidget *widget : all) {
            if (widget != this && widget->isWindow() && widget->isVisible())
                windows.append(widget);
        }
        return windows;
    };
    qsizetype n = openWindows().size();
    while (n > 0) {
        const QList<QWidget *> windows = openWindows();
        if (windows.size() < n)
            n = windows.size();
        if (n == 0)
            break;
        windows.at(n - 1)->close();
        if (openWindows().size() >= n)
            break;
        --n;
    }
}

void MainWindow::reportLowMemoryAndEnd()
{
    QMessageBox box(QMessageBox::Critical, productTitle(),
                    QStringLiteral("The system is low on memory!\nPlease free up some memory and try running again."),
                    QMessageBox::Ok, this);
    box.exec();
    endProgram();
}

} // namespace pagorra
