#include "core/runtimeerror.h"
#include "output/pagewriter.h"

#include "writer_support.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string_view>

using namespace pagorra;
using namespace Qt::StringLiterals;
using namespace pagorra::testing;

namespace {

struct FormatCase {
    ImageFormat format;
    const char *extension;
    int maxMeanDifference; // 0 = lossless, compared exactly
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.extension;
}


QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

} // namespace

class EachFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EachFormat, WritesThePagePixelsForAnIndependentDecoder)
{
    const FormatCase &c = GetParam();
    QTemporaryDir dir;
    // GIF holds 256 colours at most: it gets a flat page, every other format a photo.
    const QImage page = c.format == ImageFormat::Gif ? flatPage(5) : richPage();
    const QString path = dir.filePath(u"Sheet1."_s + QString::fromUtf8(c.extension));
    // An older file of the same name is replaced.
    writeFile(path, "old");

    QString error;
    ASSERT_TRUE(createPageWriter(c.format)->write(page, path, error)) << error.toStdString();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()}) << "no temporary file may stay";

    QImage decoded;
    if (c.format == ImageFormat::Pdf) {
        // The page is the image at 96 pixels per inch: 160 x 120 pixels = 120 x 90 points.
        EXPECT_TRUE(pdfInfo(path, u"Page size"_s).startsWith(u"120 x 90 pts"_s));
        const QList<QImage> images = pdfEmbeddedImages(path);
        ASSERT_EQ(images.size(), 1);
        decoded = images.first();
    } else {
        decoded = decodeWithMagick(path);
    }
    ASSERT_EQ(decoded.size(), page.size());
    if (c.maxMeanDifference == 0)
        EXPECT_EQ(channelDifference(decoded, page), 0);
    else
        EXPECT_LT(channelDifference(decoded, page, true), c.maxMeanDifference);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EachFormat,
    ::testing::Values(FormatCase{ImageFormat::Bmp, "bmp", 0}, FormatCase{ImageFormat::Gif, "gif", 0},
                      FormatCase{ImageFormat::Jpeg, "jpg", 4}, FormatCase{ImageFormat::Tiff, "tif", 0},
                      FormatCase{ImageFormat::Psd, "psd", 0}, FormatCase{ImageFormat::Pcx, "pcx", 0},
                      FormatCase{ImageFormat::Pdf, "pdf", 0}, FormatCase{ImageFormat::Png, "png", 0}));

// Tests run as root, where permissions stop nothing, so the failures are made in ways that
// stop root too: a "folder" that is a regular file, a target that is a folder, a size limit
// that makes the encoder fail half-way. Each must report, keep what was there and leave no
// temporary file.
struct FailureCase {
    const char *name;
    std::function<QString(const QString &dir)> prepare; // returns the target path
};

class WriteFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(WriteFailure, ReportsKeepsWhatWasThereAndLeavesNothing)
{
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Tiff, ImageFormat::Bmp, ImageFormat::Jpeg,
                               ImageFormat::Gif, ImageFormat::Pdf}) {
        QTemporaryDir dir;
        const QString path = GetParam().prepare(dir.path());
        const QStringList before = filesIn(dir.path());
        const QByteArray kept = contents(dir.filePath(before.first()));
        QString error;
        bool written = true;
        {
            std::optional<FileSizeLimit> limit;
            if (std::string_view(GetParam().name) == "EncoderFailsHalfWay")
                limit.emplace(2048);
            written = createPageWriter(format)->write(richPage(400, 300), path, error);
        }
        EXPECT_FALSE(written) << "format " << int(format);
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_EQ(filesIn(dir.path()), before) << "format " << int(format);
        EXPECT_EQ(contents(dir.filePath(before.first())), kept);
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, WriteFailure,
                         ::testing::Values(FailureCase{"FolderIsAFile",
                                                       [](const QString &dir) {
                                                           writeFile(dir + u"/plain-file"_s, "keep");
                                                           return dir + u"/plain-file/page.out"_s;
                                                       }},
                                           FailureCase{"TargetIsAFolder",
                                                       [](const QString &dir) {
                                                           QDir(dir).mkdir(u"taken.png"_s);
                                                           return dir + u"/taken.png"_s;
                                                       }},
                                           FailureCase{"EncoderFailsHalfWay",
                                                       [](const QString &dir) {
                                                           writeFile(dir + u"/page.out"_s, "old page");
                                                           return dir + u"/page.out"_s;
                                                       }}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PageWriter, RefusesPagesItCannotWrite)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(createPageWriter(ImageFormat::Png)->write(QImage(), dir.filePath(u"a.png"_s), error));
    EXPECT_FALSE(
        createPageWriter(ImageFormat::Png)->writePages({flatPage(1), flatPage(2)}, dir.filePath(u"b.png"_s), error));
    EXPECT_FALSE(
        createPageWriter(ImageFormat::Tiff)->writePages({flatPage(1), richPage()}, dir.filePath(u"c.tif"_s), error));
    try {
        writePageFile(flatPage(1), dir.filePath(u"d.xyz"_s));
        ADD_FAILURE() << "an unknown extension must fail";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PathFileAccess);
    }
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // text drawing and PDF writing need it
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
