#include "jobs/storedpath.h"

#include "core/filenames.h"

#include <QDir>
#include <QJsonObject>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

const QString kNative = u"native"_s;

// The folder with one trailing "/", as the start of the paths under it.
QString prefixOf(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

QString folderOf(const QString &absolutePath)
{
    const qsizetype slash = absolutePath.lastIndexOf(u'/');
    return slash <= 0 ? u"/"_s : absolutePath.left(slash);
}

QJsonValue storedPath(const QString &path, const QString &folder)
{
    QString stored = path;
    if (!folder.isEmpty() && path.startsWith(prefixOf(folder)) && path.size() > prefixOf(folder).size())
        stored = path.mid(prefixOf(folder).size());
    const QByteArray bytes = nativePath(stored);
    if (bytes == stored.toUtf8())
        return stored;
    return QJsonObject{{kNative, QString::fromLatin1(bytes.toPercentEncoding("/"))}};
}

std::optional<QString> pathFromStored(const QJsonValue &value, const QString &folder)
{
    QString path;
    if (value.isString()) {
        path = value.toString();
    } else if (value.isObject() && value.toObject().value(kNative).isString()) {
        const QString encoded = value.toObject().value(kNative).toString();
        // Only the characters percent-encoding leaves as they are: anything else was not
        // written here and has no one meaning as bytes.
        for (const QChar c : encoded) {
            if (c.unicode() > 0x7E || c.unicode() < 0x21)
                return std::nullopt;
        }
        path = pathFromNative(QByteArray::fromPercentEncoding(encoded.toLatin1()));
    }
    if (path.isEmpty() || path.contains(QChar(0)))
        return std::nullopt;
    if (!path.startsWith(u'/'))
        path = prefixOf(folder.isEmpty() ? u"/"_s : folder) + path;
    return QDir::cleanPath(path);
}

} // namespace pagorra
