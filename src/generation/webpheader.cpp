// Header of a WebP file: a RIFF list of chunks, the picture in a VP8 (lossy) or VP8L
// (lossless) chunk, or a VP8X chunk giving the canvas of an extended or animated file.
#include "generation/headerbytes.h"

#include <QByteArrayView>

namespace pagorra::headers {

namespace {

// What the decoder holds per pixel besides the file, which it reads whole: the decoded frame
// (four bytes a pixel), the lossless decoder's own copy of it, and for an animation the canvas
// it composes the first frame on.
constexpr std::int64_t kWebpBytesPerPixel = 12;

} // namespace

std::optional<PictureHeader> readWebp(Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Webp;
    std::uint64_t width = 0, height = 0;
    // Every chunk lies whole in the file: the decoder reads the file whole and walks them.
    for (std::int64_t at = 12; at + 8 <= bytes.size();) {
        uchar chunk[18];
        if (!bytes.get(at, 8, chunk))
            return std::nullopt;
        const QByteArrayView type(chunk, 4);
        const std::int64_t length = le32(chunk + 4);
        if (length > bytes.size() - at - 8)
            return std::nullopt;
        const std::int64_t body = at + 8;
        if (type == "VP8X" && length >= 10 && bytes.get(body, 10, chunk)) {
            width = 1 + (chunk[4] | chunk[5] << 8 | chunk[6] << 16);
            height = 1 + (chunk[7] | chunk[8] << 8 | chunk[9] << 16);
        } else if (type == "VP8 " && width == 0 && length >= 10 && bytes.get(body, 10, chunk)) {
            if (chunk[3] != 0x9D || chunk[4] != 0x01 || chunk[5] != 0x2A)
                return std::nullopt;
            width = le16(chunk + 6) & 0x3FFF;
            height = le16(chunk + 8) & 0x3FFF;
        } else if (type == "VP8L" && width == 0 && length >= 5 && bytes.get(body, 5, chunk)) {
            if (chunk[0] != 0x2F)
                return std::nullopt;
            const quint32 bits = le32(chunk + 1);
            width = 1 + (bits & 0x3FFF);
            height = 1 + ((bits >> 14) & 0x3FFF);
        } else if ((type == "EXIF" || type == "XMP ") && length <= kMaxMetadataBlock) {
            QByteArray block = bytes.input().readExactly(body, length).value_or(QByteArray());
            // Some writers keep JPEG's "Exif\0\0" before the TIFF data.
            if (type == "EXIF" && block.startsWith(QByteArrayView("Exif\0\0", 6)))
                block.remove(0, 6);
            (type == "EXIF" ? header.exif : header.xmp) = block;
        }
        at = body + length + (length & 1);
    }
    if (!affordable(width, height))
        return std::nullopt;
    header.size = QSize(int(width), int(height));
    header.decoderBytes = bytes.size() + std::int64_t(width * height) * kWebpBytesPerPixel;
    return header;
}

} // namespace pagorra::headers
