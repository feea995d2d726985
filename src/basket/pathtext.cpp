#include "basket/pathtext.h"

#include "core/filenames.h"
#include "core/runtimeerror.h"
#include "core/spacetrim.h"

#include <sys/stat.h>

namespace pagorra {

namespace {
constexpr QChar Separator = u'/';
} // namespace

QString removeTrailingSeparator(const QString &path)
{
    if (path.endsWith(u'/') || path.endsWith(u'\\'))
        return path.left(path.size() - 1);
    return path;
}

QStringList splitText(const QString &text, const QString &delimiter)
{
    if (delimiter.isEmpty())
        return {text};
    QStringList pieces;
    qsizetype from = 0;
    for (qsizetype found = text.indexOf(delimiter, from); found >= 0; found = text.indexOf(delimiter, from)) {
        pieces.append(text.mid(from, found - from));
        from = found + delimiter.size();
    }
    pieces.append(text.mid(from));
    return pieces;
}

QString pathExtension(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot < 0 ? path : path.mid(dot + 1);
}

QString pathFileName(const QString &path)
{
    const qsizetype sep = path.lastIndexOf(Separator);
    return sep < 0 ? path : path.mid(sep + 1);
}

QString pathBaseName(const QString &path)
{
    const QString name = pathFileName(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        PAGORRA_RAISE(5, QStringLiteral("Invalid procedure call or argument"));
    return name.left(dot);
}

QString pathFolderPart(const QString &path)
{
    const qsizetype sep = path.lastIndexOf(Separator);
    return sep < 0 ? QString() : path.left(sep + 1);
}

QString ensureTrailingSeparator(QString &path)
{
    const QString trimmed = trimSpaces(path);
    if (trimmed.isEmpty())
        return QString();
    if (!trimmed.endsWith(Separator))
        path.append(Separator);
    return path;
}

namespace {
// The type of what path names (following links), or 0 when there is nothing; asked with the
// path's own bytes, which QFileInfo would not keep for a name that is not UTF-8.
mode_t fileType(const QString &path)
{
    struct stat st;
    return ::stat(nativePath(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}
} // namespace

bool fileExists(const QString &path)
{
    if (trimSpaces(path).isEmpty())
        return false;
    return fileType(path) == S_IFREG;
}

bool pathExists(const QString &path, bool isFolder)
{
    if (path.isEmpty())
        return false;
    const mode_t type = fileType(path);
    return type == S_IFREG || (isFolder && type == S_IFDIR);
}

} // namespace pagorra
