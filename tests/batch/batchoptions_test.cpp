#include "batch/batchoptions.h"
#include "batch/pagefilewriter.h"
#include "core/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

QStringList args(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *a : list)
        out << QString::fromUtf8(a);
    return out;
}

void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

TEST(BatchFlags, OverrideTheStoredSettings)
{
    const BatchParse p = parseBatchArguments(
        args({"--page", "1024x768", "--cell=200x150", "--margins", "1,2,3,4", "--no-uniform", "--title", "Trip",
              "--page-numbers", "--background", "#102030", "--jobs", "3", "-o", "out.png", "a.jpg", "dir"}));
    ASSERT_TRUE(p.error.isEmpty()) << p.error.toStdString();
    RegistrySettings s = defaultSettings();
    applyBatchOptions(p.options, s);
    EXPECT_EQ(s.PageWidth, 1024);
    EXPECT_EQ(s.PageHeight, 768);
    EXPECT_EQ(s.ThumbnailWidth, 200);
    EXPECT_EQ(s.ThumbnailHeight, 150);
    EXPECT_EQ(s.PageMarginTop, 1);
    EXPECT_EQ(s.PageMarginLeft, 2);
    EXPECT_EQ(s.PageMarginRight, 3);
    EXPECT_EQ(s.PageMarginBottom, 4);
    EXPECT_EQ(s.ThumbnailUniformPlacement, 0);
    EXPECT_EQ(s.AddTitle, 1);
    EXPECT_EQ(s.Title, u"Trip"_s);
    EXPECT_EQ(s.AppendPageNumber, 1);
    EXPECT_EQ(s.PageBackColor, 0x302010);
    EXPECT_EQ(p.options.jobs, 3);
    EXPECT_EQ(p.options.inputs, args({"a.jpg", "dir"}));

    // absent flags leave the stored values; --no-title wins over an earlier --title
    const BatchParse q = parseBatchArguments(args({"--title", "X", "--no-title", "-o", "o.png", "a"}));
    ASSERT_TRUE(q.error.isEmpty());
    RegistrySettings t = defaultSettings();
    t.AddTitle = 1;
    t.PageWidth = 640;
    applyBatchOptions(q.options, t);
    EXPECT_EQ(t.AddTitle, 0);
    EXPECT_EQ(t.PageWidth, 640);
}

TEST(BatchFlags, BadOnesAreRefusedWithAReason)
{
    for (const QStringList &bad :
         {args({"a.jpg"}),                                  // no output
          args({"-o", "x.png"}),                            // no input
          args({"--page", "800", "-o", "x.png", "a"}),      // malformed size
          args({"--cell", "40000x10", "-o", "x.png", "a"}), // beyond 16 bits
          args({"--margins", "1,2,3", "-o", "x.png", "a"}), args({"--background", "red", "-o", "x.png", "a"}),
          args({"--jobs", "0", "-o", "x.png", "a"}), args({"--frobnicate", "-o", "x.png", "a"}),
          args({"-o", "x", "a"}),                      // no extension
          args({"--multipage", "-o", "x.png", "a"}),   // not a document
          args({"--multipage=1", "-o", "x.pdf", "a"}), // takes no value
          args({"--page"})})
        EXPECT_FALSE(parseBatchArguments(bad).error.isEmpty()) << bad.join(u' ').toStdString();
}

// The folder listing itself is the basket's; here folders, lists and files meet in one basket.
TEST(BatchInputsListing, FoldersListsAndDuplicates)
{
    QTemporaryDir dir;
    for (const char *name : {"b.JPG", "a.jpeg", "notes.txt", "c.png", ".hidden.jpg"})
        touch(dir.filePath(QString::fromUtf8(name)));
    const QString list = dir.filePath(u"list.txt"_s);
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // the same file again, once in other letter case: the basket would not take it twice
        f.write(dir.filePath(u"c.png"_s).toUtf8() + "\n\n" + dir.filePath(u"C.PNG"_s).toUtf8() + "\n" +
                dir.filePath(u"extra.gif"_s).toUtf8() + "\r\n");
    }
    const BatchInputs in = listBatchInputs({dir.path(), QLatin1Char('@') + list});
    ASSERT_TRUE(in.error.isEmpty());
    QStringList names;
    for (const QString &f : in.files)
        names << QFileInfo(f).fileName();
    EXPECT_EQ(names, args({"a.jpeg", "b.JPG", "c.png", "extra.gif"}));

    EXPECT_FALSE(listBatchInputs({u"@/nonexistent/list"_s}).error.isEmpty());
}

TEST(BatchWriter, AFailedWriteRaisesAndLeavesNothing)
{
    QTemporaryDir dir;
    QImage page(32, 32, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        PageFileWriter writer(dir.filePath(u"missing-folder/S.png"_s), false);
        writer.write(page, 1);
        EXPECT_THROW(writer.finish(), RuntimeError);
        PageFileWriter document(dir.filePath(u"missing-folder/S.pdf"_s), true);
        document.write(page, 1);
        document.write(page, 2);
        EXPECT_THROW(document.finish(), RuntimeError);
        EXPECT_EQ(document.pagesWritten(), 0);
    }

    // the target name is taken by a folder: the rename fails, the page written aside is removed
    QDir(dir.path()).mkdir(u"S2.png"_s);
    QDir(dir.filePath(u"S2.png"_s)).mkdir(u"x"_s);
    {
        PageFileWriter blocked(dir.filePath(u"S.png"_s), false);
        blocked.write(page, 1);
        EXPECT_THROW(blocked.write(page, 2), RuntimeError);
    }
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, args({"S1.png"}));
}
