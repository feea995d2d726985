#include "basket/pathtext.h"
#include "core/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;

namespace {

struct TextCase {
    const char *routine;
    QString (*fn)(const QString &);
    const char16_t *input;
    const char16_t *expected;
};

void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << c.routine << "(" << QString::fromUtf16(c.input).toStdString() << ")";
}

class PathText : public testing::TestWithParam<TextCase> {};

TEST_P(PathText, GivesExpectedText)
{
    const TextCase &c = GetParam();
    EXPECT_EQ(c.fn(QString::fromUtf16(c.input)), QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Routines, PathText,
    testing::Values(TextCase{"extension", pathExtension, u"photo.jpg", u"jpg"},
                    TextCase{"extension", pathExtension, u"/pics/noext", u"/pics/noext"},
                    TextCase{"extension", pathExtension, u"/pics.2024/noext", u"2024/noext"},
                    TextCase{"extension", pathExtension, u"/out/Sheet.tar.gz", u"gz"},
                    TextCase{"fileName", pathFileName, u"/out/Sheet.jpg", u"Sheet.jpg"},
                    TextCase{"fileName", pathFileName, u"Sheet.jpg", u"Sheet.jpg"},
                    TextCase{"fileName", pathFileName, u"/out/", u""},
                    TextCase{"baseName", pathBaseName, u"/out/Sheet.jpg", u"Sheet"},
                    TextCase{"baseName", pathBaseName, u"/out.d/Sheet.final.jpg", u"Sheet.final"},
                    TextCase{"folderPart", pathFolderPart, u"/out/Sheet.jpg", u"/out/"},
                    TextCase{"folderPart", pathFolderPart, u"Sheet.jpg", u""},
                    TextCase{"folderPart", pathFolderPart, u"/Sheet.jpg", u"/"},
                    TextCase{"removeTrailingSeparator", removeTrailingSeparator, u"/out/", u"/out"},
                    TextCase{"removeTrailingSeparator", removeTrailingSeparator, u"/out\\", u"/out"},
                    TextCase{"removeTrailingSeparator", removeTrailingSeparator, u"/out//", u"/out/"},
                    TextCase{"removeTrailingSeparator", removeTrailingSeparator, u"/out", u"/out"},
                    TextCase{"removeTrailingSeparator", removeTrailingSeparator, u"", u""}));

TEST(PathText, BaseNameWithoutDotRaisesInvalidArgument)
{
    try {
        pathBaseName(QStringLiteral("/pics.d/README"));
        FAIL() << "no error raised";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), 5);
    }
}

struct EnsureCase {
    const char16_t *input;
    const char16_t *result;
    const char16_t *argumentAfter;
};

class EnsureTrailing : public testing::TestWithParam<EnsureCase> {};

TEST_P(EnsureTrailing, ChangesArgumentInPlace)
{
    QString path = QString::fromUtf16(GetParam().input);
    EXPECT_EQ(ensureTrailingSeparator(path), QString::fromUtf16(GetParam().result));
    EXPECT_EQ(path, QString::fromUtf16(GetParam().argumentAfter));
}

INSTANTIATE_TEST_SUITE_P(Cases, EnsureTrailing,
                         testing::Values(EnsureCase{u"/pics", u"/pics/", u"/pics/"},
                                         EnsureCase{u"/pics/", u"/pics/", u"/pics/"}, EnsureCase{u"/", u"/", u"/"},
                                         EnsureCase{u"   ", u"", u"   "}, EnsureCase{u"", u"", u""},
                                         EnsureCase{u"/pics/  ", u"/pics/  ", u"/pics/  "}));

TEST(PathText, SplitKeepsEmptyPiecesAndDelimiterLength)
{
    const QChar nul(0);
    EXPECT_EQ(splitText(QStringLiteral("/pics/a.jpg"), QString(nul)), QStringList{QStringLiteral("/pics/a.jpg")});
    const QString selection = QStringLiteral("/pics") + nul + QStringLiteral("a.jpg") + nul + QStringLiteral("b.jpg");
    EXPECT_EQ(splitText(selection, QString(nul)),
              (QStringList{QStringLiteral("/pics"), QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
    EXPECT_EQ(splitText(QStringLiteral("a,,b,"), QStringLiteral(",")),
              (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
    EXPECT_EQ(splitText(QStringLiteral("a--b"), QStringLiteral("--")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(splitText(QString(), QStringLiteral(",")), QStringList{QString()});
    // An empty delimiter would be found at every position; it must not loop forever.
    EXPECT_EQ(splitText(QStringLiteral("abc"), QString()), QStringList{QStringLiteral("abc")});
}

TEST(Existence, FilesAndFoldersOnDisk)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString file = tmp.filePath(QStringLiteral("a.jpg"));
    const QString folder = tmp.filePath(QStringLiteral("sub.jpg"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString missing = tmp.filePath(QStringLiteral("missing.jpg"));

    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(fileExists(folder));
    EXPECT_FALSE(fileExists(missing));
    EXPECT_FALSE(fileExists(QString()));
    EXPECT_FALSE(fileExists(QStringLiteral("   ")));

    EXPECT_TRUE(pathExists(folder, true));
    EXPECT_TRUE(pathExists(folder + u'/', true));
    EXPECT_FALSE(pathExists(folder, false));
    EXPECT_TRUE(pathExists(file, false));
    EXPECT_TRUE(pathExists(file, true));
    EXPECT_FALSE(pathExists(missing, true));
    EXPECT_FALSE(pathExists(QString(), true));
}

} // namespace
