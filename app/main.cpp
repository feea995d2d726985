#include "core/desktopidentity.h"
#include "core/filenames.h"
#include "core/imaging.h"
#include "core/librarymessages.h"
#include "core/product.h"
#include "ui/picturebutton.h"
#include "ui/program_lifecycle.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

// The program's command line: options of its own, then files and folders to put in the basket.
// Qt's own options (-platform, -style ...) are taken by QApplication before this sees them.
struct DesktopCommandLine {
    QStringList paths;
    QString reply; // text for stdout: help or version
    QString error;
};

QString usage()
{
    return QStringLiteral("Usage: pagorra [options] [FILE|FOLDER...]\n"
                          "Makes contact sheets of photos. FILE and FOLDER go into the Image Basket as if\n"
                          "dropped on it (pictures of the types the program reads, and every such picture of a\n"
                          "folder). A job file (.pagorra) is opened first: its basket, settings and output.\n\n"
                          "Options:\n"
                          "  -h, --help     Show this help and exit.\n"
                          "  -v, --version  Show the version and exit.\n");
}

DesktopCommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
    DesktopCommandLine result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help))
        result.reply = usage();
    else if (parser.isSet(version))
        result.reply = QStringLiteral("pagorra %1.%2.%3\n")
                           .arg(PAGORRA_VERSION_MAJOR)
                           .arg(PAGORRA_VERSION_MINOR)
                           .arg(PAGORRA_VERSION_PATCH);
    // Paths as the file system spells them, made absolute: they become basket keys.
    char cwd[4096];
    const QString here = ::getcwd(cwd, sizeof cwd) ? pagorra::pathFromNative(QByteArray(cwd)) : QString();
    const QStringList given = parser.positionalArguments();
    for (const QString &path : given)
        result.paths.append(path.startsWith(u'/') ? path : here + u'/' + path);
    return result;
}

// A thumbnail at the default cell is 48 KiB, at 300 dpi 470 KiB; a page is several MiB.
constexpr int kReturnedBufferBytes = 256 * 1024;

} // namespace

int main(int argc, char *argv[])
{
    // Pages and thumbnails are made on worker threads and let go of on this one. With its
    // threshold fixed, malloc gives such large buffers back to the system when they are freed;
    // left to adjust itself it would raise the threshold and keep them in its heaps.
    mallopt(M_MMAP_THRESHOLD, kReturnedBufferBytes);
    // Before Qt starts the threads of its platform plugin: see prepareImagingEnvironment.
    pagorra::prepareImagingEnvironment(argv[0]);
    pagorra::quietenLibraryMessages();
    // Help and version need no display: answered before the application starts, from the
    // arguments as they came (Qt's options are left to QApplication below).
    const QStringList raw = pagorra::argumentsFromNative(argc, argv);
    for (const QString &argument : raw.mid(1)) {
        if (argument == u"--")
            break;
        if (argument == u"-h" || argument == u"--help" || argument == u"-v" || argument == u"--version") {
            const DesktopCommandLine line = parseCommandLine(QStringList{raw.first(), argument});
            std::fputs(qUtf8Printable(line.reply), stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    // QApplication has removed its own options; what is left is ours, read without Qt's lossy
    // decoding of names.
    const DesktopCommandLine line = parseCommandLine(pagorra::argumentsFromNative(argc, argv));
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "pagorra: %s\nTry 'pagorra --help' for more information.\n", qUtf8Printable(line.error));
        return 2;
    }
    pagorra::useDesktopIdentity(pagorra::programPicture(QStringLiteral("pagorra")));
    if (pagorra::installedFilesRequested())
        return pagorra::printInstalledFiles();
    return pagorra::runDesktopProgram(line.paths);
}
