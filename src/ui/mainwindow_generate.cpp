// "Generate" in the window, and the busy state every long run puts the window in.
#include "ui/mainwindow.h"

#include "core/product.h"
#include "core/settings.h"
#include "generation/generationrun.h"
#include "generation/thumbnailcache.h"
#include "ui/basketcontroller.h"
#include "ui/mainpanes.h"
#include "ui/picturebutton.h"
#include "ui/windowprogress.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeWidget>
#include <algorithm>

namespace pagorra {

namespace {

// The window's progress, plus a look at the page being filled now and then, so the user sees
// the thumbnails arrive. Not for every entry: each look makes the next thumbnail copy the page.
class GenerationProgress : public RunProgress {
  public:
    GenerationProgress(RunProgress &window, PageViewer &viewer) : m_window(window), m_viewer(viewer) {}

    void begin(int maximum) override
    {
        m_window.begin(maximum);
        m_clock.start();
    }
    void yield() override
    {
        // A large page takes long to scale for the view: it is then looked at less often, so
        // the run keeps most of the time.
        const bool look = m_clock.elapsed() >= std::max(RefreshMs, 8 * m_refreshCost);
        if (look) {
            m_clock.restart();
            m_viewer.refresh();
        }
        m_window.yield(); // the view is scaled and painted here
        if (look) {
            m_refreshCost = m_clock.restart();
            m_viewer.pageView()->keepOnlyWhatIsShown();
        }
    }
    bool cancelRequested() const override { return m_window.cancelRequested(); }
    void setValue(int value) override { m_window.setValue(value); }
    void end() override { m_window.end(); }

  private:
    static constexpr qint64 RefreshMs = 250;
    RunProgress &m_window;
    PageViewer &m_viewer;
    QElapsedTimer m_clock;
    qint64 m_refreshCost = 0;
};

// What captions and footers lost, counted, so that nothing is cut off or missing unseen.
std::optional<UserMessage> textLossMessage(const GenerationResult &result)
{
    QStringList lines;
    if (!result.shortenedTexts.isEmpty())
        lines << QStringLiteral("%1 caption(s) or footer(s) had to be shortened to fit.")
                     .arg(result.shortenedTexts.size());
    if (!result.missingGlyphs.isEmpty())
        lines << QStringLiteral("%1 caption(s) or footer(s) hold characters that no installed font can draw.")
                     .arg(result.missingGlyphs.size());
    if (lines.isEmpty())
        return std::nullopt;
    return UserMessage{lines.join(u'\n'), MessageIcon::Information};
}

// The commands that change what a run reads: the basket, the settings, and Generate itself.
QList<QPushButton *> inputCommands(const MainPanes &panes)
{
    return {panes.cmdPreview(), panes.cmdAddFiles(), panes.cmdAddFolder(),
            panes.cmdNew(),     panes.cmdRemove(),   panes.cmdTasks()};
}

} // namespace

void MainWindow::generate()
{
    if (m_running)
        return;
    // The record follows the window's zoom, state and folder at every run, not only at exit.
    storeMainFormState();
    beginRun();
    GenerationProgress progress(*m_progress, *m_viewer);
    const QStringList paths = m_basket->paths();
    GenerationRun run(registrySettings(), paths, progress);
    run.setReportEntries(true); // for Save manifest
    // Thumbnails of earlier runs come back from the cache, within the room the settings give it.
    ThumbnailCache &cache = ThumbnailCache::shared();
    cache.setDiskLimit(qint64(std::max(0, registrySettings().Cache.DiskLimitMB)) << 20);
    run.setThumbnailCache(&cache);
    // Each new page is shown as it is opened: the counter then reads "Page k of k".
    run.setPageOpened([this](int pageCount) { m_viewer->showPage(pageCount - 1); });
    const GenerationResult result = run.run(m_pages);
    endRun();
    if (result.outcome != GenerationResult::Outcome::CheckFailed)
        rememberRun(paths, result);

    switch (result.outcome) {
    case GenerationResult::Outcome::CheckFailed:
        if (result.message)
            showCheckMessage(*result.message);
        break;
    case GenerationResult::Outcome::Completed:
    case GenerationResult::Outcome::Cancelled:
        finishGeneration();
        if (const std::optional<UserMessage> losses = textLossMessage(result))
            showCheckMessage(*losses);
        break;
    case GenerationResult::Outcome::Failed:
        // The error has been reported; the pages made so far stay and can be looked at.
        m_viewer->refresh();
        relayout();
        m_panes->refreshButtons();
        break;
    }
    closeIfAsked();
}

void MainWindow::finishGeneration()
{
    m_viewer->showPage(0);
    setOutputButtonsEnabled(true);
    relayout();
    m_panes->refreshButtons();
}

void MainWindow::showCheckMessage(const UserMessage &message)
{
    if (m_dialogs.message) {
        m_dialogs.message(this, message);
        return;
    }
    const QMessageBox::Icon icon =
        message.icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon;
    QMessageBox box(icon, productTitle(), message.text, QMessageBox::Ok, this);
    box.exec();
}

bool MainWindow::hasGeneratedPages() const
{
    return m_pages.count() > 1 || m_pages.peek(0).hasImage();
}

// Nothing may change the basket, the settings or the pages while a run works on them.
void MainWindow::beginRun()
{
    m_running = true;
    const QList<QPushButton *> commands = inputCommands(*m_panes);
    for (QPushButton *button : commands)
        button->setEnabled(false);
    setOutputButtonsEnabled(false);
    m_panes->lv()->header()->setSectionsClickable(false);
}

void MainWindow::endRun()
{
    const QList<QPushButton *> commands = inputCommands(*m_panes);
    for (QPushButton *button : commands)
        button->setEnabled(true);
    setOutputButtonsEnabled(hasGeneratedPages());
    m_panes->lv()->header()->setSectionsClickable(true);
    m_running = false;
}

void MainWindow::closeIfAsked()
{
    if (!m_closeAfterRun)
        return;
    m_closeAfterRun = false;
    close();
}

} // namespace pagorra
