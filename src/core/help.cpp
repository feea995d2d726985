#include "core/help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace pagorra {

QString helpDocumentPath(const QString &programFolder)
{
    // The second form serves a folder that already ends in a separator, such as "/".
    for (const QString &path :
         {programFolder + QStringLiteral("/help.html"), programFolder + QStringLiteral("help.html")}) {
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
