#include "errors/reportsender.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace pagorra {

namespace {

// Longest reason phrase quoted to the user: it comes from the server and says little more.
constexpr qsizetype kMaxReasonLength = 80;

QString printableReason(const QByteArray &phrase)
{
    QString reason;
    for (const char c : phrase.left(kMaxReasonLength))
        reason += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : u'?';
    return reason.trimmed();
}

} // namespace

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
    if (m_busy)
        return;
    m_busy = true;
    m_received = 0;
    m_requestSent = false;
    m_cancelled = false;
    QNetworkRequest networkRequest(request);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("ArvokPagorra-ErrorReport"));
    m_reply = m_network.get(networkRequest);
    // Keeps what the network layer holds for us small too, whatever the server sends.
    m_reply->setReadBufferSize(kMaxAnswerBytes);
    connect(m_reply, &QNetworkReply::requestSent, this, [this] { m_requestSent = true; });
    connect(m_reply, &QNetworkReply::readyRead, this, &ReportSender::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &ReportSender::onReplyFinished);
    m_deadline.start(m_timeout);
}

void ReportSender::cancel()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}

void ReportSender::onReadyRead()
{
    char buffer[4096];
    qint64 n;
    while (m_reply && (n = m_reply->read(buffer, sizeof buffer)) > 0)
        m_received += n;
    if (m_reply && m_received > kMaxAnswerBytes)
        m_reply->abort(); // the status is known by now; the rest is not needed
}

void ReportSender::onReplyFinished()
{
    m_deadline.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    const SendResult result = resultOf(*reply);
    reply->deleteLater();
    // Told from the event loop, not from inside the reply's own signal: whoever listens may
    // open a message box, whose event loop would delete the reply while it is still emitting.
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            m_busy = false;
            emit finished(result);
        },
        Qt::QueuedConnection);
}

SendResult ReportSender::resultOf(QNetworkReply &reply) const
{
    using Outcome = SendResult::Outcome;
    SendResult result;
    result.httpStatus = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_cancelled) {
        result.outcome = Outcome::Cancelled;
    } else if (result.httpStatus != 0) {
        // The status line is the server's answer, whatever happened to the body after it.
        const bool taken = result.httpStatus >= 200 && result.httpStatus < 300;
        result.outcome = taken ? Outcome::Delivered : Outcome::Refused;
        result.detail = printableReason(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    } else {
        switch (reply.error()) {
        case QNetworkReply::SslHandshakeFailedError:
        case QNetworkReply::TooManyRedirectsError:
        case QNetworkReply::InsecureRedirectError:
            result.outcome = Outcome::Failed;
            break;
        default:
            // Network-level failures (the deadline's abort among them): whether the request
            // went out tells a server that is out of reach from one that keeps silent.
            const bool networkLevel = reply.error() < QNetworkReply::ContentAccessDenied;
            if (networkLevel)
                result.outcome = m_requestSent ? Outcome::NoAnswer : Outcome::NoConnection;
            break;
        }
        result.detail = reply.errorString();
    }
    return result;
}

} // namespace pagorra
