#include "generation/pictureheader.h"

#include "generation/headerbytes.h"

#include <QByteArrayView>
#include <QtEndian>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace pagorra {

namespace {

using limits::kMiB;
using namespace headers;

// --- JPEG ---------------------------------------------------------------------------------

// The orientation tag of the first directory of an EXIF block ("Exif\0\0" then TIFF data);
// 1 when it has none.
int exifOrientation(const QByteArray &exif)
{
    if (exif.size() < 14 || !exif.startsWith(QByteArrayView("Exif\0\0", 6)))
        return 1;
    const uchar *tiff = reinterpret_cast<const uchar *>(exif.constData()) + 6;
    const qsizetype size = exif.size() - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    auto u16 = [&](qsizetype at) { return little ? le16(tiff + at) : be16(tiff + at); };
    auto u32 = [&](qsizetype at) { return little ? le32(tiff + at) : be32(tiff + at); };
    const qint64 directory = u32(4);
    if (directory + 2 > size)
        return 1;
    const int entries = u16(directory);
    for (int i = 0; i < entries; ++i) {
        const qint64 entry = directory + 2 + qint64(i) * 12;
        if (entry + 12 > size)
            return 1;
        if (u16(entry) == 0x0112 && u16(entry + 2) == 3)
            return u16(entry + 8);
    }
    return 1;
}

// Scans after the first, counted by their markers up to the end of the image (0xFF 0xDA and
// 0xFF 0xD9 never occur inside coded data, where every 0xFF byte is followed by 0 or a
// restart marker); stops once past `limit`.
int laterScans(const DecodeInput &input, std::int64_t from, int limit)
{
    int scans = 0;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    bool lastWasFF = false;
    for (std::int64_t at = from; at < input.size() && scans <= limit;) {
        const std::int64_t got = input.read(at, chunk.data(), chunk.size());
        if (got <= 0)
            break;
        const auto *p = reinterpret_cast<const uchar *>(chunk.constData());
        for (std::int64_t i = 0; i < got; ++i) {
            if (lastWasFF && p[i] == 0xD9)
                return scans;
            scans += lastWasFF && p[i] == 0xDA;
            lastWasFF = p[i] == 0xFF;
        }
        at += got;
    }
    return scans;
}

std::optional<PictureHeader> readJpeg(const DecodeInput &input, Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Jpeg;
    struct Sampling {
        int h, v;
    };
    std::vector<Sampling> components;
    bool progressive = false;
    std::int64_t metadata = 0;
    std::int64_t pos = 2;
    uchar c = 0;
    for (;;) {
        // As libjpeg does: anything before a marker is skipped, and so are fill bytes.
        do {
            if (!bytes.get(pos++, 1, &c))
                return std::nullopt;
        } while (c != 0xFF);
        do {
            if (!bytes.get(pos++, 1, &c))
                return std::nullopt;
        } while (c == 0xFF);
        const int marker = c;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (marker == 0xD8 || marker == 0xD9)
            return std::nullopt; // a second start, or the end before any scan
        uchar field[2];
        if (!bytes.get(pos, 2, field) || be16(field) < 2)
            return std::nullopt;
        const int length = be16(field);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            uchar f[6];
            if (!components.empty() || !bytes.get(pos + 2, 6, f))
                return std::nullopt; // libjpeg refuses a second frame
            header.size = QSize(be16(f + 3), be16(f + 1));
            const int count = f[5];
            if (!affordable(header.size.width(), header.size.height()) || count < 1 || count > 4)
                return std::nullopt;
            for (int i = 0; i < count; ++i) {
                uchar comp[3];
                if (!bytes.get(pos + 8 + 3 * i, 3, comp))
                    return std::nullopt;
                const Sampling s{comp[1] >> 4, comp[1] & 15};
                if (s.h < 1 || s.h > 4 || s.v < 1 || s.v > 4)
                    return std::nullopt;
                components.push_back(s);
            }
            progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        } else if (marker == 0xDA) {
            uchar inScan;
            if (components.empty() || !bytes.get(pos + 2, 1, &inScan))
                return std::nullopt;
            // A progressive or non-interleaved file is decoded whole into coefficient buffers
            // before any row comes out (libjpeg decides so at the first scan).
            const bool wholeImage = progressive || inScan < int(components.size());
            if (progressive && 1 + laterScans(input, pos + length, limits::kMaxJpegScans) > limits::kMaxJpegScans)
                return std::nullopt;
            int hMax = 1, vMax = 1;
            for (const Sampling &s : components) {
                hMax = std::max(hMax, s.h);
                vMax = std::max(vMax, s.v);
            }
            std::int64_t buffers = 0;
            for (const Sampling &s : components) {
                const std::int64_t blocksWide = ceilDiv(ceilDiv(std::int64_t(header.size.width()) * s.h, hMax), 8);
                const std::int64_t blocksHigh = ceilDiv(ceilDiv(std::int64_t(header.size.height()) * s.v, vMax), 8);
                if (wholeImage) // 64 coefficients of 2 bytes, whole rows of MCUs
                    buffers += ceilDiv(blocksWide, s.h) * s.h * ceilDiv(blocksHigh, s.v) * s.v * 128;
                else // a few rows of MCUs, sample and colour-converted
                    buffers += (blocksWide + s.h) * 8 * vMax * 8 * 4;
            }
            header.decoderBytes = buffers + metadata;
            return header;
        } else if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
            metadata += length; // kept in memory by the decoder
            if (marker == 0xE1) {
                const std::optional<QByteArray> body = input.readExactly(pos + 2, length - 2);
                static constexpr QByteArrayView xmp("http://ns.adobe.com/xap/1.0/\0", 29);
                if (body && body->startsWith(QByteArrayView("Exif\0\0", 6))) {
                    header.orientation = exifOrientation(*body); // the last block counts, as in vips
                    header.exif = body->mid(6);
                } else if (body && body->startsWith(xmp) && header.xmp.isEmpty()) {
                    header.xmp = body->mid(xmp.size());
                }
            }
        }
        pos += length;
    }
}

// --- PNG ----------------------------------------------------------------------------------

std::optional<PictureHeader> readPng(Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Png;
    uchar ihdr[25];
    if (!bytes.get(8, 25, ihdr) || be32(ihdr) != 13 || QByteArrayView(ihdr + 4, 4) != "IHDR")
        return std::nullopt;
    const quint32 width = be32(ihdr + 8), height = be32(ihdr + 12);
    const int depth = ihdr[16], colourType = ihdr[17];
    const bool interlaced = ihdr[20] != 0;
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    if (!affordable(width, height) || colourType > 6 || channels[colourType] == 0 || depth < 1 || depth > 16)
        return std::nullopt;
    header.size = QSize(int(width), int(height));

    // Every chunk but the image data must lie whole inside the file: libpng reads a chunk's
    // claimed length before it looks at the file's end. Image data may be cut short: the
    // picture is read as far as it goes.
    std::int64_t metadata = 0;
    for (std::int64_t pos = 33; pos + 8 <= bytes.size();) {
        uchar chunk[8];
        if (!bytes.get(pos, 8, chunk))
            break;
        const std::int64_t length = be32(chunk);
        const QByteArrayView type(chunk + 4, 4);
        if (length > 0x7FFFFFFF)
            return std::nullopt;
        // libpng stops at a name that is not four letters, before it reads any further.
        if (type == "IEND" || !std::all_of(chunk + 4, chunk + 8, [](uchar c) {
                return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A);
            }))
            break;
        if (type != "IDAT") {
            if (pos + 12 + length > bytes.size())
                return std::nullopt;
            if (type == "zTXt" || type == "iTXt" || type == "iCCP")
                metadata += length + std::min(limits::kPngInflatedChunk, length * limits::kDeflateRatio);
            else if (chunk[4] & 0x20) // ancillary
                metadata += length;
            // The EXIF block, and an uncompressed XMP packet (its keyword, then two flags, an
            // empty language and an empty translated keyword).
            static constexpr QByteArrayView xmp("XML:com.adobe.xmp\0\0\0\0\0", 22);
            if ((type == "eXIf" || type == "iTXt") && length <= kMaxMetadataBlock) {
                const QByteArray body = bytes.input().readExactly(pos + 8, length).value_or(QByteArray());
                if (type == "eXIf")
                    header.exif = body;
                else if (body.startsWith(xmp))
                    header.xmp = body.mid(xmp.size());
            }
        }
        pos += 12 + length;
    }
    // Rows come out as 8- or 16-bit samples, a palette's as four; an interlaced picture is
    // decoded whole before the first row comes out.
    const std::int64_t rowBytes =
        std::int64_t(width) * (colourType == 3 ? 4 : channels[colourType]) * (depth == 16 ? 2 : 1);
    header.decoderBytes = (interlaced ? rowBytes * height : rowBytes * 4) + metadata;
    return header;
}

// --- GIF ----------------------------------------------------------------------------------

// Skips a chain of data sub-blocks; false when the file ends first.
bool skipSubBlocks(Bytes &bytes, std::int64_t &pos)
{
    for (uchar length = 1; length != 0; pos += length) {
        if (!bytes.get(pos++, 1, &length))
            return false;
    }
    return true;
}

std::optional<PictureHeader> readGif(Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Gif;
    uchar screen[7];
    if (!bytes.get(6, 7, screen))
        return std::nullopt;
    int width = le16(screen), height = le16(screen + 2);
    std::int64_t pos = 13 + ((screen[4] & 0x80) ? 3 << ((screen[4] & 7) + 1) : 0);
    std::int64_t frames = 0;
    // The decoder indexes every frame when the file is opened, and its canvas grows to hold
    // the frames: take the largest.
    for (uchar block = 0; bytes.get(pos++, 1, &block) && block != 0x3B;) {
        if (block == 0x21) {
            if (!bytes.get(pos++, 1, &block) || !skipSubBlocks(bytes, pos))
                break;
        } else if (block == 0x2C) {
            uchar image[9];
            if (!bytes.get(pos, 9, image))
                break;
            width = std::max(width, le16(image) + le16(image + 4));
            height = std::max(height, le16(image + 2) + le16(image + 6));
            pos += 9 + ((image[8] & 0x80) ? 3 << ((image[8] & 7) + 1) : 0) + 1;
            ++frames;
            if (!skipSubBlocks(bytes, pos))
                break;
        } else {
            break; // anything else ends what the decoder reads
        }
    }
    if (frames == 0 || !affordable(width, height))
        return std::nullopt;
    header.size = QSize(width, height);
    // The whole file is held in memory, and the canvas twice (the frame and the one before).
    header.decoderBytes = bytes.size() + std::int64_t(width) * height * 4 * 2 + frames * limits::kGifFrameBytes;
    return header;
}

// --- TIFF ---------------------------------------------------------------------------------

int tiffTypeSize(int type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1; // bytes, text
    case 3:
    case 8:
        return 2; // shorts
    case 4:
    case 9:
    case 11:
    case 13:
        return 4; // longs, floats, directory offsets
    case 5:
    case 10:
    case 12:
    case 16:
    case 17:
    case 18:
        return 8; // rationals, doubles, 64-bit
    default:
        return 0; // unknown types are skipped by libtiff
    }
}

std::optional<PictureHeader> readTiff(const DecodeInput &input, Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Tiff;
    uchar head[16];
    if (!bytes.get(0, 8, head))
        return std::nullopt;
    const bool little = head[0] == 'I';
    auto u16 = [&](const uchar *p) -> std::uint64_t { return little ? le16(p) : be16(p); };
    auto u32 = [&](const uchar *p) -> std::uint64_t { return little ? le32(p) : be32(p); };
    auto u64 = [&](const uchar *p) -> std::uint64_t {
        return little ? qFromLittleEndian<quint64>(p) : qFromBigEndian<quint64>(p);
    };
    const bool big = u16(head + 2) == 43;
    std::uint64_t directory = u32(head + 4);
    if (big) {
        if (!bytes.get(0, 16, head) || u16(head + 4) != 8)
            return std::nullopt;
        directory = u64(head + 8);
    }
    const int countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, fieldBytes = big ? 8 : 4;
    const auto size = std::uint64_t(bytes.size());
    uchar count[8];
    if (directory > size || !bytes.get(std::int64_t(directory), countBytes, count))
        return std::nullopt;
    const std::uint64_t entries = big ? u64(count) : u16(count);
    if (entries == 0 || entries > std::uint64_t(limits::kMaxTiffTags))
        return std::nullopt;
    const std::uint64_t link = directory + countBytes + entries * entryBytes;
    const std::optional<QByteArray> table =
        input.readExactly(std::int64_t(directory + countBytes), std::int64_t(entries * entryBytes + fieldBytes));
    if (!table)
        return std::nullopt;

    std::uint64_t width = 0, height = 0, bits = 1, samples = 1, rowsPerStrip = 0, tileWidth = 0, tileHeight = 0;
    std::uint64_t subfileType = 0, compression = 1, photometric = 0;
    bool dng = false, subDirectories = false, make = false;
    for (std::uint64_t i = 0; i < entries; ++i) {
        const uchar *entry = reinterpret_cast<const uchar *>(table->constData()) + i * entryBytes;
        const int tag = int(u16(entry)), type = int(u16(entry + 2));
        const std::uint64_t values = big ? u64(entry + 4) : u32(entry + 4);
        const uchar *field = entry + (big ? 12 : 8);
        const int typeSize = tiffTypeSize(type);
        if (typeSize == 0)
            continue;
        // Data that does not fit in the entry lies elsewhere, and must lie inside the file.
        if (values > size / typeSize)
            return std::nullopt;
        const std::uint64_t dataBytes = values * typeSize;
        if (dataBytes > std::uint64_t(fieldBytes)) {
            const std::uint64_t offset = big ? u64(field) : u32(field);
            if (offset > size || dataBytes > size - offset)
                return std::nullopt;
        }
        dng = dng || tag == 50706;
        subDirectories = subDirectories || tag == 330;
        make = make || tag == 271;
        if (values != 1 && tag != 258)
            continue;
        // The first value (a short, a long or a 64-bit value), from the entry or from where
        // the entry points (bits per sample, given once per sample).
        uchar first[8] = {};
        const uchar *at = field;
        if (dataBytes > std::uint64_t(fieldBytes)) {
            if (!bytes.get(std::int64_t(big ? u64(field) : u32(field)), typeSize, first))
                return std::nullopt;
            at = first;
        }
        const std::uint64_t value = type == 3 ? u16(at) : type == 4 ? u32(at) : type == 16 ? u64(at) : 0;
        switch (tag) {
        case 256:
            width = value;
            break;
        case 257:
            height = value;
            break;
        case 258:
            bits = value;
            break;
        case 277:
            samples = value;
            break;
        case 278:
            rowsPerStrip = value;
            break;
        case 322:
            tileWidth = value;
            break;
        case 323:
            tileHeight = value;
            break;
        case 254:
            subfileType = value;
            break;
        case 259:
            compression = value;
            break;
        case 262:
            photometric = value;
            break;
        default:
            break;
        }
    }
    // A camera's RAW file in TIFF form: a DNG, a CR2 (marked after the header), or a camera
    // maker's layout (a preview first with the picture in sub-directories, colour filter
    // data, a maker's own compression).
    head[8] = 0;
    const bool cr2 = bytes.get(8, 2, head + 8) && head[8] == 'C' && head[9] == 'R';
    if (dng || cr2)
        header.format = PictureFormat::Raw; // never anything else
    header.cameraRaw = make && (subDirectories || subfileType == 1 || photometric == 32803 || compression == 6 ||
                                compression >= 32767);
    if (!affordable(width, height) || samples == 0 || samples > 64 || bits == 0 || bits > 64)
        return header.cameraRaw || header.format == PictureFormat::Raw ? std::optional(header) : std::nullopt;
    header.size = QSize(int(width), int(height));
    header.hiddenOffset = std::int64_t(link);
    header.hiddenLength = fieldBytes;

    // The decoder reads a row of tiles at a time; strips it reads row by row when they are
    // large. Kept whole otherwise, at most this much.
    const std::int64_t rowBytes = ceilDiv(std::int64_t(width * samples * bits), 8);
    std::int64_t buffers;
    if (tileWidth > 0 && tileHeight > 0) {
        // In floating point: a file may claim tiles of any size.
        const double tileRow = std::ceil(double(width) / double(tileWidth)) * double(tileWidth) * double(tileHeight) *
                               double(samples * bits) / 8;
        buffers = std::int64_t(std::min(2 * tileRow, 1e15));
    } else {
        const std::int64_t rows = std::int64_t(rowsPerStrip == 0 ? height : std::min(rowsPerStrip, height));
        buffers = 2 * std::min(rows * rowBytes, 16 * kMiB) + 16 * rowBytes;
    }
    header.decoderBytes = buffers;
    return header;
}

// --- BMP ----------------------------------------------------------------------------------

std::optional<PictureHeader> readBmp(Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Bmp;
    uchar head[34];
    if (!bytes.get(0, 18, head))
        return std::nullopt;
    const quint32 dataOffset = le32(head + 10), infoSize = le32(head + 14);
    std::int64_t width, height;
    int bitsPerPixel;
    quint32 compression = 0;
    if (infoSize == 12) { // OS/2 1.x
        if (!bytes.get(0, 26, head))
            return std::nullopt;
        width = le16(head + 18);
        height = le16(head + 20);
        bitsPerPixel = le16(head + 24);
    } else {
        if (infoSize < 16 || !bytes.get(0, 34, head))
            return std::nullopt;
        width = qint32(le32(head + 18));
        height = std::abs(std::int64_t(qint32(le32(head + 22)))); // negative: rows top down
        bitsPerPixel = le16(head + 28);
        compression = infoSize >= 20 ? le32(head + 30) : 0;
    }
    if (!affordable(width, height) || bitsPerPixel < 1 || bitsPerPixel > 64)
        return std::nullopt;
    // Uncompressed rows running past the end of the file would come out as whatever memory
    // held (Qt's reader returns them so), a different picture on every run. (For OS/2 2.x
    // files, 3 means Huffman coding.)
    const std::int64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    const bool uncompressed = compression == 0 || (compression == 3 && infoSize != 64) || compression == 6;
    if (uncompressed && bytes.size() < dataOffset + rowBytes * height)
        return std::nullopt;
    header.size = QSize(int(width), int(height));
    // ImageMagick reads the whole file, and keeps 16-bit RGBA pixels; vips reads them out.
    header.decoderBytes = bytes.size() + width * height * 12;
    return header;
}

} // namespace

std::optional<PictureHeader> readPictureHeader(const DecodeInput &input)
{
    Bytes bytes(input);
    uchar magic[8] = {};
    if (!bytes.get(0, std::int64_t(std::min<std::int64_t>(8, input.size())), magic))
        return std::nullopt;
    const QByteArrayView head(magic, 8);
    if (head.startsWith("\xFF\xD8\xFF"))
        return readJpeg(input, bytes);
    if (head == QByteArrayView("\x89PNG\r\n\x1A\n"))
        return readPng(bytes);
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return readGif(bytes);
    if (head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4)) ||
        head.startsWith(QByteArrayView("II+\0", 4)) || head.startsWith(QByteArrayView("MM\0+", 4)))
        return readTiff(input, bytes);
    if (head.startsWith("BM"))
        return readBmp(bytes);
    uchar more[16] = {};
    const QByteArrayView first16(more, bytes.get(0, 16, more) ? 16 : 0);
    if (first16.size() == 16 && first16.startsWith("RIFF") && first16.sliced(8, 4) == "WEBP")
        return readWebp(bytes);
    if (first16.size() == 16 && first16.sliced(4, 4) == "ftyp")
        return readIsoMedia(bytes);
    if (head.startsWith("\xFF\x0A") || head == QByteArrayView("\0\0\0\x0CJXL ", 8))
        return readJxl(bytes);
    // RAW files of their own kind: Fujifilm's, Olympus's and Panasonic's (TIFF-like, with
    // marks of their own); the RAW decoder reads what they hold.
    if (first16 == "FUJIFILMCCD-RAW " || head.startsWith("IIRO") || head.startsWith("IIRS") ||
        head.startsWith("MMOR") || head.startsWith(QByteArrayView("IIU\0", 4))) {
        PictureHeader raw;
        raw.format = PictureFormat::Raw;
        return raw;
    }
    return std::nullopt;
}

} // namespace pagorra
