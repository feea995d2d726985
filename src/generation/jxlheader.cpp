// Header of a JPEG XL file: a bare codestream, or one in boxes (`jxlc`, or `jxlp` parts)
// beside `Exif` and `xml ` boxes. The size is bit-packed at the start of the codestream.
#include "generation/headerbytes.h"

#include <QByteArrayView>

namespace pagorra::headers {

namespace {

// What the decoder holds per pixel besides the file: libjxl keeps the picture in floating
// point while it decodes (measured about 6 bytes a pixel on a 22-megapixel photo), the image
// library the decoded picture.
constexpr std::int64_t kJxlBytesPerPixel = 10;

// Bits of a codestream, least significant first.
class BitReader {
  public:
    explicit BitReader(const uchar *bytes, int count) : m_bytes(bytes), m_count(count) {}
    std::uint64_t get(int bits)
    {
        std::uint64_t v = 0;
        for (int i = 0; i < bits; ++i, ++m_position) {
            if (m_position / 8 >= m_count)
                return 0;
            v |= std::uint64_t((m_bytes[m_position / 8] >> (m_position % 8)) & 1) << i;
        }
        return v;
    }

  private:
    const uchar *m_bytes;
    int m_count;
    int m_position = 0;
};

// The size and orientation from a codestream's headers (`head` starts after the 0xFF 0x0A
// signature).
QSize codestreamSize(const uchar *head, int count, int &orientation)
{
    BitReader bits(head, count);
    const bool small = bits.get(1);
    auto dimension = [&]() -> std::uint64_t {
        if (small)
            return (bits.get(5) + 1) * 8;
        const int widths[] = {9, 13, 18, 30};
        return bits.get(widths[bits.get(2)]) + 1;
    };
    const std::uint64_t height = dimension();
    const int ratio = int(bits.get(3));
    // Width over height for the ratios the format names.
    const std::uint64_t numerators[] = {0, 1, 12, 4, 3, 16, 5, 2}, denominators[] = {1, 1, 10, 3, 2, 9, 4, 1};
    const std::uint64_t width = ratio == 0 ? dimension() : height * numerators[ratio] / denominators[ratio];
    if (!affordable(width, height))
        return {};
    // The image metadata follow: unless all default, its orientation (which the decoder applies).
    if (!bits.get(1) && bits.get(1))
        orientation = int(bits.get(3)) + 1;
    return QSize(int(width), int(height));
}

} // namespace

std::optional<PictureHeader> readJxl(Bytes &bytes)
{
    PictureHeader header;
    header.format = PictureFormat::Jxl;
    uchar head[16];
    if (!bytes.get(0, 2, head))
        return std::nullopt;
    std::int64_t codestream = -1;
    if (head[0] == 0xFF && head[1] == 0x0A) {
        codestream = 0;
    } else {
        for (std::int64_t at = 0; at + 8 <= bytes.size();) {
            const std::optional<BoxHeader> box = boxAt(bytes, at);
            if (!box || box->size > std::uint64_t(bytes.size() - at))
                return std::nullopt;
            const QByteArray &type = box->type;
            const std::int64_t body = box->body, length = at + std::int64_t(box->size) - body;
            if (codestream < 0 && type == "jxlc")
                codestream = body;
            else if (codestream < 0 && type == "jxlp")
                codestream = body + 4; // after the part's index
            else if ((type == "Exif" || type == "xml ") && length <= kMaxMetadataBlock && length > 4) {
                const QByteArray block = bytes.input().readExactly(body, length).value_or(QByteArray());
                (type == "xml " ? header.xmp : header.exif) = type == "xml " ? block : exifAfterOffset(block);
            }
            at += std::int64_t(box->size);
        }
    }
    if (codestream < 0 || !bytes.get(codestream, 2, head) || head[0] != 0xFF || head[1] != 0x0A ||
        !bytes.get(codestream + 2, 10, head))
        return std::nullopt;
    header.size = codestreamSize(head, 10, header.orientation);
    if (header.size.isEmpty())
        return std::nullopt;
    header.decoderBytes = bytes.size() + std::int64_t(header.size.width()) * header.size.height() * kJxlBytesPerPixel;
    return header;
}

} // namespace pagorra::headers
