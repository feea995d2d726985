#include "errors/errorhandler.h"

#include "core/product.h"

#include <QSysInfo>
#include <cstdio>

namespace pagorra {

namespace {
QString g_lastAction;
ErrorReport g_report;
ReportPresenter g_presenter;

// Our version comment, the text that follows the product title in reports.
QString versionComment()
{
    return QStringLiteral("contact sheets for Linux");
}
} // namespace

const QString &lastAction()
{
    return g_lastAction;
}
void setLastAction(const QString &text)
{
    g_lastAction = text;
}

void initErrorHandling()
{
    g_report.applicationName = productTitle() + u' ' + versionComment();
}

QString osVersionName()
{
    // The pretty name carries a code name in parentheses ("Debian GNU/Linux 12 (bookworm)");
    // the report wraps the name in parentheses itself, so keep just name and version.
    QString name = QSysInfo::prettyProductName().trimmed();
    const qsizetype open = name.lastIndexOf(u" (");
    if (open > 0 && name.endsWith(u')'))
        name.truncate(open);
    return name;
}

QString applicationVersionText()
{
    return QStringLiteral("%1.%2.%3 (%4)")
        .arg(PAGORRA_VERSION_MAJOR)
        .arg(PAGORRA_VERSION_MINOR)
        .arg(PAGORRA_VERSION_PATCH)
        .arg(osVersionName());
}

void globalErrorHandler(const QString &description, std::int32_t number, int lineNumber, const QString &routineName)
{
    g_report.applicationVersion = applicationVersionText();
    g_report.routineName = routineName;
    g_report.errorLineNumber = static_cast<std::int16_t>(lineNumber);
    g_report.trappingString = g_lastAction;
    g_report.systemError = QString::number(number) + QStringLiteral(" - ") + description;
    if (g_presenter)
        g_presenter(g_report);
    else
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(routineName), qUtf8Printable(g_report.systemError));
}

void globalErrorHandler(const RuntimeError &error, const QString &routineName)
{
    globalErrorHandler(error.description(), error.number(), error.line(), routineName);
}

const ErrorReport &errorReport()
{
    return g_report;
}

void setReportPresenter(ReportPresenter presenter)
{
    g_presenter = std::move(presenter);
}

} // namespace pagorra
