// Captions and footers of real runs over real photos, read back from what the pages hold.
#include "core/filenames.h"
#include "generation/captiontemplate.h"
#include "generation/captionvalues.h"
#include "generation/generationrun.h"
#include "generation/imageloader.h"
#include "generation/page.h"
#include "generation/pageset.h"
#include "output/placedtext.h"

#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QString kPhotos = u"" PAGORRA_TESTDATA "/photos"_s;

// The texts a page shows below `top`, in drawing order.
QStringList textsBelow(const Page &page, double top)
{
    QStringList texts;
    for (const auto &item : page.content().items)
        if (const auto *text = std::get_if<PageTextItem>(&item); text && text->topLeft.y() >= top)
            texts << text->text;
    return texts;
}

} // namespace

TEST(CaptionTemplate, ATokenWithoutValueTakesItsSeparatorAlong)
{
    const QHash<QString, QString> values{
        {u"name"_s, u"a.jpg"_s}, {u"lens"_s, u"Lens X"_s}, {u"exposure"_s, u"1/250"_s}, {u"iso"_s, u"100"_s}};
    const std::pair<QString, QString> cases[] = {
        {u"{camera}, {lens}"_s, u"Lens X"_s},
        {u"{exposure} f/{aperture} ISO {iso}"_s, u"1/250 ISO 100"_s},
        {u"{name} ({rating})"_s, u"a.jpg"_s},
        {u"{name}\n{camera}"_s, u"a.jpg"_s},
        {u"{page} {nmae} {name}"_s, u"{page} {nmae} a.jpg"_s}, // stored unchecked: shown as written
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(
            TextTemplate(text, TemplateKind::Caption).fill([&](const QString &t) { return values.value(t); }).text,
            expected)
            << text.toStdString();
}

// Real photos of the shared set, their captions filled from what the decoder parsed.
TEST(CaptionValues, NameDateCameraAndExposureAreWhatExiftoolReads)
{
    QProcess exiftool;
    exiftool.start(u"exiftool"_s, {u"-j"_s, u"-d"_s, u"%Y-%m-%dT%H:%M:%S"_s, u"-FileName"_s, u"-DateTimeOriginal"_s,
                                   u"-Model"_s, u"-ExposureTime"_s, kPhotos});
    ASSERT_TRUE(exiftool.waitForFinished(60000));
    const QJsonArray photos = QJsonDocument::fromJson(exiftool.readAllStandardOutput()).array();
    ASSERT_EQ(photos.size(), 19);
    for (const QJsonValue &photo : photos) {
        const QJsonObject exif = photo.toObject();
        const QString path = kPhotos + u'/' + exif[u"FileName"].toString();
        SCOPED_TRACE(path.toStdString());
        LoadRequest request;
        request.path = path, request.fixedWidth = 140, request.fixedHeight = 88;
        const std::optional<LoadedPicture> picture = loadPicture(request);
        ASSERT_TRUE(picture);
        const PhotoFacts facts{path, 1, QSize(picture->actualWidth, picture->actualHeight), &picture->info};
        const auto value = [&](const QString &token) { return captionValue(token, facts, {}).toStdString(); };
        EXPECT_EQ(value(u"name"_s), exif[u"FileName"].toString().toStdString());
        EXPECT_EQ(value(u"date"_s), exif[u"DateTimeOriginal"].toString().toStdString());
        EXPECT_THAT(value(u"camera"_s), ::testing::HasSubstr(exif[u"Model"].toString().trimmed().toStdString()));
        EXPECT_EQ(value(u"exposure"_s), exif[u"ExposureTime"].toVariant().toString().toStdString());
    }
}

// File names in many scripts under a real photo: each caption is drawn whole, in its cell, by
// fonts that have every glyph, right-to-left names from the right; a 200-character name is
// shortened in its middle, a character no font has is named, and both are counted.
TEST(Captions, EveryScriptIsDrawnWholeInItsCellAndWhatIsLostIsCounted)
{
    QTemporaryDir dir;
    const QString names[] = {
        u"صورة العائلة.jpg"_s,
        u"חופשה בים.jpg"_s,
        u"北京旅行.jpg"_s,
        u"東京の夜景 カメラ.jpg"_s,
        u"Ακρόπολη.jpg"_s,
        u"Party 🎉🦊.jpg"_s,
        u"Cafe\u0301 Zoe\u0308.jpg"_s,
        u"Start"_s + QString(191, u'x') + u".jpg"_s,
        u"Odd\u0378.jpg"_s,
    };
    QStringList paths;
    for (const QString &name : names) {
        paths << dir.filePath(name);
        ASSERT_EQ(::symlink(nativePath(kPhotos + u"/exifsamples_jolla.jpg"_s).constData(),
                            nativePath(paths.last()).constData()),
                  0);
    }
    RegistrySettings s = defaultSettings();
    s.ThumbnailWidth = 200, s.ThumbnailHeight = 125;
    s.Captions.Caption = u"{name}"_s;
    PageSet pages;
    NullProgress progress;
    const GenerationResult result = GenerationRun(s, paths, progress).run(pages);
    ASSERT_EQ(result.placed, 9);
    EXPECT_EQ(result.shortenedTexts, QStringList{paths[7]});
    ASSERT_EQ(result.missingGlyphs.size(), 1);
    EXPECT_EQ(result.missingGlyphs[0], std::pair(paths[8], u"\u0378"_s));

    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(3780), probe.setDotsPerMeterY(3780); // 96 per inch
    QRectF cell;
    int captions = 0;
    for (const auto &item : pages.page(0).content().items) {
        if (const auto *picture = std::get_if<PagePictureItem>(&item)) {
            cell = picture->rect;
            continue;
        }
        const auto &caption = std::get<PageTextItem>(item);
        const int k = captions++;
        SCOPED_TRACE(names[k].toStdString());
        EXPECT_EQ(caption.text == names[k], k != 7);
        EXPECT_GE(caption.topLeft.y(), cell.bottom());
        EXPECT_GE(caption.topLeft.x(), cell.left());
        EXPECT_LE(caption.topLeft.x() + QFontMetricsF(caption.font, &probe).horizontalAdvance(caption.text),
                  cell.right());
        if (k == 7) {
            EXPECT_TRUE(caption.text.startsWith(u"Startxx"_s) && caption.text.endsWith(u"xx.jpg"_s) &&
                        caption.text.contains(u'…'));
        }
        if (k >= 7)
            continue;
        // Where each glyph lies and the font Qt drew it with, as a PDF places it too.
        const PlacedText placed = placeText(caption, 96);
        double first = -1, dot = -1;
        for (const PlacedGlyph &glyph : placed.glyphs) {
            EXPECT_NE(glyph.index, 0u) << glyph.text.toStdString();
            for (const char32_t c : glyph.text.toUcs4())
                EXPECT_TRUE(glyph.font.supportsCharacter(c))
                    << glyph.font.familyName().toStdString() << " U+" << std::hex << unsigned(c);
            if (glyph.text.contains(names[k].at(0)))
                first = glyph.origin.x();
            if (glyph.text.contains(u'.'))
                dot = glyph.origin.x();
        }
        if (k <= 1) { // the name's first letter at the right, its extension at the left
            EXPECT_GT(first, dot);
        }
    }
    EXPECT_EQ(captions, 9);
}

// A footer's {pages} is the run's page count, also when entries that could not be read
// leave fewer pages than the entries promised: kept pages get it at the end of the run,
// streamed pages in a second run told the count by the first.
TEST(Captions, FooterPageCountIsRightWhenEntriesAreSkipped)
{
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 1; i <= 11; ++i) {
        paths << dir.filePath(u"p%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0')));
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(paths.last(), "JPEG"));
    }
    for (int i = 1; i <= 10; ++i)
        paths << dir.filePath(u"gone%1.jpg"_s.arg(i));
    RegistrySettings s = defaultSettings();
    s.PageHeight = 300; // ten to a page with caption and footer
    s.Captions.Caption = u"{name}"_s;
    s.Captions.Footer = u"{first}|{page}/{pages}|{count}"_s;
    NullProgress progress;
    const auto footers = [](const Page &page) { return textsBelow(page, 270).join(u' '); };

    PageSet pages;
    ASSERT_EQ(GenerationRun(s, paths, progress).run(pages).pageCount, 2);
    EXPECT_EQ(footers(pages.page(0)), u"p01.jpg 1/2 10"_s);
    EXPECT_EQ(footers(pages.page(1)), u"p11.jpg 2/2 1"_s);

    for (const int told : {0, 2}) {
        QStringList streamed;
        GenerationRun run(s, paths, progress);
        run.setPageTotal(told);
        const GenerationResult result = run.stream([&](const Page &page, int) { streamed << footers(page); });
        EXPECT_EQ(result.pageTotalsWrong, told == 0);
        EXPECT_EQ(streamed, (QStringList{told ? u"p01.jpg 1/2 10"_s : u"p01.jpg 1/3 10"_s, u"p11.jpg 2/2 1"_s}));
    }
}
