#pragma once

#include "generation/photoinfo.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

// Reading what a photo's EXIF and XMP say of it (see PhotoInfo); for the header readers and
// the decoders, which hand over the blocks they have read.
namespace pagorra {

// Reads `length` bytes at `offset` of a TIFF structure into `out`; false when they are not
// there.
using TiffBytes = std::function<bool(std::int64_t offset, int length, uchar *out)>;

// What the first directory of a TIFF structure and its EXIF directory say: a TIFF file
// itself, or the EXIF block a JPEG, PNG, WebP, HEIF or JPEG XL file holds. Fields the
// structure does not hold, or holds broken, stay unknown.
PhotoInfo photoInfoFromExif(const TiffBytes &read);
PhotoInfo photoInfoFromExif(const QByteArray &tiff);

// The rating of an XMP packet (xmp:Rating), from 0 to 5; a rejected photo (-1) rates 0.
std::optional<int> xmpRating(const QByteArray &xmp);
// exif:DateTimeOriginal of an XMP packet, as the camera's clock read (an editor may keep the
// capture time only there); nothing when absent or not a date.
std::optional<QDateTime> xmpDateTaken(const QByteArray &xmp);

// Make and model as one name, the make left out when the model names it already
// ("Canon" and "Canon EOS 5D" give "Canon EOS 5D", "NIKON CORPORATION" and "NIKON D3100"
// give "NIKON D3100").
QString cameraName(const QString &make, const QString &model);

// A text of the file's without its control characters, trimmed.
QString cleanedText(const QString &text);

} // namespace pagorra
