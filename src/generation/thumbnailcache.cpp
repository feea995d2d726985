#include "generation/thumbnailcache.h"

#include "core/atomicwrite.h"
#include "core/cachefolder.h"
#include "core/filenames.h"
#include "core/temporaryfiles.h"
#include "generation/pixelpack.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {

// Raised whenever the loader starts making other pixels from the same file and request, so
// that thumbnails made before are not served.
constexpr quint32 kRecipe = 1;
constexpr quint32 kEntryMagic = 0x50475443; // "PGTC"
constexpr quint8 kEntryVersion = 1;
const QString kEntrySuffix = QStringLiteral(".thumb");
const QString kTemporaryMark = QStringLiteral(".tmp-");

// Every field of these decides what a load gives, so every field is in an entry: a field
// added to either must be added to the key or to the entry below, and then here.
static_assert(sizeof(LoadRequest) == 48, "a new LoadRequest field: add it to entryKey()");
static_assert(sizeof(PhotoInfo) == 144, "a new PhotoInfo field: add it to writeInfo() and readInfo()");

struct FileIdentity {
    struct stat st {};
    bool operator==(const FileIdentity &o) const
    {
        return st.st_dev == o.st.st_dev && st.st_ino == o.st.st_ino && st.st_size == o.st.st_size &&
               st.st_mtim.tv_sec == o.st.st_mtim.tv_sec && st.st_mtim.tv_nsec == o.st.st_mtim.tv_nsec &&
               st.st_ctim.tv_sec == o.st.st_ctim.tv_sec && st.st_ctim.tv_nsec == o.st.st_ctim.tv_nsec;
    }
};

std::optional<FileIdentity> identify(const QString &path)
{
    FileIdentity id;
    if (::stat(nativePath(path).constData(), &id.st) != 0 || !S_ISREG(id.st.st_mode))
        return std::nullopt;
    return id;
}

QByteArray entryKey(const LoadRequest &request, const FileIdentity &id)
{
    QByteArray key;
    QDataStream out(&key, QIODevice::WriteOnly);
    out << kRecipe << quint64(id.st.st_dev) << quint64(id.st.st_ino) << qint64(id.st.st_size)
        << qint64(id.st.st_mtim.tv_sec) << qint64(id.st.st_mtim.tv_nsec) << qint64(id.st.st_ctim.tv_sec)
        << qint64(id.st.st_ctim.tv_nsec) << nativePath(request.path) << qint32(request.loadAs)
        << qint32(request.fixedWidth) << qint32(request.fixedHeight) << qint32(request.backColor)
        << request.retainRatio;
    return key;
}

template <typename T> void writeOptional(QDataStream &out, const std::optional<T> &value)
{
    out << value.has_value();
    if (value)
        out << *value;
}

template <typename T> void readOptional(QDataStream &in, std::optional<T> &value)
{
    bool present = false;
    in >> present;
    value.reset();
    if (present) {
        T v{};
        in >> v;
        value = v;
    }
}

void writeInfo(QDataStream &out, const PhotoInfo &info)
{
    out << info.size << qint32(info.orientation);
    writeOptional(out, info.taken);
    out << info.camera << info.lens;
    writeOptional(out, info.exposureSeconds);
    writeOptional(out, info.aperture);
    writeOptional(out, info.iso);
    writeOptional(out, info.focalLength);
    writeOptional(out, info.rating);
}

void readInfo(QDataStream &in, PhotoInfo &info)
{
    qint32 orientation = 1;
    in >> info.size >> orientation;
    info.orientation = orientation;
    readOptional(in, info.taken);
    in >> info.camera >> info.lens;
    readOptional(in, info.exposureSeconds);
    readOptional(in, info.aperture);
    readOptional(in, info.iso);
    readOptional(in, info.focalLength);
    readOptional(in, info.rating);
}

QByteArray packEntry(const QByteArray &key, const LoadedPicture &picture)
{
    const QByteArray pixels = packPixels(picture.bitmap);
    if (pixels.isEmpty())
        return {};
    QByteArray entry;
    QDataStream out(&entry, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kEntryMagic << kEntryVersion << key << qint32(picture.actualWidth) << qint32(picture.actualHeight);
    writeInfo(out, picture.info);
    out << picture.sha256 << pixels;
    return entry;
}

// Nothing when the entry is damaged, made for another key, or lacks the digest asked for.
std::optional<LoadedPicture> unpackEntry(const QByteArray &entry, const QByteArray &key, bool wantDigest)
{
    QDataStream in(entry);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint8 version = 0;
    QByteArray storedKey;
    in >> magic >> version;
    if (magic != kEntryMagic || version != kEntryVersion)
        return std::nullopt;
    in >> storedKey;
    if (storedKey != key)
        return std::nullopt;
    LoadedPicture picture;
    qint32 width = 0, height = 0;
    QByteArray pixels;
    in >> width >> height;
    readInfo(in, picture.info);
    in >> picture.sha256 >> pixels;
    if (in.status() != QDataStream::Ok || (wantDigest && picture.sha256.isEmpty()))
        return std::nullopt;
    std::optional<QImage> bitmap = unpackPixels(pixels);
    if (!bitmap)
        return std::nullopt;
    picture.bitmap = std::move(*bitmap);
    picture.actualWidth = width;
    picture.actualHeight = height;
    return picture;
}

std::optional<QByteArray> readFile(const QString &path)
{
    int error = 0;
    // The folder is the user's own, and an entry is no larger than the thumbnail it packs.
    return readWholeFile(path, error, std::numeric_limits<qint64>::max());
}

// Written under a temporary name and renamed into place, so an entry is whole or absent.
// Not flushed to disk: after a crash a damaged entry is only a miss.
bool writeFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray temporary = nativePath(path + kTemporaryMark + temporaryTag());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = writeFully(fd, bytes.constData(), bytes.size()) == 0;
    const bool ok = ::close(fd) == 0 && written && ::rename(temporary.constData(), nativePath(path).constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

} // namespace

void ThumbnailCache::Tier::use(const QByteArray &name, qint64 size, quint64 stamp)
{
    forget(name);
    entries.insert(name, Held{size, stamp});
    byAge.emplace(stamp, name);
    bytes += size;
}

void ThumbnailCache::Tier::forget(const QByteArray &name)
{
    const auto it = entries.constFind(name);
    if (it == entries.cend())
        return;
    byAge.erase(it->stamp);
    bytes -= it->size;
    entries.erase(it);
}

ThumbnailCache::ThumbnailCache(QString folder, qint64 diskLimit, qint64 memoryLimit)
    : m_folder(std::move(folder)), m_memoryLimit(memoryLimit), m_diskLimit(diskLimit)
{
}

ThumbnailCache &ThumbnailCache::shared()
{
    static ThumbnailCache cache(cacheFolder() + QStringLiteral("/thumbnails"), 0);
    return cache;
}

QString ThumbnailCache::entryPath(const QByteArray &name) const
{
    return m_folder + u'/' + QString::fromLatin1(name) + kEntrySuffix;
}

std::optional<LoadedPicture> ThumbnailCache::load(const LoadRequest &request)
{
    const std::optional<FileIdentity> before = identify(request.path);
    if (!before)
        return loadPicture(request);
    const QByteArray key = entryKey(request, *before);
    const QByteArray name = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    if (const std::optional<QByteArray> entry = lookup(name)) {
        if (std::optional<LoadedPicture> picture = unpackEntry(*entry, key, request.wantDigest)) {
            ++m_hits;
            return picture;
        }
    }
    std::optional<LoadedPicture> picture = loadPicture(request);
    if (picture && identify(request.path) == before) {
        if (const QByteArray entry = packEntry(key, *picture); !entry.isEmpty())
            keep(name, entry);
    }
    return picture;
}

std::optional<QByteArray> ThumbnailCache::lookup(const QByteArray &name)
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_memoryEntries.constFind(name); it != m_memoryEntries.cend()) {
            m_memory.use(name, it->size(), ++m_clock);
            return *it;
        }
        indexFolder();
        if (!m_disk.entries.contains(name))
            return std::nullopt;
    }
    const QString path = entryPath(name);
    std::optional<QByteArray> entry = readFile(path);
    // Used now: the modification time orders the files for later runs as well.
    if (entry)
        ::utimensat(AT_FDCWD, nativePath(path).constData(), nullptr, 0);
    std::lock_guard lock(m_mutex);
    if (!entry) {
        m_disk.forget(name);
        return std::nullopt;
    }
    m_disk.use(name, entry->size(), ++m_clock);
    holdInMemory(name, *entry);
    return entry;
}

// Called with the lock held.
void ThumbnailCache::holdInMemory(const QByteArray &name, const QByteArray &entry)
{
    // Held at its size: a buffer grown while it was read or packed may have half as much again
    // unused, which the budget below would not see.
    QByteArray held = entry;
    held.squeeze();
    m_memoryEntries.insert(name, held);
    m_memory.use(name, entry.size(), ++m_clock);
    while (m_memory.bytes > m_memoryLimit && !m_memory.byAge.empty()) {
        const QByteArray oldest = m_memory.byAge.begin()->second;
        m_memory.forget(oldest);
        m_memoryEntries.remove(oldest);
    }
}

void ThumbnailCache::keep(const QByteArray &name, const QByteArray &entry)
{
    bool toDisk = false;
    {
        std::lock_guard lock(m_mutex);
        holdInMemory(name, entry);
        indexFolder();
        toDisk = m_folderUsable && m_diskLimit > 0;
    }
    if (!toDisk || !writeFile(entryPath(name), entry))
        return;
    QStringList doomed;
    {
        std::lock_guard lock(m_mutex);
        m_disk.use(name, entry.size(), ++m_clock);
        doomed = trimDisk();
    }
    for (const QString &path : doomed)
        ::unlink(nativePath(path).constData());
}

// The files beyond the limit, oldest first, taken out of the index. Called with the lock held.
QStringList ThumbnailCache::trimDisk()
{
    QStringList doomed;
    while (m_disk.bytes > m_diskLimit && !m_disk.byAge.empty()) {
        const QByteArray oldest = m_disk.byAge.begin()->second;
        m_disk.forget(oldest);
        doomed << entryPath(oldest);
    }
    return doomed;
}

// Learns what an earlier run left in the folder, once. Called with the lock held.
void ThumbnailCache::indexFolder()
{
    if (m_indexed || m_diskLimit <= 0)
        return;
    m_indexed = true;
    m_folderUsable = !createFolders(m_folder);
    if (!m_folderUsable)
        return;
    removeOrphanedTemporaries(m_folder, QString(), QString());
    const QByteArray native = nativePath(m_folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return;
    struct Found {
        qint64 used;
        qint64 size;
        QByteArray name;
    };
    std::vector<Found> found;
    const QByteArray suffix = kEntrySuffix.toLatin1();
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray file(e->d_name);
        struct stat st;
        if (!file.endsWith(suffix) || ::fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        found.push_back({qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size),
                         file.chopped(suffix.size())});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.used < b.used; });
    for (const Found &f : found)
        m_disk.use(f.name, f.size, ++m_clock);
}

void ThumbnailCache::setDiskLimit(qint64 bytes)
{
    QStringList doomed;
    {
        std::lock_guard lock(m_mutex);
        m_diskLimit = bytes;
        indexFolder();
        doomed = trimDisk();
    }
    for (const QString &path : doomed)
        ::unlink(nativePath(path).constData());
}

void ThumbnailCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_memory = Tier();
    m_memoryEntries.clear();
    m_disk = Tier();
    // Every entry file goes, also those this run has not indexed (when the limit was 0).
    const QByteArray native = nativePath(m_folder);
    if (DIR *dir = ::opendir(native.constData())) {
        const QByteArray suffix = kEntrySuffix.toLatin1();
        while (const dirent *e = ::readdir(dir)) {
            if (QByteArray(e->d_name).endsWith(suffix))
                ::unlinkat(dirfd(dir), e->d_name, 0);
        }
        ::closedir(dir);
    }
}

qint64 ThumbnailCache::diskBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_disk.bytes;
}

} // namespace pagorra
