#pragma once

#include "basket/basket.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <stop_token>

class QLabel;
class QTreeWidget;

namespace pagorra {

class BasketDialogs;

// Per folder, readBasketFolder()'s answer.
using FolderListings = QList<std::optional<QStringList>>;
// What Add Folder, drops and the command line read from the disk for the paths they are
// given (cleaned), in their order: the picture files among them (those the open dialog
// offers), the folders, each folder's listing, and the first job file; other paths are left
// out.
struct BasketReading {
    QString job;
    QStringList files;
    QStringList folders;
    FolderListings listings;
    // Of `files` (each once): those not among the `known` keys that fit in `room`, and how
    // many more new ones there were (see readBasketPaths()).
    QStringList newFiles;
    int newBeyondRoom = 0;
};
// Stops early once `stop` is asked. Given the basket's keys and its room, also sorts out
// which files are new and fit, so that the window need not look up each of a hundred
// thousand dropped files.
BasketReading readBasketPaths(const QStringList &paths, std::stop_token stop = {}, const QSet<QString> &known = {},
                              int room = 0);
// Reads paths for the basket; no answer at all when the user cancelled the reading.
using FolderReader =
    std::function<std::optional<BasketReading>(const QStringList &paths, const QSet<QString> &known, int room)>;
// Reads the capture times of the basket's files (see capturetime.h); none when cancelled.
using TimeReader = std::function<std::optional<QList<QDateTime>>(const QStringList &paths)>;

// Runs the basket commands on widgets the main window owns: the list (one column,
// "File name"), the count label and the last-used folder. The window keeps ownership of
// all three and of dialogs, which must outlive the controller. The list shows the basket
// in its order; the Basket model is the one source of truth.
class BasketController : public QObject {
    Q_OBJECT
  public:
    BasketController(QTreeWidget *list, QLabel *countLabel, QString *lastUsedFolder, BasketDialogs *dialogs,
                     QObject *parent = nullptr);

    const Basket &basket() const { return m_basket; }
    // The full paths in list order, as the generation run takes them.
    QStringList paths() const { return m_basket.paths(); }

    // The text shown when an add would pass the basket's limit.
    static QString limitMessage(int notAdded);

    // How paths are read; by default right away on the calling thread. A cancelled reading
    // leaves everything as a cancelled folder picker does.
    void setFolderReader(FolderReader reader) { m_readFolders = std::move(reader); }
    // How capture times are read for sorting by date; by default right away.
    void setTimeReader(TimeReader reader) { m_readTimes = std::move(reader); }

    // Puts a job's basket in place of this one, in its order; the entries in `missing` are
    // shown as missing files. Returns how many paths did not fit.
    int openBasket(const QStringList &paths, const QSet<QString> &missing);
    bool isMissing(const QString &path) const { return m_missing.contains(path); }

  public slots:
    void addFiles();
    void addFolder();
    void newBasket();
    void removeSelected();
    void selectAll();
    void sortByColumn(int column);
    // Orders the basket by the time each photo was taken (its own record of it, else the
    // file's time), oldest first.
    void sortByDate();
    // Moves the selected entries, in their order, before position `before` (the drop of a
    // drag inside the list).
    void moveSelectedTo(int before);
    // Local files go in as one Add files selection, each folder as Add Folder; other
    // dropped items, and files the open dialog would not offer, are left out. Names are
    // taken from the URLs' bytes, so names that are not UTF-8 arrive as they are.
    void addDropped(const QList<QUrl> &urls);
    // The same for paths: the files and folders a file manager hands the program to open.
    void addPaths(const QStringList &paths);

  signals:
    // After every key in the list: the tool buttons want a repaint.
    void refreshButtonsRequested();
    // After any command that changed or may have changed the basket.
    void basketChanged();
    // A job file was among the paths to open: the window opens it, before the rest are added.
    void jobFileGiven(const QString &path);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void appendItems(int from);
    void rebuildItems();
    QList<int> selectedPositions() const;
    void showCount();
    void showOrderChanged();
    void showContextMenu(const QPoint &at);
    int dropPosition(const QPoint &at) const;
    void finishAdd(int countBefore, int refused);
    QWidget *owner() const;

    QTreeWidget *m_list;
    // Kept so the event filter never calls into a list that is being destroyed.
    QWidget *m_viewport;
    QLabel *m_countLabel;
    QString *m_lastUsedFolder;
    BasketDialogs *m_dialogs;
    FolderReader m_readFolders;
    TimeReader m_readTimes;
    Basket m_basket;
    QSet<QString> m_missing;
};

} // namespace pagorra
