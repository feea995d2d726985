#include "core/tiffguard.h"

#include <tiffio.h>

namespace pagorra {

std::unique_lock<std::mutex> lockForeignCodecs()
{
    static std::mutex mutex;
    return std::unique_lock<std::mutex>(mutex);
}

void silenceTiffHandlers()
{
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandlerExt(nullptr);
    TIFFSetWarningHandlerExt(nullptr);
}

} // namespace pagorra
