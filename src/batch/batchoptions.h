#pragma once

#include "batch/batchcommandline.h"
#include "core/registrystore.h"
#include "core/settings.h"

#include <QString>
#include <QStringList>

namespace pagorra {

// The settings the tool starts from, before its flags are applied: the user's stored
// settings, read without changing anything in the settings folder. A value that cannot be
// read takes its default and is reported through the global error handler.
RegistrySettings batchBaseSettings(const QString &storePath = RegistryStore::defaultPath());

void applyBatchOptions(const BatchOptions &options, RegistrySettings &settings);

// Input files in basket order, as absolute paths: files as given, folders listed with the
// basket's folder pattern sorted by name, @LIST files read one path per line. Names are taken
// as the file system holds them (see filenames.h); the same path twice is kept once, and
// paths that differ only in letter case are two files.
struct BatchInputs {
    QStringList files;
    QString error; // a folder or list that could not be read
};
BatchInputs listBatchInputs(const QStringList &inputs);

// Why output cannot be written (a folder of that name, a missing or read-only folder to put
// it in), or empty. Asked before the run, so that a long run does not end in a write that
// could never succeed.
QString outputProblem(const QString &output);

} // namespace pagorra
