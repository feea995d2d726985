#include "output/gifpagewriter.h"

#include "core/filenames.h"
#include "output/fileoutput.h"

#include <libimagequant.h>

#include <array>
#include <vector>

namespace pagorra {

namespace {

// Sides are stored in 16 bits.
constexpr int kMaxSide = 65535;
// libimagequant's speed 7 of 10 quantises a photo page about twice as fast as its default, at
// nearly the same quality; faster settings coarsen colours, and a flat background would no
// longer keep its exact colour.
constexpr int kQuantiseSpeed = 7;
constexpr float kDithering = 1.0f;
// LZW codes are at most 12 bits; the table starts over before the last code is taken.
constexpr int kMaxCodeBits = 12;
constexpr int kLastCode = (1 << kMaxCodeBits) - 1;
// Open addressing over twice as many slots as there are codes keeps probes short.
constexpr int kHashBits = 13;
constexpr std::size_t kSubBlockBytes = 255;

// GIF's variable-length LZW: codes packed from the lowest bit up, in sub-blocks of at most
// 255 bytes, each led by its length.
class LzwEncoder {
  public:
    LzwEncoder(FileOutput &out, int minimumCodeSize)
        : m_out(out), m_clearCode(1 << minimumCodeSize), m_minimumCodeSize(minimumCodeSize)
    {
        m_out.put8(std::uint8_t(minimumCodeSize));
        startTable();
        putCode(m_clearCode);
    }

    void add(const std::uint8_t *indexes, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const int index = indexes[i];
            if (m_prefix < 0) {
                m_prefix = index;
                continue;
            }
            const std::uint32_t key = (std::uint32_t(m_prefix) << 8) | std::uint32_t(index);
            std::size_t slot = hash(key);
            while (m_keys[slot] != kEmpty && m_keys[slot] != key)
                slot = (slot + 1) & (m_keys.size() - 1);
            if (m_keys[slot] == key) {
                m_prefix = m_codes[slot];
                continue;
            }
            putCode(m_prefix);
            if (m_nextCode >= kLastCode) {
                putCode(m_clearCode);
                startTable();
            } else {
                m_keys[slot] = key;
                m_codes[slot] = std::int16_t(m_nextCode++);
            }
            m_prefix = index;
        }
    }

    void finish()
    {
        if (m_prefix >= 0)
            putCode(m_prefix);
        putCode(m_clearCode + 1); // end of information
        if (m_bitCount > 0)
            pushByte(std::uint8_t(m_bits));
        flushBlock();
        m_out.put8(0); // no more sub-blocks
    }

  private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;

    static std::size_t hash(std::uint32_t key) { return (key * 2654435761u) >> (32 - kHashBits); }

    void startTable()
    {
        m_keys.assign(std::size_t(1) << kHashBits, kEmpty);
        m_codes.resize(m_keys.size());
        m_nextCode = m_clearCode + 2;
        m_codeBits = m_minimumCodeSize + 1;
    }

    void putCode(int code)
    {
        m_bits |= std::uint32_t(code) << m_bitCount;
        m_bitCount += m_codeBits;
        while (m_bitCount >= 8) {
            pushByte(std::uint8_t(m_bits));
            m_bits >>= 8;
            m_bitCount -= 8;
        }
        // The decoder widens its codes once the table holds as many entries as they can name.
        if (m_nextCode >= (1 << m_codeBits) && m_codeBits < kMaxCodeBits)
            ++m_codeBits;
    }

    void pushByte(std::uint8_t byte)
    {
        m_block[m_blockUsed++] = byte;
        if (m_blockUsed == kSubBlockBytes)
            flushBlock();
    }

    void flushBlock()
    {
        if (m_blockUsed == 0)
            return;
        m_out.put8(std::uint8_t(m_blockUsed));
        m_out.write(m_block.data(), m_blockUsed);
        m_blockUsed = 0;
    }

    FileOutput &m_out;
    const int m_clearCode;
    const int m_minimumCodeSize;
    std::vector<std::uint32_t> m_keys; // prefix code << 8 | index, or kEmpty
    std::vector<std::int16_t> m_codes;
    int m_nextCode = 0;
    int m_codeBits = 0;
    int m_prefix = -1;
    std::uint32_t m_bits = 0;
    int m_bitCount = 0;
    std::array<std::uint8_t, kSubBlockBytes> m_block{};
    std::size_t m_blockUsed = 0;
};

void rgbaRow(liq_color out[], int row, int width, void *page)
{
    const QRgb *pixels = pageRow(*static_cast<const QImage *>(page), row);
    for (int x = 0; x < width; ++x)
        out[x] = {std::uint8_t(qRed(pixels[x])), std::uint8_t(qGreen(pixels[x])), std::uint8_t(qBlue(pixels[x])), 255};
}

struct LiqDeleter {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_image *p) const { liq_image_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};
template <typename T> using LiqPointer = std::unique_ptr<T, LiqDeleter>;

class GifDocument : public PageDocument {
  public:
    explicit GifDocument(const QString &path) : PageDocument(path, false) {}

  protected:
    bool openFile(QString &) override { return true; }
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &) override { return true; }
    void closeFile() override {}

  private:
    bool refuse(const QString &reason, QString &error) const
    {
        error = QStringLiteral("Could not write '%1': %2").arg(displayName(path()), reason);
        return false;
    }
};

bool GifDocument::writePage(const QImage &page, QString &error)
{
    if (page.width() > kMaxSide || page.height() > kMaxSide)
        return refuse(QStringLiteral("the page is too large for this format"), error);
    const LiqPointer<liq_attr> attr(liq_attr_create());
    liq_set_speed(attr.get(), kQuantiseSpeed);
    const LiqPointer<liq_image> image(
        liq_image_create_custom(attr.get(), rgbaRow, const_cast<QImage *>(&page), page.width(), page.height(), 0));
    liq_result *quantised = nullptr;
    if (!image || liq_image_quantize(image.get(), attr.get(), &quantised) != LIQ_OK)
        return refuse(QStringLiteral("the colours of the page could not be chosen"), error);
    const LiqPointer<liq_result> result(quantised);
    liq_set_dithering_level(result.get(), kDithering);
    std::vector<std::uint8_t> indexes(std::size_t(page.width()) * std::size_t(page.height()));
    if (liq_write_remapped_image(result.get(), image.get(), indexes.data(), indexes.size()) != LIQ_OK)
        return refuse(QStringLiteral("the colours of the page could not be chosen"), error);
    const liq_palette &palette = *liq_get_palette(result.get());

    int bits = 1; // the colour table holds 2^bits entries
    while ((1u << bits) < palette.count)
        ++bits;
    FileOutput out(descriptor());
    out.write("GIF89a", 6);
    out.put16le(std::uint16_t(page.width()));
    out.put16le(std::uint16_t(page.height()));
    out.put8(std::uint8_t(0x80 | 0x70 | (bits - 1))); // global colour table of 8-bit colours
    out.put8(0);                                      // background colour index
    out.put8(0);                                      // square pixels
    for (unsigned i = 0; i < (1u << bits); ++i) {
        const liq_color colour = i < palette.count ? palette.entries[i] : liq_color{0, 0, 0, 255};
        const std::uint8_t rgb[3] = {colour.r, colour.g, colour.b};
        out.write(rgb, 3);
    }
    out.put8(0x2C); // image descriptor: the whole screen, no local table, not interlaced
    out.put16le(0);
    out.put16le(0);
    out.put16le(std::uint16_t(page.width()));
    out.put16le(std::uint16_t(page.height()));
    out.put8(0);
    LzwEncoder lzw(out, std::max(2, bits));
    lzw.add(indexes.data(), indexes.size());
    lzw.finish();
    out.put8(0x3B); // trailer
    if (out.flush())
        return true;
    error = fileErrorText(path(), out.error());
    return false;
}

} // namespace

std::unique_ptr<PageDocument> GifPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<GifDocument>(path);
}

} // namespace pagorra
