#include "batch/batchoptions.h"
#include "batch/pagefilewriter.h"
#include "core/runtimeerror.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// What a command line gives: output <- inputs, title, jobs and multipage; or why it is refused.
QString outcome(const char *line)
{
    const BatchParse p = parseBatchArguments(QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts));
    const BatchOptions &o = p.options;
    if (!p.error.isEmpty())
        return p.error;
    return u"%1 <- %2; title %3; jobs %4%5"_s
        .arg(o.output, o.inputs.join(u' '), o.noTitle ? u"none"_s : o.title.value_or(u"stored"_s))
        .arg(o.jobs)
        .arg(o.multipage ? u"; multipage"_s : QString());
}

} // namespace

TEST(BatchFlags, OverrideTheStoredSettings)
{
    const BatchParse p = parseBatchArguments(u"--page 1024x768 --cell=200x150 --margins 1,2,3,4 --no-uniform --title "
                                             "Trip --page-numbers --background #102030 -o out.png a.jpg"_s.split(u' '));
    RegistrySettings s = defaultSettings(), e = defaultSettings();
    applyBatchOptions(p.options, s);
    e.PageWidth = 1024, e.PageHeight = 768, e.ThumbnailWidth = 200, e.ThumbnailHeight = 150, e.PageMarginTop = 1;
    e.PageMarginLeft = 2, e.PageMarginRight = 3, e.PageMarginBottom = 4, e.ThumbnailUniformPlacement = 0;
    e.AddTitle = 1, e.Title = u"Trip"_s, e.AppendPageNumber = 1, e.PageBackColor = 0x302010;
    EXPECT_TRUE(s == e);

    applyBatchOptions(parseBatchArguments(u"--paper A4-landscape --resolution 300 --pdf-links --pdf-jpeg --quality 70 "
                                          u"--caption {name} --caption-font "
                                          "Serif,9 --caption-lines 2 --footer |{page}| -o o.pdf a"_s.split(u' '))
                          .options,
                      s);
    e.PageWidth = 1123, e.PageHeight = 794, e.Output.Paper = u"A4"_s, e.Output.PaperLandscape = true;
    e.Output.Resolution = 300, e.Output.PdfLinks = e.Output.PdfJpegPictures = true, e.Output.JpegQuality = 70;
    e.Captions.Caption = u"{name}"_s, e.Captions.CaptionFontName = u"Serif"_s, e.Captions.CaptionFontSize = 9;
    e.Captions.CaptionLines = 2, e.Captions.Footer = u"|{page}|"_s;
    EXPECT_TRUE(s == e);
}

TEST(BatchFlags, EachValueIsTakenInItsSyntaxOrRefusedWithAReason)
{
    const std::pair<const char *, const char *> cases[] = {
        {"--jobs=256 --output=x.PDF --multipage a - b", "x.PDF <- a - b; title stored; jobs 256; multipage"},
        {"--title T --no-title -o x.png -o y.tif a", "y.tif <- a; title none; jobs 0"}, // the last one counts
        {"--no-title --title=T -ox.png a", "x.png <- a; title T; jobs 0"},
        {"-o x.png -- --page -o", "x.png <- --page -o; title stored; jobs 0"},
        {"a", "no output file given (-o OUTPUT)"},
        {"-o x.png", "no input given"},
        {"--page 800 -o x.png a", "--page needs a size such as 800x600"},
        {"--cell 40000x10 -o x.png a", "--cell needs a size such as 800x600"}, // beyond 16 bits
        {"--margins 1,2,3 -o x.png a", "--margins needs four numbers: top,left,right,bottom"},
        {"--background #1020304 -o x.png a", "--background needs a colour such as #FFFFFF"},
        {"--jobs 0 -o x.png a", "--jobs needs a number from 1 to 256"},
        {"--paper B5 -o x.png a", "--paper needs one of A5 A4 A3 Letter Legal Tabloid, with -landscape to turn it"},
        {"--resolution 120 -o x.png a", "--resolution needs one of 96 150 200 300 400 600"},
        {"--quality 101 -o x.jpg a", "--quality needs a number from 1 to 100"},
        {"--jobs 257 -o x.png a", "--jobs needs a number from 1 to 256"},
        {"--output= a", "--output needs an output file name"},
        {"--frobnicate -o x.png a", "unknown option 'frobnicate'"},
        {"-o x a", "output format not supported: no extension (use .bmp .gif .jpg .tif .psd .pcx .pdf .png)"},
        {"--multipage -o x.png a", "--multipage writes a .pdf or .tif document, not .png"},
        {"--footer a|b|c|d -o x.png a", "--footer needs at most three parts, LEFT|CENTRE|RIGHT"},
        {"--caption-font Sans -o x.png a",
         "--caption-font needs a font and a size of 4 to 72 points, such as \"DejaVu Sans,8\""},
        {"--caption-lines 3 -o x.png a", "--caption-lines needs a number from 1 to 2"},
    };
    for (const auto &[line, expected] : cases)
        EXPECT_EQ(outcome(line).toStdString(), expected) << line;
}

// A numbered page that cannot be put in place is raised; the pages before it stay.
TEST(BatchWriter, AFailedWriteRaisesAndKeepsThePagesBefore)
{
    QTemporaryDir dir;
    Page page;
    page.newImage(32, 32);
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"S2.png/x"_s)); // the second page's name is taken by a folder
    PageFileWriter blocked(dir.filePath(u"S.png"_s), false);
    blocked.write(page, 1);
    EXPECT_THROW(blocked.write(page, 2), RuntimeError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"S1.png"_s});
    EXPECT_EQ(blocked.written(), QStringList{dir.filePath(u"S1.png"_s)});
}
