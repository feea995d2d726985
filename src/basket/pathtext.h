#pragma once

#include <QString>
#include <QStringList>

namespace pagorra {

// Text-only path routines: "/" is the separator and nothing here touches the disk.
// Positions searched from the right cover the whole text, so a "." in a folder name counts.

// Drops one final "/" or "\"; any other text comes back unchanged.
QString removeTrailingSeparator(const QString &path);

// The pieces between occurrences of delimiter; the last piece may be empty. A text without
// the delimiter (or an empty delimiter) gives one piece, the whole text.
QStringList splitText(const QString &text, const QString &delimiter);

// Everything after the last "."; the whole text when there is no ".".
QString pathExtension(const QString &path);

// Everything after the last "/"; the whole text when there is no "/".
QString pathFileName(const QString &path);

// The file name up to its last ".". Throws RuntimeError 5 (invalid argument) when the
// file name holds no ".", as callers only pass names with an extension.
QString pathBaseName(const QString &path);

// Everything up to and including the last "/"; empty when there is no "/".
QString pathFolderPart(const QString &path);

// Appends "/" to path unless its space-trimmed form already ends in one, and returns it.
// A text that is empty or only spaces is left alone and gives an empty result.
QString ensureTrailingSeparator(QString &path);

// True when path names an existing regular file (or a link to one); never throws.
bool fileExists(const QString &path);

// True when path names an existing file, or a folder too when isFolder is set.
bool pathExists(const QString &path, bool isFolder);

} // namespace pagorra
