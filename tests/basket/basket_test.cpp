#include "basket/basket.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;

namespace {

class BasketTest : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        folder = tmp.filePath(QStringLiteral("pics"));
        ASSERT_TRUE(QDir().mkdir(folder));
        for (const char16_t *name : {u"a.jpg", u"B.PNG", u"c.tif", u"notes.txt"})
            touch(folder + u'/' + QString::fromUtf16(name));
    }

    static void touch(const QString &path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    QString in(const char16_t *name) const { return folder + u'/' + QString::fromUtf16(name); }

    static QStringList texts(const Basket &b)
    {
        QStringList out;
        for (const BasketEntry &e : b.entries())
            out.append(e.text);
        return out;
    }

    QTemporaryDir tmp;
    QString folder;
    Basket basket;
    QString lastUsed = QStringLiteral("/previous/");
};

TEST_F(BasketTest, SingleFileSetsFolderOnlyWhenNew)
{
    basket.addFiles({in(u"a.jpg")}, lastUsed);
    EXPECT_EQ(lastUsed, folder + u'/');

    lastUsed = QStringLiteral("/elsewhere");
    const BasketAddResult again = basket.addFiles({in(u"A.JPG")}, lastUsed);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(lastUsed, QStringLiteral("/elsewhere"));
    EXPECT_EQ(basket.count(), 1);
    EXPECT_TRUE(basket.contains(in(u"a.JPG")));

    // A selection of several sets the folder even when nothing in it is new.
    basket.addFiles({in(u"a.jpg"), in(u"A.jpg")}, lastUsed);
    EXPECT_EQ(lastUsed, folder);
    EXPECT_EQ(basket.count(), 1);
}

TEST_F(BasketTest, CancelledDialogsChangeNothing)
{
    EXPECT_EQ(basket.addFiles({}, lastUsed).added, 0);
    EXPECT_EQ(basket.addFolder(QString(), lastUsed).added, 0);
    EXPECT_EQ(basket.addFolder(in(u"gone"), lastUsed).added, 0);
    EXPECT_EQ(lastUsed, QStringLiteral("/previous/"));
    EXPECT_TRUE(basket.isEmpty());
}

TEST_F(BasketTest, FolderAddedTwiceHoldsEachFileOnce)
{
    basket.addFiles({in(u"b.png")}, lastUsed);
    EXPECT_EQ(basket.addFolder(folder, lastUsed).added, 2);
    EXPECT_EQ(basket.addFolder(folder + u'/', lastUsed).added, 0);
    EXPECT_EQ(basket.paths(), (QStringList{in(u"b.png"), in(u"a.jpg"), in(u"c.tif")}));
    EXPECT_EQ(lastUsed, folder + u'/');
}

TEST_F(BasketTest, RemoveLeavesTheOthersInOrder)
{
    for (const char16_t *name : {u"1.jpg", u"2.jpg", u"3.jpg", u"4.jpg", u"5.jpg"})
        basket.addFiles({in(name)}, lastUsed);
    basket.removeAt({3, 1, 3, 99, -1});
    EXPECT_EQ(basket.paths(), (QStringList{in(u"1.jpg"), in(u"3.jpg"), in(u"5.jpg")}));
    // A removed path can come back.
    EXPECT_EQ(basket.addFiles({in(u"2.jpg")}, lastUsed).added, 1);
    basket.clear();
    EXPECT_EQ(basket.countText(), QStringLiteral("0 Files"));
    EXPECT_FALSE(basket.contains(in(u"1.jpg")));
}

TEST_F(BasketTest, HeaderClicksToggleAndLaterAddsStaySorted)
{
    basket.addFiles({in(u"c.tif"), in(u"a.jpg"), in(u"B.PNG")}, lastUsed);
    EXPECT_FALSE(basket.isSorted());

    basket.sortByColumn(0);
    EXPECT_EQ(basket.sortOrder(), BasketSortOrder::Ascending);
    EXPECT_EQ(texts(basket), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("B.PNG"), QStringLiteral("c.tif")}));

    basket.sortByColumn(0);
    EXPECT_EQ(basket.sortOrder(), BasketSortOrder::Descending);
    EXPECT_EQ(texts(basket), (QStringList{QStringLiteral("c.tif"), QStringLiteral("B.PNG"), QStringLiteral("a.jpg")}));

    basket.addFiles({in(u"bb.jpg")}, lastUsed);
    EXPECT_EQ(texts(basket), (QStringList{QStringLiteral("c.tif"), QStringLiteral("bb.jpg"), QStringLiteral("B.PNG"),
                                          QStringLiteral("a.jpg")}));

    // Another column always starts ascending.
    basket.sortByColumn(1);
    EXPECT_EQ(basket.sortKey(), 1);
    EXPECT_EQ(basket.sortOrder(), BasketSortOrder::Ascending);
}

TEST_F(BasketTest, AddsStopAtTheLimitAndCountWhatWasLeftOut)
{
    QStringList many;
    for (int i = 0; i < Basket::MaxEntries - 1; ++i)
        many.append(QStringLiteral("/bulk/%1.jpg").arg(i));
    ASSERT_EQ(basket.addFiles(many, lastUsed).added, Basket::MaxEntries - 1);

    const BasketAddResult folderAdd = basket.addFolder(folder, lastUsed);
    EXPECT_EQ(folderAdd.added, 1);
    EXPECT_EQ(folderAdd.refused, 2);
    EXPECT_EQ(basket.count(), Basket::MaxEntries);
    EXPECT_EQ(lastUsed, folder);

    lastUsed = QStringLiteral("/kept/");
    const BasketAddResult single = basket.addFiles({QStringLiteral("/other/x.jpg")}, lastUsed);
    EXPECT_EQ(single.added, 0);
    EXPECT_EQ(single.refused, 1);
    EXPECT_EQ(lastUsed, QStringLiteral("/kept/"));

    // Files already present are not counted as left out.
    const BasketAddResult present = basket.addFiles({in(u"a.jpg"), QStringLiteral("/bulk/0.jpg")}, lastUsed);
    EXPECT_FALSE(present.limitReached());
    EXPECT_EQ(basket.countText(), QStringLiteral("32767 Files"));
}

TEST(SelectionFolder, KeepsTheRootSeparator)
{
    EXPECT_EQ(selectionFolder(QStringLiteral("/pics/a.jpg")), QStringLiteral("/pics"));
    EXPECT_EQ(selectionFolder(QStringLiteral("/a.jpg")), QStringLiteral("/"));
}

} // namespace
