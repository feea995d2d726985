#include "errors/reportsender.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace pagorra {

ReportSender::ReportSender(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_reply)
            m_reply->abort(); // finishes the reply with OperationCanceledError
    });
}

ReportSender::~ReportSender()
{
    if (m_reply) {
        // Leaving mid-request (the window went away): drop the reply without reporting.
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply;
    }
}

void ReportSender::send(const QUrl &request)
{
    if (m_reply)
        return;
    QNetworkRequest networkRequest(request);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("ArvokPagorra-ErrorReport"));
    m_reply = m_network.get(networkRequest);
    connect(m_reply, &QNetworkReply::finished, this, &ReportSender::onReplyFinished);
    m_deadline.start(m_timeout);
}

void ReportSender::onReplyFinished()
{
    m_deadline.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool delivered = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    reply->deleteLater();
    emit finished(delivered);
}

} // namespace pagorra
