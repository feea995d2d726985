#include "ui/program_lifecycle.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return pagorra::runDesktopProgram();
}
