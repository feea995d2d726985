#pragma once

#include "core/registrystore.h"
#include "core/settings.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace pagorra {

// What the command line of the batch tool asks for. Every setting is optional: an absent
// flag leaves the user's stored setting as it is.
struct BatchOptions {
    std::optional<std::int32_t> pageWidth, pageHeight;
    std::optional<std::int16_t> cellWidth, cellHeight;
    std::optional<std::int16_t> marginTop, marginLeft, marginRight, marginBottom;
    std::optional<bool> uniform;
    std::optional<QString> title; // set by --title
    bool noTitle = false;
    bool pageNumbers = false;
    std::optional<std::int32_t> background; // stored colour form
    int jobs = 0;                           // 0: one decoding thread per core
    bool multipage = false;
    bool help = false;
    QString output;
    QStringList inputs;
};

struct BatchParse {
    BatchOptions options;
    QString error; // empty when the command line is sound
};

// Parses the arguments after the program name.
BatchParse parseBatchArguments(const QStringList &arguments);

QString batchUsage();

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
