#include "core/atomicwrite.h"

#include "core/filenames.h"
#include "core/temporaryfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {

WriteFailure failure(int code, const QString &step)
{
    return {code, step + QStringLiteral(": ") + errnoText(code)};
}

} // namespace

int writeFully(int fd, const char *bytes, std::int64_t count, std::int64_t offset)
{
    while (count > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, bytes, std::size_t(count))
                                     : ::pwrite(fd, bytes, std::size_t(count), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        bytes += n;
        count -= n;
        if (offset >= 0)
            offset += n;
    }
    return 0;
}

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

std::optional<WriteFailure> createFolders(const QString &folder)
{
    const QStringList parts = QDir::cleanPath(QDir(folder).absolutePath()).split(u'/');
    QString path;
    for (const QString &part : parts) {
        path += part;
        if (!path.isEmpty() && ::mkdir(QFile::encodeName(path).constData(), 0700) != 0) {
            const int code = errno;
            struct stat st;
            if (::stat(QFile::encodeName(path).constData(), &st) != 0)
                return failure(code, QStringLiteral("cannot create the folder '%1'").arg(displayName(path)));
            if (!S_ISDIR(st.st_mode))
                return WriteFailure{ENOTDIR, QStringLiteral("'%1' is not a folder").arg(displayName(path))};
        }
        path += u'/';
    }
    return std::nullopt;
}

std::optional<WriteFailure> replaceFileAtomically(const QString &path, const QByteArray &bytes, unsigned newFileMode)
{
    const QByteArray target = QFile::encodeName(path);
    // The process id in the name tells a later run whether the writer is still alive.
    const QByteArray temp = QFile::encodeName(path + QStringLiteral(".tmp-") + temporaryTag());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return failure(errno, QStringLiteral("cannot create a file in its folder"));
    auto fail = [&](int code, const QString &step) {
        ::close(fd);
        ::unlink(temp.constData());
        return failure(code, step);
    };
    struct stat old;
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? old.st_mode & 07777 : mode_t(newFileMode);
    // Folders that keep no permissions (a FAT stick) refuse this; the file is still written.
    (void)::fchmod(fd, mode);
    if (const int code = writeFully(fd, bytes.constData(), bytes.size()))
        return fail(code, QStringLiteral("cannot write a new copy"));
    if (::fsync(fd) != 0)
        return fail(errno, QStringLiteral("cannot write a new copy"));
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return failure(code, QStringLiteral("cannot write a new copy"));
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return failure(code, QStringLiteral("cannot replace it"));
    }
    // Make the rename itself durable; a failure here leaves a valid file either way.
    const int dirFd =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

int removeOrphanedReplacements(const QString &path)
{
    return removeOrphanedTemporaries(QFileInfo(path).absolutePath(),
                                     QFileInfo(path).fileName() + QStringLiteral(".tmp-"), QString());
}

} // namespace pagorra
