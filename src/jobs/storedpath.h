#pragma once

#include <QJsonValue>
#include <QString>
#include <optional>

namespace pagorra {

// Paths as job and manifest files hold them. A path under `folder` is kept relative to it, so
// that a job moves with its photos; any other is absolute. A name that is valid UTF-8 is a
// plain text; one that is not (see filenames.h) is {"native": its bytes percent-encoded}, so
// every name survives the round trip byte for byte.
QJsonValue storedPath(const QString &path, const QString &folder = {});
// The absolute path a stored value names, relative ones taken against `folder`; nothing when
// the value is no path.
std::optional<QString> pathFromStored(const QJsonValue &value, const QString &folder = {});

// The folder of an absolute path: "/a/b" for "/a/b/c", "/" for "/c".
QString folderOf(const QString &absolutePath);

} // namespace pagorra
