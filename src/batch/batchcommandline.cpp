#include "batch/batchcommandline.h"

#include "core/colors.h"
#include "generation/captiontemplate.h"
#include "generation/pagegeometry.h"
#include "jobs/jobfile.h"
#include "jobs/manifest.h"
#include "output/outputformats.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

std::optional<std::int64_t> parseInteger(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<std::int64_t>(v) : std::nullopt;
}

// Splits "a<sep>b<sep>..." into one integer per field, each within its field's type, and
// fills the fields only when every part is sound.
template <typename T>
bool takeNumbers(const QString &text, QChar separator, std::initializer_list<std::optional<T> *> fields)
{
    const QStringList parts = text.split(separator);
    if (parts.size() != qsizetype(fields.size()))
        return false;
    QList<T> values;
    for (const QString &part : parts) {
        const auto v = parseInteger(part);
        if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max())
            return false;
        values << T(*v);
    }
    auto value = values.cbegin();
    for (std::optional<T> *field : fields)
        *field = *value++;
    return true;
}

// A whole number from `min` to `max` into `field`; otherwise what the value must be.
template <typename T> QString takeNumberFrom(const QString &value, int min, int max, T &field)
{
    const auto n = parseInteger(value);
    if (!n || *n < min || *n > max)
        return u"a number from %1 to %2"_s.arg(min).arg(max);
    field = T(*n);
    return {};
}

// Decoding threads: beyond the cores of any machine the tool meets, and each thread holds a
// decoded picture, so a mistyped count cannot take the memory of thousands.
constexpr int kMaxJobs = 256;
// More slices than a basket of 16-bit positions has entries would only make empty ones.
constexpr int kMaxShards = 32767;

// The options of the command line besides --help and --version. A new option takes a name
// here, a row in batchFlags(), a case in takeFlag(), a field in BatchOptions and, when it is
// a setting, a line in applyBatchOptions; --help is made from the rows.
enum class Flag {
    Page,
    Cell,
    Margins,
    Uniform,
    NoUniform,
    Title,
    NoTitle,
    PageNumbers,
    Background,
    Paper,
    Resolution,
    PdfLinks,
    PdfJpeg,
    Quality,
    AllFormats,
    Caption,
    CaptionLines,
    CaptionFont,
    Footer,
    Jobs,
    Shard,
    Multipage,
    Output,
    Job,
    SaveJob,
    Manifest
};

struct BatchFlag {
    Flag flag;
    QStringList names; // without dashes; a name of one letter is the short form
    QString valueName; // as --help shows it; empty for a switch
    QString help;      // its line in --help
};

QString outputExtensions()
{
    QStringList extensions;
    for (const OutputFormat &format : outputFormats())
        extensions << format.extension;
    return extensions.join(u' ');
}

QString paperNames()
{
    QStringList names;
    for (const NamedPaper &paper : namedPapers())
        names << paper.name;
    return names.join(u' ');
}

QString resolutionNames()
{
    QStringList names;
    for (const int resolution : offeredResolutions())
        names << QString::number(resolution);
    return names.join(u' ');
}

// A JPEG quality outside this range is no quality the encoder knows.
constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;
// Caption sizes in points: below 4 no print is legible, above 72 one letter fills a thumbnail.
constexpr int kMinCaptionPoints = 4;
constexpr int kMaxCaptionPoints = 72;

const QList<BatchFlag> &batchFlags()
{
    static const QList<BatchFlag> flags{
        {Flag::Page, {u"page"_s}, u"WxH"_s, u"page size in pixels"_s},
        {Flag::Cell, {u"cell"_s}, u"WxH"_s, u"thumbnail cell size in pixels"_s},
        {Flag::Margins, {u"margins"_s}, u"T,L,R,B"_s, u"page margins in pixels"_s},
        {Flag::Uniform, {u"uniform"_s}, {}, u"spread the cells evenly over the page"_s},
        {Flag::NoUniform, {u"no-uniform"_s}, {}, u"pack the cells against the top-left corner"_s},
        {Flag::Title, {u"title"_s}, u"TEXT"_s, u"head every page with TEXT"_s},
        {Flag::NoTitle, {u"no-title"_s}, {}, u"no title"_s},
        {Flag::PageNumbers, {u"page-numbers"_s}, {}, u"append the page number to the title"_s},
        {Flag::Background, {u"background"_s}, u"#RRGGBB"_s, u"page background colour"_s},
        {Flag::Paper,
         {u"paper"_s},
         u"NAME"_s,
         u"page of that paper instead of --page: "_s + paperNames() + u", -landscape turns it (A4-landscape)"_s},
        {Flag::Resolution,
         {u"resolution"_s},
         u"DPI"_s,
         u"pixels per inch of the pages: "_s + resolutionNames() + u" (default 96), the layout unchanged"_s},
        {Flag::PdfLinks, {u"pdf-links"_s}, {}, u"in a PDF, link each thumbnail to its file (shows folder names)"_s},
        {Flag::PdfJpeg, {u"pdf-jpeg"_s}, {}, u"in a PDF, store the thumbnails as JPEG at --quality"_s},
        {Flag::Quality,
         {u"quality"_s},
         u"N"_s,
         u"JPEG quality of .jpg pages and --pdf-jpeg thumbnails, 1 to 100 (default 90)"_s},
        {Flag::AllFormats,
         {u"all-formats"_s},
         {},
         u"folders also give HEIC, AVIF, WebP, JPEG XL and camera RAW files"_s},
        {Flag::Caption,
         {u"caption"_s},
         u"TEMPLATE"_s,
         u"caption under each thumbnail, text and tokens (a line break makes two lines): "_s +
             templateTokens(TemplateKind::Caption).join(u' ')},
        {Flag::CaptionLines, {u"caption-lines"_s}, u"N"_s, u"lines kept for each caption, 1 or 2 (default 1)"_s},
        {Flag::CaptionFont,
         {u"caption-font"_s},
         u"FAMILY,SIZE"_s,
         u"font and size in points of captions and footer (default \"DejaVu Sans,8\")"_s},
        {Flag::Footer,
         {u"footer"_s},
         u"LEFT|CENTRE|RIGHT"_s,
         u"footer line of every page, three templates of text and tokens: "_s +
             templateTokens(TemplateKind::Footer).join(u' ')},
        {Flag::Jobs, {u"jobs"_s}, u"N"_s, u"decoding threads (default: one per core)"_s},
        {Flag::Shard,
         {u"shard"_s},
         u"K/N"_s,
         u"make only the K-th of N slices of the pages (for a job runner), numbered as in the whole run; "
         "every page is then numbered, also a lone one"_s},
        {Flag::Multipage, {u"multipage"_s}, {}, u"write every page into one .pdf or .tif document"_s},
        {Flag::Output,
         {u"o"_s, u"output"_s},
         u"OUTPUT"_s,
         u"output file; its extension picks the format:\n"_s + outputExtensions()},
        {Flag::Job,
         {u"job"_s},
         u"FILE"_s,
         u"run the job FILE (.pagorra): its basket, settings and output; options after it override them"_s},
        {Flag::SaveJob,
         {u"save-job"_s},
         u"FILE"_s,
         u"write the job the other options and inputs describe to FILE (.pagorra) instead of running it"_s},
        {Flag::Manifest,
         {u"manifest"_s},
         u"FILE"_s,
         u"also write FILE (.csv or .json): each input's page, cell, size, SHA-256 and capture time, or why it was "
         "skipped"_s},
    };
    return flags;
}

// Takes one option's value (none for a switch) into the options. Returns what the value must
// be when it is not of that kind, or nothing.
QString takeFlag(Flag flag, const QString &value, BatchOptions &o)
{
    switch (flag) {
    case Flag::Page:
        if (!takeNumbers(value, u'x', {&o.pageWidth, &o.pageHeight}))
            return u"a size such as 800x600"_s;
        o.paper = QString();
        return {};
    case Flag::Cell:
        return takeNumbers(value, u'x', {&o.cellWidth, &o.cellHeight}) ? QString() : u"a size such as 800x600"_s;
    case Flag::Margins:
        return takeNumbers(value, u',', {&o.marginTop, &o.marginLeft, &o.marginRight, &o.marginBottom})
                   ? QString()
                   : u"four numbers: top,left,right,bottom"_s;
    case Flag::Uniform:
    case Flag::NoUniform:
        o.uniform = flag == Flag::Uniform;
        return {};
    case Flag::Title:
        o.title = value;
        o.noTitle = false;
        return {};
    case Flag::NoTitle:
        o.title.reset();
        o.noTitle = true;
        return {};
    case Flag::PageNumbers:
        o.pageNumbers = true;
        return {};
    case Flag::Background: {
        static const QRegularExpression hex(u"^#[0-9A-Fa-f]{6}$"_s);
        if (!hex.match(value).hasMatch())
            return u"a colour such as #FFFFFF"_s;
        o.background = colorToStored(QColor::fromString(value));
        return {};
    }
    case Flag::Paper: {
        static const QRegularExpression form(u"^(.*?)(-landscape)?$"_s, QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch parts = form.match(value);
        const NamedPaper *paper = paperNamed(parts.captured(1));
        if (!paper)
            return u"one of "_s + paperNames() + u", with -landscape to turn it"_s;
        o.paper = paper->name;
        o.landscape = parts.hasCaptured(2);
        o.pageWidth.reset();
        o.pageHeight.reset();
        return {};
    }
    case Flag::Resolution: {
        const auto n = parseInteger(value);
        if (!n || !offeredResolutions().contains(*n))
            return u"one of "_s + resolutionNames();
        o.resolution = std::int16_t(*n);
        return {};
    }
    case Flag::PdfLinks:
        o.pdfLinks = true;
        return {};
    case Flag::PdfJpeg:
        o.pdfJpeg = true;
        return {};
    case Flag::Quality:
        return takeNumberFrom(value, kMinQuality, kMaxQuality, o.quality);
    case Flag::AllFormats:
        o.allFormats = true;
        return {};
    case Flag::Caption:
    case Flag::Footer: {
        const bool caption = flag == Flag::Caption;
        if (QString problem = templateProblem(value, caption ? TemplateKind::Caption : TemplateKind::Footer);
            !problem.isEmpty())
            return problem;
        (caption ? o.caption : o.footer) = value;
        return {};
    }
    case Flag::CaptionLines:
        return takeNumberFrom(value, 1, 2, o.captionLines);
    case Flag::CaptionFont: {
        const qsizetype comma = value.lastIndexOf(u',');
        const auto size = parseInteger(value.mid(comma + 1));
        if (comma <= 0 || !size || *size < kMinCaptionPoints || *size > kMaxCaptionPoints)
            return u"a font and a size of %1 to %2 points, such as \"DejaVu Sans,8\""_s.arg(kMinCaptionPoints)
                .arg(kMaxCaptionPoints);
        o.captionFontName = value.left(comma).trimmed();
        o.captionFontSize = std::int16_t(*size);
        return {};
    }
    case Flag::Jobs:
        return takeNumberFrom(value, 1, kMaxJobs, o.jobs);
    case Flag::Shard: {
        std::optional<std::int32_t> index, count;
        if (!takeNumbers(value, u'/', {&index, &count}) || *count < 1 || *count > kMaxShards || *index < 1 ||
            *index > *count)
            return u"K/N, slice K of N (1 <= K <= N <= %1)"_s.arg(kMaxShards);
        o.shardIndex = *index;
        o.shardCount = *count;
        return {};
    }
    case Flag::Multipage:
        o.multipage = true;
        return {};
    case Flag::Output:
        o.output = value;
        return value.isEmpty() ? u"an output file name"_s : QString();
    case Flag::Job: {
        // The job holds every setting and the output: it replaces what came before it.
        BatchOptions fromJob;
        fromJob.jobs = o.jobs;
        fromJob.saveJob = o.saveJob;
        fromJob.manifest = o.manifest;
        fromJob.job = value;
        o = fromJob;
        return isJobFileName(value) ? QString() : u"a job file (.%1)"_s.arg(jobFileSuffix());
    }
    case Flag::SaveJob:
        o.saveJob = value;
        return isJobFileName(value) ? QString() : u"a job file name (.%1)"_s.arg(jobFileSuffix());
    case Flag::Manifest:
        o.manifest = value;
        return manifestFormatOf(value) ? QString() : u"a .csv or .json file name"_s;
    }
    return {};
}

const BatchFlag &flagNamed(const QString &name)
{
    const QList<BatchFlag> &flags = batchFlags();
    return *std::find_if(flags.begin(), flags.end(), [&](const BatchFlag &f) { return f.names.contains(name); });
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? u"-"_s : u"--"_s) + name;
}

// Qt words its refusals as sentences ("Unknown option 'x'."); the tool's messages, as other
// command-line tools' messages, are not.
QString asMessage(QString sentence)
{
    if (sentence.endsWith(u'.'))
        sentence.chop(1);
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toLower();
    return sentence;
}

// Qt's usage line names the program as it was started (a path, often) and cannot say that
// an option is required: the tool's own line stands in its place.
QString helpText(const QCommandLineParser &parser)
{
    const QString generated = parser.helpText();
    return u"Usage: pagorra-batch [options] -o OUTPUT INPUT...\n"
           "       pagorra-batch [options] --job FILE [options] [INPUT...]\n"_s +
           generated.mid(generated.indexOf(u'\n') + 1) +
           u"\n"
           "Several pages are written as numbered files (Sheet.png gives Sheet1.png,\n"
           "Sheet2.png, ...), each as soon as it is complete. A --multipage document takes\n"
           "each page as it is complete too, and appears under its name only when the last\n"
           "page is in. Settings not given as options come from the desktop program's\n"
           "stored settings, which are only read. A job brings its own settings, inputs\n"
           "and output instead; inputs given replace its inputs.\n"_s;
}

} // namespace

BatchParse parseBatchArguments(const QStringList &arguments)
{
    BatchParse result;
    BatchOptions &o = result.options;
    auto fail = [&](const QString &message) {
        result.error = message;
        return result;
    };
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Makes contact sheet pages from picture files, folders and @LIST files."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"show this help"_s);
    const QCommandLineOption version({u"v"_s, u"version"_s}, u"show the version"_s);
    parser.addOptions({help, version});
    for (const BatchFlag &flag : batchFlags())
        parser.addOption(QCommandLineOption(flag.names, flag.help, flag.valueName));
    parser.addPositionalArgument(u"INPUT"_s, u"a picture file, a folder, or @LIST (a file with one path per line)"_s,
                                 u"INPUT..."_s);
    if (!parser.parse(QStringList{u"pagorra-batch"_s} + arguments))
        return fail(asMessage(parser.errorText()));
    if (parser.isSet(help)) {
        result.reply = helpText(parser);
        return result;
    }
    if (parser.isSet(version)) {
        result.reply = u"pagorra-batch %1.%2.%3\n"_s.arg(PAGORRA_VERSION_MAJOR)
                           .arg(PAGORRA_VERSION_MINOR)
                           .arg(PAGORRA_VERSION_PATCH);
        return result;
    }
    // In the order given, each value with the name it was given by (-o or --output); help and
    // version, the only options without a row, have been answered above.
    QHash<Flag, qsizetype> taken;
    for (const QString &name : parser.optionNames()) {
        const BatchFlag &row = flagNamed(name);
        const QString value = row.valueName.isEmpty() ? QString() : parser.values(name).at(taken[row.flag]++);
        if (const QString wanted = takeFlag(row.flag, value, o); !wanted.isEmpty())
            return fail(u"%1 needs %2"_s.arg(dashed(name), wanted));
    }
    o.inputs = parser.positionalArguments();
    // With a job, what it holds stands in for what is not given.
    if (o.output.isEmpty() && o.job.isEmpty() && o.saveJob.isEmpty())
        return fail(u"no output file given (-o OUTPUT)"_s);
    if (o.inputs.isEmpty() && o.job.isEmpty())
        return fail(u"no input given"_s);
    if (!o.saveJob.isEmpty() && !o.manifest.isEmpty())
        return fail(u"--manifest describes a run, and --save-job makes none"_s);
    if (const QString problem = o.output.isEmpty() ? QString() : targetProblem(o.output, o.multipage);
        !problem.isEmpty())
        return fail(problem);
    if (o.multipage && o.shardCount > 1)
        return fail(u"--shard writes numbered pages, not a --multipage document"_s);
    return result;
}

QString targetProblem(const QString &output, bool multipage)
{
    const QString suffix = QFileInfo(output).suffix();
    const std::optional<ImageFormat> format = formatFromFileName(output);
    if (!format)
        return u"output format not supported: %1 (use %2)"_s.arg(suffix.isEmpty() ? u"no extension"_s : u'.' + suffix,
                                                                 outputExtensions());
    if (multipage && format != ImageFormat::Pdf && format != ImageFormat::Tiff)
        return u"--multipage writes a .pdf or .tif document, not .%1"_s.arg(suffix);
    return {};
}

} // namespace pagorra
