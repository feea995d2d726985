#pragma once

#include <QIcon>
#include <QString>

namespace pagorra {

// The id of the desktop entry (its file name without ".desktop"), which is also the name of the
// program's icon in the icon theme and the id of its AppStream component.
QString desktopEntryId();

// Names the desktop entry to the window system (a Wayland shell finds the menu entry and its icon
// by it) and gives every window the installed icon from the icon theme, or `fallback` when the
// theme has none (the build tree). Call once, after the application object exists.
void useDesktopIdentity(const QIcon &fallback);

// For the install checks, not documented to users: with PAGORRA_SHOW_INSTALLED_FILES set, the
// desktop program prints where it finds its help document and which sizes of its icon the icon
// theme holds, then exits (1 when either is missing) instead of starting.
bool installedFilesRequested();
int printInstalledFiles();

} // namespace pagorra
