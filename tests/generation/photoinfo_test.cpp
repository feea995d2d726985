#include "generation/imageloader.h"
#include "generation/photoinfo.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#pragma push_macro("signals")
#undef signals
#include <vips/vips8>
#pragma pop_macro("signals")

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QString kData = QStringLiteral(PAGORRA_TESTDATA "/");

std::optional<LoadedPicture> load(const QString &path, bool digest = false)
{
    LoadRequest request{path, LoadAs::Fixed, 140, 88, 0x00FFFFFF, true};
    request.wantDigest = digest;
    return loadPicture(request);
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

// What exiftool -n reads from each photo (ImageWidth and ImageHeight upright, Orientation,
// DateTimeOriginal, Make and Model, EXIF:LensModel, ExposureTime, FNumber, ISO, FocalLength,
// XMP:Rating), from the decoder's reading of it and from the header alone; one copy rated 4 in
// XMP by exiftool.
TEST(PhotoInfo, MatchesWhatExiftoolReads)
{
    QTemporaryDir dir;
    const QString rated = dir.filePath(u"rated.jpg"_s);
    run(u"exiftool"_s, {u"-XMP:Rating=4"_s, u"-o"_s, rated, kData + u"photos/mde_Nikon_D3100.jpg"_s});
    const struct {
        QString path;
        QSize upright;
        int orientation;
        const char *taken, *camera, *lens;
        double exposure, aperture;
        int iso;
        double focal;
        std::optional<int> rating;
    } photos[] = {
        {kData + u"photos/mde_Canon_EOS_5D_Mark_III_5760x3840.jpg"_s,
         {5760, 3840},
         1,
         "2016:01:12 15:33:28",
         "Canon EOS 5D Mark III",
         "EF24-70mm f/2.8L USM",
         0.005,
         2.8,
         1000,
         35,
         std::nullopt},
        {kData + u"photos/mde_Canon_EOS_1000D_orient6.jpg"_s,
         {2592, 3888},
         6,
         "2008:07:01 17:27:03",
         "Canon EOS 1000D",
         "",
         0.004,
         5.6,
         100,
         34,
         std::nullopt},
        {kData + u"photos/mde_Leica_T_Typ701_orient8.jpg"_s,
         {3264, 4928},
         8,
         "2014:04:24 12:18:42",
         "LEICA T (Typ 701)",
         "",
         0.02,
         3.5,
         100,
         18,
         std::nullopt},
        {kData + u"photos/mde_Apple_iPhone_5_orient3.jpg"_s,
         {3264, 2448},
         3,
         "2012:09:29 16:11:25",
         "Apple iPhone 5",
         "",
         0.0005899705015,
         2.4,
         50,
         4.13,
         std::nullopt},
        {rated, {4608, 3072}, 1, "2010:12:02 13:18:23", "NIKON D3100", "", 0.005, 8, 400, 55, 4},
        {kData + u"formats/webp/mde_Nikon_Coolpix_P7000.webp"_s,
         {2736, 3648},
         6,
         "2010:10:21 11:22:48",
         "NIKON COOLPIX P7000",
         "",
         0.001233045623,
         4.5,
         100,
         6,
         std::nullopt},
        {kData + u"formats/heic/mde_Issue_487.heic"_s,
         {3024, 4032},
         6,
         "2020:06:30 11:27:59",
         "samsung SM-G975F",
         "",
         0.01666666667,
         2.4,
         200,
         4.32,
         std::nullopt},
    };
    for (const auto &p : photos) {
        SCOPED_TRACE(p.path.toStdString());
        const auto picture = load(p.path);
        ASSERT_TRUE(picture);
        const std::optional<PhotoInfo> header = readPhotoInfo(p.path);
        ASSERT_TRUE(header);
        for (const PhotoInfo &info : {picture->info, *header}) {
            EXPECT_EQ(info.size, p.upright);
            EXPECT_EQ(info.orientation, p.orientation);
            ASSERT_TRUE(info.taken);
            EXPECT_EQ(info.taken->toString(u"yyyy:MM:dd HH:mm:ss"_s), QLatin1StringView(p.taken));
            EXPECT_EQ(info.camera, QLatin1StringView(p.camera));
            EXPECT_EQ(info.lens, QLatin1StringView(p.lens));
            EXPECT_NEAR(info.exposureSeconds.value_or(0), p.exposure, 1e-9);
            EXPECT_NEAR(info.aperture.value_or(0), p.aperture, 1e-9);
            EXPECT_EQ(info.iso, p.iso);
            EXPECT_NEAR(info.focalLength.value_or(0), p.focal, 1e-9);
            EXPECT_EQ(info.rating, p.rating);
        }
    }
    EXPECT_FALSE(readPhotoInfo(kData + u"corrupt/mde_its_6903d4538fd33c8fd0ded32cb30d618e.jpg"_s)); // a bomb
}

// The digest comes from the decoder's own reading of the file: a whole read, a JPEG shrunk on
// load, a TIFF with a hidden field, a RAW placed from its preview alone.
TEST(PhotoInfo, DigestEqualsSha256sum)
{
    for (const QString &file :
         {u"photos/mde_Canon_EOS_5D_Mark_III_5760x3840.jpg"_s, u"formats/png/pillow_icc_profile.png"_s,
          u"formats/tiff/mde_multipage_g4_jpeg_4670x6170.tif"_s, u"formats/raw/exiftool_FujiFilm.raf"_s,
          u"formats/webp/mde_Animation_Lossy.webp"_s}) {
        SCOPED_TRACE(file.toStdString());
        const auto picture = load(kData + file, true);
        ASSERT_TRUE(picture);
        EXPECT_EQ(QString::fromLatin1(picture->sha256.toHex()), run(u"sha256sum"_s, {kData + file}).left(64));
        EXPECT_TRUE(load(kData + file)->sha256.isEmpty());
    }
}

// An Adobe RGB photo (made from a shared photo with the image library and a profile from a
// Debian package) comes out with the colours of the photo itself; read as sRGB its colours
// would be far duller.
TEST(PhotoColours, TaggedPhotoConvertedToSrgb)
{
    QTemporaryDir dir;
    const QString photo = kData + u"photos/mde_HTC_One.jpg"_s;
    const QString adobe = dir.filePath(u"adobe.tif"_s);
    const vips::VImage srgb = vips::VImage::new_from_file(QFile::encodeName(photo).constData());
    srgb.icc_transform("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc",
                       vips::VImage::option()->set("input_profile", "srgb")->set("embedded", false))
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(QFile::encodeName(adobe).constData());
    const auto reference = load(photo), converted = load(adobe);
    ASSERT_TRUE(reference && converted);
    double difference = 0;
    for (int y = 0; y < 88; ++y)
        for (int x = 0; x < 140; ++x) {
            const QRgb a = reference->bitmap.pixel(x, y), b = converted->bitmap.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LT(difference / (140 * 88 * 3), 2.0);
}
