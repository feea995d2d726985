#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <stop_token>

namespace pagorra {

// When the photo at `path` was taken, for ordering the basket: the camera's clock as the
// photo's metadata gives it, else the file's last change, both as local times; invalid when
// the file cannot be examined. Only reads, so any thread may call it.
QDateTime captureTime(const QString &path);

// The same for several paths, in order; shorter when `stop` was asked before the end.
QList<QDateTime> readCaptureTimes(const QStringList &paths, std::stop_token stop = {});

} // namespace pagorra
