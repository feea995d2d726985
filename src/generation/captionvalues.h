#pragma once

#include "generation/photoinfo.h"

#include <QDateTime>
#include <QSize>
#include <QString>
#include <cstdint>

namespace pagorra {

// What the tokens of a caption stand for, for one placed photo: what the decoder parsed of it
// and where it is in the basket. The file is never opened for a caption; {size}, and {date}
// of a photo that does not say when it was taken, read the file's entry in its folder.
struct PhotoFacts {
    QString path;
    std::int64_t index = 0; // position in the basket, 1-based
    QSize size;             // the original's pixels, upright
    const PhotoInfo *info = nullptr;
};

// The value of the caption token `token` (its name without braces) for `photo`; empty when the
// photo has none. File names are shown as displayName() shows them. Dates are written in
// `dateFormat` as Qt formats dates, ISO 8601 when it is empty; exposures, f-numbers and the
// rest as photographers write them (1/250, 2.8, 50 mm, ★★★, 3.2 MB).
QString captionValue(const QString &token, const PhotoFacts &photo, const QString &dateFormat);

// A time written in `format`; an empty format is ISO 8601, of the whole time or of its day.
QString formattedDate(const QDateTime &time, const QString &format, bool dayOnly = false);

// The last part of a path, as displayName() shows it.
QString shownFileName(const QString &path);

} // namespace pagorra
