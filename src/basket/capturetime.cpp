#include "basket/capturetime.h"

#include "core/filenames.h"
#include "generation/photoinfo.h"

#include <sys/stat.h>

namespace pagorra {

QDateTime captureTime(const QString &path)
{
    if (const std::optional<PhotoInfo> info = readPhotoInfo(path); info && info->taken)
        return *info->taken;
    struct stat st;
    if (::stat(nativePath(path).constData(), &st) != 0)
        return {};
    return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
}

QList<QDateTime> readCaptureTimes(const QStringList &paths, std::stop_token stop)
{
    QList<QDateTime> times;
    times.reserve(paths.size());
    for (const QString &path : paths) {
        if (stop.stop_requested())
            break;
        times << captureTime(path);
    }
    return times;
}

} // namespace pagorra
