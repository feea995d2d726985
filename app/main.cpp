#include "core/imaging.h"
#include "ui/program_lifecycle.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before Qt starts the threads of its platform plugin: see prepareImagingEnvironment.
    pagorra::prepareImagingEnvironment(argv[0]);
    QApplication app(argc, argv);
    return pagorra::runDesktopProgram();
}
