#include "output/filedialog.h"
#include "output/outputformats.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace pagorra;
using namespace Qt::StringLiterals;

TEST(OutputFormats, FilterListsKeepTheTableOrderAndItsTexts)
{
    EXPECT_EQ(outputFilterList(),
              QStringLiteral("BMP Bitmap (*.bmp)|*.bmp|GIF CompuServe (*.gif)|*.gif|JPG JPEG Image (*.jpg)|*.jpg|"
                             "TIF Tagged Image (*tif)|*.tif|PSD Photosop (*.psd)|*.psd|PCX Zsoft (*.pcx)|*.pcx|"
                             "PDF PDF Document(*.pdf)|*.pdf|PNG PNG Image (*.png)|*.png"));
    EXPECT_EQ(multipageFilterList(), u"TIFF (*.tif)|*.tif|PDF (*.pdf)|*.pdf|"_s);
}

// Each name rule applied to a typed name and a filter index (or page number).
TEST(NameRules, GiveTheNameAndFormatToWrite)
{
    // clang-format off
    const struct {
        const char *rule, *typed;
        int number;
        const char *expected;
    } cases[] = {
        // The row's extension is appended unless the name ends in it, in any letter case.
        {"save all", "/out/Sheet.JPG", 3, "/out/Sheet.JPG"}, {"save all", "/out/Sheet.jpeg", 3, "/out/Sheet.jpeg.jpg"},
        {"save all", "/out/Sheet", 8, "/out/Sheet.png"}, {"save all", "/x/a", 5, "/x/a.psd"},
        {"save all", "/x/a.png", 3, "/x/a.png.jpg"}, {"save all", "/x/a.tiff", 4, "/x/a.tiff.tif"},
        {"save all", "/x/a", 0, "/x/a"}, {"save all", "/x/a", 9, "/x/a"}, {"save all", "/x/a", -1, "/x/a"},
        // Page numbers without leading zeros, before the extension as typed.
        {"numbered", "/out/Sheet.jpg", 10, "/out/Sheet10.jpg"}, {"numbered", "/x/a.PNG", 2, "/x/a2.PNG"},
        {"numbered", "/x/a.png.jpg", 3, "/x/a.png3.jpg"}, {"numbered", "/x.d/a.gif", 4, "/x.d/a4.gif"},
        {"numbered", "a.bmp", 7, "a7.bmp"},
        // Index 1 = TIFF, 2 = PDF, any other = TIFF under the name as typed.
        {"multipage", "/x/book", 1, "/x/book.tif TIFF"}, {"multipage", "/x/book.TIF", 1, "/x/book.TIF TIFF"},
        {"multipage", "/x/book.PDF", 2, "/x/book.PDF PDF"}, {"multipage", "/x/book.tif", 2, "/x/book.tif.pdf PDF"},
        {"multipage", "/x/book", 5, "/x/book TIFF"},
        // "Save page as": a recognised extension wins, anything else gets the chosen row's.
        {"page as", "/x/a.jpeg", 8, "/x/a.jpeg"}, {"page as", "/x/a.old", 6, "/x/a.old.pcx"},
        // The format comes from the extension in any letter case.
        {"format", "/x/a.JPG", 0, ".jpg"}, {"format", "/x/a.jpeg", 0, ".jpg"}, {"format", "/x/a.Tiff", 0, ".tif"},
        {"format", "/x/a.xyz", 0, "none"}, {"format", "/x.png/a", 0, "none"}};
    // clang-format on
    for (const auto &c : cases) {
        const std::string_view rule = c.rule;
        const QString typed = QString::fromUtf8(c.typed);
        QString actual;
        if (rule == "save all") {
            actual = appendFilterExtension(typed, c.number);
        } else if (rule == "numbered") {
            actual = numberedPageName(typed, c.number);
        } else if (rule == "page as") {
            actual = pageSaveName(typed, c.number);
        } else if (rule == "multipage") {
            const MultipageTarget target = multipageTarget(typed, c.number);
            actual = target.fileName + (target.kind == MultipageKind::Pdf ? u" PDF"_s : u" TIFF"_s);
        } else {
            const std::optional<ImageFormat> format = formatFromFileName(typed);
            actual = format ? outputFormats()[std::size_t(*format)].extension : u"none"_s;
        }
        EXPECT_EQ(actual, QString::fromUtf8(c.expected)) << rule << ' ' << c.typed << ' ' << c.number;
    }
}

TEST(FileDialogRecord, ConfirmTrimsBlanksAndKeepsTheIndexCancelChangesNothing)
{
    FileDialog record;
    record.filterIndex = 3;
    applySaveAnswer(record, false, u"/x/ignored.png"_s, 7);
    EXPECT_TRUE(record.fileName.isEmpty());
    EXPECT_EQ(record.filterIndex, 3);
    applySaveAnswer(record, true, u"  /x/my sheet.png  "_s + QChar(u'\0') + u"junk"_s, 8);
    EXPECT_EQ(record.fileName, u"/x/my sheet.png"_s);
    EXPECT_EQ(record.filterIndex, 8);
}
