#include "basket/pathtext.h"
#include "core/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

TEST(PathText, Routines)
{
    const struct {
        QString (*fn)(const QString &);
        QString input, expected;
    } cases[] = {{pathExtension, u"/out/Sheet.tar.gz"_s, u"gz"_s},
                 {pathExtension, u"/pics.2024/noext"_s, u"2024/noext"_s}, // a "." in a folder counts
                 {pathExtension, u"noext"_s, u"noext"_s},
                 {pathFileName, u"/out/Sheet.jpg"_s, u"Sheet.jpg"_s},
                 {pathFileName, u"/out/"_s, u""_s},
                 {pathBaseName, u"/out.d/Sheet.final.jpg"_s, u"Sheet.final"_s},
                 {pathFolderPart, u"/out/Sheet.jpg"_s, u"/out/"_s},
                 {pathFolderPart, u"Sheet.jpg"_s, u""_s},
                 {removeTrailingSeparator, u"/out\\"_s, u"/out"_s},
                 {removeTrailingSeparator, u"/out//"_s, u"/out/"_s},
                 {removeTrailingSeparator, u""_s, u""_s}};
    for (const auto &c : cases)
        EXPECT_EQ(c.fn(c.input), c.expected) << c.input.toStdString();

    try {
        pathBaseName(u"/pics.d/README"_s);
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), 5);
    }
}

TEST(PathText, EnsureTrailingSeparatorChangesArgumentInPlace)
{
    const struct {
        QString input, result, argumentAfter;
    } cases[] = {{u"/pics"_s, u"/pics/"_s, u"/pics/"_s},
                 {u"/pics/"_s, u"/pics/"_s, u"/pics/"_s},
                 {u"   "_s, u""_s, u"   "_s},
                 {u"/pics/  "_s, u"/pics/  "_s, u"/pics/  "_s}};
    for (const auto &c : cases) {
        QString path = c.input;
        EXPECT_EQ(ensureTrailingSeparator(path), c.result) << c.input.toStdString();
        EXPECT_EQ(path, c.argumentAfter) << c.input.toStdString();
    }
}

TEST(PathText, SplitKeepsEmptyPiecesAndDelimiterLength)
{
    const QString nul(QChar(0));
    EXPECT_EQ(splitText(u"/pics"_s + nul + u"a.jpg"_s + nul + u"b.jpg"_s, nul),
              (QStringList{u"/pics"_s, u"a.jpg"_s, u"b.jpg"_s}));
    EXPECT_EQ(splitText(u"a,,b,"_s, u","_s), (QStringList{u"a"_s, QString(), u"b"_s, QString()}));
    EXPECT_EQ(splitText(u"a--b"_s, u"--"_s), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(splitText(QString(), u","_s), QStringList{QString()});
    EXPECT_EQ(splitText(u"abc"_s, QString()), QStringList{u"abc"_s}); // must not loop forever
}

TEST(Existence, FilesAndFoldersOnDisk)
{
    QTemporaryDir tmp;
    const QString file = tmp.filePath(u"a.jpg"_s), folder = tmp.filePath(u"sub.jpg"_s);
    const QString missing = tmp.filePath(u"missing.jpg"_s);
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir().mkdir(folder));

    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(fileExists(folder));
    EXPECT_FALSE(fileExists(missing));
    EXPECT_FALSE(fileExists(u"   "_s));
    EXPECT_TRUE(pathExists(folder + u'/', true));
    EXPECT_FALSE(pathExists(folder, false));
    EXPECT_TRUE(pathExists(file, false));
    EXPECT_TRUE(pathExists(file, true));
    EXPECT_FALSE(pathExists(missing, true));
    EXPECT_FALSE(pathExists(QString(), true));
}

} // namespace
