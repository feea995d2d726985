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

namespace {

// A folder whose name is not UTF-8, holding pictures (two of them named alike but for letter
// case) and a text file, all real.
class BasketTest : public testing::Test {
  protected:
    void SetUp() override
    {
        const QByteArray native = nativePath(folder);
        ASSERT_EQ(::mkdir(native.constData(), 0755), 0);
        for (const char *name : {"a.jpg", "B.PNG", "b.png", "c.tif", "notes.txt"})
            ::close(::open((native + '/' + name).constData(), O_CREAT | O_WRONLY, 0644));
    }
    // QTemporaryDir would not find a name that is not UTF-8.
    void TearDown() override { std::filesystem::remove_all(nativePath(folder).toStdString()); }

    QString in(const QString &name) const { return folder + u'/' + name; }
    QStringList texts() const
    {
        QStringList out;
        for (const BasketEntry &e : basket.entries())
            out.append(e.text);
        return out;
    }

    QTemporaryDir tmp;
    QString folder = pathFromNative(QFile::encodeName(tmp.path()) + "/pi\xe7s");
    Basket basket;
    QString lastUsed = u"/previous/"_s;
};

// Paths are compared exactly, as the file system compares them.
TEST_F(BasketTest, AddFilesTakesEachPathOnceAndSetsTheFolderOnlyWhenNew)
{
    basket.addFiles({in(u"a.jpg"_s)}, lastUsed);
    EXPECT_EQ(lastUsed, folder + u'/');

    lastUsed = u"/elsewhere"_s;
    EXPECT_EQ(basket.addFiles({in(u"a.jpg"_s)}, lastUsed).added, 0);
    EXPECT_EQ(lastUsed, u"/elsewhere"_s);
    EXPECT_EQ(basket.addFiles({in(u"A.JPG"_s)}, lastUsed).added, 1); // another file

    // A selection of several sets the folder even when nothing in it is new.
    EXPECT_EQ(basket.addFiles({in(u"a.jpg"_s), in(u"A.JPG"_s), in(u"A.jpg"_s), in(u"A.jpg"_s)}, lastUsed).added, 1);
    EXPECT_EQ(lastUsed, folder);
    EXPECT_EQ(basket.count(), 3);
    EXPECT_EQ(selectionFolder(u"/a.jpg"_s), u"/"_s);

    // Cancelled dialogs and a folder that is gone change nothing.
    lastUsed = u"/previous/"_s;
    EXPECT_EQ(basket.addFiles({}, lastUsed).added + basket.addFolder(QString(), lastUsed).added +
                  basket.addFolder(in(u"gone"_s), lastUsed).added,
              0);
    EXPECT_EQ(lastUsed, u"/previous/"_s);
}

TEST_F(BasketTest, FolderAddedTwiceHoldsEachFileOnce)
{
    basket.addFiles({in(u"b.png"_s)}, lastUsed);
    EXPECT_EQ(basket.addFolder(folder, lastUsed).added, 3);
    EXPECT_EQ(basket.addFolder(folder + u'/', lastUsed).added, 0);
    EXPECT_EQ(basket.paths(), (QStringList{in(u"b.png"_s), in(u"a.jpg"_s), in(u"B.PNG"_s), in(u"c.tif"_s)}));
    EXPECT_EQ(lastUsed, folder + u'/');
}

TEST_F(BasketTest, RemoveLeavesTheOthersInOrder)
{
    for (const QString &name : {u"1.jpg"_s, u"2.jpg"_s, u"3.jpg"_s, u"4.jpg"_s, u"5.jpg"_s})
        basket.addFiles({in(name)}, lastUsed);
    basket.removeAt({3, 1, 3, 99, -1});
    EXPECT_EQ(basket.paths(), (QStringList{in(u"1.jpg"_s), in(u"3.jpg"_s), in(u"5.jpg"_s)}));
    EXPECT_EQ(basket.addFiles({in(u"2.jpg"_s)}, lastUsed).added, 1); // a removed path can come back
    basket.clear();
    EXPECT_EQ(basket.countText(), u"0 Files"_s);
    EXPECT_FALSE(basket.contains(in(u"1.jpg"_s)));
}

// Sorting ignores letter case, and the order of names equal but for case stays as added.
TEST_F(BasketTest, HeaderClicksToggleAndLaterAddsStaySorted)
{
    basket.addFiles({in(u"c.tif"_s), in(u"b.png"_s), in(u"a.jpg"_s), in(u"B.PNG"_s)}, lastUsed);
    EXPECT_FALSE(basket.isSorted());
    basket.sortByColumn(0);
    EXPECT_EQ(texts(), (QStringList{u"a.jpg"_s, u"b.png"_s, u"B.PNG"_s, u"c.tif"_s}));
    basket.sortByColumn(0);
    basket.addFiles({in(u"bb.jpg"_s)}, lastUsed);
    EXPECT_EQ(texts(), (QStringList{u"c.tif"_s, u"bb.jpg"_s, u"b.png"_s, u"B.PNG"_s, u"a.jpg"_s}));
    basket.sortByColumn(1); // another column always starts ascending
    EXPECT_EQ(basket.sortOrder(), BasketSortOrder::Ascending);
}

TEST_F(BasketTest, AddsStopAtTheLimitAndCountWhatWasLeftOut)
{
    QStringList many;
    for (int i = 0; i < Basket::MaxEntries - 1; ++i)
        many.append(u"/bulk/%1.jpg"_s.arg(i));
    ASSERT_EQ(basket.addFiles(many, lastUsed).added, Basket::MaxEntries - 1);

    const BasketAddResult folderAdd = basket.addFolder(folder, lastUsed);
    EXPECT_EQ(folderAdd.added, 1);
    EXPECT_EQ(folderAdd.refused, 3);
    EXPECT_EQ(lastUsed, folder);

    lastUsed = u"/kept/"_s;
    const BasketAddResult single = basket.addFiles({u"/other/x.jpg"_s}, lastUsed);
    EXPECT_EQ(single.refused, 1);
    EXPECT_EQ(lastUsed, u"/kept/"_s);
    // Files already present are not counted as left out.
    EXPECT_FALSE(basket.addFiles({in(u"a.jpg"_s), u"/bulk/0.jpg"_s}, lastUsed).limitReached());
    EXPECT_EQ(basket.countText(), u"32767 Files"_s);
}

} // namespace
