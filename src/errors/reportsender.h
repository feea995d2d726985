#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>

class QNetworkReply;

namespace pagorra {

// How sending one report ended.
struct SendResult {
    enum class Outcome {
        Delivered,    // the server answered with a 2xx status
        NoConnection, // no connection could be made (no route, no name, refused, timed out)
        NoAnswer,     // the request went out, but no status came back in time
        Refused,      // the server answered with another status
        Failed,       // anything else (TLS, protocol), described in `detail`
        Cancelled,    // the user stopped it
    };
    Outcome outcome = Outcome::Failed;
    int httpStatus = 0;
    QString detail; // the server's reason phrase, or what failed
};

// Sends one report request as an HTTP GET and says how it went; the caller decides what the
// user sees. Only the status line matters: the answer's body is read and dropped, and a
// connection that goes on sending past kMaxAnswerBytes is closed.
class ReportSender : public QObject {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};
    // A confirmation page is a few kilobytes; a server that sends more is not read any further.
    static constexpr qint64 kMaxAnswerBytes = 64 * 1024;

    explicit ReportSender(QObject *parent = nullptr);
    ~ReportSender() override;

    // The whole request, connection included, must finish within this time.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // Starts the request; finished() follows exactly once, from the event loop. A second call
    // before it is ignored.
    void send(const QUrl &request);
    // Stops the request on its way; finished() follows with Cancelled.
    void cancel();
    bool isSending() const { return m_busy; }

  signals:
    void finished(const pagorra::SendResult &result);

  private:
    void onReadyRead();
    void onReplyFinished();
    SendResult resultOf(QNetworkReply &reply) const;

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    qint64 m_received = 0;
    bool m_requestSent = false;
    bool m_cancelled = false;
    bool m_busy = false; // from send() until finished() has been emitted
};

} // namespace pagorra
