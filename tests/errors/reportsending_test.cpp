#include "core/registrystore.h"
#include "errors/errorreportwindow.h"
#include "errors/reportrequest.h"
#include "messageboxwatcher.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTest>

using namespace pagorra;
using namespace std::chrono_literals;

namespace {

// A minimal HTTP server on the loopback: records each request line and answers with the
// status it is given, or never answers at all.
class LoopbackServer : public QObject {
  public:
    explicit LoopbackServer(int status) : m_status(status)
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onData(socket); });
            }
        });
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }
    QList<QByteArray> requestLines;

  private:
    void onData(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        requestLines << buffer.left(buffer.indexOf("\r\n"));
        if (m_status == 0)
            return; // hold the connection open and say nothing
        const QByteArray body = "ok";
        socket->write("HTTP/1.1 " + QByteArray::number(m_status) + " Status\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    int m_status;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

ErrorReport sampleReport()
{
    ErrorReport r;
    r.applicationName = QStringLiteral("Arvok Pagorra test build");
    r.applicationVersion = QStringLiteral("1.0.0 (Debian GNU/Linux 12)");
    r.routineName = QStringLiteral("cmdSaveAll_Click");
    r.errorLineNumber = 42;
    r.trappingString = QStringLiteral("Saving to multipage file '/out/a b.tif'");
    r.systemError = QStringLiteral("53 - File not found");
    return r;
}

// Fills in the real window and presses "&Send" as the user would.
void pressSend(ErrorReportWindow &window, const QString &email, const QString &description)
{
    window.open();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("txtEmail")), email);
    window.findChild<QPlainTextEdit *>(QStringLiteral("txtUserDescription"))->setPlainText(description);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("cmdSend")), Qt::LeftButton);
}

} // namespace

class ReportSendingTest : public QObject {
    Q_OBJECT

  private slots:
    void deliveredReportCarriesEveryKey_data();
    void deliveredReportCarriesEveryKey();
    void failureShowsConnectionMessage_data();
    void failureShowsConnectionMessage();
    void storedServerReceivesTheReport();
};

void ReportSendingTest::deliveredReportCarriesEveryKey_data()
{
    QTest::addColumn<QString>("typedEmail");
    QTest::addColumn<QString>("sentEmail");
    QTest::addColumn<QString>("description");

    QTest::newRow("address and tricky description")
        << QStringLiteral("  me@home.test  ") << QStringLiteral("me@home.test")
        << QStringLiteral("Saved A & B, set x=1 + 2%\nthen pressed #3 \u00e9");
    QTest::newRow("empty e-mail box") << QString() << placeholderEmailAddress() << QString();
}

void ReportSendingTest::deliveredReportCarriesEveryKey()
{
    QFETCH(QString, typedEmail);
    QFETCH(QString, sentEmail);
    QFETCH(QString, description);

    LoopbackServer server(200);
    MessageBoxWatcher watcher;
    ErrorReportWindow window(sampleReport(), server.url());
    pressSend(window, typedEmail, description);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), 1, 10000);

    QCOMPARE(server.requestLines.size(), 1);
    const QList<QByteArray> parts = server.requestLines.first().split(' ');
    QCOMPARE(parts.size(), 3); // a raw space or line break would have split the request line
    QCOMPARE(parts[0], QByteArray("GET"));
    const QByteArray target = parts[1];
    const QByteArray path = "/email/reportError.asp?";
    QVERIFY2(target.startsWith(path), target.constData());

    QStringList keys;
    QStringList values;
    const QList<QByteArray> pairs = target.mid(path.size()).split('&');
    for (const QByteArray &pair : pairs) {
        const qsizetype eq = pair.indexOf('=');
        QVERIFY2(eq > 0, pair.constData());
        keys << QString::fromLatin1(pair.left(eq));
        values << QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
    }
    const ErrorReport r = sampleReport();
    QCOMPARE(keys, (QStringList{QStringLiteral("ApplicationName"), QStringLiteral("EmailFrom"),
                                QStringLiteral("ApplicationVersion"), QStringLiteral("RoutineName"),
                                QStringLiteral("ErrorLineNumber"), QStringLiteral("StringMessage"),
                                QStringLiteral("Error"), QStringLiteral("UserDescription")}));
    QCOMPARE(values, (QStringList{r.applicationName, sentEmail, r.applicationVersion, r.routineName,
                                  QStringLiteral("42"), r.trappingString, r.systemError, description}));

    QCOMPARE(watcher.seen.first().icon, QMessageBox::Information);
    QCOMPARE(watcher.seen.first().title, r.applicationName);
    QCOMPARE(watcher.seen.first().text, reportThankYouMessage());
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
}

// A deployment's ReportServer value in the per-user store is where the window sends.
void ReportSendingTest::storedServerReceivesTheReport()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));

    LoopbackServer server(200);
    setRegistryValue(QStringLiteral("ErrorReport"), QStringLiteral("ReportServer"), server.url().toString());
    QCOMPARE(reportServerUrl(), server.url());

    MessageBoxWatcher watcher;
    ErrorReportWindow window(sampleReport(), reportServerUrl());
    pressSend(window, QString(), QStringLiteral("stored server"));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), 1, 10000);
    QCOMPARE(server.requestLines.size(), 1);
    QCOMPARE(watcher.seen.first().icon, QMessageBox::Information);

    qputenv("XDG_CONFIG_HOME", oldConfig);
}

void ReportSendingTest::failureShowsConnectionMessage_data()
{
    QTest::addColumn<int>("status"); // -1: nobody listens; 0: listens but never answers

    QTest::newRow("refused") << -1;
    QTest::newRow("server error") << 500;
    QTest::newRow("not found") << 404;
    QTest::newRow("redirect to nowhere") << 302;
    QTest::newRow("never answers") << 0;
}

void ReportSendingTest::failureShowsConnectionMessage()
{
    QFETCH(int, status);

    QUrl url;
    std::unique_ptr<LoopbackServer> server;
    if (status < 0) {
        QTcpServer closed; // take a free port, then let it go so the connection is refused
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    } else {
        server = std::make_unique<LoopbackServer>(status);
        url = server->url();
    }

    MessageBoxWatcher watcher;
    ErrorReportWindow window(sampleReport(), url);
    window.setSendTimeout(400ms);
    pressSend(window, QString(), QStringLiteral("x"));

    // While the request runs the window says so and cannot be sent twice or closed.
    if (status == 0) {
        QTRY_COMPARE(server->requestLines.size(), 1);
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("lblSending"))->isVisible());
        QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("cmdSend"))->isEnabled());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
    }

    QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), 1, 10000);
    QCOMPARE(watcher.seen.first().icon, QMessageBox::Critical);
    QCOMPARE(watcher.seen.first().title, sampleReport().applicationName);
    QCOMPARE(watcher.seen.first().text, QStringLiteral("No active internet connection detected on your system!"));
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
}

QTEST_MAIN(ReportSendingTest)
#include "reportsending_test.moc"
