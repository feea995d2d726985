#include "output/outputsettings.h"

#include <algorithm>

namespace pagorra {

WriteOptions writeOptionsFor(const RegistrySettings &settings, double pagePixelsPerInch)
{
    WriteOptions options;
    options.pixelsPerInch = pagePixelsPerInch;
    // A stored quality out of the encoder's range is brought back into it.
    options.jpegQuality = std::clamp<int>(settings.Output.JpegQuality, 1, 100);
    options.pdfLinks = settings.Output.PdfLinks;
    options.pdfJpegPictures = settings.Output.PdfJpegPictures;
    if (settings.AddTitle == 1)
        options.documentTitle = settings.Title.trimmed();
    return options;
}

} // namespace pagorra
