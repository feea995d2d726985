#pragma once

#include "generation/imageloader.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

namespace pagorra {

// Thumbnails made by earlier loads, so that a Generate that changes nothing a thumbnail
// depends on (only the page, the title, the margins or the layout) decodes no photo again.
// An entry is found by the file as the file system describes it at the lookup (path, device,
// inode, size, modification and change times to the nanosecond: a file written since, even
// one whose modification time was set back, is another file) and by every field of the load
// request; a file that changes while it is being decoded is not kept. The photo's metadata
// and, when asked for, its digest are kept with the pixels.
// Entries are kept packed (pixelpack.h): in memory up to a budget, the least recently used
// leaving first, and on disk in `folder` up to a limit, the least recently used (across runs
// of the program) leaving first. Files are written whole or not at all (a temporary name,
// then a rename); a damaged or foreign file is no entry. Disk failures only cost the entry.
// Safe to use from several threads at once; files are read and written outside the lock.
class ThumbnailCache {
  public:
    // What packed thumbnails may take in memory: the 2,000 of a large basket at the default
    // cell, a few hundred of a print-grade page's (the rest come from the disk, which a page
    // of them takes no longer to read than to draw), a fraction of what a run's pages take.
    static constexpr qint64 DefaultMemoryLimit = qint64(32) << 20;

    // Nothing on disk when `diskLimit` is 0 or the folder cannot be made.
    ThumbnailCache(QString folder, qint64 diskLimit, qint64 memoryLimit = DefaultMemoryLimit);
    ThumbnailCache(const ThumbnailCache &) = delete;
    ThumbnailCache &operator=(const ThumbnailCache &) = delete;

    // The desktop program's cache, in cacheFolder()/thumbnails, limited by setDiskLimit().
    static ThumbnailCache &shared();

    // What loadPicture(request) gives: from the cache when the file, as it is now, was loaded
    // so before; otherwise loaded, and kept.
    std::optional<LoadedPicture> load(const LoadRequest &request);

    // Trims the files at once to the new limit.
    void setDiskLimit(qint64 bytes);
    // Forgets every thumbnail, in memory and on disk.
    void clear();
    // What the cache's files take.
    qint64 diskBytes() const;
    // Loads answered from the cache so far.
    qint64 hits() const { return m_hits; }

  private:
    struct Held {
        qint64 size = 0;
        quint64 stamp = 0; // when last used; smaller is older
    };
    // Entries of one place, least recently used first.
    struct Tier {
        QHash<QByteArray, Held> entries;
        std::map<quint64, QByteArray> byAge;
        qint64 bytes = 0;
        void use(const QByteArray &name, qint64 size, quint64 stamp);
        void forget(const QByteArray &name);
    };

    std::optional<QByteArray> lookup(const QByteArray &name);
    void keep(const QByteArray &name, const QByteArray &entry);
    void holdInMemory(const QByteArray &name, const QByteArray &entry);
    void indexFolder();
    QStringList trimDisk();
    QString entryPath(const QByteArray &name) const;

    const QString m_folder;
    const qint64 m_memoryLimit;
    mutable std::mutex m_mutex;
    qint64 m_diskLimit;
    bool m_indexed = false;
    bool m_folderUsable = false;
    quint64 m_clock = 0;
    Tier m_disk;
    Tier m_memory;
    QHash<QByteArray, QByteArray> m_memoryEntries;
    std::atomic<qint64> m_hits = 0;
};

} // namespace pagorra
