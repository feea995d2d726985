// glib names a struct member "signals", which Qt defines as a keyword: vips comes first.
#include <vips/vips8>

#include "output/vipspagewriter.h"

#include "core/tiffguard.h"

#include <QFile>
#include <cstring>
#include <mutex>
#include <vector>

namespace pagorra {

namespace {

bool startVips(QString &error)
{
    // vips_init is cheap once started; the loader may have started it already.
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = VIPS_INIT("pagorra") == 0; });
    if (!started)
        error = QStringLiteral("The image library could not be started");
    return started;
}

// A vips image that owns a copy of the page's pixels as 8-bit RGB.
vips::VImage toVips(const QImage &page)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
    const std::size_t rowBytes = std::size_t(rgb.width()) * 3;
    std::vector<unsigned char> pixels(rowBytes * std::size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(pixels.data() + rowBytes * std::size_t(y), rgb.constScanLine(y), rowBytes);
    VipsImage *image =
        vips_image_new_from_memory_copy(pixels.data(), pixels.size(), rgb.width(), rgb.height(), 3, VIPS_FORMAT_UCHAR);
    if (!image)
        throw vips::VError();
    vips::VImage result(image, vips::STEAL);
    return result.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

const char *magickFormat(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Bmp:
        return "BMP3";
    case ImageFormat::Psd:
        return "PSD";
    case ImageFormat::Pcx:
        return "PCX";
    default:
        return nullptr;
    }
}

// The one page is encoded into the temporary file as soon as it comes.
class VipsDocument : public PageDocument {
  public:
    VipsDocument(const QString &path, ImageFormat format, const WriteOptions &options)
        : PageDocument(path, false), m_format(format), m_options(options)
    {
    }

  protected:
    bool openFile(QString &error) override { return startVips(error); }
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &) override { return true; }
    void closeFile() override {}

  private:
    ImageFormat m_format;
    WriteOptions m_options;
};

bool VipsDocument::writePage(const QImage &page, QString &error)
{
    const QByteArray temp = QFile::encodeName(tempPath());
    try {
        vips::VImage image = toVips(page);
        switch (m_format) {
        case ImageFormat::Gif:
            // Effort 4 of 10 quantises a photo page about twice as fast as the default, at nearly
            // the same size; below 4 the quantiser coarsens colours, and a flat background
            // would no longer keep its exact colour.
            image.gifsave(temp.constData(), vips::VImage::option()->set("effort", 4));
            return true;
        case ImageFormat::Jpeg:
            image.jpegsave(temp.constData(), vips::VImage::option()->set("Q", m_options.jpegQuality));
            return true;
        case ImageFormat::Png:
            // Level 1 of 9 deflates a page of photos in half the time of the default 6, for
            // files about 1 % larger: a page is written once, and a batch run waits for it.
            image.pngsave(temp.constData(), vips::VImage::option()->set("compression", 1));
            return true;
        case ImageFormat::Bmp:
        case ImageFormat::Psd:
        case ImageFormat::Pcx: {
            const std::unique_lock<std::mutex> foreign = lockForeignCodecs();
            image.magicksave(temp.constData(), vips::VImage::option()->set("format", magickFormat(m_format)));
            return true;
        }
        case ImageFormat::Tiff:
        case ImageFormat::Pdf:
            break;
        }
    } catch (const vips::VError &e) {
        error = QStringLiteral("Could not write '%1': %2").arg(path(), QString::fromUtf8(e.what()).trimmed());
        vips_error_clear();
        return false;
    }
    error = QStringLiteral("Could not write '%1': this format has a writer of its own").arg(path());
    return false;
}

} // namespace

VipsPageWriter::VipsPageWriter(ImageFormat format, const WriteOptions &options) : m_format(format), m_options(options)
{
}

std::unique_ptr<PageDocument> VipsPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<VipsDocument>(path, m_format, m_options);
}

} // namespace pagorra
