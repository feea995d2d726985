#include "basket/inputfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;

namespace {

struct NameCase {
    const char16_t *name;
    bool inFolderListing;
    bool inOpenDialog;
};

void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << QString::fromUtf16(c.name).toStdString();
}

class PictureNames : public testing::TestWithParam<NameCase> {};

TEST_P(PictureNames, MatchFolderPatternAndDialogFilter)
{
    const QString name = QString::fromUtf16(GetParam().name);
    EXPECT_EQ(matchesPatternList(name, folderPattern()), GetParam().inFolderListing);
    EXPECT_EQ(isSupportedInputFile(name), GetParam().inOpenDialog);
}

INSTANTIATE_TEST_SUITE_P(Names, PictureNames,
                         testing::Values(NameCase{u"IMG_1.JPG", true, true}, NameCase{u"scan.tiff", true, true},
                                         NameCase{u"scan.TIF", true, true}, NameCase{u"photo.jpeg", true, true},
                                         NameCase{u"photo.JPE", true, true}, NameCase{u"logo.Png", true, true},
                                         NameCase{u"anim.gif", true, true}, NameCase{u"old.bmp", true, true},
                                         NameCase{u"notes.txt", false, false}, NameCase{u"old.bmp.txt", true, false},
                                         NameCase{u"photo.jpg.bak", true, false}, NameCase{u"jpg", false, false},
                                         NameCase{u"photojpg", false, false}, NameCase{u"image.pn", false, false}));

TEST(FolderListing, EachMatchingFileOnceSortedIgnoringCase)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    for (const char16_t *name : {u"scan.tiff", u"IMG_1.JPG", u"notes.txt", u"b.bmp.txt", u".hidden.jpg"}) {
        QFile f(tmp.filePath(QString::fromUtf16(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("folder.jpg")));

    EXPECT_EQ(listFolder(tmp.path(), folderPattern()),
              (QStringList{QStringLiteral("b.bmp.txt"), QStringLiteral("IMG_1.JPG"), QStringLiteral("scan.tiff")}));
    EXPECT_TRUE(listFolder(tmp.filePath(QStringLiteral("missing")), folderPattern()).isEmpty());
}

TEST(OpenFileFilter, BecomesCaseInsensitiveDialogFilters)
{
    const QStringList filters = fileDialogNameFilters(openFileFilter());
    ASSERT_EQ(filters.size(), 6);
    EXPECT_EQ(filters.at(2), QStringLiteral("BMP - Windows Bitmap (*.bmp) (*.[bB][mM][pP])"));

    // The dialog takes the last parenthesised group as the patterns and shows the rest.
    const QRegularExpression dialogSyntax(
        QStringLiteral(R"(^(.*)\(([a-zA-Z0-9_.,*? +;#\-\[\]@\{\}/!<>\$%&=^~:\|]*)\)$)"));
    const QRegularExpressionMatch first = dialogSyntax.match(filters.at(0));
    ASSERT_TRUE(first.hasMatch());
    EXPECT_EQ(first.captured(1).trimmed(), QStringLiteral("All supported files (*.*)"));
    const QStringList patterns = first.captured(2).split(u' ');
    ASSERT_EQ(patterns.size(), 8);

    // Matched case-sensitively, as a native dialog may, the patterns still take upper case.
    auto offered = [&](const QString &name) {
        for (const QString &p : patterns) {
            if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch())
                return true;
        }
        return false;
    };
    EXPECT_TRUE(offered(QStringLiteral("IMG_0001.JPG")));
    EXPECT_TRUE(offered(QStringLiteral("scan.Tiff")));
    EXPECT_FALSE(offered(QStringLiteral("notes.txt")));
    EXPECT_FALSE(offered(QStringLiteral("photo.jpg.bak")));
}

} // namespace
