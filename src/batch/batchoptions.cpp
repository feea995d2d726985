#include "batch/batchoptions.h"

#include "basket/inputfiles.h"
#include "core/filenames.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"
#include "generation/pagegeometry.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

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
    if (o.paper) {
        s.Output.Paper = *o.paper;
        s.Output.PaperLandscape = o.landscape;
        if (const std::optional<QSizeF> points = paperPoints(s.Output)) {
            const QSize size = layoutPixels(*points);
            s.PageWidth = size.width();
            s.PageHeight = size.height();
        }
    }
    if (o.resolution)
        s.Output.Resolution = *o.resolution;
    if (o.pdfLinks)
        s.Output.PdfLinks = true;
    if (o.pdfJpeg)
        s.Output.PdfJpegPictures = true;
    if (o.quality)
        s.Output.JpegQuality = *o.quality;
    if (o.allFormats)
        s.Input.ReadAllFormats = true;
    if (o.caption)
        s.Captions.Caption = *o.caption;
    if (o.captionLines)
        s.Captions.CaptionLines = *o.captionLines;
    if (o.captionFontName) {
        s.Captions.CaptionFontName = *o.captionFontName;
        s.Captions.CaptionFontSize = *o.captionFontSize;
    }
    if (o.footer)
        s.Captions.Footer = *o.footer;
}

BatchInputs listBatchInputs(const QStringList &inputs)
{
    BatchInputs result;
    // Paths are compared exactly, as the file system and the basket compare them.
    QSet<QString> seen;
    auto add = [&](const QString &path) {
        const QString full = absolutePath(path);
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
    const QString full = absolutePath(output);
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
