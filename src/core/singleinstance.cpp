#include "core/singleinstance.h"

#include <QDir>
#include <QStandardPaths>

namespace pagorra {

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/pagorra.lock");
}

SingleInstance::SingleInstance(const QString &lockPath) : m_lock(lockPath)
{
    // Staleness by age would let a second copy in beside a long-running first one; a lock is
    // stale only when its process is gone.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    if (m_lock.tryLock(0))
        return true;
    return m_lock.error() != QLockFile::LockFailedError;
}

} // namespace pagorra
