#include "output/rasterpagewriter.h"

#include "core/filenames.h"
#include "output/fileoutput.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace pagorra {

namespace {

// Largest sides each format can describe: PCX stores the last column and row, and the bytes
// of a row rounded up to even, in 16 bits; PSD (version 1) allows 30000 pixels a side; a BMP
// must stay below 4 GB in all.
constexpr int kPcxMaxSide = 65534;
constexpr int kPsdMaxSide = 30000;
constexpr std::uint64_t kBmpMaxBytes = std::numeric_limits<std::uint32_t>::max();

constexpr std::uint32_t kBmpHeaderBytes = 14 + 40; // file header and BITMAPINFOHEADER
// PCX runs hold at most 63 bytes; a byte with its two top bits set must go in a run.
constexpr int kPcxMaxRun = 63;
// PackBits runs and literal stretches hold at most 128 bytes.
constexpr int kPackBitsMax = 128;

// Bit offsets of red, green and blue in a QRgb, in the order the formats store the planes.
constexpr int kChannelShifts[] = {16, 8, 0};

// Appends row to out in PackBits, as PSD wants each row of each channel.
void packBits(const std::uint8_t *row, int size, std::vector<std::uint8_t> &out)
{
    int i = 0;
    while (i < size) {
        int run = 1;
        while (i + run < size && run < kPackBitsMax && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            out.push_back(std::uint8_t(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        // Literal bytes up to the start of a run of three, which is worth its own header.
        const int start = i;
        while (i < size && i - start < kPackBitsMax && !(i + 2 < size && row[i] == row[i + 1] && row[i] == row[i + 2]))
            ++i;
        out.push_back(std::uint8_t(i - start - 1));
        out.insert(out.end(), row + start, row + i);
    }
}

// Appends row to out in PCX run-length form.
void pcxRuns(const std::uint8_t *row, int size, std::vector<std::uint8_t> &out)
{
    for (int i = 0; i < size;) {
        int run = 1;
        while (i + run < size && run < kPcxMaxRun && row[i + run] == row[i])
            ++run;
        if (run > 1 || row[i] >= 0xC0)
            out.push_back(std::uint8_t(0xC0 | run));
        out.push_back(row[i]);
        i += run;
    }
}

class RasterDocument : public PageDocument {
  public:
    RasterDocument(const QString &path, ImageFormat format, const WriteOptions &options)
        : PageDocument(path, false), m_format(format), m_pixelsPerInch(options.pixelsPerInch)
    {
    }

  protected:
    bool openFile(QString &) override
    {
        m_out.emplace(descriptor());
        return true;
    }
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &error) override;
    void closeFile() override {}

  private:
    bool fits(const QImage &page) const;
    bool failed(QString &error) const;
    void writeBmp(const QImage &page);
    void writePcx(const QImage &page);
    void writePsd(const QImage &page);

    ImageFormat m_format;
    double m_pixelsPerInch;
    std::optional<FileOutput> m_out;
};

bool RasterDocument::fits(const QImage &page) const
{
    switch (m_format) {
    case ImageFormat::Pcx:
        return page.width() <= kPcxMaxSide && page.height() <= kPcxMaxSide;
    case ImageFormat::Psd:
        return page.width() <= kPsdMaxSide && page.height() <= kPsdMaxSide;
    default:
        return kBmpHeaderBytes + std::uint64_t((page.width() * 3 + 3) & ~3) * std::uint64_t(page.height()) <=
               kBmpMaxBytes;
    }
}

bool RasterDocument::writePage(const QImage &page, QString &error)
{
    if (!fits(page)) {
        error = QStringLiteral("Could not write '%1': the page is too large for this format").arg(displayName(path()));
        return false;
    }
    if (m_format == ImageFormat::Bmp)
        writeBmp(page);
    else if (m_format == ImageFormat::Pcx)
        writePcx(page);
    else
        writePsd(page);
    return m_out->error() == 0 ? true : failed(error);
}

bool RasterDocument::finishFile(QString &error)
{
    return m_out->flush() ? true : failed(error);
}

bool RasterDocument::failed(QString &error) const
{
    error = fileErrorText(path(), m_out->error());
    return false;
}

// 24-bit BMP with a BITMAPINFOHEADER, rows bottom-up and padded to four bytes, in B, G, R.
void RasterDocument::writeBmp(const QImage &page)
{
    const int width = page.width();
    const std::uint32_t rowBytes = std::uint32_t(width * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * std::uint32_t(page.height());
    const auto pixelsPerMetre = std::uint32_t(std::lround(m_pixelsPerInch / 0.0254));
    FileOutput &out = *m_out;
    out.write("BM", 2);
    out.put32le(kBmpHeaderBytes + pixelBytes);
    out.put32le(0); // reserved
    out.put32le(kBmpHeaderBytes);
    out.put32le(40);
    out.put32le(std::uint32_t(width));
    out.put32le(std::uint32_t(page.height())); // positive: bottom-up
    out.put16le(1);                            // planes
    out.put16le(24);
    out.put32le(0); // uncompressed
    out.put32le(pixelBytes);
    out.put32le(pixelsPerMetre);
    out.put32le(pixelsPerMetre);
    out.put32le(0); // no palette
    out.put32le(0);

    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = page.height() - 1; y >= 0; --y) {
        const QRgb *pixels = pageRow(page, y);
        for (int x = 0; x < width; ++x) {
            row[std::size_t(x) * 3] = std::uint8_t(qBlue(pixels[x]));
            row[std::size_t(x) * 3 + 1] = std::uint8_t(qGreen(pixels[x]));
            row[std::size_t(x) * 3 + 2] = std::uint8_t(qRed(pixels[x]));
        }
        out.write(row.data(), row.size());
    }
}

// PCX version 5: three 8-bit planes (R, G, B) per row, each run-length coded and padded to
// an even number of bytes.
void RasterDocument::writePcx(const QImage &page)
{
    const int width = page.width();
    const int planeBytes = (width + 1) & ~1;
    const auto dpi = std::uint16_t(std::lround(m_pixelsPerInch));
    FileOutput &out = *m_out;
    out.put8(0x0A); // ZSoft
    out.put8(5);    // version 3.0 and later
    out.put8(1);    // run-length coded
    out.put8(8);    // bits per pixel and plane
    out.put16le(0); // left, top, right, bottom
    out.put16le(0);
    out.put16le(std::uint16_t(width - 1));
    out.put16le(std::uint16_t(page.height() - 1));
    out.put16le(dpi);
    out.put16le(dpi);
    const std::vector<std::uint8_t> zeros(58, 0);
    out.write(zeros.data(), 49); // 16-colour palette, reserved byte
    out.put8(3);                 // planes
    out.put16le(std::uint16_t(planeBytes));
    out.put16le(1); // colour
    out.write(zeros.data(), 58);

    std::vector<std::uint8_t> plane(std::size_t(planeBytes), 0);
    std::vector<std::uint8_t> coded;
    for (int y = 0; y < page.height(); ++y) {
        const QRgb *pixels = pageRow(page, y);
        coded.clear();
        for (const int shift : kChannelShifts) {
            for (int x = 0; x < width; ++x)
                plane[std::size_t(x)] = std::uint8_t(pixels[x] >> shift);
            pcxRuns(plane.data(), planeBytes, coded);
        }
        out.write(coded.data(), coded.size());
    }
}

// PSD version 1, 8-bit RGB, no layers: the composite image alone, each channel's rows in
// PackBits after a table of their coded lengths, which is filled in at the end.
void RasterDocument::writePsd(const QImage &page)
{
    const int width = page.width();
    const int height = page.height();
    FileOutput &out = *m_out;
    out.write("8BPS", 4);
    out.put16be(1);
    out.write("\0\0\0\0\0\0", 6);
    out.put16be(3); // channels
    out.put32be(std::uint32_t(height));
    out.put32be(std::uint32_t(width));
    out.put16be(8);
    out.put16be(3); // RGB
    out.put32be(0); // no colour mode data

    // One image resource, ResolutionInfo: 16.16 fixed pixels per inch, shown in inches.
    const auto fixed = std::uint32_t(std::lround(m_pixelsPerInch * 65536.0));
    out.put32be(4 + 2 + 2 + 4 + 16);
    out.write("8BIM", 4);
    out.put16be(0x03ED);
    out.put16be(0); // empty name, padded to even length
    out.put32be(16);
    for (int axis = 0; axis < 2; ++axis) {
        out.put32be(fixed);
        out.put16be(1); // pixels per inch
        out.put16be(1); // inches
    }
    out.put32be(0); // no layer and mask information

    out.put16be(1); // PackBits
    const std::uint64_t tableAt = out.position();
    std::vector<std::uint8_t> table(std::size_t(height) * 3 * 2, 0);
    out.write(table.data(), table.size());
    std::vector<std::uint8_t> channelRow(static_cast<std::size_t>(width));
    std::vector<std::uint8_t> coded;
    std::size_t entry = 0;
    for (const int shift : kChannelShifts) {
        for (int y = 0; y < height; ++y, ++entry) {
            const QRgb *pixels = pageRow(page, y);
            for (int x = 0; x < width; ++x)
                channelRow[std::size_t(x)] = std::uint8_t(pixels[x] >> shift);
            coded.clear();
            packBits(channelRow.data(), width, coded);
            out.write(coded.data(), coded.size());
            table[entry * 2] = std::uint8_t(coded.size() >> 8);
            table[entry * 2 + 1] = std::uint8_t(coded.size());
        }
    }
    out.patch(tableAt, table.data(), table.size());
}

} // namespace

std::unique_ptr<PageDocument> RasterPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<RasterDocument>(path, m_format, m_options);
}

} // namespace pagorra
