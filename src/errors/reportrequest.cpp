#include "errors/reportrequest.h"

#include "core/registrystore.h"
#include "core/runtimeerror.h"

#include <QByteArray>

namespace pagorra {

namespace {

// Reserved names (RFC 2606) until the vendor's host is settled: a report can never reach a
// stranger's server by accident, and deployments point `ReportServer` at their own.
constexpr auto kDefaultServer = "https://reports.arvok-pagorra.example";
constexpr auto kPlaceholderEmail = "anonymous@arvok-pagorra.example";

void appendPair(QByteArray &query, const char *key, const QString &value)
{
    query += key;
    query += QUrl::toPercentEncoding(value);
}

} // namespace

QUrl defaultReportServerUrl()
{
    return QUrl(QString::fromLatin1(kDefaultServer));
}

QUrl reportServerFromStored(const QString &stored)
{
    const QUrl url(stored.trimmed(), QUrl::StrictMode);
    const bool usable = url.isValid() && !url.host().isEmpty() &&
                        (url.scheme() == QStringLiteral("https") || url.scheme() == QStringLiteral("http"));
    return usable ? url : defaultReportServerUrl();
}

QUrl reportServerUrl()
{
    // A deployment may point reports at its own server; an unreadable store means the default.
    QString stored;
    try {
        stored = getRegistryValue(QStringLiteral("ErrorReport"), QStringLiteral("ReportServer"), QString());
    } catch (const RuntimeError &) {
        stored.clear();
    }
    return reportServerFromStored(stored);
}

QString placeholderEmailAddress()
{
    return QString::fromLatin1(kPlaceholderEmail);
}

QString senderAddress(const QString &typedEmail)
{
    const QString trimmed = typedEmail.trimmed();
    return trimmed.isEmpty() ? placeholderEmailAddress() : trimmed;
}

QUrl buildReportRequest(const QUrl &server, const ErrorReport &report, const QString &typedEmail,
                        const QString &userDescription)
{
    QByteArray query;
    appendPair(query, "ApplicationName=", report.applicationName);
    appendPair(query, "&EmailFrom=", senderAddress(typedEmail));
    appendPair(query, "&ApplicationVersion=", report.applicationVersion);
    appendPair(query, "&RoutineName=", report.routineName);
    appendPair(query, "&ErrorLineNumber=", QString::number(report.errorLineNumber));
    appendPair(query, "&StringMessage=", report.trappingString);
    appendPair(query, "&Error=", report.systemError);
    appendPair(query, "&UserDescription=", userDescription);

    QUrl url = server.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    url.setPath(url.path() + QStringLiteral("/email/reportError.asp"));
    // Strict mode: the query is already fully encoded, so QUrl must take it byte for byte.
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

QString reportThankYouMessage()
{
    return QStringLiteral("Report send. Thank you very much for your time.\r\n\r\n"
                          "If you had provided us with a valid email address,\r\n"
                          "one of our support staff will attend to this error report,\r\n"
                          "and you might get a responce from us");
}

QString noConnectionMessage()
{
    return QStringLiteral("No active internet connection detected on your system!");
}

} // namespace pagorra
