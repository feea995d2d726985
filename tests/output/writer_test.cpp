#include "core/runtimeerror.h"
#include "output/pagewriter.h"

#include "writer_support.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace pagorra;
using namespace pagorra::testing;

namespace {

struct FormatCase {
    ImageFormat format;
    const char *extension;
    int maxDifference; // 0 = lossless
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.extension;
}

// Lowers the file size limit for this process while it lives; writes past it fail with EFBIG.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

  private:
    rlimit m_saved{};
};

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::Dirs, QDir::Name);
}

} // namespace

class EachFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EachFormat, WritesThePagePixelsForAnIndependentDecoder)
{
    const FormatCase &c = GetParam();
    QTemporaryDir dir;
    // GIF holds 256 colours at most: its page is a flat one, every other format gets a photo.
    const QImage page = c.format == ImageFormat::Gif ? flatPage(5) : richPage();
    const QString path = dir.filePath(QStringLiteral("Sheet1.") + QString::fromUtf8(c.extension));

    QString error;
    ASSERT_TRUE(createPageWriter(c.format)->write(page, path, error)) << error.toStdString();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()}) << "no temporary file may stay";

    QImage decoded;
    if (c.format == ImageFormat::Pdf) {
        EXPECT_EQ(pdfPageCount(path), 1);
        // The page is the image at 96 pixels per inch: 160 x 120 pixels = 120 x 90 points.
        EXPECT_TRUE(
            QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {path})).contains(QStringLiteral("120 x 90 pts")));
        const QList<QImage> images = pdfEmbeddedImages(path, dir.path());
        ASSERT_EQ(images.size(), 1);
        decoded = images.first();
    } else {
        decoded = decodeWithMagick(path);
    }
    ASSERT_EQ(decoded.size(), page.size());
    if (c.maxDifference == 0)
        EXPECT_EQ(maxChannelDifference(decoded, page), 0);
    else
        EXPECT_LT(meanChannelDifference(decoded, page), c.maxDifference);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EachFormat,
    ::testing::Values(FormatCase{ImageFormat::Bmp, "bmp", 0}, FormatCase{ImageFormat::Gif, "gif", 0},
                      FormatCase{ImageFormat::Jpeg, "jpg", 4}, FormatCase{ImageFormat::Tiff, "tif", 0},
                      FormatCase{ImageFormat::Psd, "psd", 0}, FormatCase{ImageFormat::Pcx, "pcx", 0},
                      FormatCase{ImageFormat::Pdf, "pdf", 0}, FormatCase{ImageFormat::Png, "png", 0}));

TEST(PageWriter, ReplacesAnExistingFileOfTheSameName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.png"));
    QString error;
    ASSERT_TRUE(createPageWriter(ImageFormat::Png)->write(flatPage(1), path, error));
    ASSERT_TRUE(createPageWriter(ImageFormat::Png)->write(flatPage(2), path, error));
    EXPECT_EQ(maxChannelDifference(decodeWithMagick(path), flatPage(2)), 0);
}

// Tests run as root, where permissions stop nothing: a folder that cannot exist (its parent
// is a regular file) and a target that is a folder fail for root as for anybody.
TEST(PageWriter, FolderThatCannotTakeFilesReportsAndLeavesNothing)
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("plain-file"));
    {
        QFile f(notAFolder);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Tiff, ImageFormat::Bmp, ImageFormat::Pdf}) {
        const QString path = notAFolder + QStringLiteral("/page.out");
        QString error;
        EXPECT_FALSE(createPageWriter(format)->write(flatPage(1), path, error));
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("plain-file")});
    QFile f(notAFolder);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep"));
}

TEST(PageWriter, FailureAtTheLastStepRemovesTheTemporaryFile)
{
    QTemporaryDir dir;
    // The encoder succeeds, the rename onto a folder does not.
    const QString target = dir.filePath(QStringLiteral("taken.png"));
    ASSERT_TRUE(QDir().mkdir(target));
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Pdf}) {
        QString error;
        EXPECT_FALSE(createPageWriter(format)->write(richPage(), target, error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("taken.png")});
    EXPECT_TRUE(QFileInfo(target).isDir());
}

// A file size limit makes the encoder fail half-way, as a full disk does, for root as well.
TEST(PageWriter, EncoderFailingHalfWayKeepsTheOldFileAndLeavesNoTemporary)
{
    QTemporaryDir dir;
    const QImage big = richPage(400, 300);
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Tiff, ImageFormat::Bmp, ImageFormat::Jpeg,
                               ImageFormat::Gif, ImageFormat::Pdf}) {
        const QString path = dir.filePath(QStringLiteral("page.out"));
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write("old page");
        }
        QString error;
        bool written = true;
        {
            FileSizeLimit limit(2048);
            written = createPageWriter(format)->write(big, path, error);
        }
        EXPECT_FALSE(written) << "format " << int(format);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("page.out")}) << "format " << int(format);
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("old page"));
    }
}

TEST(PageWriter, RefusesPagesItCannotWrite)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(createPageWriter(ImageFormat::Png)->write(QImage(), dir.filePath(QStringLiteral("a.png")), error));
    EXPECT_FALSE(createPageWriter(ImageFormat::Png)
                     ->writePages({flatPage(1), flatPage(2)}, dir.filePath(QStringLiteral("b.png")), error));
    EXPECT_FALSE(createPageWriter(ImageFormat::Tiff)
                     ->writePages({flatPage(1), richPage()}, dir.filePath(QStringLiteral("c.tif")), error));
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());

    try {
        writePageFile(flatPage(1), dir.filePath(QStringLiteral("d.xyz")));
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
