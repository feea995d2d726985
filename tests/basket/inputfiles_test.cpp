#include "basket/inputfiles.h"
#include "basket/pathtext.h"
#include "core/filenames.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

// The newer types are taken only when the Input choice offers them; the classic ones always.
TEST(PictureNames, MatchFolderPatternAndDialogFilter)
{
    const struct {
        QString name;
        bool inFolderListing, inOpenDialog, withAllFormats;
    } cases[] = {{u"IMG_1.JPG"_s, true, true, true},       {u"scan.tiff"_s, true, true, true},
                 {u"photo.JPE"_s, true, true, true},       {u"logo.Png"_s, true, true, true},
                 {u"anim.gif"_s, true, true, true},        {u"old.bmp"_s, true, true, true},
                 {u"notes.txt"_s, false, false, false},    {u"old.bmp.txt"_s, true, false, false},
                 {u"photojpg"_s, false, false, false},     {u"image.pn"_s, false, false, false},
                 {u"IMG_0001.HEIC"_s, false, false, true}, {u"a.avif"_s, false, false, true},
                 {u"a.webp"_s, false, false, true},        {u"a.jxl"_s, false, false, true},
                 {u"DSC_1.NEF"_s, false, false, true},     {u"a.dng"_s, false, false, true},
                 {u"a.rw2"_s, false, false, true}};
    for (const bool all : {false, true}) {
        setAllFormatsOffered(all);
        for (const auto &c : cases) {
            SCOPED_TRACE(c.name.toStdString());
            EXPECT_EQ(matchesPatternList(c.name, folderPattern()),
                      all ? c.withAllFormats || c.inFolderListing : c.inFolderListing);
            EXPECT_EQ(isSupportedInputFile(c.name), all ? c.withAllFormats : c.inOpenDialog);
        }
    }
    EXPECT_EQ(fileDialogNameFilters(openFileFilter()).size(), 11);
    setAllFormatsOffered(false);
}

// Every name the file system holds is listed as it is: bytes that are not UTF-8, and names
// that differ only in letter case, which are two files.
TEST(FolderListing, EveryMatchingFileOnceAsTheFileSystemNamesIt)
{
    QTemporaryDir tmp;
    const QByteArray folder = QFile::encodeName(tmp.path()) + "/f\xf6tos";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    for (const char *name : {"caf\xe9.jpg", "IMG_1.JPG", "img_1.jpg", "scan.tiff", "notes.txt", ".hidden.jpg"})
        ::close(::open((folder + '/' + name).constData(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(::mkdir((folder + "/folder.jpg").constData(), 0755), 0);
    ASSERT_EQ(::symlink("scan.tiff", (folder + "/link.png").constData()), 0);
    ASSERT_EQ(::symlink("missing.tiff", (folder + "/dangling.png").constData()), 0);
    const QString path = pathFromNative(folder);
    EXPECT_EQ(listFolder(path, folderPattern()), (QStringList{pathFromNative("caf\xe9.jpg"), u"IMG_1.JPG"_s,
                                                              u"img_1.jpg"_s, u"link.png"_s, u"scan.tiff"_s}));

    EXPECT_TRUE(isSupportedInputFile(path + u'/' + pathFromNative("caf\xe9.jpg")));
    int error = 0;
    EXPECT_TRUE(listFolder(path + u"/missing"_s, folderPattern(), &error).isEmpty());
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(pathExists(path, true));
    EXPECT_TRUE(fileExists(path + u'/' + pathFromNative("caf\xe9.jpg")));
    EXPECT_FALSE(fileExists(path + u"/folder.jpg"_s));
    EXPECT_FALSE(fileExists(path + u"/dangling.png"_s));
    std::filesystem::remove_all(folder.toStdString()); // QTemporaryDir would not find it
}

// A native dialog takes the last parenthesised group as its patterns and may match them
// case-sensitively; the patterns must still take upper-case names, as cameras write them.
TEST(OpenFileFilter, BecomesCaseInsensitiveDialogFilters)
{
    const QStringList filters = fileDialogNameFilters(openFileFilter());
    ASSERT_EQ(filters.size(), 6);
    EXPECT_EQ(filters.at(0), u"All supported files (*.*) (*.[bB][mM][pP] *.[tT][iI][fF] *.[tT][iI][fF][fF] "
                             "*.[gG][iI][fF] *.[jJ][pP][gG] *.[jJ][pP][eE][gG] *.[jJ][pP][eE] *.[pP][nN][gG])"_s);
    EXPECT_EQ(filters.at(2), u"BMP - Windows Bitmap (*.bmp) (*.[bB][mM][pP])"_s);
}
