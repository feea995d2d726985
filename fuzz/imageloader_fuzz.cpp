// Fuzz target: any bytes as a picture file, through the whole loader (header checks, the
// decoders the first bytes choose, scaling onto a thumbnail). The file lives in memory (a
// memfd) but is opened by name like any other.
#include "generation/imageloader.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int g_file = -1;
QString g_path;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv); // Qt's readers are plugins, found through the application
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false")); // damaged input is the point
    pagorra::ensureImageLibraryStarted();
    pagorra::setThreadsPerLoad(1);
    g_file = memfd_create("picture", 0);
    if (g_file < 0)
        std::abort();
    g_path = QStringLiteral("/proc/self/fd/%1").arg(g_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (ftruncate(g_file, 0) != 0 || pwrite(g_file, data, size, 0) != ssize_t(size))
        std::abort();
    const auto picture = pagorra::loadPicture({g_path, pagorra::LoadAs::Fixed, 140, 88, 0x00FFFFFF, true});
    // A picture, when there is one, is exactly the thumbnail.
    if (picture && picture->bitmap.size() != QSize(140, 88))
        std::abort();
    return 0;
}
