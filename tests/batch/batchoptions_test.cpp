#include "batch/batchoptions.h"
#include "batch/pagefilewriter.h"
#include "core/runtimeerror.h"

#include <QDir>
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

} // namespace

TEST(BatchFlags, OverrideTheStoredSettings)
{
    const BatchParse p = parseBatchArguments(
        args({"--page", "1024x768", "--cell=200x150", "--margins", "1,2,3,4", "--no-uniform", "--title", "Trip",
              "--page-numbers", "--background", "#102030", "--jobs", "3", "-o", "out.png", "a.jpg", "dir"}));
    ASSERT_TRUE(p.error.isEmpty()) << p.error.toStdString();
    RegistrySettings s = defaultSettings(), e = defaultSettings();
    applyBatchOptions(p.options, s);
    e.PageWidth = 1024, e.PageHeight = 768, e.ThumbnailWidth = 200, e.ThumbnailHeight = 150, e.PageMarginTop = 1;
    e.PageMarginLeft = 2, e.PageMarginRight = 3, e.PageMarginBottom = 4, e.ThumbnailUniformPlacement = 0;
    e.AddTitle = 1, e.Title = u"Trip"_s, e.AppendPageNumber = 1, e.PageBackColor = 0x302010;
    EXPECT_TRUE(s == e);
    EXPECT_EQ(p.options.jobs, 3);
    EXPECT_EQ(p.options.inputs, args({"a.jpg", "dir"}));
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

// A numbered page that cannot be put in place is raised; the pages before it stay.
TEST(BatchWriter, AFailedWriteRaisesAndKeepsThePagesBefore)
{
    QTemporaryDir dir;
    QImage page(32, 32, QImage::Format_RGB32);
    page.fill(Qt::white);
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"S2.png/x"_s)); // the second page's name is taken by a folder
    PageFileWriter blocked(dir.filePath(u"S.png"_s), false);
    blocked.write(page, 1);
    EXPECT_THROW(blocked.write(page, 2), RuntimeError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), args({"S1.png"}));
    EXPECT_EQ(blocked.written(), QStringList{dir.filePath(u"S1.png"_s)});
}
