#include "output/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pagorra {

QString fileErrorText(const QString &path, int errnoValue)
{
    return QStringLiteral("Could not write '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(errnoValue)));
}

AtomicFile::AtomicFile(const QString &targetPath) : m_targetPath(targetPath) {}

AtomicFile::~AtomicFile()
{
    if (!m_committed && !m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
}

bool AtomicFile::open(QString &error)
{
    const QFileInfo target(m_targetPath);
    const QString folder = target.absolutePath();
    // A hidden name that no user picks, unique per attempt; O_EXCL makes sure we never
    // write into somebody else's file, and mode 0666 lets the umask decide as for any file.
    for (int attempt = 0; attempt < 16; ++attempt) {
        // The name is cut so that the decoration never pushes it past the file name limit.
        const QString candidate = QStringLiteral("%1/.%2.%3.part")
                                      .arg(folder, target.fileName().left(200))
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
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
    const QByteArray temp = QFile::encodeName(m_tempPath);
    const int fd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int saved = errno;
        if (fd >= 0)
            ::close(fd);
        error = fileErrorText(m_targetPath, saved);
        return false;
    }
    ::close(fd);
    if (std::rename(temp.constData(), QFile::encodeName(m_targetPath).constData()) != 0) {
        error = fileErrorText(m_targetPath, errno);
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace pagorra
