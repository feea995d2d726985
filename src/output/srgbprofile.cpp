// glib names a struct member "signals", which Qt defines as a keyword: vips comes first.
#include <vips/vips.h>

#include "output/srgbprofile.h"

#include "generation/imageloader.h"

namespace pagorra {

const QByteArray &srgbProfile()
{
    static const QByteArray profile = [] {
        ensureImageLibraryStarted();
        VipsBlob *blob = nullptr;
        if (vips_profile_load("sRGB", &blob, nullptr) != 0) {
            vips_error_clear();
            return QByteArray();
        }
        std::size_t length = 0;
        const void *data = vips_blob_get(blob, &length);
        QByteArray bytes(static_cast<const char *>(data), qsizetype(length));
        vips_area_unref(VIPS_AREA(blob));
        return bytes;
    }();
    return profile;
}

} // namespace pagorra
