#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace pagorra {

// What stopped a file from being written: the errno, and the step that failed in words fit
// for a message ("cannot create a file in its folder: Permission denied").
struct WriteFailure {
    int code = 0;
    QString reason;
};

// Creates `folder` and the folders above it that are missing, each private to the user (0700).
// Fails with ENOTDIR when a file stands where a folder should be.
std::optional<WriteFailure> createFolders(const QString &folder);

// Replaces the file at `path` with `bytes` so that a crash at any moment leaves either the old
// file or the new one: a sibling `<name>.tmp-<temporaryTag()>` is written, flushed to disk and
// renamed over `path`. A new file gets `newFileMode`; an existing one keeps its own mode. On
// failure the file is as it was, the temporary is gone, and the failure is returned.
std::optional<WriteFailure> replaceFileAtomically(const QString &path, const QByteArray &bytes, unsigned newFileMode);

// Removes the temporaries of replaceFileAtomically() that processes killed since left beside
// `path`; those of running processes stay. Returns how many were removed.
int removeOrphanedReplacements(const QString &path);

// Writes all `count` bytes at `offset`, or at the file's position when `offset` is negative,
// going on after interrupted or partial writes. Returns 0, or the errno that stopped it (ENOSPC
// for a write that took nothing and named no reason: only a full device does that).
int writeFully(int fd, const char *bytes, std::int64_t count, std::int64_t offset = -1);

// The system's text for errno `code`, e.g. "Permission denied".
QString errnoText(int code);

} // namespace pagorra
