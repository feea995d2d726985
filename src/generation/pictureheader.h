#pragma once

#include <QByteArray>
#include <QSize>
#include <cstdint>
#include <optional>

namespace pagorra {

class DecodeInput;

// The picture formats the program decodes, known by their first bytes, never by the name:
// a document or a drawing named like a photo is not one of them. Heif covers HEIC, HEIF and
// AVIF; Raw the camera RAW files whose first bytes or TIFF tags say so (RAF, ORF, RW2, CR3,
// DNG, CR2).
enum class PictureFormat { Jpeg, Png, Gif, Tiff, Bmp, Heif, Webp, Jxl, Raw };

// What a picture file's headers say, read without decoding any pixel: enough to choose the
// decoder, to refuse a file whose structure cannot be right, and to know what decoding it
// will cost before it starts.
struct PictureHeader {
    PictureFormat format = PictureFormat::Jpeg;
    // Stored pixels, before any orientation tag (for a GIF, the canvas; for a HEIF, as its
    // decoder turns it); unknown for a Raw until the RAW decoder has parsed it.
    QSize size;
    int orientation = 1; // a JPEG's EXIF orientation; the other formats' decoders read theirs
    // Memory the decoder itself holds at the most: coefficient or row buffers, whole-image
    // buffers where the decoder needs them, metadata it keeps, the file where it reads it all.
    std::int64_t decoderBytes = 0;
    // A TIFF's link from the first directory to the next, to be hidden from the decoder: only
    // the first page is used, and a chain of pages would be walked whole when it is opened.
    std::int64_t hiddenOffset = 0;
    int hiddenLength = 0;
    // A TIFF laid out as a camera maker's RAW file (NEF, ARW, PEF and the like): the RAW
    // decoder gets it first, and a plain TIFF of that maker's is read as a TIFF after it.
    bool cameraRaw = false;
    // A HEIF's thumbnail image, as its decoder turns it, when it has one.
    QSize thumbnail;
    // The EXIF block (TIFF data) and the XMP packet, as far as the header holds them; a TIFF's
    // own directory is its EXIF, read from the file.
    QByteArray exif;
    QByteArray xmp;
};

// Reads the headers of the file `input` holds. Nothing when it is not one of the formats, or
// when its structure is impossible: a PNG chunk, a TIFF tag or a HEIF box running past the
// end of the file, a progressive JPEG with more scans than any encoder writes, a BMP cut short.
std::optional<PictureHeader> readPictureHeader(const DecodeInput &input);

} // namespace pagorra
