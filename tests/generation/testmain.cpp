// Fonts and the desktop palette need a GUI application object, even off-screen.
#include "generation/imageloader.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    pagorra::ensureImageLibraryStarted();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
