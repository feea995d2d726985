#include "basket/pathtext.h"
#include "core/runtimeerror.h"

#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

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
                 {removeTrailingSeparator, u"/out//"_s, u"/out/"_s}};
    for (const auto &c : cases)
        EXPECT_EQ(c.fn(c.input), c.expected) << c.input.toStdString();
    EXPECT_THROW(pathBaseName(u"/pics.d/README"_s), RuntimeError);

    // The argument itself changes, except for a text of spaces.
    const QString ensured[][3] = {{u"/pics"_s, u"/pics/"_s, u"/pics/"_s},
                                  {u"/pics/"_s, u"/pics/"_s, u"/pics/"_s},
                                  {u"   "_s, u""_s, u"   "_s},
                                  {u"/pics/  "_s, u"/pics/  "_s, u"/pics/  "_s}};
    for (const auto &c : ensured) {
        QString path = c[0];
        EXPECT_EQ(ensureTrailingSeparator(path), c[1]) << c[0].toStdString();
        EXPECT_EQ(path, c[2]) << c[0].toStdString();
    }

    const QString nul(QChar(0));
    EXPECT_EQ(splitText(u"/pics"_s + nul + u"a.jpg"_s + nul + u"b.jpg"_s, nul),
              (QStringList{u"/pics"_s, u"a.jpg"_s, u"b.jpg"_s}));
    EXPECT_EQ(splitText(u"a,,b,"_s, u","_s), (QStringList{u"a"_s, QString(), u"b"_s, QString()}));
    EXPECT_EQ(splitText(u"a--b"_s, u"--"_s), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(splitText(u"abc"_s, QString()), QStringList{u"abc"_s}); // must not loop forever
}
