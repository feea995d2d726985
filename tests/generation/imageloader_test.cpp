#include "core/filenames.h"
#include "generation/decodequeue.h"
#include "generation/imageloader.h"
#include "hostilefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>
#pragma push_macro("signals")
#undef signals
#include <vips/vips8>
#pragma pop_macro("signals")

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QString kData = QStringLiteral(PAGORRA_TESTDATA);

// A photo-like test picture with a distinct colour in every quadrant, written as a real file.
QString writeQuadrants(const QTemporaryDir &dir, const QString &name, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           (x < w / 2) ? (y < h / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255))
                                       : (y < h / 2 ? qRgb(0, 255, 0) : qRgb(255, 255, 0)));
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
}

bool near(QRgb a, QColor b, int tolerance = 40)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

// The smallest rectangle of pixels that differ from the background.
QRect paintedRect(const QImage &image, QRgb background)
{
    QRect r;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!near(image.pixel(x, y), QColor(background), 8))
                r |= QRect(x, y, 1, 1);
    return r;
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasured = false; // shadow memory grows with every byte touched
#else
constexpr bool kMemoryMeasured = true;
#endif
// The batch tool must stay under 250 MB whatever it reads, about 50 of them its own; a
// hostile file is refused, or read by its first page, before its claims cost anything.
constexpr long kMaxGrowthMB = 200;
constexpr long kMaxHostileGrowthMB = 16;

// How far the process's resident memory rose above what it held when `work` began, in MB.
long growthMB(const std::function<void()> &work)
{
    auto status = [](const char *field) {
        QFile f(u"/proc/self/status"_s);
        f.open(QIODevice::ReadOnly);
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(int(strlen(field))).trimmed().split(' ').value(0).toLong() / 1024;
        return 0L;
    };
    QFile clear(u"/proc/self/clear_refs"_s); // "5" restarts the peak from the current size
    EXPECT_TRUE(clear.open(QIODevice::WriteOnly) && clear.write("5") == 1);
    clear.close();
    const long before = status("VmRSS:");
    work();
    return status("VmHWM:") - before;
}

} // namespace

struct PixelCase {
    int w, h;
    LoadAs loadAs;
    QSize box;
    QSize canvas;
    QRect drawn;
};

class LoaderPixels : public ::testing::TestWithParam<PixelCase> {};

TEST_P(LoaderPixels, CanvasAndDrawnAreaOnRealPixels)
{
    const auto &c = GetParam();
    QTemporaryDir dir;
    const QString path = writeQuadrants(dir, u"q.png"_s, c.w, c.h);
    const std::int32_t back = 0x00808080; // grey
    auto pic = loadPicture({path, c.loadAs, c.box.width(), c.box.height(), back, true});
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->actualWidth, c.w);
    EXPECT_EQ(pic->actualHeight, c.h);
    ASSERT_EQ(pic->bitmap.size(), c.canvas);
    EXPECT_EQ(paintedRect(pic->bitmap, qRgb(128, 128, 128)), c.drawn);
    // quadrant colours land in the matching corners of the drawn area
    const QRect d = c.drawn;
    EXPECT_TRUE(near(pic->bitmap.pixel(d.left() + 1, d.top() + 1), Qt::red));
    EXPECT_TRUE(near(pic->bitmap.pixel(d.right() - 1, d.top() + 1), Qt::green));
    EXPECT_TRUE(near(pic->bitmap.pixel(d.left() + 1, d.bottom() - 1), Qt::blue));
    EXPECT_TRUE(near(pic->bitmap.pixel(d.right() - 1, d.bottom() - 1), Qt::yellow));
}

// Sizes and places follow the fit-inside rule and round halves to the even pixel.
INSTANTIATE_TEST_SUITE_P(
    Cases, LoaderPixels,
    ::testing::Values(PixelCase{400, 300, LoadAs::Fixed, {140, 88}, {140, 88}, {12, 0, 117, 88}},
                      PixelCase{100, 50, LoadAs::Fixed, {200, 200}, {200, 200}, {0, 50, 200, 100}},
                      PixelCase{100, 50, LoadAs::OwnSize, {200, 200}, {100, 50}, {0, 0, 100, 50}},
                      PixelCase{100, 50, LoadAs::FitInside, {200, 200}, {100, 50}, {0, 0, 100, 50}}, // never enlarged
                      PixelCase{400, 300, LoadAs::FitInside, {140, 88}, {117, 88}, {0, 0, 117, 88}},
                      PixelCase{280, 176, LoadAs::Fixed, {140, 88}, {140, 88}, {0, 0, 140, 88}}, // same aspect
                      PixelCase{300, 400, LoadAs::Fixed, {140, 88}, {140, 88}, {37, 0, 66, 88}},
                      PixelCase{300, 400, LoadAs::FitInside, {140, 88}, {66, 88}, {0, 0, 66, 88}},
                      PixelCase{100, 100, LoadAs::Fixed, {197, 100}, {197, 100}, {48, 0, 100, 100}}, // 48.5
                      PixelCase{100, 100, LoadAs::Fixed, {199, 100}, {199, 100}, {50, 0, 100, 100}}, // 49.5
                      PixelCase{400, 200, LoadAs::FitInside, {200, 100}, {200, 100}, {0, 0, 200, 100}}));

TEST(LoaderOrientation, TaggedPicturesComeOutUpright)
{
    // Every sample of a series shows the same upright picture whatever its orientation tag;
    // the reference is the one tagged 1.
    struct Series {
        const char *pattern;
        QSize box;
    };
    const Series series[] = {
        {"Landscape_%1.jpg", {60, 60}}, {"Portrait_%1.jpg", {60, 60}}, {"pillow_g4_orientation_%1.tif", {300, 60}}};
    for (const Series &s : series) {
        const QString pattern = kData + u"/orientation/"_s + QString::fromLatin1(s.pattern);
        auto load = [&](int o) {
            return loadPicture({pattern.arg(o), LoadAs::Fixed, s.box.width(), s.box.height(), 0x00FFFFFF, true});
        };
        const auto reference = load(1);
        ASSERT_TRUE(reference);
        for (int o = 2; o <= 8; ++o) {
            SCOPED_TRACE(pattern.arg(o).toStdString());
            const auto pic = load(o);
            ASSERT_TRUE(pic);
            EXPECT_EQ(pic->actualWidth, reference->actualWidth);
            EXPECT_EQ(pic->actualHeight, reference->actualHeight);
            int differing = 0, samples = 0;
            for (int y = 2; y < s.box.height(); y += 5)
                for (int x = 2; x < s.box.width(); x += 5, ++samples)
                    differing += !near(pic->bitmap.pixel(x, y), QColor(reference->bitmap.pixel(x, y)), 60);
            EXPECT_LE(differing, samples / 20);
        }
    }
}

TEST(LoaderFormats, EveryValidFileDecodes)
{
    for (const char *folder : {"bmp", "gif", "jpeg", "png", "tiff", "misnamed"}) {
        QDir dir(kData + u"/formats/"_s + QString::fromLatin1(folder));
        const QStringList files = dir.entryList(QDir::Files);
        ASSERT_FALSE(files.isEmpty()) << folder;
        for (const QString &file : files) {
            SCOPED_TRACE(file.toStdString());
            auto pic = loadPicture({dir.filePath(file), LoadAs::Fixed, 140, 88, 0x00FFFFFF, true});
            ASSERT_TRUE(pic);
            EXPECT_EQ(pic->bitmap.size(), QSize(140, 88));
            EXPECT_GT(pic->actualWidth, 0);
        }
    }
}

// A hang here is caught by the test's time limit in CTest.
TEST(LoaderCorrupt, EveryBrokenFileEndsWithoutCrashing)
{
    QDir dir(kData + u"/corrupt"_s);
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_GE(files.size(), 50);
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        auto pic = loadPicture({dir.filePath(file), LoadAs::Fixed, 140, 88, 0x00FFFFFF, true});
        // Either outcome is fine; a picture, when there is one, has the canvas size.
        EXPECT_EQ(pic ? pic->bitmap.size() : QSize(140, 88), QSize(140, 88));
        // Unscaled, the whole image goes through the decoder.
        const auto own = loadPicture({dir.filePath(file), LoadAs::OwnSize, 0, 0, 0x00FFFFFF, true});
        EXPECT_TRUE(!own || own->bitmap.size() == QSize(own->actualWidth, own->actualHeight));
    }
}

// A missing file, a text file named .jpg, a decompression bomb (613 bytes claiming
// 49157 x 27397 pixels, about 4 GB decoded) and BMPs cut short (their missing rows would be
// whatever memory held) give no picture; the bomb is refused from its header.
TEST(LoaderCorrupt, RefusedFilesGiveNoPicture)
{
    EXPECT_TRUE(plausibleImageSize(4000, 4000, 2000)); // small enough to afford anyway
    EXPECT_FALSE(plausibleImageSize(40000, 40000, 100'000'000));
    const QString bomb = kData + u"/corrupt/mde_its_6903d4538fd33c8fd0ded32cb30d618e.jpg"_s;
    ASSERT_EQ(QFileInfo(bomb).size(), 613);
    QTemporaryDir dir;
    QFile text(dir.filePath(u"notes.jpg"_s));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just text");
    text.close();
    for (const QString &path :
         {bomb, u"/nonexistent/x.jpg"_s, text.fileName(), kData + u"/corrupt/bmpsuite_b_shortfile.bmp"_s,
          kData + u"/corrupt/made_trunc50pct_hopper.bmp"_s})
        for (LoadAs mode : {LoadAs::OwnSize, LoadAs::Fixed})
            EXPECT_FALSE(loadPicture({path, mode, 140, 88, 0x00FFFFFF, true})) << path.toStdString();
}

// Each kind would cost an unguarded decoder gigabytes or minutes, or draw a document as a
// photo; the one real picture among them must be read whatever its name holds.
TEST(LoaderHostile, EveryKindRefusedCleanlyWithinTheLimits)
{
    QTemporaryDir dir;
    const QList<HostileFile> files = writeHostileFiles(dir.path());
    ASSERT_EQ(files.size(), 12);
    for (const HostileFile &f : files) {
        SCOPED_TRACE(f.kind.toStdString());
        bool placed = false;
        const long growth = growthMB([&] {
            placed = bool(loadPicture({f.path, LoadAs::Fixed, 140, 88, 0xFFFFFF, true}));
        });
        EXPECT_EQ(placed, f.picture);
        if (kMemoryMeasured) {
            EXPECT_LT(growth, kMaxHostileGrowthMB);
        }
        // Documents and drawings stay out even when the image library is asked for them.
        if (f.kind.startsWith(u"PDF"_s) || f.kind.startsWith(u"SVG"_s)) {
            EXPECT_THROW(vips::VImage::new_from_file(QFile::encodeName(f.path).constData()), vips::VError);
        }
        ::unlink(nativePath(f.path).constData()); // a name QDir cannot remove
    }
}

// A real photo made progressive without loss holds 133 MB of coefficients while it decodes:
// however many threads decode, they take turns. Each is shrunk on load and still fills its
// cell exactly: 5760 x 3840 (1.5) into 140 x 88 (1.59) is drawn 132 x 88 at x = 4.
TEST(LoaderHostile, ProgressivePhotosDecodeInTurnsAtAnyThreadCount)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(u"p0.jpg"_s);
    const QString photo = kData + u"/photos/mde_Canon_EOS_5D_Mark_III_5760x3840.jpg"_s;
    ASSERT_EQ(QProcess::execute(u"jpegtran"_s, {u"-progressive"_s, u"-copy"_s, u"all"_s, u"-outfile"_s, first, photo}),
              0);
    QStringList paths{first};
    for (int i = 1; i < 4; ++i) {
        paths << dir.filePath(u"p%1.jpg"_s.arg(i));
        ASSERT_TRUE(QFile::copy(first, paths.last()));
    }
    std::vector<std::optional<LoadedPicture>> pictures;
    const long growth = growthMB([&] {
        DecodeQueue queue(paths, {QString(), LoadAs::Fixed, 140, 88, 0xFFFFFF, true}, 4, 4);
        for (int i = 0; i < paths.size(); ++i)
            pictures.push_back(queue.take(i, {}).picture);
    });
    for (const auto &picture : pictures) {
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->actualWidth, 5760);
        EXPECT_EQ(picture->bitmap.size(), QSize(140, 88));
        EXPECT_EQ(picture->bitmap.pixel(3, 44), qRgb(255, 255, 255));
        EXPECT_NE(picture->bitmap.pixel(4, 44), qRgb(255, 255, 255));
        EXPECT_EQ(picture->bitmap.pixel(136, 44), qRgb(255, 255, 255));
    }
    if (kMemoryMeasured) {
        EXPECT_LT(growth, kMaxGrowthMB);
    }
}
