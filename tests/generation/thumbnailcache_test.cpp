#include "generation/thumbnailcache.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// A BMP of one colour: two of the same size are files of the same length.
void writePicture(const QString &path, QColor colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path, "BMP"));
}

LoadRequest cellRequest(const QString &path, int width = 40)
{
    LoadRequest request;
    request.path = path;
    request.loadAs = LoadAs::Fixed;
    request.fixedWidth = width;
    request.fixedHeight = 40;
    return request;
}

qint64 folderBytes(const QString &folder)
{
    qint64 bytes = 0;
    for (QDirIterator it(folder, QDir::Files); it.hasNext();)
        bytes += it.nextFileInfo().size();
    return bytes;
}

void setModified(const QString &path, const struct timespec &when)
{
    const struct timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

struct fileChange {
    const char *name;
    bool replaceByRename; // a new file renamed over the old one, else rewritten in place
};

class ChangedFile : public ::testing::TestWithParam<fileChange> {};

// The file is rewritten with other pixels of the same length and its modification time set
// back, as copying tools do: whichever cache (memory or disk) is asked, the new pixels come.
TEST_P(ChangedFile, IsNeverServedFromTheCache)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"photo.bmp"_s);
    writePicture(path, Qt::red);
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);

    ThumbnailCache cache(dir.filePath(u"cache"_s), 1 << 20);
    const LoadRequest request = cellRequest(path);
    const std::optional<LoadedPicture> first = cache.load(request);
    ASSERT_TRUE(first);
    // Unchanged: the same picture, metadata and digest, from the cache.
    const std::optional<LoadedPicture> again = cache.load(request);
    ASSERT_TRUE(again);
    EXPECT_EQ(cache.hits(), 1);
    EXPECT_EQ(again->bitmap, first->bitmap);
    EXPECT_EQ(again->info.size, first->info.size);
    EXPECT_EQ(again->actualWidth, first->actualWidth);

    if (GetParam().replaceByRename) {
        writePicture(path + u".new"_s, Qt::blue);
        ASSERT_TRUE(QFile::remove(path) && QFile::rename(path + u".new"_s, path));
    } else {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray bytes = file.readAll();
        QImage blue(64, 48, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        QByteArray other;
        QBuffer buffer(&other);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && blue.save(&buffer, "BMP"));
        ASSERT_EQ(other.size(), bytes.size());
        ASSERT_TRUE(file.seek(0) && file.write(other) == other.size());
    }
    setModified(path, before.st_mtim);

    const std::optional<LoadedPicture> direct = loadPicture(request);
    ThumbnailCache fromDisk(dir.filePath(u"cache"_s), 1 << 20);
    for (ThumbnailCache *asked : {&cache, &fromDisk}) {
        const std::optional<LoadedPicture> now = asked->load(request);
        ASSERT_TRUE(now && direct);
        EXPECT_EQ(now->bitmap, direct->bitmap);
        EXPECT_NE(now->bitmap, first->bitmap);
    }
}

INSTANTIATE_TEST_SUITE_P(Cache, ChangedFile,
                         ::testing::Values(fileChange{"InPlace", false}, fileChange{"Renamed", true}),
                         [](const auto &info) { return std::string(info.param.name); });

// The files never take more than the limit, the least recently used going first; a lower
// limit trims at once, and clearing leaves no thumbnail behind.
TEST(ThumbnailCacheLimit, Holds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"photo.bmp"_s);
    writePicture(path, Qt::darkGreen);
    const QString folder = dir.filePath(u"cache"_s);
    ThumbnailCache probe(folder, 1 << 20);
    ASSERT_TRUE(probe.load(cellRequest(path)));
    const qint64 entry = probe.diskBytes();
    ASSERT_GT(entry, 0);
    probe.clear();
    EXPECT_EQ(folderBytes(folder), 0);

    // Room for three entries (each cell width makes one of about the same size).
    const qint64 limit = entry * 3 + entry / 2;
    ThumbnailCache cache(folder, limit, 0);
    for (int width = 40; width < 50; ++width) {
        ASSERT_TRUE(cache.load(cellRequest(path, width)));
        EXPECT_LE(folderBytes(folder), limit);
        // The first stays the most recently used, so it is never the one to go.
        ASSERT_TRUE(cache.load(cellRequest(path, 40)));
    }
    EXPECT_EQ(cache.diskBytes(), folderBytes(folder));
    EXPECT_EQ(cache.hits(), 10);
    EXPECT_GE(folderBytes(folder), entry * 2);

    cache.setDiskLimit(entry + entry / 2);
    EXPECT_LE(folderBytes(folder), entry + entry / 2);
    ASSERT_TRUE(cache.load(cellRequest(path, 40)));
    EXPECT_EQ(cache.hits(), 11);
    cache.clear();
    EXPECT_EQ(folderBytes(folder), 0);
}

} // namespace
