#include "basket/basket.h"
#include "core/filenames.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

// The window's tests add, remove, sort and fill the basket to its limit through the real
// commands; here, what only real names show. Paths are compared exactly, as the file system
// compares them: a name that differs only in letter case is another file, and a folder whose
// name is not UTF-8 is listed like any other.
TEST(Basket, PathsAreTheFileSystemsAndOnlySortingIgnoresCase)
{
    QTemporaryDir tmp;
    const QString folder = pathFromNative(QFile::encodeName(tmp.path()) + "/pi\xe7s");
    const QByteArray native = nativePath(folder);
    ASSERT_EQ(::mkdir(native.constData(), 0755), 0);
    for (const char *name : {"a.jpg", "B.PNG", "b.png", "c.tif", "notes.txt"})
        ::close(::open((native + '/' + name).constData(), O_CREAT | O_WRONLY, 0644));
    const auto in = [&](const char *name) { return folder + u'/' + QString::fromUtf8(name); };

    Basket basket;
    QString lastUsed = u"/previous/"_s;
    EXPECT_EQ(basket.addFiles({in("a.jpg")}, lastUsed).added, 1);
    EXPECT_EQ(lastUsed, folder + u'/');
    lastUsed = u"/elsewhere"_s;
    EXPECT_EQ(basket.addFiles({in("a.jpg")}, lastUsed).added, 0); // the same file leaves the folder alone
    EXPECT_EQ(lastUsed, u"/elsewhere"_s);
    EXPECT_EQ(basket.addFiles({in("A.JPG"), in("a.jpg"), in("A.JPG")}, lastUsed).added, 1);
    EXPECT_EQ(lastUsed, folder); // a selection of several names its folder without "/"

    EXPECT_EQ(basket.addFolder(folder, lastUsed).added, 3);
    EXPECT_EQ(basket.addFolder(folder + u'/', lastUsed).added, 0);
    EXPECT_EQ(basket.paths(), (QStringList{in("a.jpg"), in("A.JPG"), in("B.PNG"), in("b.png"), in("c.tif")}));
    EXPECT_TRUE(basket.contains(in("b.png")) && !basket.contains(in("C.TIF")));

    // Names equal but for letter case keep the order in which they came.
    basket.sortByColumn(0);
    basket.sortByColumn(0);
    QStringList texts;
    for (const BasketEntry &e : basket.entries())
        texts << e.text;
    EXPECT_EQ(texts, (QStringList{u"c.tif"_s, u"B.PNG"_s, u"b.png"_s, u"a.jpg"_s, u"A.JPG"_s}));
    std::filesystem::remove_all(native.toStdString()); // QTemporaryDir would not find it
}

// Entries dragged elsewhere land together before the drop position, in their own order; the
// others keep theirs, and a later add goes to the end even after a sort by name.
TEST(Basket, MovedEntriesLandTogetherBeforeTheDropPosition)
{
    const struct {
        QList<int> moved;
        int before;
        const char *order;
    } cases[] = {
        {{3}, 0, "dabce"},    {{0}, 5, "bcdea"}, {{1, 3}, 1, "abdce"},  {{0, 2}, 4, "bdace"},
        {{4, 0}, 2, "baecd"}, {{2}, 3, "abcde"}, {{7, -1}, 0, "abcde"}, {{1, 2, 3}, 0, "bcdae"},
    };
    for (const auto &c : cases) {
        Basket basket;
        QString folder;
        basket.assign({u"/a"_s, u"/b"_s, u"/c"_s, u"/d"_s, u"/e"_s});
        basket.sortByColumn(0);
        basket.moveTo(c.moved, c.before);
        basket.addFiles({u"/0"_s}, folder);
        EXPECT_EQ(basket.paths().join(QString()).remove(u'/'), QString::fromLatin1(c.order) + u'0') << c.order;
    }
}
