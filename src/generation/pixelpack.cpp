#include "generation/pixelpack.h"

#include <QtEndian>

#include <climits>
#include <cstring>
#include <memory>
#include <zstd.h>

namespace pagorra {

namespace {

constexpr char kMagic[4] = {'P', 'G', 'P', 'X'};
constexpr quint8 kVersion = 1;
// Level 1 packs filtered photos as small as level 3 at half the time; lower levels lose a
// quarter of the size for little gain in speed.
constexpr int kLevel = 1;
// A packing never claims more pixels than a page at the highest resolution holds (a 16-bit
// page at 600 dpi is 32767 x 6.25 on each side); past that the bytes are damaged.
constexpr qint64 kMaxPixels = qint64(1) << 32;

struct Header {
    char magic[4];
    quint8 version;
    quint8 channels; // 3: Format_RGB32, 4: Format_ARGB32
    quint8 reserved[2];
    quint32 width;
    quint32 height;
    qint32 dotsPerMeterX;
    qint32 dotsPerMeterY;
};
static_assert(sizeof(Header) == 24);

} // namespace

QByteArray packPixels(const QImage &image)
{
    const int channels = image.format() == QImage::Format_RGB32 ? 3 : image.format() == QImage::Format_ARGB32 ? 4 : 0;
    if (channels == 0 || image.isNull())
        return {};
    const int width = image.width();
    const int height = image.height();
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.version = kVersion;
    header.channels = quint8(channels);
    header.width = qToLittleEndian(quint32(width));
    header.height = qToLittleEndian(quint32(height));
    header.dotsPerMeterX = qToLittleEndian(qint32(image.dotsPerMeterX()));
    header.dotsPerMeterY = qToLittleEndian(qint32(image.dotsPerMeterY()));
    QByteArray packed(reinterpret_cast<const char *>(&header), sizeof header);

    // Row by row through a stream: a 300-dpi page would otherwise take two more copies of its
    // size (filtered and compressed) while it is put aside.
    const std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
    if (!context || ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, kLevel)) ||
        ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(context.get(), quint64(width) * quint64(height) * channels)))
        return {};
    QByteArray filtered(qsizetype(width) * channels, Qt::Uninitialized);
    QByteArray chunk(qsizetype(ZSTD_CStreamOutSize()), Qt::Uninitialized);
    for (int y = 0; y < height; ++y) {
        auto *out = reinterpret_cast<uchar *>(filtered.data());
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QRgb left = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb p = row[x];
            *out++ = uchar(qRed(p) - qRed(left));
            *out++ = uchar(qGreen(p) - qGreen(left));
            *out++ = uchar(qBlue(p) - qBlue(left));
            if (channels == 4)
                *out++ = uchar(qAlpha(p) - qAlpha(left));
            left = p;
        }
        const bool last = y == height - 1;
        ZSTD_inBuffer in{filtered.constData(), size_t(filtered.size()), 0};
        size_t remaining = 0;
        do {
            ZSTD_outBuffer outBuffer{chunk.data(), size_t(chunk.size()), 0};
            remaining = ZSTD_compressStream2(context.get(), &outBuffer, &in, last ? ZSTD_e_end : ZSTD_e_continue);
            if (ZSTD_isError(remaining))
                return {};
            packed.append(chunk.constData(), qsizetype(outBuffer.pos));
        } while (last ? remaining != 0 : in.pos < in.size);
    }
    packed.squeeze();
    return packed;
}

std::optional<QImage> unpackPixels(QByteArrayView packed)
{
    Header header;
    if (packed.size() < qsizetype(sizeof header))
        return std::nullopt;
    std::memcpy(&header, packed.data(), sizeof header);
    const qint64 width = qFromLittleEndian(header.width);
    const qint64 height = qFromLittleEndian(header.height);
    const int channels = header.channels;
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.version != kVersion ||
        (channels != 3 && channels != 4) || width <= 0 || height <= 0 || width * height > kMaxPixels ||
        width > INT_MAX || height > INT_MAX)
        return std::nullopt;
    const char *frame = packed.data() + sizeof header;
    const size_t frameSize = size_t(packed.size()) - sizeof header;
    const qint64 expected = width * height * channels;
    if (ZSTD_getFrameContentSize(frame, frameSize) != quint64(expected))
        return std::nullopt;
    QImage image(int(width), int(height), channels == 3 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull())
        return std::nullopt;
    // A row at a time, as it was packed.
    const std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!context)
        return std::nullopt;
    QByteArray filtered(qsizetype(width) * channels, Qt::Uninitialized);
    ZSTD_inBuffer in{frame, frameSize, 0};
    for (int y = 0; y < image.height(); ++y) {
        ZSTD_outBuffer out{filtered.data(), size_t(filtered.size()), 0};
        while (out.pos < out.size) {
            const size_t inBefore = in.pos;
            const size_t outBefore = out.pos;
            const size_t result = ZSTD_decompressStream(context.get(), &out, &in);
            if (ZSTD_isError(result) || (in.pos == inBefore && out.pos == outBefore))
                return std::nullopt; // damaged, or cut short
        }
        const auto *bytes = reinterpret_cast<const uchar *>(filtered.constData());
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        uchar r = 0, g = 0, b = 0, a = 0;
        for (int x = 0; x < image.width(); ++x) {
            r = uchar(r + *bytes++);
            g = uchar(g + *bytes++);
            b = uchar(b + *bytes++);
            if (channels == 4)
                a = uchar(a + *bytes++);
            row[x] = qRgba(r, g, b, channels == 4 ? a : 0xff);
        }
    }
    image.setDotsPerMeterX(qFromLittleEndian(header.dotsPerMeterX));
    image.setDotsPerMeterY(qFromLittleEndian(header.dotsPerMeterY));
    return image;
}

} // namespace pagorra
