#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>

class QNetworkReply;

namespace pagorra {

// Sends one report request as an HTTP GET and says whether the server took it. Any failure
// (no route, refused, TLS, timeout, an answer other than 2xx) counts as not delivered; the
// caller decides what the user sees.
class ReportSender : public QObject {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    explicit ReportSender(QObject *parent = nullptr);
    ~ReportSender() override;

    // The whole request, connection included, must finish within this time.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // Starts the request; finished() follows exactly once. A second call while one runs is ignored.
    void send(const QUrl &request);
    bool isSending() const { return !m_reply.isNull(); }

  signals:
    void finished(bool delivered);

  private:
    void onReplyFinished();

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
};

} // namespace pagorra
