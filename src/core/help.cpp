#include "core/help.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace pagorra {

QString installedShareFolder(const QString &programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/../share"));
}

QString helpDocumentPath(const QString &programFolder)
{
    // The second form serves a folder that already ends in a separator, such as "/".
    for (const QString &path :
         {programFolder + QStringLiteral("/help.html"), programFolder + QStringLiteral("help.html"),
          // Not under share/doc: minimal systems leave that folder out when they install packages.
          installedShareFolder(programFolder) + QStringLiteral("/pagorra/help.html")}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

void openHelpDocument(const QString &programFolder)
{
    const QString path = helpDocumentPath(programFolder);
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace pagorra
