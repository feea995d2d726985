#include "errors/reportrequest.h"

#include "core/registrystore.h"
#include "core/runtimeerror.h"

#include <QByteArray>

namespace pagorra {

namespace {

// Set by the build (checked there to be an http or https address); empty unless a build names
// its vendor's server, so that no report goes to a server nobody runs.
constexpr auto kDefaultServer = PAGORRA_REPORT_SERVER;
// A reserved name (RFC 2606): it can never be somebody's real address.
constexpr auto kPlaceholderEmail = "anonymous@arvok-pagorra.example";

} // namespace

QUrl defaultReportServerUrl()
{
    return QUrl(QString::fromUtf8(kDefaultServer), QUrl::StrictMode);
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

QList<std::pair<QString, QString>> reportFields(const ErrorReport &report, const QString &typedEmail,
                                                const QString &userDescription)
{
    return {{QStringLiteral("ApplicationName"), report.applicationName},
            {QStringLiteral("EmailFrom"), senderAddress(typedEmail)},
            {QStringLiteral("ApplicationVersion"), report.applicationVersion},
            {QStringLiteral("RoutineName"), report.routineName},
            {QStringLiteral("ErrorLineNumber"), QString::number(report.errorLineNumber)},
            {QStringLiteral("StringMessage"), report.trappingString},
            {QStringLiteral("Error"), report.systemError},
            {QStringLiteral("UserDescription"), userDescription}};
}

QUrl buildReportRequest(const QUrl &server, const ErrorReport &report, const QString &typedEmail,
                        const QString &userDescription)
{
    QByteArray query;
    for (const auto &[key, value] : reportFields(report, typedEmail, userDescription)) {
        if (!query.isEmpty())
            query += '&';
        query += key.toLatin1() + '=' + QUrl::toPercentEncoding(value);
    }

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
