// glib's headers use the word "signals", which Qt defines as a macro: vips comes first.
#include <vips/vips.h>

#include "core/imaging.h"
#include "core/runtimeerror.h"

namespace pagorra {

namespace {
bool g_started = false;
constexpr std::int32_t kLibraryLoadError = 48;
} // namespace

void startImaging(const char *programName)
{
    if (g_started)
        return;
    if (VIPS_INIT(programName) != 0) {
        const QString detail = QString::fromUtf8(vips_error_buffer()).trimmed();
        vips_error_clear();
        PAGORRA_RAISE(kLibraryLoadError, QStringLiteral("Could not start the image library libvips: ") + detail);
    }
    g_started = true;
}

void shutdownImaging()
{
    if (!g_started)
        return;
    vips_shutdown();
    g_started = false;
}

} // namespace pagorra
