#pragma once

#include "errors/errorhandler.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <utility>

namespace pagorra {

// The server this build sends reports to unless a deployment names another: the build option
// PAGORRA_REPORT_SERVER. Empty when the build names none; reports are then kept on disk only.
QUrl defaultReportServerUrl();

// The server a stored `ReportServer` text names: an absolute http or https address with a
// host; anything else (empty, a bare word, another scheme) falls back to the default so a
// typo in a deployment cannot send reports somewhere unintended.
QUrl reportServerFromStored(const QString &stored);

// The report server in effect: the deployment's `ReportServer` value (section `ErrorReport`
// of the per-user store) when set and valid, otherwise the build's default (maybe none).
QUrl reportServerUrl();

// Stands in for the sender when the e-mail box is left empty, so the server always gets a key.
QString placeholderEmailAddress();

// The typed address without surrounding white space, or the placeholder when nothing is left.
QString senderAddress(const QString &typedEmail);

// The fields a report request carries, as key and value, in the request's order.
QList<std::pair<QString, QString>> reportFields(const ErrorReport &report, const QString &typedEmail,
                                                const QString &userDescription);

// The one GET request that carries a report. Keys and their order are fixed; every value is
// percent-encoded as UTF-8, so a description holding "&", "=", "#" or line breaks cannot end
// its own value or forge another key. The server's scheme, host, port and any path prefix are
// kept. Pure: no I/O, never fails.
QUrl buildReportRequest(const QUrl &server, const ErrorReport &report, const QString &typedEmail,
                        const QString &userDescription);

// The texts the user sees after sending.
QString reportThankYouMessage();
QString noConnectionMessage();

} // namespace pagorra
