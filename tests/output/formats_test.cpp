#include "output/filedialog.h"
#include "output/outputformats.h"

#include <gtest/gtest.h>

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

struct NameCase {
    const char *typed;
    int filterIndex;
    const char *expected;
};

class SaveAllExtension : public ::testing::TestWithParam<NameCase> {};

TEST_P(SaveAllExtension, AppendsTheRowExtensionUnlessPresent)
{
    const NameCase &c = GetParam();
    EXPECT_EQ(appendFilterExtension(QString::fromUtf8(c.typed), c.filterIndex), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveAllExtension,
                         ::testing::Values(NameCase{"/out/Sheet.JPG", 3, "/out/Sheet.JPG"},
                                           NameCase{"/out/Sheet.jpeg", 3, "/out/Sheet.jpeg.jpg"},
                                           NameCase{"/out/Sheet", 8, "/out/Sheet.png"}, NameCase{"/x/a", 5, "/x/a.psd"},
                                           NameCase{"/x/a.png", 3, "/x/a.png.jpg"},
                                           NameCase{"/x/a.tiff", 4, "/x/a.tiff.tif"}, NameCase{"/x/a", 0, "/x/a"},
                                           NameCase{"/x/a", 9, "/x/a"}, NameCase{"/x/a", -1, "/x/a"}));

class MultipageName : public ::testing::TestWithParam<NameCase> {};

TEST_P(MultipageName, FollowsTheFilterIndex)
{
    const NameCase &c = GetParam();
    const MultipageTarget target = multipageTarget(QString::fromUtf8(c.typed), c.filterIndex);
    EXPECT_EQ(target.fileName, QString::fromUtf8(c.expected));
    EXPECT_EQ(target.kind, c.filterIndex == 2 ? MultipageKind::Pdf : MultipageKind::Tiff);
}

INSTANTIATE_TEST_SUITE_P(Rows, MultipageName,
                         ::testing::Values(NameCase{"/x/book", 1, "/x/book.tif"},
                                           NameCase{"/x/book.TIF", 1, "/x/book.TIF"},
                                           NameCase{"/x/book.PDF", 2, "/x/book.PDF"},
                                           NameCase{"/x/book.tif", 2, "/x/book.tif.pdf"},
                                           NameCase{"/x/book", 5, "/x/book"}));

class NumberedName : public ::testing::TestWithParam<NameCase> {};

TEST_P(NumberedName, HasNoLeadingZerosAndKeepsTheExtension)
{
    const NameCase &c = GetParam();
    EXPECT_EQ(numberedPageName(QString::fromUtf8(c.typed), c.filterIndex), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, NumberedName,
                         ::testing::Values(NameCase{"/out/Sheet.jpg", 10, "/out/Sheet10.jpg"},
                                           NameCase{"/x/a.PNG", 2, "/x/a2.PNG"},
                                           NameCase{"/x/a.png.jpg", 3, "/x/a.png3.jpg"},
                                           NameCase{"/x.d/a.gif", 4, "/x.d/a4.gif"}, NameCase{"a.bmp", 7, "a7.bmp"}));

TEST(OutputFormats, FormatComesFromTheExtensionInAnyCase)
{
    EXPECT_EQ(formatFromFileName(u"/x/a.JPG"_s), ImageFormat::Jpeg);
    EXPECT_EQ(formatFromFileName(u"/x/a.jpeg"_s), ImageFormat::Jpeg);
    EXPECT_EQ(formatFromFileName(u"/x/a.Tiff"_s), ImageFormat::Tiff);
    EXPECT_FALSE(formatFromFileName(u"/x/a.xyz"_s));
    EXPECT_FALSE(formatFromFileName(u"/x.png/a"_s));
    // "Save page as": a recognised extension wins, anything else gets the chosen row's.
    EXPECT_EQ(pageSaveName(u"/x/a.jpeg"_s, 8), u"/x/a.jpeg"_s);
    EXPECT_EQ(pageSaveName(u"/x/a.old"_s, 6), u"/x/a.old.pcx"_s);
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
