#include "output/atomicfile.h"

#include "core/filenames.h"
#include "core/temporaryfiles.h"

#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace pagorra {

namespace {

// Bytes of the target's name kept in the temporary name, so that the decoration (dot, tag,
// ".part": under 40 bytes) never pushes it past the file system's limit of 255.
constexpr qsizetype kKeptNameBytes = 200;
// Tries at a fresh temporary name before giving up; a clash needs the same pid and random tag.
constexpr int kNameAttempts = 16;

const QString kTemporaryPrefix = QStringLiteral(".");
const QString kTemporarySuffix = QStringLiteral(".part");

// A killed run leaves its temporary files behind; the first write of this process into a
// folder clears them. Later writes need not look again: no other run's orphan is ours to
// expect there while this one goes on.
void removeOrphansOnce(const QString &folder)
{
    static std::mutex mutex;
    static QSet<QString> swept;
    const std::lock_guard<std::mutex> lock(mutex);
    if (swept.contains(folder))
        return;
    swept.insert(folder);
    removeOrphanedTemporaries(folder, kTemporaryPrefix, kTemporarySuffix);
}

// The first bytes of a name, cut where no UTF-8 sequence is split.
QByteArray leadingBytes(const QByteArray &name, qsizetype count)
{
    if (name.size() <= count)
        return name;
    while (count > 0 && (uchar(name.at(count)) & 0xC0) == 0x80)
        --count;
    return name.left(count);
}

} // namespace

QString fileErrorText(const QString &path, int errnoValue)
{
    return QStringLiteral("Could not write '%1': %2")
        .arg(displayName(path), QString::fromLocal8Bit(std::strerror(errnoValue)));
}

AtomicFile::AtomicFile(const QString &targetPath) : m_targetPath(targetPath) {}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_tempPath.isEmpty())
        ::unlink(m_tempPath.constData());
}

bool AtomicFile::open(QString &error)
{
    const QFileInfo target(m_targetPath);
    const QString folder = target.absolutePath();
    removeOrphansOnce(folder);
    const QByteArray stem = nativePath(folder) + "/." + leadingBytes(nativePath(target.fileName()), kKeptNameBytes);
    // O_EXCL makes sure we never write into somebody else's file, and mode 0666 lets the
    // umask decide as for any file.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray candidate = stem + '.' + temporaryTag().toLatin1() + kTemporarySuffix.toLatin1();
        const int fd = ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_tempPath = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error = fileErrorText(m_targetPath, errno);
            return false;
        }
    }
    error = fileErrorText(m_targetPath, EEXIST);
    return false;
}

bool AtomicFile::commit(QString &error)
{
    // A full disk or a lost network share may show only at fsync or close.
    int failure = ::fsync(m_fd) == 0 ? 0 : errno;
    if (::close(m_fd) != 0 && failure == 0)
        failure = errno;
    m_fd = -1;
    if (failure != 0) {
        error = fileErrorText(m_targetPath, failure);
        return false;
    }
    if (std::rename(m_tempPath.constData(), nativePath(m_targetPath).constData()) != 0) {
        error = fileErrorText(m_targetPath, errno);
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace pagorra
