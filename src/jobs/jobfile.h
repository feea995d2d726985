#pragma once

#include "core/settings.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace pagorra {

// Where a job's pages go: a file name as Save all pages takes it (pages numbered after it),
// or one multipage document. An empty file: the job names none.
struct JobTarget {
    QString file;
    bool multipage = false;
    bool operator==(const JobTarget &) const = default;
};

// A saved job: the basket in its order, the settings that make its pages and where the pages
// go. The settings hold the job's values over the personal ones it was read with (window
// state, last-used folder, print choices), which a job never carries.
struct Job {
    QStringList basket; // absolute paths, in order
    RegistrySettings settings;
    JobTarget target;
    // The file as it was read: what this version does not know of it is written back on save.
    QJsonObject kept;
};

// The extension of job files, without the dot: "pagorra".
QString jobFileSuffix();
// Whether a path names a job file by its extension (any letter case).
bool isJobFileName(const QString &path);

// Whether a stored value is one of the user's own rather than the job's.
bool isPersonalValue(const QString &section, const QString &name);

struct JobRead {
    std::optional<Job> job;
    QString error; // why the file is refused, as a sentence naming it; empty when read
};

// Reads a job file, its paths made absolute against the file's folder; values it does not hold
// take their defaults, personal values come from `personal`. A file that cannot be read, is
// not a job, is damaged in any part or was written by a newer version is refused whole.
JobRead readJob(const QString &path, const RegistrySettings &personal);

// Writes the job atomically (the old file stays whole until the new one is complete), with
// paths under the file's folder stored relative to it (relative paths are taken against the
// working folder first). Returns why it could not be written,
// or nothing.
std::optional<QString> writeJob(const QString &path, const Job &job);

// The job's values as they would be written, for telling whether a job has changed.
QJsonObject jobSettingsObject(const RegistrySettings &settings);

} // namespace pagorra
