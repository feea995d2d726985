#include "generation/imageloader.h"

#include "core/colors.h"
#include "core/tiffguard.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>
// glib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <vips/vips8>
#pragma pop_macro("signals")

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace pagorra {

namespace {

// Past this many pixels a picture is refused whatever its file size: decoding it would
// need gigabytes, and no camera makes such photos.
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;
// Below this many pixels any claim is affordable, however small the file.
constexpr std::int64_t kAlwaysAffordablePixels = std::int64_t(1) << 24;
// The best any supported codec compresses real pixels (a flat-colour PNG or GIF) stays
// well under this many pixels per byte of file.
constexpr std::int64_t kMaxPixelsPerByte = 2048;
// A decode that takes longer than this is abandoned: some malformed files make the
// decoders spin without end.
constexpr auto kDecodeTimeLimit = std::chrono::seconds(20);

struct Deadline {
    std::chrono::steady_clock::time_point until;
};

// Rows computed between two looks at the clock; a strip of a thumbnail costs well under a
// millisecond.
constexpr int kStripRows = 16;
// Rows decoded between two looks at the clock when a picture is decoded into memory.
constexpr int kDecodeStripRows = 256;
// A decoded picture up to this size is held whole in memory before it is scaled (see
// decodedInMemory); larger ones stream through the pipeline.
constexpr std::int64_t kMaxBytesInMemory = std::int64_t(16) << 20;

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
void computeRows(const vips::VImage &image, int stripRows, const Deadline &deadline, RowFn row)
{
    const vips::VRegion region = image.region();
    for (int top = 0; top < image.height(); top += stripRows) {
        if (std::chrono::steady_clock::now() > deadline.until)
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
vips::VImage decodedInMemory(const vips::VImage &image, std::vector<unsigned char> &store, const Deadline &deadline)
{
    const std::size_t rowBytes = VIPS_IMAGE_SIZEOF_LINE(image.get_image());
    if (std::int64_t(rowBytes) * image.height() > kMaxBytesInMemory)
        return image;
    store.resize(rowBytes * std::size_t(image.height()));
    computeRows(image, kDecodeStripRows, deadline, [&](int y, const unsigned char *pixels) {
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
void blit(QImage &canvas, const vips::VImage &rgb, QPoint at, const Deadline &deadline)
{
    const int w = rgb.width();
    computeRows(rgb, kStripRows, deadline, [&](int y, const unsigned char *src) {
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

std::optional<Canvas> prepareCanvas(const LoadRequest &req, QSize upright, const QColor &background)
{
    QSize canvasSize;
    switch (req.loadAs) {
    case LoadAs::OwnSize:
        canvasSize = upright;
        break;
    case LoadAs::FitInside:
        canvasSize = fitInside(upright, QSize(req.fixedWidth, req.fixedHeight));
        break;
    case LoadAs::Fixed:
        canvasSize = QSize(req.fixedWidth, req.fixedHeight);
        break;
    }
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

// An uncompressed BMP whose pixel rows run past the end of the file: Qt's reader would return
// it with the missing rows uninitialised, a different picture on every run.
bool isTruncatedBmp(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray head = file.read(34);
    if (head.size() < 34)
        return true;
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(head.constData() + at); };
    auto i32 = [&](int at) { return qFromLittleEndian<qint32>(head.constData() + at); };
    const quint32 compression = u32(30);
    if (compression != 0 && compression != 3) // run-length data has no fixed size
        return false;
    const std::int64_t width = std::abs(std::int64_t(i32(18)));
    const std::int64_t height = std::abs(std::int64_t(i32(22)));
    const std::int64_t bitsPerPixel = qFromLittleEndian<quint16>(head.constData() + 28);
    const std::int64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    return file.size() < std::int64_t(u32(10)) + rowBytes * height;
}

// The vips loader for the common formats, known by their first bytes: these loaders use
// neither libtiff nor ImageMagick, and asking every loader in turn whether it claims the
// file costs more than some of them take to decode a shrunk photo.
const char *loaderByMagic(const QByteArray &head)
{
    if (head.startsWith("\xFF\xD8\xFF"))
        return "jpegload";
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return "pngload";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gifload";
    return nullptr;
}

// A JPEG's size and orientation as its markers give them.
struct JpegMarkers {
    QSize stored;
    int orientation = 1;
};

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
    auto u16 = [&](qsizetype at) { return little ? qFromLittleEndian<quint16>(tiff + at) : qFromBigEndian<quint16>(tiff + at); };
    auto u32 = [&](qsizetype at) { return little ? qFromLittleEndian<quint32>(tiff + at) : qFromBigEndian<quint32>(tiff + at); };
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

// Whether `length` pixels are what shrinking `stored` by `shrink` on load gives (libjpeg
// rounds up, vips may round down).
bool shrunkFrom(int length, int stored, int shrink)
{
    return length == stored / shrink || length == (stored + shrink - 1) / shrink;
}

// Reads a JPEG's markers up to its scan, decoding nothing: vips would open the file once for
// its size and orientation and once more to decode it shrunk. Nothing when the markers are
// not the plain kind (the caller then asks vips).
std::optional<JpegMarkers> readJpegMarkers(QFile &file)
{
    JpegMarkers markers;
    bool sized = false;
    if (!file.seek(2))
        return std::nullopt;
    for (int count = 0; count < 256; ++count) {
        uchar head[4];
        if (file.read(reinterpret_cast<char *>(head), 4) != 4 || head[0] != 0xFF)
            return std::nullopt;
        const int marker = head[1];
        const int length = (head[2] << 8) | head[3];
        if (marker == 0xDA) // start of scan: every header marker has been seen
            return sized ? std::optional(markers) : std::nullopt;
        if (length < 2)
            return std::nullopt;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame || marker == 0xE1) {
            const QByteArray body = file.read(length - 2);
            if (body.size() != length - 2)
                return std::nullopt;
            if (frame) {
                if (sized || body.size() < 5)
                    return std::nullopt;
                const uchar *b = reinterpret_cast<const uchar *>(body.constData());
                markers.stored = QSize(qFromBigEndian<quint16>(b + 3), qFromBigEndian<quint16>(b + 1));
                sized = true;
            } else if (body.startsWith(QByteArrayView("Exif\0\0", 6))) {
                markers.orientation = exifOrientation(body); // the last block counts, as in vips
            }
        } else if (!file.seek(file.pos() + length - 2)) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<LoadedPicture> decodeWithVips(const LoadRequest &req, const QColor &background, bool readMarkers = true)
{
    const QByteArray path = QFile::encodeName(req.path);

    const Deadline deadline{std::chrono::steady_clock::now() + kDecodeTimeLimit};

    QFile file(req.path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::int64_t fileBytes = file.size();
    const char *loader = loaderByMagic(file.read(8));
    const bool jpeg = loader && std::strcmp(loader, "jpegload") == 0;
    const std::optional<JpegMarkers> markers = jpeg && readMarkers ? readJpegMarkers(file) : std::nullopt;
    file.close();

    // Other files go by what the loaders claim (sniffing asks every loader in turn,
    // ImageMagick's too), and only under the lock, as any of them may reach libtiff or
    // ImageMagick. A file no loader claims raises VError, and the other decoder gets its turn.
    std::unique_lock<std::mutex> foreign;
    if (!loader) {
        foreign = lockForeignCodecs();
        silenceTiffHandlers();
        loader = vips_foreign_find_load(path.constData());
        if (!loader)
            throw vips::VError();
    }
    auto open = [&](vips::VOption *options) {
        vips::VImage out;
        vips::VImage::call(loader, options->set("filename", path.constData())
                                       ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                       ->set("out", &out));
        return out;
    };

    // Reads the header only, unless a JPEG's markers gave what it holds.
    vips::VImage header;
    QSize stored;
    int orientation = 1;
    if (markers) {
        stored = markers->stored;
        orientation = markers->orientation;
    } else {
        header = open(vips::VImage::option());
        stored = QSize(header.width(), header.height());
        orientation = orientationOf(header);
    }
    // A file is refused by what vips reads from it, never by markers read here alone.
    if (!plausibleImageSize(stored.width(), stored.height(), fileBytes))
        return markers ? decodeWithVips(req, background, false) : std::nullopt;
    const QSize upright = orientation >= 5 ? stored.transposed() : stored;
    auto canvas = prepareCanvas(req, upright, background);
    if (!canvas || canvas->drawn.isEmpty())
        return canvas ? std::optional(canvas->picture) : std::nullopt;

    const bool jpegLoad = markers || (header.get_typeof("vips-loader") != 0 &&
                                      std::strcmp(header.get_string("vips-loader"), "jpegload") == 0);
    const int shrink = jpegLoad ? jpegShrinkFor(upright, canvas->drawn.size()) : 1;
    vips::VImage image = header;
    if (shrink > 1)
        image = open(vips::VImage::option()->set("shrink", shrink));
    else if (markers)
        image = open(vips::VImage::option());
    // Markers that vips reads otherwise (an odd file) send the file the long way, by vips's
    // own header.
    if (markers && (orientationOf(image) != orientation || !shrunkFrom(image.width(), stored.width(), shrink) ||
                    !shrunkFrom(image.height(), stored.height(), shrink)))
        return decodeWithVips(req, background, false);
    if (orientationOf(image) != 1)
        image = image.autorot();
    image = toRgb8(image, background);
    std::vector<unsigned char> decoded;
    image = scaledTo(decodedInMemory(image, decoded, deadline), canvas->drawn.size());
    blit(canvas->picture.bitmap, image, canvas->drawn.topLeft(), deadline);
    return std::move(canvas->picture);
}

// Qt's readers cover what the vips loaders of this platform refuse (tiled planar TIFF, some
// BMP variants); the scaling still goes through vips so every picture looks the same.
std::optional<LoadedPicture> decodeWithQt(const LoadRequest &req, const QColor &background)
{
    const std::unique_lock<std::mutex> foreign = lockForeignCodecs();
    silenceTiffHandlers();
    QImageReader reader(req.path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (reader.format() == "bmp" && isTruncatedBmp(req.path))
        return std::nullopt;
    if (!stored.isValid() || !plausibleImageSize(stored.width(), stored.height(), QFileInfo(req.path).size()))
        return std::nullopt;
    const QImage decoded = reader.read();
    if (decoded.isNull())
        return std::nullopt;
    auto canvas = prepareCanvas(req, decoded.size(), background);
    if (!canvas || canvas->drawn.isEmpty())
        return canvas ? std::optional(canvas->picture) : std::nullopt;

    QImage flat(decoded.size(), QImage::Format_RGB888);
    flat.fill(background);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, decoded);
    }
    QByteArray packed;
    packed.reserve(qsizetype(flat.width()) * flat.height() * 3);
    for (int y = 0; y < flat.height(); ++y)
        packed.append(reinterpret_cast<const char *>(flat.constScanLine(y)), qsizetype(flat.width()) * 3);
    vips::VImage image = vips::VImage::new_from_memory(packed.data(), size_t(packed.size()), flat.width(),
                                                       flat.height(), 3, VIPS_FORMAT_UCHAR);
    image = scaledTo(image, canvas->drawn.size());
    const Deadline deadline{std::chrono::steady_clock::now() + kDecodeTimeLimit};
    blit(canvas->picture.bitmap, image, canvas->drawn.topLeft(), deadline);
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
    });
}

void setThreadsPerLoad(int threads)
{
    ensureImageLibraryStarted();
    vips_concurrency_set(std::max(1, threads));
}

std::optional<LoadedPicture> loadPicture(const LoadRequest &request)
{
    ensureImageLibraryStarted();
    const QFileInfo info(request.path);
    if (!info.isFile() || !info.isReadable())
        return std::nullopt;
    const QColor background = resolveColor(request.backColor);
    // A file the decoders cannot read is simply left out; the caller shows nothing.
    try {
        return decodeWithVips(request, background);
    } catch (const vips::VError &) {
        vips_error_clear();
    }
    try {
        return decodeWithQt(request, background);
    } catch (const vips::VError &) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace pagorra
