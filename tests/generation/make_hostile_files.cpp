// Writes the hostile files into a folder and lists them on stdout, each as its kind, a tab and
// its path, ended by a NUL byte (names may hold newlines).
#include "core/filenames.h"
#include "hostilefiles.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hostile_files FOLDER\n");
        return 2;
    }
    const QList<HostileFile> files = writeHostileFiles(pagorra::pathFromNative(argv[1]));
    for (const HostileFile &f : files)
        std::printf("%s\t%s%c", qPrintable(f.kind), pagorra::nativePath(f.path).constData(), '\0');
    return files.isEmpty() ? 1 : 0;
}
