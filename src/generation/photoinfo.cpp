#include "generation/photoinfo.h"

#include "generation/decodebudget.h"
#include "generation/decodeinput.h"
#include "generation/decodelimits.h"
#include "generation/exifreader.h"
#include "generation/imageloader.h"
#include "generation/photoinfoheader.h"
#include "generation/pictureheader.h"
#include "generation/rawdecoder.h"

namespace pagorra {

namespace {

// The size a picture of `header` is shown at, upright: a JPEG and a JPEG XL turn by their
// headers, a HEIF is stored as its decoder turns it, the rest turn by their EXIF tag.
QSize uprightSize(const PictureHeader &header, const PhotoInfo &info)
{
    int turn = 1;
    switch (header.format) {
    case PictureFormat::Jpeg:
    case PictureFormat::Jxl:
        turn = header.orientation;
        break;
    case PictureFormat::Png:
    case PictureFormat::Tiff:
    case PictureFormat::Webp:
        turn = info.orientation;
        break;
    default:
        break;
    }
    return turn >= 5 ? header.size.transposed() : header.size;
}

} // namespace

PhotoInfo photoInfoFromHeader(const PictureHeader &header, const DecodeInput &input, QSize upright)
{
    PhotoInfo info;
    if (header.format == PictureFormat::Tiff)
        info = photoInfoFromExif([&input](std::int64_t offset, int length, uchar *out) {
            return input.read(offset, out, length) == length;
        });
    else if (!header.exif.isEmpty())
        info = photoInfoFromExif(header.exif);
    if (const std::optional<int> rating = xmpRating(header.xmp))
        info.rating = rating;
    if (!info.taken)
        info.taken = xmpDateTaken(header.xmp);
    if (header.format == PictureFormat::Jxl)
        info.orientation = header.orientation;
    info.size = upright;
    return info;
}

std::optional<PhotoInfo> readPhotoInfo(const QString &path)
{
    const std::shared_ptr<DecodeInput> input = DecodeInput::open(path);
    if (!input)
        return std::nullopt;
    input->setDeadline(std::chrono::steady_clock::now() + limits::kDecodeTime);
    const std::optional<PictureHeader> header = readPictureHeader(*input);
    if (!header)
        return std::nullopt;
    if (header->format == PictureFormat::Raw || header->cameraRaw) {
        const auto held = DecodeBudget::process().reserve(RawFile::kOpenCost);
        const std::unique_ptr<RawFile> raw = held ? RawFile::open(input) : nullptr;
        if (raw)
            return raw->complete() ? std::optional(raw->info()) : std::nullopt;
        if (header->format == PictureFormat::Raw)
            return std::nullopt;
    }
    if (!plausibleImageSize(header->size.width(), header->size.height(), input->size()))
        return std::nullopt;
    PhotoInfo info = photoInfoFromHeader(*header, *input, {});
    info.size = uprightSize(*header, info);
    return info;
}

} // namespace pagorra
