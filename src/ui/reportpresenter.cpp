#include "ui/reportpresenter.h"

#include "errors/errorhandler.h"

#include <QMessageBox>

namespace pagorra {

void installReportPresenter()
{
    setReportPresenter([](const ErrorReport &report) {
        const QString text =
            QStringLiteral("Application: %1 %2\nTrapping String: %3\nRoutine: %4\nLine: %5\nSystem error: %6")
                .arg(report.applicationName, report.applicationVersion, report.trappingString, report.routineName,
                     QString::number(report.errorLineNumber), report.systemError);
        QMessageBox box(QMessageBox::Critical, report.applicationName, text, QMessageBox::Ok);
        box.exec();
    });
}

} // namespace pagorra
