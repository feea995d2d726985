#pragma once

#include <QByteArray>
#include <QString>
#include <limits>
#include <optional>

namespace pagorra {

// File names are bytes on Linux, and not every name is valid UTF-8 (old archives, cameras,
// copies from other systems). Qt turns such bytes into U+FFFD, after which the file can no
// longer be opened. These two functions convert without loss instead: a byte that is not
// part of valid UTF-8 travels in the text as the lone surrogate U+DC80 + (byte - 0x80),
// which valid UTF-8 can never produce, and is turned back into that byte on the way out.
// Every path of an input file reaches the system through nativePath().
QByteArray nativePath(const QString &path);
QString pathFromNative(const QByteArray &bytes);

// The program's arguments as paths, without Qt's lossy decoding (argv[0] included).
QStringList argumentsFromNative(int argc, char *const argv[]);

// The absolute, cleaned form of a path, made against the working folder without QFileInfo,
// which would not keep a name's bytes that are not UTF-8.
QString absolutePath(const QString &path);

// The whole of a file, opened by its own bytes; nothing, with errno in `error`, when it cannot
// be read (EFBIG when it holds more than `maxBytes`).
std::optional<QByteArray> readWholeFile(const QString &path, int &error,
                                        qint64 maxBytes = std::numeric_limits<qint64>::max());

// A name made safe to show as one line on a terminal, in a log or a message: control
// characters, line and bidirectional-override characters and bytes that are not UTF-8
// appear as escapes (\n, \t, \xNN, \u202E); everything else as it is.
QString displayName(const QString &name);

} // namespace pagorra
