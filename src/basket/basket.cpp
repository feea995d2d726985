#include "basket/basket.h"

#include "basket/inputfiles.h"
#include "basket/pathtext.h"

#include <algorithm>
#include <numeric>

namespace pagorra {

QString selectionFolder(const QString &path)
{
    const QString folder = pathFolderPart(path);
    return folder == QStringLiteral("/") ? folder : removeTrailingSeparator(folder);
}

QStringList Basket::paths() const
{
    QStringList result;
    result.reserve(m_entries.size());
    for (const BasketEntry &entry : m_entries)
        result.append(entry.key);
    return result;
}

bool Basket::contains(const QString &path) const
{
    return m_keys.contains(path);
}

bool Basket::append(const QString &key, const QString &text)
{
    m_entries.append(BasketEntry{key, text});
    m_keys.insert(key);
    return true;
}

BasketAddResult Basket::addFiles(const QStringList &paths, QString &lastUsedFolder)
{
    BasketAddResult result;
    if (paths.isEmpty())
        return result;

    if (paths.size() == 1) {
        const QString &path = paths.front();
        if (contains(path))
            return result;
        if (count() >= MaxEntries) {
            result.refused = 1;
            return result;
        }
        append(path, pathFileName(path));
        result.added = 1;
        lastUsedFolder = pathFolderPart(path);
        applySort();
        return result;
    }

    lastUsedFolder = selectionFolder(paths.front());
    QSet<QString> refused;
    // Room made once: a drop may hand over a hundred thousand files.
    const qsizetype room = std::max<qsizetype>(0, MaxEntries - count());
    m_entries.reserve(count() + std::min(room, paths.size()));
    m_keys.reserve(count() + std::min(room, paths.size()));
    refused.reserve(std::max<qsizetype>(0, paths.size() - room));
    for (const QString &path : paths) {
        if (contains(path))
            continue;
        if (count() >= MaxEntries) {
            refused.insert(path);
            continue;
        }
        append(path, pathFileName(path));
        ++result.added;
    }
    result.refused = static_cast<int>(refused.size());
    applySort();
    return result;
}

std::optional<QStringList> readBasketFolder(const QString &folder)
{
    if (folder.isEmpty() || !pathExists(folder, true))
        return std::nullopt;
    return listFolder(folder, folderPattern());
}

BasketAddResult Basket::addFolder(const QString &folder, QString &lastUsedFolder)
{
    return addListedFolder(folder, readBasketFolder(folder), lastUsedFolder);
}

BasketAddResult Basket::addListedFolder(const QString &folder, const std::optional<QStringList> &names,
                                        QString &lastUsedFolder)
{
    BasketAddResult result;
    if (!names)
        return result;

    lastUsedFolder = folder;
    QString prefix = folder;
    ensureTrailingSeparator(prefix);
    // A folder's names are unique, so when the basket holds nothing of this folder yet no name
    // needs looking up: those that fit go in and the rest are refused, counted at once (a
    // listing of 100,000 names would otherwise cost a lookup each long after the basket is full).
    const bool fresh = std::none_of(m_entries.cbegin(), m_entries.cend(),
                                    [&](const BasketEntry &entry) { return entry.key.startsWith(prefix); });
    if (fresh) {
        const qsizetype room = std::min<qsizetype>(names->size(), MaxEntries - count());
        m_entries.reserve(count() + room);
        m_keys.reserve(count() + room);
        for (qsizetype i = 0; i < room; ++i)
            append(prefix + names->at(i), names->at(i));
        result.added = int(room);
        result.refused = int(names->size() - room);
        applySort();
        return result;
    }
    for (const QString &name : *names) {
        const QString key = prefix + name;
        if (contains(key))
            continue;
        if (count() >= MaxEntries) {
            ++result.refused;
            continue;
        }
        append(key, name);
        ++result.added;
    }
    applySort();
    return result;
}

void Basket::clear()
{
    m_entries.clear();
    m_keys.clear();
}

BasketAddResult Basket::assign(const QStringList &paths)
{
    clear();
    m_sorted = false;
    BasketAddResult result;
    for (const QString &path : paths) {
        if (contains(path))
            continue;
        if (count() >= MaxEntries) {
            ++result.refused;
            continue;
        }
        append(path, pathFileName(path));
        ++result.added;
    }
    return result;
}

void Basket::moveTo(const QList<int> &positions, int before)
{
    QList<bool> moving(m_entries.size(), false);
    for (const int position : positions) {
        if (position >= 0 && position < m_entries.size())
            moving[position] = true;
    }
    QList<BasketEntry> stay, moved;
    int insertAt = 0; // where `before` lands among the entries that stay
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        (moving.at(i) ? moved : stay).append(m_entries.at(i));
        if (i < before && !moving.at(i))
            ++insertAt;
    }
    for (qsizetype k = 0; k < moved.size(); ++k)
        stay.insert(insertAt + k, moved.at(k));
    m_entries = std::move(stay);
    m_sorted = false;
}

void Basket::sortByTime(const QList<QDateTime> &times)
{
    QList<int> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0);
    const auto timeOf = [&](int i) { return i < times.size() ? times.at(i) : QDateTime(); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QDateTime &ta = timeOf(a), &tb = timeOf(b);
        if (ta.isValid() != tb.isValid())
            return ta.isValid();
        return ta.isValid() && ta < tb;
    });
    QList<BasketEntry> sorted;
    sorted.reserve(m_entries.size());
    for (const int i : order)
        sorted.append(m_entries.at(i));
    m_entries = std::move(sorted);
    m_sorted = false;
}

void Basket::removeAt(const QList<int> &positions)
{
    QList<bool> doomed(m_entries.size(), false);
    for (const int position : positions) {
        if (position >= 0 && position < m_entries.size())
            doomed[position] = true;
    }
    QList<BasketEntry> kept;
    kept.reserve(m_entries.size());
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (doomed.at(i))
            m_keys.remove(m_entries.at(i).key);
        else
            kept.append(m_entries.at(i));
    }
    m_entries = std::move(kept);
}

void Basket::sortByColumn(int column)
{
    if (m_sortKey != column) {
        m_sortOrder = BasketSortOrder::Ascending;
        m_sortKey = column;
    } else {
        m_sortOrder =
            m_sortOrder == BasketSortOrder::Ascending ? BasketSortOrder::Descending : BasketSortOrder::Ascending;
    }
    m_sorted = true;
    applySort();
}

void Basket::applySort()
{
    if (!m_sorted)
        return;
    // The list has one column, the file name; stable so equal names keep their add order.
    const bool ascending = m_sortOrder == BasketSortOrder::Ascending;
    std::stable_sort(m_entries.begin(), m_entries.end(), [ascending](const BasketEntry &a, const BasketEntry &b) {
        const int c = QString::compare(a.text, b.text, Qt::CaseInsensitive);
        return ascending ? c < 0 : c > 0;
    });
}

QString Basket::countText() const
{
    return QString::number(count()) + QStringLiteral(" Files");
}

} // namespace pagorra
