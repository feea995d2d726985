#include "core/runtimeerror.h"
#include "output/pagewriter.h"

#include "writer_support.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace pagorra;
using namespace pagorra::testing;

struct FormatCase {
    ImageFormat format;
    const char *extension;
    double maxMeanDifference; // 0 = lossless
    const char *profile;      // the ICC profile's description; formats without one: empty
};

class EachFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EachFormat, WritesThePagePixelsAndResolutionForAnIndependentDecoder)
{
    const FormatCase &c = GetParam();
    QTemporaryDir dir;
    // GIF holds 256 colours at most: it gets a flat page, every other format a photo.
    const QImage page = c.format == ImageFormat::Gif ? flatPage(5) : richPage();
    // Taken literally, though libraries read "%d" as a number template and "[...]" as options.
    const QString path = dir.filePath(u"50%off %d[0]."_s + QString::fromUtf8(c.extension));
    const QString plain = dir.filePath(u"read."_s + QString::fromUtf8(c.extension)); // readers parse names too
    writeFile(path, "old"); // an older file of the same name is replaced

    for (const int pixelsPerInch : {96, 300}) {
        WriteOptions options;
        if (pixelsPerInch != 96)
            options.pixelsPerInch = pixelsPerInch; // 96 is the default
        QString error;
        ASSERT_TRUE(createPageWriter(c.format, options)->write(page, path, error)) << error.toStdString();
        ASSERT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()}) << "no temporary file may stay";
        ASSERT_TRUE(QFile::rename(path, plain));

        QImage decoded;
        if (c.format == ImageFormat::Pdf) {
            // The page is the image at the resolution: 160 x 120 pixels at 96 per inch = 120 x 90 points.
            EXPECT_EQ(pdfInfo(plain, u"Page size"_s).section(u" pts"_s, 0, 0),
                      u"%1 x %2"_s.arg(160 * 72.0 / pixelsPerInch).arg(120 * 72.0 / pixelsPerInch));
            decoded = decodeDocument(plain).value(0);
            EXPECT_TRUE(runTool(u"pdfimages"_s, {u"-list"_s, plain}).simplified().contains(" image 160 120 icc 3 8 "));
        } else {
            // One frame of 8 bits a channel (a PSD holds no layer beside the composite image) at
            // the resolution, in whatever unit the format has; GIF has none.
            const QString inches = u"%[fx:round(resolution.x)]x%[fx:round(resolution.y)] %z-bit %[icc:description]|"_s;
            EXPECT_EQ(runTool(u"identify"_s, {u"-units"_s, u"PixelsPerInch"_s, u"-format"_s, inches, plain}),
                      u"%1x%1 8-bit %2|"_s.arg(c.format == ImageFormat::Gif ? 0 : pixelsPerInch)
                          .arg(QString::fromUtf8(c.profile))
                          .toUtf8());
            decoded = decodeWithMagick(plain);
        }
        EXPECT_EQ(decoded.size(), page.size());
        EXPECT_LE(channelDifference(decoded, page), c.maxMeanDifference);
        QFile::remove(plain);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EachFormat,
    ::testing::Values(FormatCase{ImageFormat::Bmp, "bmp", 0, ""}, FormatCase{ImageFormat::Gif, "gif", 0, ""},
                      FormatCase{ImageFormat::Jpeg, "jpg", 4, "sRGB"}, FormatCase{ImageFormat::Tiff, "tif", 0, "sRGB"},
                      FormatCase{ImageFormat::Psd, "psd", 0, ""}, FormatCase{ImageFormat::Pcx, "pcx", 0, ""},
                      FormatCase{ImageFormat::Pdf, "pdf", 0, ""}, FormatCase{ImageFormat::Png, "png", 0, "sRGB"}),
    [](const auto &info) { return std::string(info.param.extension); });

// Tests run as root, where permissions stop nothing, so the failures are made in ways that
// stop root too: a "folder" that is a regular file, a target that is a folder, a size limit
// that makes the encoder fail half-way as a full disk would. Each must report the file and
// the cause, keep what was there and leave no temporary file.
TEST(WriteFailure, NamesFileAndCauseKeepsWhatWasThereAndLeavesNothing)
{
    for (const auto &[target, reason] : {std::pair{"file/page.out", ENOTDIR}, {"folder", EISDIR}, {"file", EFBIG}}) {
        for (const OutputFormat &format : outputFormats()) {
            QTemporaryDir dir;
            writeFile(dir.filePath(u"file"_s), "old page");
            QDir(dir.path()).mkdir(u"folder"_s);
            const QString path = dir.filePath(QString::fromUtf8(target));
            QString error;
            bool written = true;
            {
                std::optional<FileSizeLimit> limit;
                if (reason == EFBIG)
                    limit.emplace(2048);
                written = createPageWriter(format.format)->write(richPage(400, 300), path, error);
            }
            SCOPED_TRACE(format.pattern.toStdString() + " into " + target);
            EXPECT_FALSE(written);
            EXPECT_EQ(error, u"Could not write '%1': %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(reason))));
            EXPECT_EQ(filesIn(dir.path()), (QStringList{u"file"_s, u"folder"_s}));
            EXPECT_EQ(readFile(dir.filePath(u"file"_s)), "old page");
        }
    }
}

TEST(PageWriter, RefusesPagesItCannotWrite)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(createPageWriter(ImageFormat::Png)->write(QImage(), dir.filePath(u"a.png"_s), error));
    EXPECT_FALSE(createPageWriter(ImageFormat::Png)->writePages(flatPages(2), dir.filePath(u"b.png"_s), error));
    EXPECT_FALSE(
        createPageWriter(ImageFormat::Tiff)->writePages({flatPage(1), richPage()}, dir.filePath(u"c.tif"_s), error));
    EXPECT_THROW(writePageFile(Page(), dir.filePath(u"d.xyz"_s)), RuntimeError);
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
}
