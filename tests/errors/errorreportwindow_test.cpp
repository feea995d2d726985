#include "core/registrystore.h"
#include "errors/errorhandler.h"
#include "errors/errorreportwindow.h"
#include "errors/reportrequest.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

using namespace pagorra;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Answers every message box that opens while it lives, as a user pressing OK would, and
// remembers what each one said.
class MessageBoxWatcher : public QObject {
  public:
    struct Seen {
        QMessageBox::Icon icon;
        QString title, text;
    };
    QList<Seen> seen;

    MessageBoxWatcher()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows) {
                if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                    seen.append({box->icon(), box->windowTitle(), box->text()});
                    box->button(QMessageBox::Ok)->click();
                }
            }
        });
        m_poll.start(10);
    }

  private:
    QTimer m_poll;
};

// A minimal HTTP server on the loopback: records each request line and answers with the
// status it is given, or (status 0) never answers at all.
class LoopbackServer : public QObject {
  public:
    explicit LoopbackServer(int status) : m_status(status)
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onData(socket); });
        });
    }

    QUrl url() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server.serverPort())); }
    QList<QByteArray> requestLines;

  private:
    void onData(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        requestLines << buffer.left(buffer.indexOf("\r\n"));
        if (m_status == 0)
            return;
        socket->write("HTTP/1.1 " + QByteArray::number(m_status) +
                      " Status\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
        socket->disconnectFromHost();
    }

    int m_status;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

ErrorReport sampleReport()
{
    ErrorReport r;
    r.applicationName = u"Arvok Pagorra test build"_s;
    r.applicationVersion = u"1.0.0 (Debian GNU/Linux 12)"_s;
    r.routineName = u"cmdSaveAll_Click"_s;
    r.errorLineNumber = -32768;
    r.trappingString = u"Saving to multipage file '/out/a&b.tif'"_s;
    r.systemError = u"6 - <b>Overflow</b>"_s;
    return r;
}

QString labelText(const QWidget &window, const char *name)
{
    const auto *label = window.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : u"<missing %1>"_s.arg(QString::fromLatin1(name));
}

// Fills in the real window and presses "&Send" as the user would.
void pressSend(ErrorReportWindow &window, const QString &email, const QString &description)
{
    window.open();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(window.findChild<QLineEdit *>(u"txtEmail"_s), email);
    window.findChild<QPlainTextEdit *>(u"txtUserDescription"_s)->setPlainText(description);
    QTest::mouseClick(window.findChild<QPushButton *>(u"cmdSend"_s), Qt::LeftButton);
}

} // namespace

class ErrorReportWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

  private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }

    void textsAndLabels()
    {
        ErrorReportWindow window(sampleReport(), QUrl(u"http://127.0.0.1:9"_s));
        QCOMPARE(window.objectName(), u"frmErrorReport"_s);
        QCOMPARE(window.windowTitle(), u" Send Error Report"_s);
        QCOMPARE(window.font().family(), u"Tahoma"_s);
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QCOMPARE(labelText(window, "lblHeading"), exe + u" has encountered a problem"_s);

        QStringList texts;
        const QList<QLabel *> labels = window.findChildren<QLabel *>();
        for (const QLabel *label : labels)
            texts << label->text();
        const QStringList expected = {
            QStringLiteral(
                "We are sorry for the incovenience. We have created an error report that you can send to us. "
                "We will treat this report as confidential and anonymous. To help us diagnose the cause of "
                "this error and improve this software, please describe what you were doing when this error "
                "occurred, and send this report to us."),
            QStringLiteral("Sending this report to us will help resolve this bug/issue in upcoming release. It should "
                           "take a few seconds to submit this error report online."),
            u"Application:"_s,
            u"Trapping String:"_s,
            u"Routine:"_s,
            u"Line:"_s,
            u"System error:"_s,
            u"Your Email address [Optional, but if you want feedback, input one]"_s,
            u"Describe the steps leading to this error: [Optional]"_s,
        };
        for (const QString &text : expected)
            QVERIFY2(texts.contains(text), qPrintable(text));
        QCOMPARE(window.findChild<QPushButton *>(u"cmdSend"_s)->text(), u"&Send"_s);
        QCOMPARE(window.findChild<QPushButton *>(u"cmdCancel"_s)->text(), u"&Cancel"_s);

        const ErrorReport r = sampleReport();
        QCOMPARE(labelText(window, "lblApplication"), r.applicationName + u' ' + r.applicationVersion);
        QCOMPARE(labelText(window, "lblTrappingString"), r.trappingString);
        QCOMPARE(labelText(window, "lblRoutine"), r.routineName);
        QCOMPARE(labelText(window, "lblLineNumber"), u"-32768"_s);
        QCOMPARE(labelText(window, "lblSystemError"), r.systemError);
        QCOMPARE(window.findChild<QLabel *>(u"lblSystemError"_s)->textFormat(), Qt::PlainText);
    }

    void cancelSendsNothingAndEachErrorStartsAfresh()
    {
        setReportPresenter(showErrorReport);
        MessageBoxWatcher watcher;
        QStringList emailsAtOpen, routinesShown;
        // Runs inside the modal window's loop: note what it shows, type something, then cancel.
        const auto answerWithCancel = [&] {
            QTimer::singleShot(0, [&] {
                QWidget *window = QApplication::activeModalWidget();
                QVERIFY(window && window->objectName() == u"frmErrorReport"_s);
                auto *email = window->findChild<QLineEdit *>(u"txtEmail"_s);
                emailsAtOpen << email->text();
                routinesShown << labelText(*window, "lblRoutine");
                QTest::keyClicks(email, u"me@home.test"_s);
                QTest::mouseClick(window->findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
            });
        };
        answerWithCancel();
        globalErrorHandler(u"File not found"_s, 53, 7, u"cmdSaveAll_Click"_s);
        answerWithCancel();
        globalErrorHandler(u"Overflow"_s, 6, 9, u"LoadPic"_s);
        setReportPresenter(nullptr);

        QCOMPARE(routinesShown, (QStringList{u"cmdSaveAll_Click"_s, u"LoadPic"_s}));
        QCOMPARE(emailsAtOpen, (QStringList{QString(), QString()}));
        QTest::qWait(50);
        QVERIFY(watcher.seen.isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void storedServerReceivesEveryKey_data()
    {
        QTest::addColumn<QString>("typedEmail");
        QTest::addColumn<QString>("sentEmail");
        QTest::addColumn<QString>("description");
        QTest::newRow("address and tricky description")
            << u"  me@home.test  "_s << u"me@home.test"_s << u"Saved A & B, set x=1 + 2%\nthen pressed #3 \u00e9"_s;
        QTest::newRow("empty e-mail box") << QString() << placeholderEmailAddress() << QString();
    }

    // A deployment's ReportServer value in the per-user store is where the window sends.
    void storedServerReceivesEveryKey()
    {
        QFETCH(QString, typedEmail);
        QFETCH(QString, sentEmail);
        QFETCH(QString, description);

        LoopbackServer server(200);
        setRegistryValue(u"ErrorReport"_s, u"ReportServer"_s, server.url().toString());
        MessageBoxWatcher watcher;
        ErrorReportWindow window(sampleReport(), reportServerUrl());
        pressSend(window, typedEmail, description);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), 1, 10000);

        QCOMPARE(server.requestLines.size(), 1);
        const QList<QByteArray> parts = server.requestLines.first().split(' ');
        QCOMPARE(parts.size(), 3); // a raw space or line break would have split the request line
        QCOMPARE(parts[0], QByteArray("GET"));
        QVERIFY2(!parts[1].contains('+'), parts[1].constData()); // the server would read a raw "+" as a space
        const QUrl target = QUrl::fromEncoded(parts[1]);
        QCOMPARE(target.path(), u"/email/reportError.asp"_s);
        const ErrorReport r = sampleReport();
        using Item = QPair<QString, QString>;
        QCOMPARE(QUrlQuery(target).queryItems(QUrl::FullyDecoded),
                 (QList<Item>{{u"ApplicationName"_s, r.applicationName},
                              {u"EmailFrom"_s, sentEmail},
                              {u"ApplicationVersion"_s, r.applicationVersion},
                              {u"RoutineName"_s, r.routineName},
                              {u"ErrorLineNumber"_s, u"-32768"_s},
                              {u"StringMessage"_s, r.trappingString},
                              {u"Error"_s, r.systemError},
                              {u"UserDescription"_s, description}}));
        QCOMPARE(watcher.seen.first().icon, QMessageBox::Information);
        QCOMPARE(watcher.seen.first().title, r.applicationName);
        QCOMPARE(watcher.seen.first().text, reportThankYouMessage());
        QVERIFY(!window.isVisible());
    }

    void failureShowsConnectionMessage_data()
    {
        QTest::addColumn<int>("status"); // -1: nobody listens; 0: listens but never answers
        QTest::newRow("refused") << -1;
        QTest::newRow("server error") << 500;
        QTest::newRow("not modified") << 304; // a 3xx is no delivery
        QTest::newRow("never answers") << 0;
    }

    void failureShowsConnectionMessage()
    {
        QFETCH(int, status);
        QUrl url;
        std::unique_ptr<LoopbackServer> server;
        if (status < 0) {
            QTcpServer closed; // take a free port, then let it go so the connection is refused
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url = QUrl(u"http://127.0.0.1:%1"_s.arg(closed.serverPort()));
        } else {
            server = std::make_unique<LoopbackServer>(status);
            url = server->url();
        }

        MessageBoxWatcher watcher;
        ErrorReportWindow window(sampleReport(), url);
        window.setSendTimeout(400ms);
        pressSend(window, QString(), u"x"_s);
        if (status == 0) { // while the request runs the window says so and cannot be sent twice or closed
            QTRY_COMPARE(server->requestLines.size(), 1);
            QVERIFY(window.findChild<QLabel *>(u"lblSending"_s)->isVisible());
            QVERIFY(!window.findChild<QPushButton *>(u"cmdSend"_s)->isEnabled());
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(window.isVisible());
        }
        QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), 1, 10000);
        QCOMPARE(watcher.seen.first().icon, QMessageBox::Critical);
        QCOMPARE(watcher.seen.first().title, sampleReport().applicationName);
        QCOMPARE(watcher.seen.first().text, u"No active internet connection detected on your system!"_s);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(ErrorReportWindowTest)
#include "errorreportwindow_test.moc"
