#pragma once

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
    // --paper or --page, whichever came last: a paper name ("" for --page's size in pixels).
    std::optional<QString> paper;
    bool landscape = false;
    std::optional<std::int16_t> resolution;
    bool pdfLinks = false;
    bool pdfJpeg = false;
    std::optional<std::int16_t> quality;
    bool allFormats = false;
    std::optional<QString> caption, footer; // templates, checked
    std::optional<QString> captionFontName;
    std::optional<std::int16_t> captionFontSize, captionLines;
    int jobs = 0; // 0: one decoding thread per core
    // --shard K/N: only the K-th of N slices of the entries, cut at whole pages.
    int shardIndex = 1;
    int shardCount = 1;
    bool multipage = false;
    QString output;
    QStringList inputs;
    QString job;      // --job: the settings, basket and output it holds come before the flags after it
    QString saveJob;  // --save-job: write the job the rest describes instead of running it
    QString manifest; // --manifest: .csv or .json
};

struct BatchParse {
    BatchOptions options;
    QString error; // why the command line is refused, as one line; empty when it is sound
    QString reply; // what --help or --version print; no run is made then
};

// Parses the arguments after the program name, in the platform's command-line conventions
// (-o FILE, --page=800x600, "--" ends the options, "-" is an input). When an option is given
// twice, or --title and --no-title both, the last one counts.
BatchParse parseBatchArguments(const QStringList &arguments);

// Why pages cannot be written to `output` as asked (no format of that extension, --multipage
// to a format without pages), as one line; empty when they can.
QString targetProblem(const QString &output, bool multipage);

} // namespace pagorra
