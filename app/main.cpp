#include "core/librarymessages.h"
#include "core/desktopidentity.h"
#include "ui/picturebutton.h"
#include "ui/program_lifecycle.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    pagorra::quietenLibraryMessages();
    QApplication app(argc, argv);
    pagorra::useDesktopIdentity(pagorra::programPicture(QStringLiteral("pagorra")));
    if (pagorra::installedFilesRequested())
        return pagorra::printInstalledFiles();
    return pagorra::runDesktopProgram();
}
