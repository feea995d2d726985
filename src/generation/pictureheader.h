#pragma once

#include <QSize>
#include <cstdint>
#include <optional>

namespace pagorra {

class DecodeInput;

// The picture formats the program decodes, known by their first bytes, never by the name:
// a document or a drawing named like a photo is not one of them.
enum class PictureFormat { Jpeg, Png, Gif, Tiff, Bmp };

// What a picture file's headers say, read without decoding any pixel: enough to choose the
// decoder, to refuse a file whose structure cannot be right, and to know what decoding it
// will cost before it starts.
struct PictureHeader {
    PictureFormat format = PictureFormat::Jpeg;
    QSize size;          // stored pixels, before any orientation tag (for a GIF, the canvas)
    int orientation = 1; // a JPEG's EXIF orientation; the other formats' decoders read theirs
    // Memory the decoder itself holds at the most: coefficient or row buffers, whole-image
    // buffers where the decoder needs them, metadata it keeps, the file where it reads it all.
    std::int64_t decoderBytes = 0;
    // A TIFF's link from the first directory to the next, to be hidden from the decoder: only
    // the first page is used, and a chain of pages would be walked whole when it is opened.
    std::int64_t hiddenOffset = 0;
    int hiddenLength = 0;
};

// Reads the headers of the file `input` holds. Nothing when it is not one of the formats, or
// when its structure is impossible: a PNG chunk or a TIFF tag running past the end of the
// file, a progressive JPEG with more scans than any encoder writes, a BMP cut short.
std::optional<PictureHeader> readPictureHeader(const DecodeInput &input);

} // namespace pagorra
