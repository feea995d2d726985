#include "basket/inputfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

TEST(PictureNames, MatchFolderPatternAndDialogFilter)
{
    const struct {
        QString name;
        bool inFolderListing, inOpenDialog;
    } cases[] = {{u"IMG_1.JPG"_s, true, true},   {u"scan.tiff"_s, true, true},    {u"photo.JPE"_s, true, true},
                 {u"logo.Png"_s, true, true},    {u"anim.gif"_s, true, true},     {u"old.bmp"_s, true, true},
                 {u"notes.txt"_s, false, false}, {u"old.bmp.txt"_s, true, false}, {u"photojpg"_s, false, false},
                 {u"image.pn"_s, false, false}};
    for (const auto &c : cases) {
        EXPECT_EQ(matchesPatternList(c.name, folderPattern()), c.inFolderListing) << c.name.toStdString();
        EXPECT_EQ(isSupportedInputFile(c.name), c.inOpenDialog) << c.name.toStdString();
    }
}

TEST(FolderListing, EachMatchingFileOnceSortedIgnoringCase)
{
    QTemporaryDir tmp;
    for (const QString &name : {u"scan.tiff"_s, u"IMG_1.JPG"_s, u"notes.txt"_s, u"b.bmp.txt"_s, u".hidden.jpg"_s})
        ASSERT_TRUE(QFile(tmp.filePath(name)).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir(tmp.path()).mkdir(u"folder.jpg"_s));
    EXPECT_EQ(listFolder(tmp.path(), folderPattern()), (QStringList{u"b.bmp.txt"_s, u"IMG_1.JPG"_s, u"scan.tiff"_s}));
    EXPECT_TRUE(listFolder(tmp.filePath(u"missing"_s), folderPattern()).isEmpty());
}

// A native dialog takes the last parenthesised group as its patterns and may match them
// case-sensitively; the patterns must still take upper-case names.
TEST(OpenFileFilter, BecomesCaseInsensitiveDialogFilters)
{
    const QStringList filters = fileDialogNameFilters(openFileFilter());
    ASSERT_EQ(filters.size(), 6);
    EXPECT_EQ(filters.at(2), u"BMP - Windows Bitmap (*.bmp) (*.[bB][mM][pP])"_s);
    const QRegularExpressionMatch first =
        QRegularExpression(uR"(^(.*)\(([a-zA-Z0-9_.,*? +;#\-\[\]@\{\}/!<>\$%&=^~:\|]*)\)$)"_s).match(filters.at(0));
    ASSERT_TRUE(first.hasMatch());
    EXPECT_EQ(first.captured(1).trimmed(), u"All supported files (*.*)"_s);
    const QStringList patterns = first.captured(2).split(u' ');
    const auto offered = [&](const QString &name) {
        return std::any_of(patterns.begin(), patterns.end(), [&](const QString &p) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch();
        });
    };
    EXPECT_TRUE(offered(u"IMG_0001.JPG"_s));
    EXPECT_TRUE(offered(u"scan.Tiff"_s));
    EXPECT_FALSE(offered(u"photo.jpg.bak"_s));
}

} // namespace
