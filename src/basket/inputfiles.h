#pragma once

#include <QString>
#include <QStringList>

namespace pagorra {

// The picture types the basket takes: the open-file filter, the folder pattern and the
// folder listing built on it.

// Whether the basket and the batch tool also take the newer types (HEIC, HEIF, AVIF, WebP,
// JPEG XL and camera RAW files), the user's Input choice: one choice for the whole process,
// off until it is set. The image loader reads them whatever it is: it tells a file by its
// content.
void setAllFormatsOffered(bool offered);
bool allFormatsOffered();

// The types offered, in words, for the tool tips of the controls that add files.
QString offeredTypesText();

// The open-file filter (with the newer types when they are offered): "|" separates
// alternately a description and its ";"-separated patterns; the first pair is the one shown
// first.
QString openFileFilter();

// The folder pattern list (with the newer types when they are offered), ";"-separated. Every pattern ends in "*", so
// "a.bmp.txt" matches.
QString folderPattern();

// True when name matches one of the ";"-separated wildcard patterns ("*" any run,
// "?" one character), ignoring letter case.
bool matchesPatternList(const QString &name, const QString &patternList);

// True when a dropped file would be offered by the open-file dialog's first filter.
bool isSupportedInputFile(const QString &name);

// The names (not paths) of the regular files in folder matching patternList, each once,
// sorted by name ignoring case. Hidden files are left out, as a file manager shows none.
// Every name the folder holds comes back as it is (bytes that are not UTF-8 as pathFromNative
// carries them). A missing or unreadable folder gives an empty list, and its errno in *error.
QStringList listFolder(const QString &folder, const QString &patternList, int *error = nullptr);

// The "|" filter text turned into name filters for QFileDialog: "Description (patterns)"
// with each pattern spelt case-insensitively ("*.[jJ][pP][gG]"): Qt's own dialog ignores
// case, but a native GTK 3 dialog does not, and cameras name photos IMG_0001.JPG.
QStringList fileDialogNameFilters(const QString &filterText);

} // namespace pagorra
