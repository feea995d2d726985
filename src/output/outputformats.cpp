#include "output/outputformats.h"

#include <QStringList>

namespace pagorra {

const std::array<OutputFormat, 8> &outputFormats()
{
    static const std::array<OutputFormat, 8> formats{{
        {ImageFormat::Bmp, QStringLiteral("BMP Bitmap (*.bmp)"), QStringLiteral("*.bmp"), QStringLiteral(".bmp")},
        {ImageFormat::Gif, QStringLiteral("GIF CompuServe (*.gif)"), QStringLiteral("*.gif"), QStringLiteral(".gif")},
        {ImageFormat::Jpeg, QStringLiteral("JPG JPEG Image (*.jpg)"), QStringLiteral("*.jpg"), QStringLiteral(".jpg")},
        {ImageFormat::Tiff, QStringLiteral("TIF Tagged Image (*tif)"), QStringLiteral("*.tif"), QStringLiteral(".tif")},
        {ImageFormat::Psd, QStringLiteral("PSD Photosop (*.psd)"), QStringLiteral("*.psd"), QStringLiteral(".psd")},
        {ImageFormat::Pcx, QStringLiteral("PCX Zsoft (*.pcx)"), QStringLiteral("*.pcx"), QStringLiteral(".pcx")},
        {ImageFormat::Pdf, QStringLiteral("PDF PDF Document(*.pdf)"), QStringLiteral("*.pdf"), QStringLiteral(".pdf")},
        {ImageFormat::Png, QStringLiteral("PNG PNG Image (*.png)"), QStringLiteral("*.png"), QStringLiteral(".png")},
    }};
    return formats;
}

QString outputFilterList()
{
    QStringList parts;
    for (const OutputFormat &f : outputFormats())
        parts << f.label << f.pattern;
    return parts.join(u'|');
}

QString multipageFilterList()
{
    return QStringLiteral("TIFF (*.tif)|*.tif|PDF (*.pdf)|*.pdf|");
}

namespace {

// Text after the last "." of the file name part, without the dot; empty when there is none.
QString extensionOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < slash)
        return {};
    return path.mid(dot + 1);
}

bool endsWithLower(const QString &name, const QString &extension)
{
    return name.right(extension.size()).toLower() == extension;
}

} // namespace

std::optional<ImageFormat> formatFromFileName(const QString &fileName)
{
    const QString ext = extensionOf(fileName).toLower();
    if (ext == u"jpeg" || ext == u"jpe")
        return ImageFormat::Jpeg;
    if (ext == u"tiff")
        return ImageFormat::Tiff;
    for (const OutputFormat &f : outputFormats()) {
        if (f.extension.mid(1) == ext)
            return f.format;
    }
    return std::nullopt;
}

QString appendFilterExtension(const QString &name, int filterIndex)
{
    if (filterIndex < 1 || filterIndex > int(outputFormats().size()))
        return name;
    const QString &extension = outputFormats()[std::size_t(filterIndex - 1)].extension;
    return endsWithLower(name, extension) ? name : name + extension;
}

QString numberedPageName(const QString &name, int pageNumber)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    QString folder = name.left(slash + 1);
    const QString fileName = name.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString base = dot < 0 ? fileName : fileName.left(dot);
    const QString ext = dot < 0 ? QString() : fileName.mid(dot + 1);
    return folder + base + QString::number(pageNumber) + u'.' + ext;
}

QString pageSaveName(const QString &name, int filterIndex)
{
    if (formatFromFileName(name))
        return name;
    return appendFilterExtension(name, filterIndex);
}

MultipageTarget multipageTarget(const QString &name, int filterIndex)
{
    switch (filterIndex) {
    case 1:
        return {endsWithLower(name, QStringLiteral(".tif")) ? name : name + QStringLiteral(".tif"),
                MultipageKind::Tiff};
    case 2:
        return {endsWithLower(name, QStringLiteral(".pdf")) ? name : name + QStringLiteral(".pdf"), MultipageKind::Pdf};
    default:
        return {name, MultipageKind::Tiff};
    }
}

} // namespace pagorra
