#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace pagorra {

struct GenerationResult;

// The manifest of a run: one row per basket entry, in basket order, saying where its picture
// was placed (page, row and column from 1, the cell in layout pixels) and what file it came
// from (path, size, SHA-256, capture time, the original's size and orientation), or for an
// entry that gave no picture, why. Nothing in it depends on when or how fast the run was made,
// so the same job on the same files gives the same manifest.
enum class ManifestFormat { Csv, Json };

// The format a file name asks for by its extension (.csv or .json, any letter case).
std::optional<ManifestFormat> manifestFormatOf(const QString &path);

// The manifest of a run over `paths` from its result, made with GenerationRun::setReportEntries.
QByteArray manifestBytes(ManifestFormat format, const QStringList &paths, const GenerationResult &result);

// Writes it atomically in the format of the name's extension; returns why it could not be,
// or nothing.
std::optional<QString> writeManifest(const QString &path, const QStringList &paths, const GenerationResult &result);

} // namespace pagorra
