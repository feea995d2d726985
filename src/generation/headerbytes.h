#pragma once

#include "generation/decodeinput.h"
#include "generation/decodelimits.h"
#include "generation/pictureheader.h"

#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <optional>

// What the header readers of every format family share (see pictureheader.h); not for use
// outside them.
namespace pagorra::headers {

// Small reads of a file, served from a cached window: the walks read a few bytes at a time,
// mostly in order.
class Bytes {
  public:
    explicit Bytes(const DecodeInput &input) : m_input(input) {}
    std::int64_t size() const { return m_input.size(); }
    const DecodeInput &input() const { return m_input; }

    bool get(std::int64_t offset, int length, uchar *out)
    {
        if (offset < 0 || length > kWindow || offset > size() - length)
            return false;
        if (offset < m_start || offset + length > m_start + m_filled) {
            m_start = offset;
            m_filled = std::max<std::int64_t>(0, m_input.read(offset, m_window, kWindow));
            if (length > m_filled)
                return false;
        }
        std::copy_n(m_window + (offset - m_start), length, out);
        return true;
    }

  private:
    static constexpr int kWindow = 4096;
    const DecodeInput &m_input;
    uchar m_window[kWindow];
    std::int64_t m_start = 0;
    std::int64_t m_filled = 0;
};

inline quint16 be16(const uchar *p)
{
    return qFromBigEndian<quint16>(p);
}
inline quint32 be32(const uchar *p)
{
    return qFromBigEndian<quint32>(p);
}
inline quint16 le16(const uchar *p)
{
    return qFromLittleEndian<quint16>(p);
}
inline quint32 le32(const uchar *p)
{
    return qFromLittleEndian<quint32>(p);
}

inline std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return (a + b - 1) / b;
}

// Sizes up to 2^31 each, at most kMaxPixels in all: every estimate stays far inside 64 bits.
inline bool affordable(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF &&
           width * height <= std::uint64_t(limits::kMaxPixels);
}

// A metadata block the decoder reads, kept for the photo's information; a block larger than
// any camera writes is left out rather than held.
constexpr std::int64_t kMaxMetadataBlock = 256 * 1024;

// The header of an ISO media box (HEIF, the JPEG XL container) at `at`: its type, where its
// body starts, and its size (a size of 0 runs to the end of the file); nothing when the header
// itself is cut short or claims less than itself. The box may run past the end of the file.
struct BoxHeader {
    QByteArray type;
    std::int64_t body = 0;
    std::uint64_t size = 0;
};
std::optional<BoxHeader> boxAt(Bytes &bytes, std::int64_t at);

// The TIFF data of an EXIF block that starts with a 32-bit offset to them (HEIF's and JPEG
// XL's); empty when the offset runs past the block.
QByteArray exifAfterOffset(const QByteArray &block);

// The readers of the newer families, each in a file of its own.
std::optional<PictureHeader> readIsoMedia(Bytes &bytes); // HEIF, HEIC, AVIF; a CR3 is a RAW
std::optional<PictureHeader> readWebp(Bytes &bytes);
std::optional<PictureHeader> readJxl(Bytes &bytes);

} // namespace pagorra::headers
