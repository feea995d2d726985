#include "core/desktopidentity.h"

#include "core/help.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace pagorra {

namespace {

// The icon from the theme. The installed tree's own icons are searched first, so that a tree
// installed under a prefix the desktop does not search (a relocated one) still finds its icon.
QIcon themeIcon()
{
    QStringList paths = QIcon::themeSearchPaths();
    // Without a desktop (headless, or a bare window manager) Qt searches no system folder and names
    // no theme: then the data folders and hicolor, the theme every other theme falls back to.
    const QStringList system = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                         QStandardPaths::LocateDirectory);
    for (const QString &path : system) {
        if (!paths.contains(path))
            paths.append(path);
    }
    const QString own = installedShareFolder(QCoreApplication::applicationDirPath()) + QStringLiteral("/icons");
    if (QFileInfo(own).isDir() && !paths.contains(own))
        paths.prepend(own);
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    return QIcon::fromTheme(desktopEntryId());
}

} // namespace

QString desktopEntryId()
{
    return QStringLiteral("com.halvornimaging.Pagorra");
}

void useDesktopIdentity(const QIcon &fallback)
{
    QGuiApplication::setDesktopFileName(desktopEntryId());
    const QIcon icon = themeIcon();
    QGuiApplication::setWindowIcon(icon.isNull() ? fallback : icon);
}

bool installedFilesRequested()
{
    return qEnvironmentVariableIsSet("PAGORRA_SHOW_INSTALLED_FILES");
}

int printInstalledFiles()
{
    const QString help = helpDocumentPath(QCoreApplication::applicationDirPath());
    QList<int> sides;
    for (const QSize &size : themeIcon().availableSizes()) {
        if (!sides.contains(size.width()))
            sides.append(size.width());
    }
    std::sort(sides.begin(), sides.end());
    QStringList sizes;
    for (const int side : std::as_const(sides))
        sizes << QString::number(side);
    std::printf("help: %s\nicon: %s\n", qUtf8Printable(help), qUtf8Printable(sizes.join(u' ')));
    std::fflush(stdout);
    return help.isEmpty() || sizes.isEmpty() ? 1 : 0;
}

} // namespace pagorra
