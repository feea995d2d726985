#pragma once

#include <QLockFile>
#include <QString>

namespace pagorra {

// One running copy per user: a lock file in the user's runtime folder, held for the life of
// the object. A lock left behind by a process that no longer runs is taken over.
class SingleInstance {
  public:
    // $XDG_RUNTIME_DIR/pagorra.lock
    static QString defaultLockPath();

    explicit SingleInstance(const QString &lockPath = defaultLockPath());

    // False only when another running process holds the lock. A lock that cannot be created
    // at all (unwritable folder) does not keep the user from working: then it answers true.
    bool acquire();

  private:
    QLockFile m_lock;
};

} // namespace pagorra
