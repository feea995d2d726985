#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <optional>

namespace pagorra {

// Lossless packing of a picture's pixels, for what is put aside on disk or in memory: the
// pages of a run while they are not shown and the thumbnail cache. Each row is stored as the
// difference of every pixel from its left neighbour, which turns the smooth runs of a photo
// into small numbers, then compressed with zstd at its fastest useful level: a thumbnail
// packs to about a third of its memory in a millisecond and unpacks in a third of that.
// Only 32-bit images are packed (the loader's and the pages' formats): Format_RGB32 without
// its unused alpha byte, Format_ARGB32 with it; the resolution stated in the image is kept.

// The packed bytes; empty for an image of any other format or a null image.
QByteArray packPixels(const QImage &image);

// The image packed by packPixels(), in its format; nothing when the bytes are not such a
// packing (damaged, cut short, or claiming a size they do not hold). Owned by the caller.
std::optional<QImage> unpackPixels(QByteArrayView packed);

} // namespace pagorra
