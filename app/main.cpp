#include "core/librarymessages.h"
#include "ui/program_lifecycle.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    pagorra::quietenLibraryMessages();
    QApplication app(argc, argv);
    return pagorra::runDesktopProgram();
}
