#include "generation/imageloader.h"

#include "core/colors.h"
#include "core/tiffguard.h"
#include "generation/colourprofiles.h"
#include "generation/decodebudget.h"
#include "generation/decodeinput.h"
#include "generation/decodelimits.h"
#include "generation/photoinfoheader.h"
#include "generation/pictureheader.h"
#include "generation/rawdecoder.h"

#include <QImageReader>
#include <QPainter>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>
#include <vips/vector.h>

namespace pagorra {

namespace {

using namespace limits;

// Rows computed between two looks at the clock; a strip of a thumbnail costs well under a
// millisecond.
constexpr int kStripRows = 16;
// Rows decoded between two looks at the clock when a picture is decoded into memory.
constexpr int kDecodeStripRows = 256;
// A decoded picture up to this size is held whole in memory before it is scaled (see
// decodedInMemory); larger ones stream through the pipeline.
constexpr std::int64_t kMaxBytesInMemory = 16 * kMiB;
// What the scaling pipeline holds per pixel of a row (a few rows, some in floating point).
constexpr std::int64_t kPipelineBytesPerColumn = 64;
// What Qt's readers hold per pixel: the decoded picture (16-bit samples for some) and the
// flattened copy handed to the scaling.
constexpr std::int64_t kQtBytesPerPixel = 12;

int orientationOf(const vips::VImage &image)
{
    if (image.get_typeof(VIPS_META_ORIENTATION) == 0)
        return 1;
    const int o = image.get_int(VIPS_META_ORIENTATION);
    return (o >= 1 && o <= 8) ? o : 1;
}

// Largest JPEG shrink-on-load factor that still leaves at least the drawn size.
int jpegShrinkFor(QSize upright, QSize drawn)
{
    for (int s : {8, 4, 2}) {
        if (upright.width() / s >= drawn.width() && upright.height() / s >= drawn.height())
            return s;
    }
    return 1;
}

// 8-bit sRGB with three bands, any transparency flattened onto the background.
vips::VImage toRgb8(vips::VImage image, const QColor &background)
{
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.format() != VIPS_FORMAT_UCHAR)
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.has_alpha()) {
        image = image.flatten(vips::VImage::option()->set(
            "background",
            std::vector<double>{double(background.red()), double(background.green()), double(background.blue())}));
    }
    if (image.bands() > 3)
        image = image.extract_band(0, vips::VImage::option()->set("n", 3));
    else if (image.bands() < 3)
        image = image.bandjoin({image, image}).extract_band(0, vips::VImage::option()->set("n", 3));
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

// Scales to exactly `size`; the resampler may round its output a pixel either way.
vips::VImage scaledTo(vips::VImage image, QSize size)
{
    if (image.width() != size.width() || image.height() != size.height()) {
        image = image.resize(double(size.width()) / image.width(),
                             vips::VImage::option()
                                 ->set("vscale", double(size.height()) / image.height())
                                 ->set("kernel", VIPS_KERNEL_CUBIC));
    }
    if (image.width() != size.width() || image.height() != size.height()) {
        image = image.embed(0, 0, size.width(), size.height(), vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
    return image;
}

// Computes `image` strip by strip on the calling thread, handing each row to `row(y, pixels)`:
// a vips sink would hand the strips to a worker thread and wait on it for each one, and
// the decoding threads of a run already keep every core busy.
template <typename RowFn>
void computeRows(const vips::VImage &image, int stripRows, const DecodeInput &input, RowFn row)
{
    const vips::VRegion region = image.region();
    for (int top = 0; top < image.height(); top += stripRows) {
        if (input.pastDeadline())
            throw vips::VError("decoding took too long");
        const int rows = std::min(stripRows, image.height() - top);
        region.prepare(0, top, image.width(), rows);
        for (int y = top; y < top + rows; ++y)
            row(y, region.addr(0, y));
    }
}

// The decoded 8-bit RGB picture held whole in `store` (which must outlive the image
// returned) when it is small (a photo shrunk on load): the scaling then reads memory instead
// of pulling lines one by one through the decoder, which costs vips many small buffers under
// a process-wide lock that decoding threads contend for. Only the pixels are kept: the
// scaling of three 8-bit bands needs no colour interpretation.
vips::VImage decodedInMemory(const vips::VImage &image, std::vector<unsigned char> &store, const DecodeInput &input)
{
    const std::size_t rowBytes = VIPS_IMAGE_SIZEOF_LINE(image.get_image());
    if (std::int64_t(rowBytes) * image.height() > kMaxBytesInMemory)
        return image;
    store.resize(rowBytes * std::size_t(image.height()));
    computeRows(image, kDecodeStripRows, input, [&](int y, const unsigned char *pixels) {
        std::memcpy(store.data() + rowBytes * std::size_t(y), pixels, rowBytes);
    });
    vips::VImage memory = vips::VImage::new_from_memory(store.data(), store.size(), image.width(), image.height(),
                                                        image.bands(), image.format());
    // Marked as read top to bottom, as the decoder's output was: the shrinking steps then pull
    // their input in a few large blocks rather than many small ones.
    memory.set(VIPS_META_SEQUENTIAL, 1);
    return memory;
}

// Draws the picture straight into the canvas.
void blit(QImage &canvas, const vips::VImage &rgb, QPoint at, const DecodeInput &input)
{
    const int w = rgb.width();
    computeRows(rgb, kStripRows, input, [&](int y, const unsigned char *src) {
        auto *dst = reinterpret_cast<QRgb *>(canvas.scanLine(at.y() + y)) + at.x();
        for (int col = 0; col < w; ++col, src += 3)
            dst[col] = qRgb(src[0], src[1], src[2]);
    });
}

// The canvas for a picture whose upright size is known, filled with the background, and
// where on it the picture goes; no canvas when the request cannot be met.
struct Canvas {
    LoadedPicture picture;
    QRect drawn;
};

QSize canvasSizeFor(const LoadRequest &req, QSize upright)
{
    switch (req.loadAs) {
    case LoadAs::OwnSize:
        return upright;
    case LoadAs::FitInside:
        return fitInside(upright, QSize(req.fixedWidth, req.fixedHeight));
    case LoadAs::Fixed:
        break;
    }
    return QSize(req.fixedWidth, req.fixedHeight);
}

std::optional<Canvas> prepareCanvas(const LoadRequest &req, QSize upright, const QColor &background)
{
    const QSize canvasSize = canvasSizeFor(req, upright);
    if (canvasSize.width() <= 0 || canvasSize.height() <= 0)
        return std::nullopt;
    if (std::int64_t(canvasSize.width()) * canvasSize.height() > kMaxPixels)
        return std::nullopt;
    Canvas c;
    c.drawn = req.retainRatio ? drawRectRetainingRatio(upright, canvasSize) : QRect(QPoint(0, 0), canvasSize);
    c.picture.actualWidth = upright.width();
    c.picture.actualHeight = upright.height();
    c.picture.bitmap = QImage(canvasSize, QImage::Format_RGB32);
    if (c.picture.bitmap.isNull())
        return std::nullopt;
    c.picture.bitmap.fill(background);
    return c;
}

// One file being decoded for one request.
struct Decode {
    const LoadRequest &request;
    const PictureHeader &header;
    std::shared_ptr<DecodeInput> input;
    QColor background;
    // The turn that makes the picture upright, when it is not the file's own (a RAW's preview
    // is turned by the RAW's orientation).
    std::optional<int> orientation = std::nullopt;

    std::int64_t pixels() const { return std::int64_t(header.size.width()) * header.size.height(); }
    QSize upright() const { return header.orientation >= 5 ? header.size.transposed() : header.size; }
    std::int64_t canvasBytes() const
    {
        const QSize canvas = canvasSizeFor(request, upright());
        return std::int64_t(std::max(canvas.width(), 0)) * std::max(canvas.height(), 0) * 4;
    }
    // A JPEG or a WebP is decoded shrunk to the smallest size that still leaves the drawn one.
    int jpegShrink() const
    {
        if (header.format != PictureFormat::Jpeg && header.format != PictureFormat::Webp)
            return 1;
        const QSize canvas = canvasSizeFor(request, upright());
        if (canvas.isEmpty())
            return 1;
        const QRect drawn = request.retainRatio ? drawRectRetainingRatio(upright(), canvas) : QRect(QPoint(), canvas);
        return jpegShrinkFor(upright(), drawn.size());
    }
    // A HEIF's own thumbnail is decoded instead of the picture when it is at least as large as
    // the picture is drawn: a phone's photo has twelve megapixels, its thumbnail a hundredth.
    bool heifThumbnail() const
    {
        if (header.format != PictureFormat::Heif || header.thumbnail.isEmpty())
            return false;
        const QSize canvas = canvasSizeFor(request, header.size);
        const QSize drawn = request.retainRatio ? drawRectRetainingRatio(header.size, canvas).size() : canvas;
        return header.thumbnail.width() >= drawn.width() && header.thumbnail.height() >= drawn.height();
    }
    // Memory the decode through the image library holds at the most.
    std::int64_t vipsCost() const
    {
        const int shrink = jpegShrink();
        const std::int64_t decoded =
            std::int64_t(header.size.width() / shrink + 1) * (header.size.height() / shrink + 1) * 3;
        return kDecodeOverhead + header.decoderBytes + header.size.width() * kPipelineBytesPerColumn +
               (decoded <= kMaxBytesInMemory ? decoded : 0) + canvasBytes();
    }
    // Memory the decode through Qt's readers holds at the most (they read some files whole).
    std::int64_t qtCost() const
    {
        return kDecodeOverhead + input->size() + pixels() * kQtBytesPerPixel + canvasBytes();
    }
};

// The decoders of each format (in the order of PictureFormat): the image library's loader,
// reading through a source (ImageMagick's, for BMP, reads from memory: it has no source
// loader in this version), and Qt's reader, used alone: no other reader gets a turn. The
// newer formats have no second reader; a camera RAW has its own decoder (rawdecoder.h).
struct Decoders {
    const char *vipsLoader;
    const char *qtFormat;
};
constexpr Decoders kDecoders[] = {
    {"jpegload_source", "jpeg"},  {"pngload_source", "png"},    {"gifload_source", "gif"},
    {"tiffload_source", "tiff"},  {"magickload_buffer", "bmp"}, {"heifload_source", nullptr},
    {"webpload_source", nullptr}, {"jxlload_source", nullptr},  {nullptr, nullptr}};

const Decoders &decodersFor(PictureFormat format)
{
    return kDecoders[int(format)];
}

// Whether `length` pixels are what shrinking `stored` by `shrink` on load gives (libjpeg
// rounds up, vips may round down).
bool shrunkFrom(int length, int stored, int shrink)
{
    return length == stored / shrink || length == (stored + shrink - 1) / shrink;
}

std::optional<LoadedPicture> decodeWithVips(const Decode &d, bool trustMarkers = true)
{
    const PictureHeader &header = d.header;
    // ImageMagick, and libtiff whose process-wide handlers ImageMagick replaces, only under
    // the lock.
    std::unique_lock<std::mutex> foreign;
    QByteArray whole;
    if (header.format == PictureFormat::Tiff || header.format == PictureFormat::Bmp) {
        foreign = lockForeignCodecs();
        silenceTiffHandlers();
    }
    if (header.format == PictureFormat::Bmp) {
        std::optional<QByteArray> bytes = d.input->readExactly(0, d.input->size());
        if (!bytes)
            throw vips::VError("the file could not be read");
        whole = std::move(*bytes);
    }
    auto open = [&](vips::VOption *options) {
        if (header.format == PictureFormat::Bmp) {
            VipsBlob *blob = vips_blob_new(nullptr, whole.constData(), size_t(whole.size()));
            options->set("buffer", blob);
            vips_area_unref(VIPS_AREA(blob));
        } else {
            options->set("source", vipsSourceFor(d.input));
        }
        vips::VImage out;
        vips::VImage::call(decodersFor(header.format).vipsLoader,
                           options->set("access", VIPS_ACCESS_SEQUENTIAL)->set("out", &out));
        return out;
    };

    // A JPEG's size and orientation come from its markers, so vips opens it once, shrunk;
    // other files are opened for their header first.
    const bool markers = header.format == PictureFormat::Jpeg && trustMarkers;
    auto orientationIn = [&](const vips::VImage &image) { return d.orientation.value_or(orientationOf(image)); };
    QSize stored = header.size;
    int orientation = d.orientation.value_or(header.orientation);
    vips::VImage image;
    if (!markers) {
        const bool thumbnail = d.heifThumbnail();
        image = open(thumbnail ? vips::VImage::option()->set("thumbnail", true) : vips::VImage::option());
        // The decoder may not read more than the header claimed: that is what was reserved.
        if (std::int64_t(image.width()) * image.height() > d.pixels())
            return std::nullopt;
        stored = thumbnail ? header.size : QSize(image.width(), image.height());
        orientation = orientationIn(image);
    }
    const QSize upright = orientation >= 5 ? stored.transposed() : stored;
    auto canvas = prepareCanvas(d.request, upright, d.background);
    if (!canvas || canvas->drawn.isEmpty())
        return canvas ? std::optional(canvas->picture) : std::nullopt;

    const bool shrinks = header.format == PictureFormat::Jpeg || header.format == PictureFormat::Webp;
    const int shrink = shrinks ? jpegShrinkFor(upright, canvas->drawn.size()) : 1;
    if (shrink > 1 && header.format == PictureFormat::Webp)
        image = open(vips::VImage::option()->set("scale", 1.0 / shrink));
    else if (shrink > 1)
        image = open(vips::VImage::option()->set("shrink", shrink));
    else if (markers)
        image = open(vips::VImage::option());
    // Markers that vips reads otherwise (an odd file) send the file the long way, by vips's
    // own header.
    if (markers && (orientationIn(image) != orientation || !shrunkFrom(image.width(), stored.width(), shrink) ||
                    !shrunkFrom(image.height(), stored.height(), shrink)))
        return decodeWithVips(d, false);
    if (orientation != 1) {
        image.set(VIPS_META_ORIENTATION, orientation);
        image = image.autorot();
    }
    const SrgbConversion colours(image);
    image = toRgb8(image, d.background);
    std::vector<unsigned char> decoded;
    image = colours.applied(scaledTo(decodedInMemory(image, decoded, *d.input), canvas->drawn.size()));
    blit(canvas->picture.bitmap, image, canvas->drawn.topLeft(), *d.input);
    return std::move(canvas->picture);
}

// Qt's readers cover what the vips loaders of this platform refuse (tiled planar TIFF, some
// BMP variants); the scaling still goes through vips so every picture looks the same.
std::optional<LoadedPicture> decodeWithQt(const Decode &d)
{
    if (!decodersFor(d.header.format).qtFormat)
        return std::nullopt;
    const std::unique_lock<std::mutex> foreign = lockForeignCodecs();
    silenceTiffHandlers();
    const std::unique_ptr<QIODevice> device = qtDeviceFor(d.input);
    QImageReader reader(device.get(), decodersFor(d.header.format).qtFormat);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    QImage decoded = reader.read();
    if (decoded.isNull() || std::int64_t(decoded.width()) * decoded.height() > d.pixels())
        return std::nullopt;
    auto canvas = prepareCanvas(d.request, decoded.size(), d.background);
    if (!canvas || canvas->drawn.isEmpty())
        return canvas ? std::optional(canvas->picture) : std::nullopt;

    // Flattened onto the background, in four bytes a pixel without padding at the end of the
    // rows: vips reads it where it is.
    QImage flat(decoded.size(), QImage::Format_RGBX8888);
    if (flat.isNull())
        return std::nullopt;
    flat.fill(d.background);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, decoded);
    }
    decoded = QImage();
    vips::VImage image = vips::VImage::new_from_memory(flat.bits(), size_t(flat.sizeInBytes()), flat.width(),
                                                       flat.height(), 4, VIPS_FORMAT_UCHAR)
                             .extract_band(0, vips::VImage::option()->set("n", 3));
    image = scaledTo(image, canvas->drawn.size());
    blit(canvas->picture.bitmap, image, canvas->drawn.topLeft(), *d.input);
    return std::move(canvas->picture);
}

} // namespace

QSize fitInside(QSize image, QSize box)
{
    const int w = image.width(), h = image.height();
    const int bw = box.width(), bh = box.height();
    if (w <= bw && h <= bh)
        return image;
    const float rw = float(double(bw) / w);
    const float rh = float(double(bh) / h);
    if (rw < rh)
        return QSize(bw, roundHalfEven(double(rw) * h));
    return QSize(roundHalfEven(double(rh) * w), bh);
}

QRect drawRectRetainingRatio(QSize image, QSize canvas)
{
    const double ratioImage = double(image.width()) / image.height();
    const double ratioBox = double(canvas.width()) / canvas.height();
    int dw, dh;
    if (ratioBox < ratioImage) {
        dw = canvas.width();
        dh = roundHalfEven(canvas.width() / ratioImage);
    } else {
        dw = roundHalfEven(canvas.height() * ratioImage);
        dh = canvas.height();
    }
    const int x = roundHalfEven((canvas.width() - dw) / 2.0);
    const int y = roundHalfEven((canvas.height() - dh) / 2.0);
    return QRect(x, y, dw, dh);
}

bool plausibleImageSize(std::int64_t width, std::int64_t height, std::int64_t fileBytes)
{
    if (width <= 0 || height <= 0)
        return false;
    const std::int64_t pixels = width * height;
    if (pixels > kMaxPixels)
        return false;
    return pixels <= kAlwaysAffordablePixels || pixels <= fileBytes * kMaxPixelsPerByte;
}

void ensureImageLibraryStarted()
{
    static std::once_flag once;
    std::call_once(once, [] {
        vips_init("pagorra");
        // Damaged files are an expected input: their decoder chatter would only drown the
        // list of unreadable files the user is shown.
        g_log_set_handler(
            "VIPS", G_LOG_LEVEL_WARNING, [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {}, nullptr);
        // Each file is loaded once per run; cached operations would only hold memory.
        vips_cache_set_max(0);
        // Without the cache every resize compiles its vector program afresh, and the run-time
        // compiler never gives its code memory back: some ten thousand pictures into a run its
        // mappings pass the system's limit and the process dies. The plain C paths cost little
        // on thumbnails made by shrink-on-load.
        vips_vector_set_enabled(FALSE);
        // Only the loaders of the picture formats the program offers may run, for the whole
        // process: documents, drawings and the rest (PDF, SVG, ImageMagick's loader for any
        // file) are never rendered as photos, whatever a file is named or claims to be.
        // ImageMagick reads BMPs only, from memory, once their first bytes have said so.
        vips_operation_block_set("VipsForeignLoad", TRUE);
        for (const char *loader :
             {"VipsForeignLoadJpeg", "VipsForeignLoadPng", "VipsForeignLoadNsgif", "VipsForeignLoadTiff",
              "VipsForeignLoadMagickBuffer", "VipsForeignLoadHeif", "VipsForeignLoadWebp", "VipsForeignLoadJxl"})
            vips_operation_block_set(loader, FALSE);
    });
}

void setThreadsPerLoad(int threads)
{
    ensureImageLibraryStarted();
    vips_concurrency_set(std::max(1, threads));
}

namespace {

// Decodes under the budget and the deadline: the image library's decoder first, Qt's reader
// when it fails. A file that would cost more than the whole budget is refused. Time spent
// waiting for the budget is not decoding time: the clock runs from when a decoder starts.
std::optional<LoadedPicture> decodeInTime(const Decode &decode)
{
    auto timeLeft = std::chrono::steady_clock::duration(kDecodeTime);
    auto begun = std::chrono::steady_clock::now();
    try {
        const auto held = DecodeBudget::process().reserve(decode.vipsCost());
        if (!held)
            return std::nullopt;
        begun = std::chrono::steady_clock::now();
        decode.input->setDeadline(begun + timeLeft);
        return decodeWithVips(decode);
    } catch (const vips::VError &) {
        vips_error_clear();
        timeLeft -= std::chrono::steady_clock::now() - begun;
    }
    try {
        const auto held = DecodeBudget::process().reserve(decode.qtCost());
        if (!held)
            return std::nullopt;
        decode.input->setDeadline(std::chrono::steady_clock::now() + timeLeft);
        return decodeWithQt(decode);
    } catch (const vips::VError &) {
        vips_error_clear();
        return std::nullopt;
    }
}

// A camera RAW file, placed from the JPEG preview the camera embedded when that is at least
// as large as the picture is drawn (far quicker than developing the raw data), else
// developed at half size; either way turned upright by the RAW's own orientation. Nothing
// when LibRaw does not read the file as a RAW (`recognised` tells), or its raw data were cut
// off.
std::optional<LoadedPicture> decodeRaw(const LoadRequest &request, const std::shared_ptr<DecodeInput> &input,
                                       const QColor &background, bool &recognised)
{
    const auto opened = DecodeBudget::process().reserve(RawFile::kOpenCost);
    if (!opened)
        return std::nullopt;
    input->setDeadline(std::chrono::steady_clock::now() + kDecodeTime);
    const std::unique_ptr<RawFile> raw = RawFile::open(input);
    recognised = bool(raw);
    if (!raw || !raw->complete() ||
        !plausibleImageSize(raw->uprightSize().width(), raw->uprightSize().height(), input->size()))
        return std::nullopt;
    const int orientation = raw->orientation();
    const QSize upright = raw->uprightSize();
    auto finish = [&](LoadedPicture picture) {
        picture.actualWidth = upright.width();
        picture.actualHeight = upright.height();
        picture.info = raw->info();
        return picture;
    };
    const QSize canvas = canvasSizeFor(request, upright);
    const QSize wanted = request.retainRatio ? drawRectRetainingRatio(upright, canvas).size() : canvas;
    if (const std::optional<RawFile::Range> range = raw->previewRange()) {
        const std::shared_ptr<DecodeInput> preview = DecodeInput::part(input, range->offset, range->length);
        const std::optional<PictureHeader> header = preview ? readPictureHeader(*preview) : std::nullopt;
        if (header && header->format == PictureFormat::Jpeg &&
            plausibleImageSize(header->size.width(), header->size.height(), preview->size())) {
            const QSize shown = orientation >= 5 ? header->size.transposed() : header->size;
            if (shown.width() >= wanted.width() && shown.height() >= wanted.height()) {
                std::optional<LoadedPicture> picture =
                    decodeInTime({request, *header, preview, background, orientation});
                return picture ? std::optional(finish(std::move(*picture))) : std::nullopt;
            }
        }
    }
    const std::int64_t canvasBytes = std::int64_t(std::max(canvas.width(), 0)) * std::max(canvas.height(), 0) * 4;
    const auto held = DecodeBudget::process().reserve(raw->halfSizeCost() + canvasBytes);
    if (!held)
        return std::nullopt;
    const std::optional<RawFile::Developed> developed = raw->developHalfSize();
    if (!developed)
        return std::nullopt;
    auto drawn = prepareCanvas(request, upright, background);
    if (!drawn || drawn->drawn.isEmpty())
        return drawn ? std::optional(finish(std::move(drawn->picture))) : std::nullopt;
    const QSize size = developed->size;
    vips::VImage image = vips::VImage::new_from_memory(const_cast<unsigned char *>(developed->pixels),
                                                       size_t(size.width()) * size.height() * 3, size.width(),
                                                       size.height(), 3, VIPS_FORMAT_UCHAR);
    if (orientation != 1) {
        image.set(VIPS_META_ORIENTATION, orientation);
        image = image.autorot();
    }
    blit(drawn->picture.bitmap, scaledTo(image, drawn->drawn.size()), drawn->drawn.topLeft(), *input);
    return finish(std::move(drawn->picture));
}

std::optional<LoadedPicture> decodeFile(const LoadRequest &request, const std::shared_ptr<DecodeInput> &input)
{
    const std::optional<PictureHeader> header = readPictureHeader(*input);
    if (!header)
        return std::nullopt;
    const QColor background = resolveColor(request.backColor);
    if (header->format == PictureFormat::Raw || header->cameraRaw) {
        bool recognised = false;
        try {
            if (std::optional<LoadedPicture> picture = decodeRaw(request, input, background, recognised))
                return picture;
        } catch (const vips::VError &) {
            vips_error_clear();
        }
        // A TIFF that only looked like a RAW is read as the TIFF it is.
        if (header->format == PictureFormat::Raw || recognised)
            return std::nullopt;
        input->setDeadline(std::chrono::steady_clock::time_point::max());
    }
    if (!plausibleImageSize(header->size.width(), header->size.height(), input->size()))
        return std::nullopt;
    input->hide(header->hiddenOffset, header->hiddenLength);
    std::optional<LoadedPicture> picture = decodeInTime({request, *header, input, background});
    if (picture)
        picture->info = photoInfoFromHeader(*header, *input, QSize(picture->actualWidth, picture->actualHeight));
    return picture;
}

} // namespace

std::optional<LoadedPicture> loadPicture(const LoadRequest &request)
{
    ensureImageLibraryStarted();
    const std::shared_ptr<DecodeInput> input = DecodeInput::open(request.path);
    if (!input)
        return std::nullopt;
    if (request.wantDigest)
        input->startDigest();
    std::optional<LoadedPicture> picture = decodeFile(request, input);
    if (picture && request.wantDigest) {
        // Bytes that changed under the decode, or cannot be read at all, make no digest.
        const std::optional<QByteArray> digest = input->digest();
        if (!digest)
            return std::nullopt;
        picture->sha256 = *digest;
    }
    return picture;
}

} // namespace pagorra
