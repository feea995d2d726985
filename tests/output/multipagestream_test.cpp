// Documents written page by page: what they hold, and what is left when they fail or are
// dropped before the end.
#include "batch/pagefilewriter.h"
#include "core/runtimeerror.h"
#include "output/pagewriter.h"

#include "writer_support.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>


using namespace pagorra;
using namespace pagorra::testing;

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contents);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A photo page first (thousands of colours, so a lossy step would show), then numbered pages.
QList<QImage> documentPages(int count)
{
    QList<QImage> pages{richPage(96, 64)};
    for (int k = 2; k <= count; ++k)
        pages << flatPage(k);
    return pages;
}

struct KindCase {
    ImageFormat format;
    const char *fileName;
};

void PrintTo(const KindCase &c, std::ostream *os)
{
    *os << c.fileName;
}

class PageByPage : public ::testing::TestWithParam<KindCase> {
  protected:
    QString target(const QTemporaryDir &dir) const { return dir.filePath(QString::fromUtf8(GetParam().fileName)); }
    bool isPdf() const { return GetParam().format == ImageFormat::Pdf; }

    // The pages of a written document in order, decoded by tools that share no code with ours.
    QList<QImage> readBack(const QString &path) const
    {
        if (isPdf()) {
            const QList<QImage> images = pdfEmbeddedImages(path);
            EXPECT_EQ(pdfPageCount(path), int(images.size()));
            return images;
        }
        const int directories = tiffDirectoryCount(path);
        EXPECT_EQ(directories, identify(path, u"%n\n"_s).section(u'\n', 0, 0).toInt());
        QList<QImage> images;
        for (int i = 0; i < directories; ++i)
            images << decodeWithMagick(path, i);
        return images;
    }
};

} // namespace

TEST_P(PageByPage, AppearsOnlyAtCommitWithEveryPageInOrder)
{
    QTemporaryDir dir;
    const QString path = target(dir);
    writeFile(path, "old document");
    const QList<QImage> pages = documentPages(6);

    QString error;
    std::unique_ptr<PageDocument> document = createPageWriter(GetParam().format)->begin(path, error);
    ASSERT_TRUE(document) << error.toStdString();
    for (const QImage &page : pages) {
        // The caller's copy goes as soon as the page is added, as the batch tool's does.
        QImage own = page.copy();
        ASSERT_TRUE(document->addPage(own, error)) << error.toStdString();
    }
    EXPECT_EQ(document->pageCount(), 6);
    EXPECT_EQ(readFile(path), QByteArray("old document")) << "the old file stays until the new one is complete";
    EXPECT_EQ(filesIn(dir.path()).size(), 2) << "the document grows under a temporary name beside it";

    ASSERT_TRUE(document->commit(error)) << error.toStdString();
    document.reset();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()});
    const QList<QImage> decoded = readBack(path);
    ASSERT_EQ(decoded.size(), pages.size());
    for (qsizetype i = 0; i < pages.size(); ++i)
        EXPECT_EQ(channelDifference(decoded[i], pages[i]), 0) << "page " << i + 1;
}

TEST_P(PageByPage, AbandonedOrDroppedLeavesNothingAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = target(dir);
    writeFile(path, "old document");
    const auto writer = createPageWriter(GetParam().format);
    QString error;
    for (bool explicitly : {true, false}) {
        std::unique_ptr<PageDocument> document = writer->begin(path, error);
        ASSERT_TRUE(document);
        ASSERT_TRUE(document->addPage(flatPage(1), error));
        ASSERT_TRUE(document->addPage(flatPage(2), error));
        if (explicitly) {
            document->abandon();
            EXPECT_FALSE(document->addPage(flatPage(3), error)) << "an abandoned document takes no page";
            EXPECT_FALSE(document->commit(error));
        }
        document.reset();
        EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()});
        EXPECT_EQ(readFile(path), QByteArray("old document"));
    }
}

TEST_P(PageByPage, FailureHalfWayThroughLeavesNothingAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = target(dir);
    writeFile(path, "old document");
    QString error;
    std::unique_ptr<PageDocument> document = createPageWriter(GetParam().format)->begin(path, error);
    ASSERT_TRUE(document);
    ASSERT_TRUE(document->addPage(flatPage(1), error));
    {
        // The first page is in the file already; the photo pages that follow do not fit.
        FileSizeLimit limit(QFileInfo(path).size() + 6000);
        bool added = true;
        for (int k = 0; k < 4 && added; ++k)
            added = document->addPage(richPage(96, 64), error);
        if (added)
            added = document->commit(error);
        EXPECT_FALSE(added);
    }
    EXPECT_TRUE(error.startsWith(QStringLiteral("Could not write '") + path + u'\'')) << error.toStdString();
    EXPECT_FALSE(document->commit(error)) << "a failed document cannot be committed after all";
    document.reset();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()});
    EXPECT_EQ(readFile(path), QByteArray("old document"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, PageByPage,
                         ::testing::Values(KindCase{ImageFormat::Tiff, "book.tif"},
                                           KindCase{ImageFormat::Pdf, "book.pdf"}),
                         [](const auto &info) { return info.param.format == ImageFormat::Pdf ? "Pdf" : "Tiff"; });

TEST(PageByPage, PdfPagesKeepTheirOwnSizes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mixed.pdf"));
    QString error;
    ASSERT_TRUE(createPageWriter(ImageFormat::Pdf)->writePages({flatPage(1), richPage(160, 120)}, path, error));
    // 96 pixels per inch: 96 x 64 pixels = 72 x 48 points, 160 x 120 = 120 x 90.
    const QString info =
        QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                                              QStringLiteral("-l"), QStringLiteral("2"), path}))
            .simplified();
    EXPECT_TRUE(info.contains(QStringLiteral("Page 1 size: 72 x 48 pts"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Page 2 size: 120 x 90 pts"))) << info.toStdString();
}

// The batch tool's document: pages go in as the run makes them, the file appears at finish().
TEST(BatchDocument, AppearsAtFinishAndAFailureIsRaisedThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Run.tif"));
    {
        PageFileWriter writer(path, true);
        for (int n = 1; n <= 3; ++n)
            writer.write(flatPage(n), n);
        EXPECT_FALSE(QFile::exists(path));
        writer.finish();
        EXPECT_EQ(writer.pagesWritten(), 3);
        EXPECT_EQ(writer.written(), QStringList{path});
    }
    EXPECT_EQ(tiffDirectoryCount(path), 3);
    EXPECT_EQ(channelDifference(decodeWithMagick(path, 2), flatPage(3)), 0);

    // A run dropped before finish(), as after a failed generation, leaves the last document.
    {
        PageFileWriter writer(path, true);
        writer.write(flatPage(7), 1);
    }
    EXPECT_EQ(tiffDirectoryCount(path), 3);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Run.tif")});

    // A page that cannot be written: the rest of the run is taken and dropped, finish() raises.
    PageFileWriter writer(path, true);
    writer.write(flatPage(1), 1);
    writer.write(QImage(), 2);
    writer.write(flatPage(3), 3);
    try {
        writer.finish();
        ADD_FAILURE() << "the failed document must be reported";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PathFileAccess);
        EXPECT_EQ(e.description(), QStringLiteral("Could not write '%1': a page holds no image").arg(path));
    }
    EXPECT_EQ(writer.pagesWritten(), 0);
    EXPECT_TRUE(writer.written().isEmpty());
    EXPECT_EQ(tiffDirectoryCount(path), 3);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Run.tif")});
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // PDF writing needs it
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
