#include "batch/batchoptions.h"

#include "basket/inputfiles.h"
#include "core/colors.h"
#include "core/filenames.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "output/outputformats.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {

std::optional<std::int64_t> parseInteger(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<std::int64_t>(v) : std::nullopt;
}

// Splits "a<sep>b<sep>..." into exactly `count` integers within [low, high].
std::optional<QList<std::int64_t>> parseNumbers(const QString &text, QChar separator, int count, std::int64_t low,
                                                std::int64_t high)
{
    const QStringList parts = text.split(separator);
    if (parts.size() != count)
        return std::nullopt;
    QList<std::int64_t> values;
    for (const QString &part : parts) {
        const auto v = parseInteger(part);
        if (!v || *v < low || *v > high)
            return std::nullopt;
        values << *v;
    }
    return values;
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The whole of a file, opened by its own bytes; nothing, with errno in error, when it cannot
// be read.
std::optional<QByteArray> readWholeFile(const QString &path, int &error)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    error = n < 0 ? errno : 0;
    ::close(fd);
    if (n < 0)
        return std::nullopt;
    return bytes;
}

// The absolute, cleaned form of a path, made without QFileInfo, which would not keep a name's
// bytes that are not UTF-8.
QString absoluteInputPath(const QString &path)
{
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return QDir::cleanPath(path);
    return QDir::cleanPath(pathFromNative(QByteArray(cwd.get())) + u'/' + path);
}

} // namespace

QString batchUsage()
{
    return QStringLiteral("Usage: pagorra-batch [options] -o OUTPUT INPUT...\n"
                          "Makes contact sheet pages from picture files, folders and @LIST files.\n"
                          "\n"
                          "  --page WxH            page size in pixels\n"
                          "  --cell WxH            thumbnail cell size in pixels\n"
                          "  --margins T,L,R,B     page margins in pixels\n"
                          "  --uniform             spread the cells evenly over the page\n"
                          "  --no-uniform          pack the cells against the top-left corner\n"
                          "  --title TEXT          head every page with TEXT\n"
                          "  --no-title            no title\n"
                          "  --page-numbers        append the page number to the title\n"
                          "  --background #RRGGBB  page background colour\n"
                          "  --jobs N              decoding threads (default: one per core)\n"
                          "  --multipage           write every page into one .pdf or .tif document\n"
                          "  -o OUTPUT             output file; its extension picks the format:\n"
                          "                        .bmp .gif .jpg .tif .psd .pcx .pdf .png\n"
                          "\n"
                          "Several pages are written as numbered files: Sheet.png gives Sheet1.png, Sheet2.png, ...\n"
                          "each as soon as it is complete. A --multipage document takes each page as it is\n"
                          "complete too, and appears under its name only when the last page is in.\n"
                          "INPUT is a picture file, a folder, or @LIST (a file with one path per line).\n"
                          "Settings not given as options come from the desktop program's stored settings,\n"
                          "which are only read.\n");
}

BatchParse parseBatchArguments(const QStringList &arguments)
{
    BatchParse result;
    BatchOptions &o = result.options;
    auto fail = [&](const QString &message) {
        result.error = message;
        return result;
    };
    bool onlyInputs = false;
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        QString arg = arguments.at(k);
        if (onlyInputs || !arg.startsWith(u'-') || arg == u"-") {
            o.inputs << arg;
            continue;
        }
        if (arg == u"--") {
            onlyInputs = true;
            continue;
        }
        QString value;
        bool hasInlineValue = false;
        if (arg.startsWith(u"--") && arg.contains(u'=')) {
            value = arg.mid(arg.indexOf(u'=') + 1);
            arg = arg.left(arg.indexOf(u'='));
            hasInlineValue = true;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (hasInlineValue)
                return value;
            if (k + 1 >= arguments.size())
                return std::nullopt;
            return arguments.at(++k);
        };
        auto noValue = [&] { return !hasInlineValue; };

        if (arg == u"--help" || arg == u"-h") {
            o.help = true;
        } else if (arg == u"--page" || arg == u"--cell") {
            const auto v = takeValue();
            const bool page = arg == u"--page";
            const auto size = v ? parseNumbers(*v, u'x', 2, page ? INT32_MIN : INT16_MIN, page ? INT32_MAX : INT16_MAX)
                                : std::nullopt;
            if (!size)
                return fail(QStringLiteral("%1 needs a size such as 800x600").arg(arg));
            if (page) {
                o.pageWidth = std::int32_t(size->at(0));
                o.pageHeight = std::int32_t(size->at(1));
            } else {
                o.cellWidth = std::int16_t(size->at(0));
                o.cellHeight = std::int16_t(size->at(1));
            }
        } else if (arg == u"--margins") {
            const auto v = takeValue();
            const auto m = v ? parseNumbers(*v, u',', 4, INT16_MIN, INT16_MAX) : std::nullopt;
            if (!m)
                return fail(QStringLiteral("--margins needs four numbers: top,left,right,bottom"));
            o.marginTop = std::int16_t(m->at(0));
            o.marginLeft = std::int16_t(m->at(1));
            o.marginRight = std::int16_t(m->at(2));
            o.marginBottom = std::int16_t(m->at(3));
        } else if (arg == u"--uniform" && noValue()) {
            o.uniform = true;
        } else if (arg == u"--no-uniform" && noValue()) {
            o.uniform = false;
        } else if (arg == u"--title") {
            const auto v = takeValue();
            if (!v)
                return fail(QStringLiteral("--title needs a text"));
            o.title = *v;
            o.noTitle = false;
        } else if (arg == u"--no-title" && noValue()) {
            o.noTitle = true;
            o.title.reset();
        } else if (arg == u"--page-numbers" && noValue()) {
            o.pageNumbers = true;
        } else if (arg == u"--background") {
            const auto v = takeValue();
            static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
            if (!v || !hex.match(*v).hasMatch())
                return fail(QStringLiteral("--background needs a colour such as #FFFFFF"));
            o.background = colorToStored(QColor::fromString(*v));
        } else if (arg == u"--jobs") {
            const auto v = takeValue();
            const auto n = v ? parseInteger(*v) : std::nullopt;
            if (!n || *n < 1 || *n > 256)
                return fail(QStringLiteral("--jobs needs a number from 1 to 256"));
            o.jobs = int(*n);
        } else if (arg == u"--multipage" && noValue()) {
            o.multipage = true;
        } else if (arg == u"-o" || arg == u"--output") {
            const auto v = takeValue();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("-o needs an output file name"));
            o.output = *v;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(arguments.at(k)));
        }
    }
    if (o.help)
        return result;
    if (o.output.isEmpty())
        return fail(QStringLiteral("no output file given (-o OUTPUT)"));
    if (o.inputs.isEmpty())
        return fail(QStringLiteral("no input given"));
    const QString suffix = QFileInfo(o.output).suffix();
    const std::optional<ImageFormat> format = formatFromFileName(o.output);
    if (!format)
        return fail(
            QStringLiteral("output format not supported: %1 (use .bmp, .gif, .jpg, .tif, .psd, .pcx, .pdf or .png)")
                .arg(suffix.isEmpty() ? QStringLiteral("no extension") : u'.' + suffix));
    if (o.multipage && format != ImageFormat::Pdf && format != ImageFormat::Tiff)
        return fail(QStringLiteral("--multipage writes a .pdf or .tif document, not .%1").arg(suffix));
    return result;
}

RegistrySettings batchBaseSettings(const QString &storePath)
{
    RegistrySettings settings = defaultSettings();
    // Scripts run beside the desktop program: an unreadable settings file is the user's to
    // mend, so it is reported and left exactly where it is.
    RegistryStore store(storePath);
    store.setReadOnly(true);
    setLastAction(
        QStringLiteral("Reading the settings from '%1'; defaults stand in for what cannot be read").arg(storePath));
    loadRegistrySettings(settings, store);
    return settings;
}

void applyBatchOptions(const BatchOptions &o, RegistrySettings &s)
{
    if (o.pageWidth) {
        s.PageWidth = *o.pageWidth;
        s.PageHeight = *o.pageHeight;
    }
    if (o.cellWidth) {
        s.ThumbnailWidth = *o.cellWidth;
        s.ThumbnailHeight = *o.cellHeight;
    }
    if (o.marginTop) {
        s.PageMarginTop = *o.marginTop;
        s.PageMarginLeft = *o.marginLeft;
        s.PageMarginRight = *o.marginRight;
        s.PageMarginBottom = *o.marginBottom;
    }
    if (o.uniform)
        s.ThumbnailUniformPlacement = *o.uniform ? 1 : 0;
    if (o.title) {
        s.AddTitle = 1;
        s.Title = *o.title;
    }
    if (o.noTitle)
        s.AddTitle = 0;
    if (o.pageNumbers)
        s.AppendPageNumber = 1;
    if (o.background)
        s.PageBackColor = *o.background;
}

BatchInputs listBatchInputs(const QStringList &inputs)
{
    BatchInputs result;
    // Paths are compared exactly, as the file system and the basket compare them.
    QSet<QString> seen;
    auto add = [&](const QString &path) {
        const QString full = absoluteInputPath(path);
        if (!seen.contains(full)) {
            seen.insert(full);
            result.files << full;
        }
    };
    for (const QString &input : inputs) {
        if (input.startsWith(u'@')) {
            const QString listPath = input.mid(1);
            int error = 0;
            const std::optional<QByteArray> list = readWholeFile(listPath, error);
            if (!list) {
                result.error = QStringLiteral("cannot read the list %1: %2").arg(listPath, systemErrorText(error));
                return result;
            }
            // One path per line, its bytes as they are: a name need not be UTF-8.
            for (QByteArray line : list->split('\n')) {
                if (line.endsWith('\r'))
                    line.chop(1);
                if (!line.trimmed().isEmpty())
                    add(pathFromNative(line));
            }
            continue;
        }
        struct stat st;
        if (::stat(nativePath(input).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            int error = 0;
            const QStringList names = listFolder(input, folderPattern(), &error);
            if (error != 0) {
                result.error = QStringLiteral("cannot read the folder %1: %2").arg(input, systemErrorText(error));
                return result;
            }
            for (const QString &name : names)
                add(input + u'/' + name);
            continue;
        }
        // A file that does not exist is kept: it is reported with the unreadable ones.
        add(input);
    }
    return result;
}

QString outputProblem(const QString &output)
{
    const QString full = absoluteInputPath(output);
    const QString folder = full.left(std::max<qsizetype>(full.lastIndexOf(u'/'), 1));
    struct stat st;
    int problem = 0;
    if (::stat(nativePath(output).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return QStringLiteral("cannot write %1: a folder of that name is in the way").arg(output);
    const QByteArray name = nativePath(folder);
    if (::stat(name.constData(), &st) != 0)
        problem = errno;
    else if (!S_ISDIR(st.st_mode))
        problem = ENOTDIR;
    else if (::access(name.constData(), W_OK | X_OK) != 0)
        problem = errno;
    if (problem == 0)
        return {};
    return QStringLiteral("cannot write into the folder %1: %2").arg(folder, systemErrorText(problem));
}

} // namespace pagorra
