#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace pagorra {

// One row of the basket: key is the full path, text the file name shown in the list.
struct BasketEntry {
    QString key;
    QString text;
};

enum class BasketSortOrder { Ascending, Descending };

// What an add did: entries appended, and new files left out because the basket was full.
struct BasketAddResult {
    int added = 0;
    int refused = 0;
    bool limitReached() const { return refused > 0; }
};

// The ordered list of picture files pages are generated from, without any widget.
// Positions are 0-based here; the count never passes maxEntries, the 16-bit limit the
// generation run counts with. Membership compares paths exactly, as the file system does
// (IMG_0001.JPG and img_0001.jpg are two files); sorting ignores letter case.
class Basket {
  public:
    static constexpr int MaxEntries = 32767;

    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const BasketEntry &at(int position) const { return m_entries.at(position); }
    const QList<BasketEntry> &entries() const { return m_entries; }
    // The full paths in list order: what the generation run reads.
    QStringList paths() const;

    bool contains(const QString &path) const;
    // Every key, as a copy that later changes of the basket leave as it is (for a reader on
    // another thread).
    QSet<QString> keys() const { return m_keys; }

    // Files picked together in the open-file dialog (full paths, the dialog's order); an
    // empty list is a cancelled dialog and changes nothing. One path sets lastUsedFolder to
    // its folder with a trailing "/" only when it is appended; several set it to their
    // folder as the dialog names it (no trailing "/") even if none is new.
    BasketAddResult addFiles(const QStringList &paths, QString &lastUsedFolder);

    // Appends every file of folder matching the folder pattern not yet present; folder
    // becomes lastUsedFolder when it exists. An empty text is a cancelled picker.
    BasketAddResult addFolder(const QString &folder, QString &lastUsedFolder);
    // addFolder with the folder read beforehand by readBasketFolder(), e.g. on a worker thread.
    BasketAddResult addListedFolder(const QString &folder, const std::optional<QStringList> &names,
                                    QString &lastUsedFolder);

    void clear();
    // Replaces the entries by `paths` in their order (a job's basket), with sorting off. A path
    // given twice is kept once; paths past the limit are refused.
    BasketAddResult assign(const QStringList &paths);

    // Removes the entries at the given positions (any order, duplicates and positions out
    // of range ignored); the others keep their order.
    void removeAt(const QList<int> &positions);

    // Moves the entries at `positions` (as removeAt takes them), in their order, to stand
    // before the entry now at `before` (count() for the end). The order is then the user's own:
    // sorting is off, and later adds go to the end.
    void moveTo(const QList<int> &positions, int before);
    // Orders the entries by `times`, one per entry in the current order: oldest first, those
    // without a time (invalid) last, equal ones as they were. Sorting by name is then off.
    void sortByTime(const QList<QDateTime> &times);

    // A header click on column: a new column sorts ascending, the same column reverses the
    // order; sorting is then on, and stays on for later adds.
    void sortByColumn(int column);
    int sortKey() const { return m_sortKey; }
    BasketSortOrder sortOrder() const { return m_sortOrder; }
    bool isSorted() const { return m_sorted; }

    // The count label's text: "N Files", with no singular form.
    QString countText() const;

  private:
    bool append(const QString &key, const QString &text);
    void applySort();

    QList<BasketEntry> m_entries;
    QSet<QString> m_keys;
    // Column 0 descending, sorting off: the first header click then sorts A to Z.
    int m_sortKey = 0;
    BasketSortOrder m_sortOrder = BasketSortOrder::Descending;
    bool m_sorted = false;
};

// What Add Folder reads from the disk: the names of folder's files matching the folder
// pattern, or nothing when the folder does not exist. Only reads, so any thread may call it.
std::optional<QStringList> readBasketFolder(const QString &folder);

// The folder part of path as the open-file dialog names a multiple selection's folder:
// without a trailing "/", except for the root itself.
QString selectionFolder(const QString &path);

} // namespace pagorra
