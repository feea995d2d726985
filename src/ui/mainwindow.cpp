// Construction of the main window: the panes, the viewer in the right pane, and the wiring of
// every control to its command.
#include "ui/mainwindow.h"

#include "core/cachefolder.h"
#include "core/product.h"
#include "generation/pagestore.h"
#include "output/saveasdialog.h"
#include "ui/basketcontroller.h"
#include "ui/basketdialogs.h"
#include "ui/jobsession.h"
#include "ui/mainlayout.h"
#include "ui/mainpanes.h"
#include "ui/picturebutton.h"
#include "ui/windowprogress.h"
#include "ui/workerwait.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QEvent>
#include <QKeyEvent>
#include <QTreeWidget>

namespace pagorra {

namespace {
// The design's window: the right pane's far corner, and the left pane's height.
const QSize kDesignInnerTwips(13815, 9015);
} // namespace

namespace {
// The pages of the window's runs wait in the cache folder while they are not shown.
std::shared_ptr<PageStore> windowPageStore()
{
    PageStore::removeOrphans(cacheFolder());
    return std::make_shared<PageStore>(cacheFolder());
}
} // namespace

MainWindow::MainWindow(const WindowDialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_pages(windowPageStore())
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(productTitle());
    if (!m_dialogs.basket) {
        m_ownBasketDialogs = std::make_unique<QtBasketDialogs>();
        m_dialogs.basket = m_ownBasketDialogs.get();
    }
    if (!m_dialogs.saveAs) {
        m_ownSaveAsDialog = std::make_unique<QtSaveAsDialog>();
        m_dialogs.saveAs = m_ownSaveAsDialog.get();
    }
    buildWidgets();
    connectCommands();
    setUpJobs();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWidgets()
{
    m_panes = new MainPanes(this);
    setCentralWidget(m_panes);
    m_zoomTools = new ZoomTools;
    m_viewer = new PageViewer(m_zoomTools);
    m_panes->setZoomTools(m_zoomTools);
    m_panes->setRightPane(m_viewer);
    m_viewer->setPageSet(&m_pages);
    m_progress = new WindowProgress(m_viewer->progressBar(), m_viewer->cancelButton(), this);
    m_basket = new BasketController(m_panes->lv(), m_panes->lblCount(), &m_currentFolder, m_dialogs.basket, this);
    // A folder that takes long to read locks the window like a run; a close asked for
    // meanwhile takes effect once the reading has ended.
    m_workerWait = std::make_unique<WorkerWait>(
        WorkerWait::Window{[this] { beginRun(); },
                           [this] {
                               endRun();
                               QMetaObject::invokeMethod(this, &MainWindow::closeIfAsked, Qt::QueuedConnection);
                           },
                           m_progress});
    m_basket->setFolderReader([this](const QStringList &paths, const QSet<QString> &known, int room) {
        return readFolders(paths, known, room);
    });
    // Installed after the basket's own filter, so it sees the list's events first and can keep
    // a run's basket from changing under it.
    m_panes->lv()->installEventFilter(this);
    m_panes->lv()->viewport()->installEventFilter(this);
    resize(TwipsScale::of(this).toPixels(kDesignInnerTwips));
}

void MainWindow::connectCommands()
{
    const MainPanes *p = m_panes;
    connect(p->cmdAddFiles(), &QPushButton::clicked, this, &MainWindow::addFiles);
    connect(p->cmdAddFolder(), &QPushButton::clicked, this, &MainWindow::addFolder);
    connect(p->cmdNew(), &QPushButton::clicked, this, &MainWindow::newBasket);
    connect(p->cmdRemove(), &QPushButton::clicked, this, &MainWindow::removeSelected);
    connect(m_basket, &BasketController::refreshButtonsRequested, m_panes, &MainPanes::refreshButtons);
    connect(p->cmdPreview(), &QPushButton::clicked, this, &MainWindow::generate);
    connect(p->cmdTasks(), &QPushButton::clicked, this, &MainWindow::showSettings);
    connect(p->cmdSave(), &QPushButton::clicked, this, &MainWindow::savePage);
    connect(p->cmdSaveAll(), &QPushButton::clicked, this, &MainWindow::saveAll);
    connect(p->cmdSaveMultiPage(), &QPushButton::clicked, this, &MainWindow::saveMultiPageDocument);
    connect(p->cmdPrint(), &QPushButton::clicked, this, &MainWindow::printPage);
    connect(p->cmdPrintAll(), &QPushButton::clicked, this, &MainWindow::printAll);
    connect(p->cmdAbout(), &QPushButton::clicked, this, &MainWindow::showAbout);
    connect(p->cmdHelp(), &QPushButton::clicked, this, &MainWindow::showHelp);
    connect(p->cmdExit(), &QPushButton::clicked, this, &QWidget::close);
}

QList<QPushButton *> MainWindow::outputButtons() const
{
    return {m_panes->cmdSave(), m_panes->cmdSaveAll(), m_panes->cmdSaveMultiPage(), m_panes->cmdPrint(),
            m_panes->cmdPrintAll()};
}

void MainWindow::setOutputButtonsEnabled(bool enabled)
{
    const QList<QPushButton *> buttons = outputButtons();
    for (QPushButton *button : buttons)
        button->setEnabled(enabled);
}

void MainWindow::relayout()
{
    if (isMinimized())
        return;
    layoutMainWindow(this, m_panes);
    m_viewer->fitBitmap();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    relayout();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        relayout();
}

// While a run reads the basket, the Delete key and drops on the list would change it.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running && (watched == m_panes->lv() || watched == m_panes->lv()->viewport())) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete)
                return true;
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace pagorra
