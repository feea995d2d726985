// glib's headers use the word "signals", which Qt defines as a macro: vips comes first.
#include <vips/vips.h>

#include "core/imaging.h"
#include "core/runtimeerror.h"

#include <cstring>
#include <string>

namespace pagorra {

namespace {
bool g_started = false;
constexpr std::int32_t kLibraryLoadError = 48;
} // namespace

void prepareImagingEnvironment(const char *programPath)
{
    // Returns VIPSHOME when set, and otherwise sets it to the prefix the library guesses.
    vips_guess_prefix(programPath, "VIPSHOME");
    // The library turns its informational messages on through GLib's G_MESSAGES_DEBUG.
    if (g_getenv("VIPS_INFO") || g_getenv("IM_INFO")) {
        const char *debug = g_getenv("G_MESSAGES_DEBUG");
        if (!debug)
            g_setenv("G_MESSAGES_DEBUG", "VIPS", TRUE);
        else if (std::strcmp(debug, "all") != 0 && !std::strstr(debug, "VIPS"))
            g_setenv("G_MESSAGES_DEBUG", (std::string(debug) + " VIPS").c_str(), TRUE);
    }
}

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
