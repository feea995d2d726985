#include "dngwriter.h"
#include "generation/imageloader.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QString kFormats = QStringLiteral(PAGORRA_TESTDATA "/formats/");
const QString kPhoto = QStringLiteral(PAGORRA_TESTDATA "/photos/mde_Canon_PowerShot_G11.jpg");

std::optional<LoadedPicture> thumbnail(const QString &path, QSize cell = {140, 88})
{
    return loadPicture({path, LoadAs::Fixed, cell.width(), cell.height(), 0x00FFFFFF, true});
}

// Mean difference per channel between two pictures of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// `image` drawn as the loader draws a picture in a 140 x 88 cell on white.
QImage asThumbnail(const QImage &image)
{
    QImage cell(140, 88, QImage::Format_RGB32);
    cell.fill(Qt::white);
    QPainter(&cell).drawImage(drawRectRetainingRatio(image.size(), cell.size()), image);
    return cell;
}

// A picture turned as a viewer turns one tagged with the EXIF orientation `o`.
QImage upright(const QImage &stored, int o)
{
    QTransform t;
    t.rotate(o == 3 ? 180 : o == 6 ? 90 : o == 8 ? 270 : 0);
    return stored.transformed(t);
}

bool isGrey(const QImage &cell)
{
    const QRgb centre = cell.pixel(70, 44);
    return std::abs(qRed(centre) - qGreen(centre)) + std::abs(qGreen(centre) - qBlue(centre)) < 6;
}

QString truncatedCopy(const QTemporaryDir &dir, const QString &path, double keep)
{
    QFile in(path);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    QFile out(dir.filePath(u"cut-"_s + path.section(u'/', -1)));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes.left(qsizetype(bytes.size() * keep)));
    return out.fileName();
}

} // namespace

// Each is placed upright, at its own size as the decoder turns it: the HEIC photos tagged 6
// are stored turned already (their decoder applies the file's rotation; the tag must not turn
// them again), the WebP tagged 6 is not, the JPEG XL's codestream turns itself (orientation 5).
TEST(NewFormats, EverySampleIsPlacedUpright)
{
    const struct {
        const char *file;
        QSize upright;
    } samples[] = {
        {"heic/exifr_heic-collection.heic", {1440, 960}},
        {"heic/exifsamples_iphone_13_pro_max.heic", {3024, 4032}},
        {"heic/exiv2_Canon.hif", {2400, 1600}},
        {"heic/immich_IMG_2682.heic", {4032, 3024}},
        {"heic/mde_IMG_2927.heic", {3024, 4032}},
        {"heic/mde_Issue_487.heic", {3024, 4032}},
        {"avif/immich_8bit-sRGB.avif", {1617, 1080}},
        {"avif/linku_plum-blossom-large.profile0.8bpc.yuv420.alpha-full.avif", {2048, 2048}},
        {"webp/mde_Alpha_Lossless_1.webp", {400, 301}},
        {"webp/mde_Animation_Lossy.webp", {320, 240}},
        {"webp/mde_Nikon_Coolpix_P7000.webp", {2736, 3648}},
        {"jxl/jxlconf_bench_oriented_brg.jxl", {606, 500}},
        {"jxl/jxlconf_lz77_flower.jxl", {834, 244}},
        {"raw/exiftool_FujiFilm.raf", {3030, 2036}},
    };
    for (const auto &s : samples) {
        SCOPED_TRACE(s.file);
        const auto picture = thumbnail(kFormats + QLatin1StringView(s.file));
        ASSERT_TRUE(picture);
        EXPECT_EQ(QSize(picture->actualWidth, picture->actualHeight), s.upright);
        EXPECT_EQ(picture->bitmap.size(), QSize(140, 88));
    }
    // A 20-megapixel 10-bit AVIF costs its decoders (dav1d and libaom alike) over 500 MB, more
    // than all decodes may hold together: it is refused before any pixel is decoded.
    EXPECT_FALSE(thumbnail(kFormats + u"avif/immich_10bit-HDR-P3-nclx.avif"_s));
}

// DNGs made from a photo, with a grey preview (so the thumbnail shows which was used) or
// none, in four orientations: a preview at least as large as the drawn picture is used, else
// the raw data are developed; both come out upright.
TEST(CameraRaw, DngPlacedFromPreviewOrRawDataUpright)
{
    QTemporaryDir dir;
    const QImage photo = QImage(kPhoto).scaled(480, 360, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QImage grey = photo.convertToFormat(QImage::Format_Grayscale8);
    const struct {
        QImage preview;
        bool fromPreview;
    } kinds[] = {{grey.scaled(240, 180), true}, {grey.scaled(48, 36), false}, {QImage(), false}};
    for (const auto &kind : kinds) {
        for (const int o : {1, 3, 6, 8}) {
            SCOPED_TRACE(u"preview %1 wide, orientation %2"_s.arg(kind.preview.width()).arg(o).toStdString());
            const QString path = dir.filePath(u"o%1-%2.dng"_s.arg(o).arg(kind.preview.width()));
            ASSERT_TRUE(writeDng(path, photo, kind.preview, o));
            const auto picture = thumbnail(path);
            ASSERT_TRUE(picture);
            const QImage shown = upright(kind.fromPreview ? grey : photo, o);
            EXPECT_EQ(QSize(picture->actualWidth, picture->actualHeight), upright(photo, o).size());
            EXPECT_EQ(isGrey(picture->bitmap), kind.fromPreview);
            // Developing brightens and tones the picture its own way: only the picture's
            // shapes must match, and a wrong turn differs far more.
            EXPECT_LT(meanDifference(picture->bitmap, asThumbnail(shown)), kind.fromPreview ? 6 : 40);
            if (o == 1 && kind.fromPreview) {
                // The reference is the preview as exiftool extracts it.
                QProcess exiftool;
                exiftool.start(u"exiftool"_s, {u"-b"_s, u"-PreviewImage"_s, path});
                ASSERT_TRUE(exiftool.waitForFinished());
                const QImage extracted = QImage::fromData(exiftool.readAllStandardOutput());
                ASSERT_EQ(extracted.size(), kind.preview.size());
                EXPECT_LT(meanDifference(picture->bitmap, asThumbnail(extracted)), 4);
            }
        }
    }
}

// A file cut short gives no picture, whatever part of it survived; the RW2 sample has a
// preview too small for the cell and no raw data.
TEST(NewFormats, TruncatedFilesAreRefused)
{
    QTemporaryDir dir;
    const QString dng = dir.filePath(u"whole.dng"_s);
    const QImage photo = QImage(kPhoto).scaled(480, 360, Qt::KeepAspectRatio);
    ASSERT_TRUE(writeDng(dng, photo, photo.scaled(240, 180), 1));
    const QString files[] = {kFormats + u"heic/mde_IMG_2927.heic"_s,
                             kFormats + u"avif/immich_8bit-sRGB.avif"_s,
                             kFormats + u"webp/mde_Nikon_Coolpix_P7000.webp"_s,
                             kFormats + u"jxl/jxlconf_lz77_flower.jxl"_s,
                             kFormats + u"raw/exiftool_FujiFilm.raf"_s,
                             dng};
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(thumbnail(file));
        EXPECT_FALSE(thumbnail(truncatedCopy(dir, file, 0.6)));
    }
    EXPECT_FALSE(thumbnail(kFormats + u"raw/exiftool_Panasonic.rw2"_s));
}
