#include "core/temporaryfiles.h"

#include "core/filenames.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {

bool processGone(qint64 pid)
{
    if (pid <= 0 || pid == ::getpid())
        return pid <= 0;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QString temporaryTag()
{
    return QStringLiteral("%1-%2")
        .arg(qint64(::getpid()))
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

int removeOrphanedTemporaries(const QString &folder, const QString &prefix, const QString &suffix)
{
    const QByteArray native = nativePath(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return 0;
    static const QRegularExpression tag(QStringLiteral("(?:^|[.-])(\\d+)-[0-9a-f]{8}$"));
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = pathFromNative(QByteArray(entry->d_name));
        if (!name.startsWith(prefix) || !name.endsWith(suffix) || name.size() < prefix.size() + suffix.size())
            continue;
        const QString middle = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        const QRegularExpressionMatch match = tag.match(middle);
        if (!match.hasMatch() || !processGone(match.captured(1).toLongLong()))
            continue;
        const QByteArray path = native + '/' + QByteArray(entry->d_name);
        struct stat st;
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            ::unlink(path.constData()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace pagorra
