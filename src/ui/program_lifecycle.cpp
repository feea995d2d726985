#include "ui/program_lifecycle.h"

#include "core/imaging.h"
#include "core/product.h"
#include "core/singleinstance.h"
#include "ui/basketcontroller.h"
#include "ui/mainwindow.h"
#include "ui/reportpresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace pagorra {

QString secondInstanceMessage()
{
    return QStringLiteral("There is already an instance of ") + productTitle() +
           QStringLiteral(" running!\nMultiple instance is unsupported.");
}

int runDesktopProgram(const QStringList &paths)
{
    SingleInstance instance;
    if (!instance.acquire()) {
        // Also on stderr: started from a terminal, the user sees why no window came up.
        std::fprintf(stderr, "%s\n", qUtf8Printable(secondInstanceMessage()));
        std::fflush(stderr);
        QMessageBox box(QMessageBox::Critical, productTitle(), secondInstanceMessage(), QMessageBox::Ok);
        box.exec();
        return 1; // nothing was loaded, so nothing is saved
    }

    installReportPresenter();
    int exitCode = 0;
    {
        MainWindow window;
        window.formLoad();
        if (!window.hasEnded()) {
            window.show();
            if (!paths.isEmpty())
                window.basket()->addPaths(paths);
            exitCode = QApplication::exec();
        }
    }
    shutdownImaging();
    return exitCode;
}

} // namespace pagorra
