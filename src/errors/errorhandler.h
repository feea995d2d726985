#pragma once

#include "core/runtimeerror.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace pagorra {

// The fields of the last error report. They keep their values until the next error.
struct ErrorReport {
    QString applicationName;
    QString applicationVersion;
    QString routineName;
    std::int16_t errorLineNumber = 0;
    QString trappingString;
    QString systemError;
};

// The current-action text shown in reports; never cleared, empty until an operation sets it.
const QString &lastAction();
void setLastAction(const QString &text);

// Fills ApplicationName (the product title, one space, our version comment); called once
// at start-up.
void initErrorHandling();

// "major.minor.revision (OS name)", e.g. "1.0.0 (Debian GNU/Linux 12)".
QString applicationVersionText();
// The operating system's name and version, e.g. "Debian GNU/Linux 12"; empty when unknown.
QString osVersionName();

// The one handler every trapping routine calls. Fills the report fields and shows the
// report through the installed presenter, returning when it has been closed.
void globalErrorHandler(const QString &description, std::int32_t number, int lineNumber, const QString &routineName);
void globalErrorHandler(const RuntimeError &error, const QString &routineName);

const ErrorReport &errorReport();

// Shows a report and returns when the user has closed it. The GUI installs the report
// window; without one (batch tool, engine tests) reports go to stderr.
using ReportPresenter = std::function<void(const ErrorReport &)>;
void setReportPresenter(ReportPresenter presenter);

} // namespace pagorra
