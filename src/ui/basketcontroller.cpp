#include "ui/basketcontroller.h"

#include "basket/capturetime.h"
#include "basket/inputfiles.h"
#include "core/filenames.h"
#include "jobs/jobfile.h"
#include "ui/basketdialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <sys/stat.h>

namespace pagorra {

namespace {
constexpr int KeyRole = Qt::UserRole;

bool hasLocalUrl(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

// The path a file URL names, from its bytes: QUrl::toLocalFile() turns bytes that are not
// UTF-8 into U+FFFD, after which the file cannot be found.
QString localPathOf(const QUrl &url)
{
    return pathFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

enum class DroppedKind { Other, File, Folder };

DroppedKind droppedKind(const QString &path)
{
    struct stat info {};
    if (::stat(nativePath(path).constData(), &info) != 0)
        return DroppedKind::Other;
    if (S_ISDIR(info.st_mode))
        return DroppedKind::Folder;
    return S_ISREG(info.st_mode) ? DroppedKind::File : DroppedKind::Other;
}
} // namespace

BasketReading readBasketPaths(const QStringList &paths, std::stop_token stop, const QSet<QString> &known, int room)
{
    BasketReading reading;
    QSet<QString> seen;
    for (const QString &given : paths) {
        if (stop.stop_requested())
            break;
        const QString path = QDir::cleanPath(given);
        const DroppedKind kind = droppedKind(path);
        if (kind == DroppedKind::File && isJobFileName(path)) {
            if (reading.job.isEmpty())
                reading.job = path;
            continue;
        }
        // The file pattern only looks at the extension; bytes that are not UTF-8 would keep it
        // from matching at all, so it sees them replaced.
        if (kind == DroppedKind::Folder) {
            reading.folders.append(path);
            reading.listings.append(readBasketFolder(path));
        } else if (kind == DroppedKind::File && isSupportedInputFile(QString::fromUtf8(nativePath(path)))) {
            reading.files.append(path);
            if (known.contains(path) || seen.contains(path))
                continue;
            seen.insert(path);
            if (reading.newFiles.size() < room)
                reading.newFiles.append(path);
            else
                ++reading.newBeyondRoom;
        }
    }
    return reading;
}

BasketController::BasketController(QTreeWidget *list, QLabel *countLabel, QString *lastUsedFolder,
                                   BasketDialogs *dialogs, QObject *parent)
    : QObject(parent), m_list(list), m_viewport(list->viewport()), m_countLabel(countLabel),
      m_lastUsedFolder(lastUsedFolder), m_dialogs(dialogs),
      m_readFolders([](const QStringList &paths, const QSet<QString> &known, int room) {
          return readBasketPaths(paths, {}, known, room);
      }),
      m_readTimes([](const QStringList &paths) { return std::optional(readCaptureTimes(paths)); })
{
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({QStringLiteral("File name")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The list never sorts itself: header clicks go through the basket's toggling rule.
    m_list->setSortingEnabled(false);
    m_list->header()->setSectionsClickable(true);
    m_list->setAcceptDrops(true);
    m_viewport->setAcceptDrops(true);
    // Entries are dragged to a new place within the list; files and folders dropped from
    // elsewhere are added (see eventFilter).
    m_list->setDragDropMode(QAbstractItemView::DragDrop);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setDropIndicatorShown(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &BasketController::showContextMenu);
    m_list->installEventFilter(this);
    m_viewport->installEventFilter(this);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &BasketController::sortByColumn);
}

QWidget *BasketController::owner() const
{
    return m_list->window();
}

QString BasketController::limitMessage(int notAdded)
{
    return QStringLiteral("The Image Basket holds at most %1 files. Files not added: %2")
        .arg(Basket::MaxEntries)
        .arg(notAdded);
}

void BasketController::addFiles()
{
    const QStringList picked =
        m_dialogs->openFiles(owner(), *m_lastUsedFolder, fileDialogNameFilters(openFileFilter()));
    if (picked.isEmpty())
        return;
    const int before = m_basket.count();
    const BasketAddResult result = m_basket.addFiles(picked, *m_lastUsedFolder);
    finishAdd(before, result.refused);
}

void BasketController::addFolder()
{
    const QString folder = pickFolder(*m_dialogs, owner(), *m_lastUsedFolder);
    if (folder.isEmpty())
        return;
    const std::optional<BasketReading> reading = m_readFolders({folder}, {}, 0);
    if (!reading)
        return;
    const int before = m_basket.count();
    const BasketAddResult result = m_basket.addListedFolder(folder, reading->listings.value(0), *m_lastUsedFolder);
    finishAdd(before, result.refused);
}

void BasketController::addDropped(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths.append(localPathOf(url));
    }
    addPaths(paths);
}

void BasketController::addPaths(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    // Told apart on the reader's thread: a drop of a hundred thousand files is as many looks
    // at the disk.
    const QSet<QString> known = m_basket.keys();
    const std::optional<BasketReading> reading = m_readFolders(paths, known, Basket::MaxEntries - m_basket.count());
    if (!reading)
        return;
    if (!reading->job.isEmpty())
        emit jobFileGiven(reading->job);
    if (reading->files.isEmpty() && reading->folders.isEmpty())
        return;

    const int before = m_basket.count();
    int refused = 0;
    if (reading->files.size() > 1 && m_basket.keys() == known) {
        // The reader's sorting out still holds: only the new files that fit go in, and the
        // folder is set as for the whole selection.
        refused = m_basket.addFiles(reading->newFiles, *m_lastUsedFolder).refused + reading->newBeyondRoom;
        *m_lastUsedFolder = selectionFolder(reading->files.front());
    } else {
        refused = m_basket.addFiles(reading->files, *m_lastUsedFolder).refused;
    }
    for (qsizetype i = 0; i < reading->folders.size(); ++i)
        refused +=
            m_basket.addListedFolder(reading->folders.at(i), reading->listings.value(i), *m_lastUsedFolder).refused;
    finishAdd(before, refused);
}

void BasketController::finishAdd(int countBefore, int refused)
{
    if (m_basket.isSorted())
        rebuildItems();
    else
        appendItems(countBefore);
    showCount();
    emit basketChanged();
    if (refused > 0)
        m_dialogs->message(owner(), limitMessage(refused));
}

void BasketController::newBasket()
{
    m_basket.clear();
    m_missing.clear();
    m_list->clear();
    showCount();
    emit basketChanged();
}

void BasketController::removeSelected()
{
    if (!m_basket.isEmpty()) {
        const QList<int> positions = selectedPositions();
        if (!positions.isEmpty()) {
            m_basket.removeAt(positions);
            rebuildItems();
        }
    }
    showCount();
    emit basketChanged();
}

void BasketController::selectAll()
{
    if (!m_basket.isEmpty())
        m_list->selectAll();
}

void BasketController::sortByColumn(int column)
{
    m_basket.sortByColumn(column);
    rebuildItems();
    m_list->header()->setSortIndicatorShown(true);
    m_list->header()->setSortIndicator(m_basket.sortKey(), m_basket.sortOrder() == BasketSortOrder::Ascending
                                                               ? Qt::AscendingOrder
                                                               : Qt::DescendingOrder);
    emit basketChanged();
}

int BasketController::openBasket(const QStringList &paths, const QSet<QString> &missing)
{
    const BasketAddResult result = m_basket.assign(paths);
    m_missing = missing;
    m_list->clear();
    appendItems(0);
    showOrderChanged();
    return result.refused;
}

void BasketController::sortByDate()
{
    if (m_basket.isEmpty())
        return;
    const std::optional<QList<QDateTime>> times = m_readTimes(m_basket.paths());
    if (!times)
        return;
    m_basket.sortByTime(*times);
    rebuildItems();
    showOrderChanged();
}

void BasketController::moveSelectedTo(int before)
{
    const QList<int> positions = selectedPositions();
    if (positions.isEmpty())
        return;
    m_basket.moveTo(positions, before);
    rebuildItems();
    showOrderChanged();
}

// An order of the user's own, or a job's: the header no longer claims a sort by name.
void BasketController::showOrderChanged()
{
    m_list->header()->setSortIndicatorShown(false);
    showCount();
    emit basketChanged();
}

void BasketController::showContextMenu(const QPoint &at)
{
    QMenu menu(m_list);
    menu.addAction(QStringLiteral("Sort by name"), this, [this] { sortByColumn(0); });
    menu.addAction(QStringLiteral("Sort by date taken"), this, &BasketController::sortByDate);
    for (QAction *action : menu.actions())
        action->setEnabled(m_list->header()->sectionsClickable() && !m_basket.isEmpty());
    menu.exec(m_viewport->mapToGlobal(at));
}

// The position a drop at `at` puts entries before: below an entry's middle, after it.
int BasketController::dropPosition(const QPoint &at) const
{
    QTreeWidgetItem *item = m_list->itemAt(at);
    if (!item)
        return m_basket.count();
    const int row = m_list->indexOfTopLevelItem(item);
    return at.y() >= m_list->visualItemRect(item).center().y() ? row + 1 : row;
}

namespace {

// A row of the list that shows its entry as it is asked for: the text, the tool tip and the
// key are made from the entry only when the list paints or reads that row, so that filling
// the list with tens of thousands of entries costs little more than their allocation.
class BasketItem : public QTreeWidgetItem {
  public:
    // A missing entry shows `icon` and `missingText` as its colour.
    BasketItem(const BasketEntry &entry, const QIcon &icon, bool missing, const QBrush &missingText)
        : m_entry(entry), m_icon(icon), m_missing(missing), m_missingText(missingText)
    {
        // Entries are dropped between others, never onto one.
        setFlags(flags() & ~Qt::ItemIsDropEnabled);
    }

    QVariant data(int column, int role) const override
    {
        if (column == 0) {
            switch (role) {
            case Qt::DisplayRole:
                return displayName(m_entry.text);
            case Qt::ToolTipRole:
                return m_missing ? QStringLiteral("Missing: ") + displayName(m_entry.key) : displayName(m_entry.key);
            case Qt::ForegroundRole:
                return m_missing ? QVariant(m_missingText) : QVariant();
            case Qt::DecorationRole:
                return m_icon;
            case KeyRole:
                return m_entry.key;
            default:
                break;
            }
        }
        return QTreeWidgetItem::data(column, role);
    }

  private:
    BasketEntry m_entry;
    QIcon m_icon;
    bool m_missing;
    QBrush m_missingText;
};

} // namespace

void BasketController::appendItems(int from)
{
    const QIcon icon = m_list->style()->standardIcon(QStyle::SP_FileIcon);
    const QIcon missingIcon = m_list->style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QList<QTreeWidgetItem *> items;
    items.reserve(m_basket.count() - from);
    const QBrush missingText = m_list->palette().brush(QPalette::Disabled, QPalette::Text);
    for (int i = from; i < m_basket.count(); ++i) {
        const BasketEntry &entry = m_basket.at(i);
        const bool missing = m_missing.contains(entry.key);
        items.append(new BasketItem(entry, missing ? missingIcon : icon, missing, missingText));
    }
    m_list->addTopLevelItems(items);
}

// Puts the whole basket back in its order; the entries that were selected stay selected.
void BasketController::rebuildItems()
{
    QSet<QString> selectedKeys;
    const QList<int> selected = selectedPositions();
    for (const int row : selected)
        selectedKeys.insert(m_list->topLevelItem(row)->data(0, KeyRole).toString());

    m_list->clear();
    appendItems(0);
    if (selectedKeys.isEmpty())
        return;

    // One range per run of selected rows: the selection model's cost grows with its ranges.
    QItemSelection selection;
    QAbstractItemModel *model = m_list->model();
    for (int i = 0; i < m_basket.count(); ++i) {
        if (!selectedKeys.contains(m_basket.at(i).key))
            continue;
        int last = i;
        while (last + 1 < m_basket.count() && selectedKeys.contains(m_basket.at(last + 1).key))
            ++last;
        selection.append(QItemSelectionRange(model->index(i, 0), model->index(last, 0)));
        i = last;
    }
    m_list->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Read from the selection's ranges: asking row by row costs time in proportion to the
// number of ranges, which a Ctrl-click selection of a large basket makes large.
QList<int> BasketController::selectedPositions() const
{
    QList<bool> marked(m_list->topLevelItemCount(), false);
    const QItemSelection selection = m_list->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent().isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (row >= 0 && row < marked.size())
                marked[row] = true;
        }
    }
    QList<int> positions;
    for (int row = 0; row < marked.size(); ++row) {
        if (marked.at(row))
            positions.append(row);
    }
    return positions;
}

void BasketController::showCount()
{
    m_countLabel->setText(m_basket.countText());
}

bool BasketController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Keep window shortcuts from taking the list's own keys.
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Delete || key->matches(QKeySequence::SelectAll)) {
                event->accept();
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            bool handled = false;
            if (key->key() == Qt::Key_Delete) {
                if (!m_basket.isEmpty())
                    removeSelected();
                handled = true;
            } else if (key->matches(QKeySequence::SelectAll)) {
                selectAll();
                handled = true;
            }
            emit refreshButtonsRequested();
            return handled;
        }
    } else if (watched == m_viewport) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (drag->source() == m_list)
                return false; // the list shows where the entries would land
            if (hasLocalUrl(drag->mimeData()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (drop->source() == m_list) {
                moveSelectedTo(dropPosition(drop->position().toPoint()));
                // Not a move for the list itself, which would take the dragged rows out after it.
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                QDragLeaveEvent leave;
                QCoreApplication::sendEvent(m_viewport, &leave);
                return true;
            }
            if (!hasLocalUrl(drop->mimeData())) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            addDropped(drop->mimeData()->urls());
            return true;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace pagorra
