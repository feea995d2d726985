#include "generation/rawdecoder.h"

#include "generation/decodelimits.h"
#include "generation/exifreader.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pagorra {

namespace {

// LibRaw's turns (bit 4 swaps the axes, 2 mirrors the rows, 1 the columns) as EXIF
// orientations.
constexpr int kOrientationOfFlip[8] = {1, 2, 4, 3, 5, 8, 6, 7};
// What developing holds per pixel of the half-size picture besides the raw data: LibRaw's
// four 16-bit channels and the 8-bit RGB copy it hands out.
constexpr std::int64_t kDevelopedBytesPerPixel = 8 + 3;

} // namespace

// LibRaw reads through this stream: small reads of a window of the file, as its parsers read
// a few bytes at a time.
class RawFile::Stream : public LibRaw_abstract_datastream {
  public:
    explicit Stream(const DecodeInput &input) : m_input(input) {}

    int valid() override { return 1; }
    int read(void *buffer, size_t size, size_t count) override
    {
        if (size == 0 || count == 0)
            return 0;
        const std::int64_t wanted = std::int64_t(std::min<size_t>(count, size_t(INT64_MAX) / size) * size);
        std::int64_t done = 0;
        while (done < wanted) {
            if (m_position >= m_windowStart && m_position < m_windowStart + m_windowFilled) {
                const std::int64_t n = std::min(wanted - done, m_windowStart + m_windowFilled - m_position);
                std::memcpy(static_cast<char *>(buffer) + done, m_window + (m_position - m_windowStart), size_t(n));
                done += n;
                m_position += n;
            } else if (wanted - done >= kWindow) { // large reads go straight through
                const std::int64_t got = m_input.read(m_position, static_cast<char *>(buffer) + done, wanted - done);
                if (got <= 0)
                    break;
                done += got;
                m_position += got;
            } else if (!fill()) {
                break;
            }
        }
        return int(done / std::int64_t(size));
    }
    int seek(INT64 offset, int whence) override
    {
        const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m_position : m_input.size();
        if (base + offset < 0)
            return -1;
        m_position = std::min<std::int64_t>(base + offset, m_input.size());
        return 0;
    }
    INT64 tell() override { return m_position; }
    INT64 size() override { return m_input.size(); }
    int get_char() override
    {
        unsigned char c;
        return read(&c, 1, 1) == 1 ? c : -1;
    }
    char *gets(char *line, int size) override
    {
        if (size < 1)
            return nullptr;
        int n = 0;
        for (int c; n < size - 1 && (c = get_char()) >= 0;) {
            line[n++] = char(c);
            if (c == '\n')
                break;
        }
        line[n] = '\0';
        return n > 0 ? line : nullptr;
    }
    int scanf_one(const char *format, void *value) override
    {
        // One token, as the buffer stream of LibRaw reads it.
        char token[32] = {};
        int c = get_char();
        while (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            c = get_char();
        for (int n = 0; c >= 0 && n < 31 && c != ' ' && c != '\t' && c != '\n' && c != '\r'; c = get_char())
            token[n++] = char(c);
        return token[0] ? std::sscanf(token, format, value) : -1;
    }
    int eof() override { return m_position >= m_input.size(); }
    void *make_jas_stream() override { return nullptr; }

  private:
    bool fill()
    {
        m_windowStart = m_position;
        m_windowFilled = std::max<std::int64_t>(0, m_input.read(m_position, m_window, kWindow));
        return m_windowFilled > 0;
    }

    static constexpr int kWindow = 64 * 1024;
    const DecodeInput &m_input;
    std::int64_t m_position = 0;
    char m_window[kWindow];
    std::int64_t m_windowStart = 0;
    std::int64_t m_windowFilled = 0;
};

// LibRaw, with what its parser found that it keeps to itself: where the preview and the raw
// data lie, and how many samples each raw pixel has.
class RawFile::Processor : public LibRaw {
  public:
    // No messages on the terminal for damaged data: a damaged file is simply not placed.
    Processor() : LibRaw(LIBRAW_OPIONS_NO_DATAERR_CALLBACK | LIBRAW_OPIONS_NO_MEMERR_CALLBACK) {}
    std::int64_t previewOffset() const { return libraw_internal_data.internal_data.toffset; }
    std::int64_t rawOffset() const { return libraw_internal_data.unpacker_data.data_offset; }
    // Whether every image its directories name (the raw data, previews) starts inside the
    // first `size` bytes, and ends inside them where its length is known (LibRaw does not
    // keep the lengths of the strips of a picture in several).
    bool imagesWithin(std::int64_t size) const
    {
        const unsigned count = std::min<unsigned>(libraw_internal_data.identify_data.tiff_nifds, LIBRAW_IFD_MAXCOUNT);
        for (unsigned i = 0; i < count; ++i) {
            const tiff_ifd_t &d = tiff_ifd[i];
            if (d.strip_offsets && d.strip_offsets_count > 0) {
                for (int s = 0; s < d.strip_offsets_count; ++s) {
                    if (d.strip_offsets[s] < 0 || d.strip_offsets[s] > size)
                        return false;
                }
            } else if (d.bytes > 0 && (d.offset < 0 || d.offset > size || d.bytes > size - d.offset)) {
                return false;
            }
        }
        return true;
    }
    int samples() const { return std::clamp(int(libraw_internal_data.unpacker_data.tiff_samples), 1, 4); }
    bool dataError() const { return libraw_internal_data.unpacker_data.data_error != 0; }
};

RawFile::RawFile(std::shared_ptr<const DecodeInput> input)
    : m_input(std::move(input)), m_stream(std::make_unique<Stream>(*m_input)), m_raw(std::make_unique<Processor>())
{
}

RawFile::~RawFile()
{
    if (m_developed)
        LibRaw::dcraw_clear_mem(static_cast<libraw_processed_image_t *>(m_developed));
}

std::unique_ptr<RawFile> RawFile::open(std::shared_ptr<const DecodeInput> input)
{
    std::unique_ptr<RawFile> file(new RawFile(std::move(input)));
    if (!file->parse())
        return nullptr;
    return file;
}

bool RawFile::parse()
{
    libraw_data_t &d = m_raw->imgdata;
    // LibRaw refuses to hold more than this for the raw data; the decode's reservation,
    // made from its own estimate, is what counts.
    d.params.max_raw_memory_mb = unsigned(limits::kDecodeBudget / limits::kMiB);
    d.params.user_flip = 0; // turned by the caller, as the preview is
    m_raw->set_progress_handler(
        [](void *data, LibRaw_progress, int, int) { return static_cast<DecodeInput *>(data)->pastDeadline() ? 1 : 0; },
        const_cast<DecodeInput *>(m_input.get()));
    if (m_raw->open_datastream(m_stream.get()) != LIBRAW_SUCCESS)
        return false;
    // Raw data or a preview that starts or ends past the end of the file were cut off: a file
    // cut short is not placed, even where its preview survived.
    const std::int64_t size = m_input->size();
    m_complete = m_raw->rawOffset() <= size && m_raw->imagesWithin(size);
    const std::int64_t rawWidth = d.sizes.raw_width, rawHeight = d.sizes.raw_height;
    m_rawBytes = rawWidth * rawHeight * 2 * m_raw->samples();
    const int flip = d.sizes.flip;
    m_orientation = kOrientationOfFlip[flip & 7];
    const std::int64_t previewOffset = m_raw->previewOffset(), previewLength = d.thumbnail.tlength;
    const bool wholePreview =
        previewOffset > 0 && previewLength > 0 && previewOffset <= size && previewLength <= size - previewOffset;
    if (wholePreview)
        m_preview = Range{previewOffset, previewLength};
    // The developed size, with the pixel aspect and the layouts of rotated sensors applied.
    m_raw->adjust_sizes_info_only();
    const QSize developed(d.sizes.iwidth, d.sizes.iheight);
    m_upright = (flip & 4) ? developed.transposed() : developed;
    return true;
}

PhotoInfo RawFile::info() const
{
    const libraw_data_t &d = m_raw->imgdata;
    PhotoInfo info;
    info.size = m_upright;
    info.orientation = m_orientation;
    if (d.other.timestamp > 0)
        info.taken = QDateTime::fromSecsSinceEpoch(d.other.timestamp); // LibRaw read the clock as local time
    auto text = [](const char *field, std::size_t size) {
        return cleanedText(QString::fromLatin1(field, qsizetype(strnlen(field, size))));
    };
    info.camera = cameraName(text(d.idata.make, sizeof d.idata.make), text(d.idata.model, sizeof d.idata.model));
    info.lens = text(d.lens.Lens, sizeof d.lens.Lens);
    if (d.other.shutter > 0)
        info.exposureSeconds = d.other.shutter;
    if (d.other.aperture > 0)
        info.aperture = d.other.aperture;
    if (d.other.iso_speed > 0)
        info.iso = int(d.other.iso_speed + 0.5f);
    if (d.other.focal_len > 0)
        info.focalLength = d.other.focal_len;
    return info;
}

std::int64_t RawFile::halfSizeCost() const
{
    // Only a colour filter array is developed at half size; pixels of three samples stay whole.
    const int divisor = m_raw->samples() > 1 ? 1 : 2;
    const std::int64_t developed = std::int64_t(m_upright.width() / divisor + 1) * (m_upright.height() / divisor + 1);
    return kOpenCost + m_rawBytes + developed * kDevelopedBytesPerPixel;
}

std::optional<RawFile::Developed> RawFile::developHalfSize()
{
    // Parsed anew: the sizes of the development were worked out on the parsed state above.
    m_raw->recycle();
    libraw_data_t &d = m_raw->imgdata;
    d.params.half_size = 1;
    d.params.use_camera_wb = 1;
    d.params.output_bps = 8;
    d.params.user_flip = 0;
    m_stream->seek(0, SEEK_SET); // LibRaw reads a stream from where it stands
    if (m_raw->open_datastream(m_stream.get()) != LIBRAW_SUCCESS || m_raw->unpack() != LIBRAW_SUCCESS ||
        m_raw->dataError() || m_raw->dcraw_process() != LIBRAW_SUCCESS)
        return std::nullopt;
    int error = 0;
    auto *image = m_raw->dcraw_make_mem_image(&error);
    if (!image)
        return std::nullopt;
    m_developed = image;
    if (image->type != LIBRAW_IMAGE_BITMAP || image->colors != 3 || image->bits != 8)
        return std::nullopt;
    return Developed{image->data, QSize(image->width, image->height)};
}

} // namespace pagorra
