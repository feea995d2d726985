// glib names a struct member "signals", which Qt defines as a keyword: vips comes first.
#include <vips/vips8>

#include "output/vipspagewriter.h"

#include "output/atomicfile.h"

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

} // namespace

VipsPageWriter::VipsPageWriter(ImageFormat format, const WriteOptions &options) : m_format(format), m_options(options)
{
}

bool VipsPageWriter::writePages(const QList<QImage> &pages, const QString &path, QString &error) const
{
    if (pages.isEmpty() || (pages.size() > 1 && !supportsMultiplePages())) {
        error = QStringLiteral("Could not write '%1': this format holds exactly one page").arg(path);
        return false;
    }
    for (const QImage &page : pages) {
        if (page.isNull() || page.size() != pages.first().size()) {
            error = QStringLiteral("Could not write '%1': %2")
                        .arg(path, page.isNull() ? QStringLiteral("a page holds no image")
                                                 : QStringLiteral("the pages differ in size"));
            return false;
        }
    }
    if (!startVips(error))
        return false;

    AtomicFile file(path);
    if (!file.open(error))
        return false;
    const QByteArray temp = QFile::encodeName(file.tempPath());
    try {
        std::vector<vips::VImage> images;
        images.reserve(std::size_t(pages.size()));
        for (const QImage &page : pages)
            images.push_back(toVips(page));
        vips::VImage image = images.size() == 1
                                 ? images.front()
                                 : vips::VImage::arrayjoin(images, vips::VImage::option()->set("across", 1));

        switch (m_format) {
        case ImageFormat::Gif:
            // Effort 4 of 10 quantises a photo page about twice as fast as the default, at nearly
            // the same size; below 4 the quantiser coarsens colours, and a flat background
            // would no longer keep its exact colour.
            image.gifsave(temp.constData(), vips::VImage::option()->set("effort", 4));
            break;
        case ImageFormat::Jpeg:
            image.jpegsave(temp.constData(), vips::VImage::option()->set("Q", m_options.jpegQuality));
            break;
        case ImageFormat::Png:
            image.pngsave(temp.constData());
            break;
        case ImageFormat::Tiff: {
            auto *options = vips::VImage::option()
                                ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW)
                                ->set("predictor", VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL);
            if (images.size() > 1)
                options->set("page_height", pages.first().height());
            image.tiffsave(temp.constData(), options);
            break;
        }
        case ImageFormat::Bmp:
        case ImageFormat::Psd:
        case ImageFormat::Pcx:
            image.magicksave(temp.constData(), vips::VImage::option()->set("format", magickFormat(m_format)));
            break;
        case ImageFormat::Pdf:
            error = QStringLiteral("Could not write '%1': PDF is not a raster format").arg(path);
            return false;
        }
    } catch (const vips::VError &e) {
        error = QStringLiteral("Could not write '%1': %2").arg(path, QString::fromUtf8(e.what()).trimmed());
        vips_error_clear();
        return false;
    }
    return file.commit(error);
}

} // namespace pagorra
