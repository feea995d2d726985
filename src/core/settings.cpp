#include "core/settings.h"

namespace pagorra {

RegistrySettings defaultSettings()
{
    RegistrySettings s;
    s.AddTitle = 0;
    s.AppendPageNumber = 0;
    s.PageBackColor = 16777215;
    s.PageWidth = 800;
    s.PageHeight = 600;
    s.PageZoom = 0;
    s.ThumbnailWidth = 140;
    s.ThumbnailHeight = 88;
    s.ThumbnailProportion = 1;
    s.ThumbnailUniformPlacement = 1;
    s.Title = QStringLiteral("Photo List");
    s.TitleFontColor = static_cast<std::int32_t>(0x80000012u);
    s.TitleFontName = QStringLiteral("Tahoma");
    s.TitleFontSize = 20;
    s.iState = 0;
    s.PrintCopies = 1;
    s.PrinterIndex = -1;
    s.PrintScale = 100;
    return s;
}

RegistrySettings &registrySettings()
{
    static RegistrySettings record;
    return record;
}

} // namespace pagorra
