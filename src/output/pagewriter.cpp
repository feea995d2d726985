#include "output/pagewriter.h"

#include "core/runtimeerror.h"
#include "output/pdfpagewriter.h"
#include "output/vipspagewriter.h"

namespace pagorra {

std::unique_ptr<PageWriter> createPageWriter(ImageFormat format, const WriteOptions &options)
{
    if (format == ImageFormat::Pdf)
        return std::make_unique<PdfPageWriter>(options);
    return std::make_unique<VipsPageWriter>(format, options);
}

void writePageFile(const QImage &page, const QString &path, const WriteOptions &options)
{
    const std::optional<ImageFormat> format = formatFromFileName(path);
    if (!format)
        PAGORRA_RAISE(
            err::PathFileAccess,
            QStringLiteral("Could not write '%1': the extension names no format that can be written").arg(path));
    QString error;
    if (!createPageWriter(*format, options)->write(page, path, error))
        PAGORRA_RAISE(err::PathFileAccess, error);
}

} // namespace pagorra
