#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>
#include <optional>

namespace pagorra {

// What a photo says about itself, as its decoder parsed it from the file's header and
// metadata (EXIF, XMP): never read by opening the file a second time. Every field is
// optional; an empty one is unknown. Texts are the file's own, cleaned of control characters.
struct PhotoInfo {
    QSize size;                     // pixels of the original, upright
    int orientation = 1;            // the EXIF orientation the picture was turned by (1 = as stored)
    std::optional<QDateTime> taken; // DateTimeOriginal, as the camera's clock read (no zone)
    QString camera;                 // make and model, the make left out when the model names it
    QString lens;
    std::optional<double> exposureSeconds;
    std::optional<double> aperture; // f-number
    std::optional<int> iso;
    std::optional<double> focalLength; // millimetres
    std::optional<int> rating;         // 0 to 5 (XMP, else EXIF)
};

// The header and metadata of a picture file, without decoding its pixels, held to the same
// limits as a decode; nothing when the file is not a picture the program reads.
std::optional<PhotoInfo> readPhotoInfo(const QString &path);

} // namespace pagorra
