#include "jobs/manifest.h"

#include "core/atomicwrite.h"
#include "core/filenames.h"
#include "generation/generationrun.h"
#include "jobs/storedpath.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <sys/stat.h>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

constexpr int kManifestVersion = 1;

// One row, every value as text; an empty text is a value that does not apply.
struct Row {
    QString page, row, column, x, y, width, height;
    QString path;
    QString size, sha256, taken, takenFrom, originalWidth, originalHeight, orientation, reason;
};

const QStringList kColumns{
    u"page"_s,        u"row"_s,   u"column"_s, u"x"_s,     u"y"_s,          u"width"_s,          u"height"_s,
    u"path"_s,        u"size"_s,  u"sha256"_s, u"taken"_s, u"taken_from"_s, u"original_width"_s, u"original_height"_s,
    u"orientation"_s, u"reason"_s};
constexpr qsizetype kPathColumn = 7;

// The columns that are numbers in JSON; the others are texts.
bool isNumberColumn(qsizetype column)
{
    return column < kPathColumn || column == 8 || (column >= 12 && column <= 14);
}

QString number(qint64 n)
{
    return QString::number(n);
}

Row rowFor(const QString &path, const EntryPlacement *entry, GenerationResult::Outcome outcome)
{
    Row r;
    r.path = path;
    struct stat st;
    const bool exists = ::stat(nativePath(path).constData(), &st) == 0;
    const int statError = exists ? 0 : errno;
    if (exists)
        r.size = number(st.st_size);
    if (entry && entry->info.taken) {
        r.taken = entry->info.taken->toString(Qt::ISODate);
        r.takenFrom = u"photo"_s;
    } else if (exists) {
        r.taken = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec, Qt::UTC).toString(Qt::ISODate);
        r.takenFrom = u"file"_s;
    }
    if (entry && entry->page > 0) {
        r.page = number(entry->page);
        r.row = number(entry->row + 1);
        r.column = number(entry->column + 1);
        r.x = number(entry->cell.x());
        r.y = number(entry->cell.y());
        r.width = number(entry->cell.width());
        r.height = number(entry->cell.height());
        r.sha256 = QString::fromLatin1(entry->sha256.toHex());
        const QSize original = entry->info.size.isValid() ? entry->info.size : entry->original;
        r.originalWidth = number(original.width());
        r.originalHeight = number(original.height());
        r.orientation = number(entry->info.orientation);
    } else if (!entry) {
        r.reason = outcome == GenerationResult::Outcome::Cancelled ? u"not reached: the run was cancelled"_s
                                                                   : u"not reached: the run ended early"_s;
    } else if (!exists) {
        r.reason = u"missing: "_s + errnoText(statError);
    } else if (!entry->failure.isEmpty()) {
        r.reason = entry->failure;
    } else {
        r.reason = u"no picture: not a picture file the program reads, damaged, or beyond the decoding limits"_s;
    }
    return r;
}

QList<Row> rowsOf(const QStringList &paths, const GenerationResult &result)
{
    QList<Row> rows;
    rows.reserve(paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i)
        rows << rowFor(paths.at(i), i < result.entries.size() ? &result.entries.at(i) : nullptr, result.outcome);
    return rows;
}

QStringList valuesOf(const Row &r)
{
    return {r.page,        r.row,   r.column, r.x,     r.y,         r.width,         r.height,
            r.path,        r.size,  r.sha256, r.taken, r.takenFrom, r.originalWidth, r.originalHeight,
            r.orientation, r.reason};
}

// A field as CSV files quote it: in double quotes, its own doubled, when it holds a separator,
// a quote or a line break. A path goes in as the file system's bytes.
QByteArray csvField(const QByteArray &bytes)
{
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    return '"' + QByteArray(bytes).replace("\"", "\"\"") + '"';
}

QByteArray csvOf(const QList<Row> &rows)
{
    QByteArray out = kColumns.join(u',').toUtf8() + "\r\n";
    for (const Row &r : rows) {
        const QStringList values = valuesOf(r);
        QByteArrayList fields;
        for (qsizetype k = 0; k < values.size(); ++k)
            fields << csvField(k == kPathColumn ? nativePath(values.at(k)) : values.at(k).toUtf8());
        out += fields.join(',') + "\r\n";
    }
    return out;
}

QByteArray jsonOf(const QList<Row> &rows)
{
    QJsonArray entries;
    for (const Row &r : rows) {
        QJsonObject entry;
        const QStringList values = valuesOf(r);
        for (qsizetype k = 0; k < values.size(); ++k) {
            if (values.at(k).isEmpty())
                continue;
            if (k == kPathColumn)
                entry.insert(kColumns.at(k), storedPath(values.at(k)));
            else if (isNumberColumn(k))
                entry.insert(kColumns.at(k), values.at(k).toLongLong());
            else
                entry.insert(kColumns.at(k), values.at(k));
        }
        entries.append(entry);
    }
    return QJsonDocument(QJsonObject{{u"version"_s, kManifestVersion}, {u"entries"_s, entries}})
        .toJson(QJsonDocument::Indented);
}

} // namespace

std::optional<ManifestFormat> manifestFormatOf(const QString &path)
{
    if (path.endsWith(u".csv"_s, Qt::CaseInsensitive))
        return ManifestFormat::Csv;
    if (path.endsWith(u".json"_s, Qt::CaseInsensitive))
        return ManifestFormat::Json;
    return std::nullopt;
}

QByteArray manifestBytes(ManifestFormat format, const QStringList &paths, const GenerationResult &result)
{
    const QList<Row> rows = rowsOf(paths, result);
    return format == ManifestFormat::Csv ? csvOf(rows) : jsonOf(rows);
}

std::optional<QString> writeManifest(const QString &path, const QStringList &paths, const GenerationResult &result)
{
    const std::optional<ManifestFormat> format = manifestFormatOf(path);
    if (!format)
        return u"A manifest is a .csv or a .json file: '%1' is neither."_s.arg(displayName(path));
    if (const std::optional<WriteFailure> failure =
            replaceFileAtomically(path, manifestBytes(*format, paths, result), 0644))
        return u"The manifest '%1' cannot be written: %2."_s.arg(displayName(path), failure->reason);
    return std::nullopt;
}

} // namespace pagorra
