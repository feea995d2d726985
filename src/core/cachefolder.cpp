#include "core/cachefolder.h"

#include <QStandardPaths>

namespace pagorra {

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/pagorra");
}

} // namespace pagorra
