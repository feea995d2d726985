#include "core/registrystore.h"
#include "errors/errorhandler.h"
#include "errors/errorreportwindow.h"
#include "errors/keptreports.h"
#include "errors/reportrequest.h"
#include "ui/program_lifecycle.h"

#include <QApplication>
#include <QDir>
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

using namespace pagorra;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Answers every message box that opens while it lives, as a user pressing OK would, and
// remembers what each one said.
struct MessageBoxWatcher : QTimer {
    struct Seen {
        QMessageBox::Icon icon;
        QString title, text;
    };
    QList<Seen> seen;

    MessageBoxWatcher()
    {
        connect(this, &QTimer::timeout, [this] {
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows)
                if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                    seen.append({box->icon(), box->windowTitle(), box->text()});
                    box->button(QMessageBox::Ok)->click();
                }
        });
        start(10);
    }
};

// A minimal HTTP server on the loopback: records each request line and answers with `status`,
// or (status 0) never answers. An endless answer has a body without end, sent as long as the
// client reads it.
struct LoopbackServer : QTcpServer {
    LoopbackServer(int status, bool endless)
    {
        QVERIFY(listen(QHostAddress::LocalHost));
        connect(this, &QTcpServer::newConnection, [=, this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, [=, this] {
                if (!(m_request += socket->readAll()).endsWith("\r\n\r\n") || status == 0)
                    return;
                requestLine = m_request.left(m_request.indexOf("\r\n"));
                socket->write("HTTP/1.1 " + QByteArray::number(status) + " Server Trouble\r\nConnection: close\r\n" +
                              (endless ? "Content-Length: 1000000000000\r\n\r\n" : "Content-Length: 2\r\n\r\nok"));
                if (!endless)
                    return socket->disconnectFromHost();
                const auto more = [=, this] { bodyWritten += socket->write(QByteArray(65536, 'x')); };
                connect(socket, &QTcpSocket::bytesWritten, [=] { socket->bytesToWrite() < 65536 ? more() : void(); });
                more();
            });
        });
    }

    QByteArray m_request, requestLine;
    qint64 bodyWritten = 0;
};

// clang-format off
const ErrorReport kReport{u"Arvok Pagorra test build"_s, u"1.0.0 (Debian GNU/Linux 12)"_s, u"cmdSaveAll_Click"_s,
                          -32768, u"Saving to multipage file '/out/a&b.tif'"_s, u"6 - <b>Overflow</b>"_s};
// clang-format on

QString labelText(const QWidget &window, const char *name)
{
    const auto *label = window.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : u"<missing %1>"_s.arg(QString::fromLatin1(name));
}

} // namespace

class ErrorReportWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

  private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u"config"_s)));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.filePath(u"state"_s)));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.path()));
    }

    void sendEndsAsTheServerAnswers_data()
    {
        QTest::addColumn<int>("status"); // the server's answer; 0: none; -1: nobody listens; -2: no server set up
        QTest::addColumn<bool>("endless");
        QTest::addColumn<bool>("cancel"); // the user presses Esc while the report is on its way
        QTest::addColumn<QString>("message");
        QTest::newRow("taken") << 200 << false << false << reportThankYouMessage();
        QTest::newRow("taken, endless answer") << 200 << true << false << reportThankYouMessage();
        QTest::newRow("connection refused") << -1 << false << false << noConnectionMessage();
        QTest::newRow("server error") << 500 << false << false
                                      << u"The report server did not take the report: it answered with HTTP status "
                                         "500 (Server Trouble)."_s;
        QTest::newRow("no answer") << 0 << false << false << u"The report server did not answer within 2 seconds."_s;
        QTest::newRow("cancelled") << 0 << false << true << u"Sending the report was cancelled."_s;
        // A stored address that is not http or https falls back to the build's, none by default.
        QTest::newRow("no server set up")
            << -2 << false << false
            << u"No report server is set up for this copy of the program, so the report was not sent."_s;
    }

    // Sends through the real window to the server the store names. A report that does not get
    // through is kept on disk, and the message says why and where.
    void sendEndsAsTheServerAnswers()
    {
        QFETCH(int, status);
        QFETCH(bool, endless);
        QFETCH(bool, cancel);
        QFETCH(QString, message);
        if (status == -2 && !defaultReportServerUrl().isEmpty())
            QSKIP("this build names a report server");
        LoopbackServer server(status, endless);
        setRegistryValue(u"ErrorReport"_s, u"ReportServer"_s,
                         status == -2 ? u"ftp://127.0.0.1/"_s
                                      : u"http://127.0.0.1:%1/errors/"_s.arg(server.serverPort()));
        const QUrl url = reportServerUrl();
        if (status == -1)
            server.close(); // the port is free again: the connection is refused
        QDir(keptReportsFolder()).removeRecursively();

        MessageBoxWatcher watcher;
        ErrorReportWindow window(kReport, url);
        window.setSendTimeout(2s);
        const QString description = u"Saved A & B, set x=1 + 2%\nthen pressed #3 \u00e9"_s;
        window.open();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClicks(window.findChild<QLineEdit *>(u"txtEmail"_s),
                         status == 200 ? u"  me@home.test "_s : QString());
        window.findChild<QPlainTextEdit *>(u"txtUserDescription"_s)->setPlainText(description);
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdSend"_s), Qt::LeftButton);
        if (cancel) { // a send that blocked the window would not get here before it ended
            QTRY_VERIFY(!server.m_request.isEmpty());
            QVERIFY(window.findChild<QLabel *>(u"lblSending"_s)->isVisible());
            QTest::keyClick(&window, Qt::Key_Escape);
        }
        QTRY_COMPARE_WITH_TIMEOUT(watcher.seen.size(), 1, 10000);
        QCOMPARE(watcher.seen.first().title, kReport.applicationName);
        QVERIFY(!window.isVisible());
        const QStringList kept = QDir(keptReportsFolder()).entryList(QDir::Files | QDir::Hidden);

        if (message == reportThankYouMessage()) {
            QCOMPARE(watcher.seen.first().icon, QMessageBox::Information);
            QCOMPARE(watcher.seen.first().text, message);
            QCOMPARE(kept, QStringList());
            QVERIFY2(server.bodyWritten < 16 << 20, QByteArray::number(server.bodyWritten)); // dropped, not read
            // Every value percent-encoded as UTF-8 ("+" too, which a server reads as a space), keys in order.
            QCOMPARE(server.requestLine,
                     "GET /errors/email/reportError.asp?ApplicationName=Arvok%20Pagorra%20test%20build"
                     "&EmailFrom=me%40home.test&ApplicationVersion=1.0.0%20%28Debian%20GNU%2FLinux%2012%29"
                     "&RoutineName=cmdSaveAll_Click&ErrorLineNumber=-32768&StringMessage=Saving%20to%20multipage%20"
                     "file%20%27%2Fout%2Fa%26b.tif%27&Error=6%20-%20%3Cb%3EOverflow%3C%2Fb%3E&UserDescription=Saved"
                     "%20A%20%26%20B%2C%20set%20x%3D1%20%2B%202%25%0Athen%20pressed%20%233%20%C3%A9 HTTP/1.1");
            return;
        }
        QCOMPARE(watcher.seen.first().icon, cancel || status == -2 ? QMessageBox::Information : QMessageBox::Critical);
        QCOMPARE(kept.size(), 1);
        const QString path = keptReportsFolder() + u'/' + kept.first();
        QCOMPARE(watcher.seen.first().text, message + u"\r\n\r\nIt was kept in '"_s + path + u"'."_s);
        QFile file(path);
        const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        QVERIFY2(text.startsWith(u"Arvok Pagorra error report, kept because it was not delivered: "_s + message) &&
                     text.contains(u"\nEmailFrom: "_s + placeholderEmailAddress() + u"\n"_s) &&
                     text.endsWith(u"\nUserDescription: Saved A & B, set x=1 + 2%\n  then pressed #3 \u00e9\n"_s),
                 qPrintable(text));
    }

    // The desktop program from start to end, with a folder where its settings file belongs: the
    // load and the save each raise a report that names the product and the file, in the window's
    // fixed texts. Cancel sends nothing and keeps nothing, and each report opens afresh.
    void startUpAndShutdownReportsNameTheProductAndTheFile()
    {
        const QString settings = m_home.filePath(u"config/pagorra/settings.json"_s);
        QFile::remove(settings);
        QVERIFY(QDir().mkpath(settings));
        QDir(keptReportsFolder()).removeRecursively();
        setLastAction(u"Before start-up"_s);
        QStringList shown, texts;
        MessageBoxWatcher watcher;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            QWidget *report = QApplication::activeModalWidget();
            if (report && report->objectName() == u"frmErrorReport") {
                auto *email = report->findChild<QLineEdit *>(u"txtEmail"_s);
                shown << QStringList{labelText(*report, "lblApplication"), labelText(*report, "lblTrappingString"),
                                     labelText(*report, "lblRoutine"), labelText(*report, "lblSystemError"),
                                     email->text()}
                             .join(u'|');
                const QList<QLabel *> labels = report->findChildren<QLabel *>();
                for (const QLabel *label : labels)
                    texts << label->text();
                auto *cancel = report->findChild<QPushButton *>(u"cmdCancel"_s);
                texts << report->windowTitle() << report->font().family() << cancel->text()
                      << report->findChild<QPushButton *>(u"cmdSend"_s)->text();
                QTest::keyClicks(email, u"me@home.test"_s);
                QTest::mouseClick(cancel, Qt::LeftButton);
                QVERIFY(labelText(*report, "lblLineNumber").toInt() > 0); // checked once the window goes
                QCOMPARE(report->findChild<QLabel *>(u"lblSystemError"_s)->textFormat(), Qt::PlainText); // no markup
                return;
            }
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows)
                if (w->objectName() == u"frmMain" && w->isVisible()) // closed from outside this timer's slot
                    QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
        });
        user.start(20);
        QCOMPARE(runDesktopProgram(), 0);

        const QString start = u"Arvok Pagorra contact sheets for Linux "_s + applicationVersionText() +
                              u"|Before start-up|%1|"_s + QString::number(err::ApplicationBase + 2000 + EISDIR) +
                              u" - %2: '"_s + settings + u"': Is a directory|"_s;
        QCOMPARE(shown,
                 (QStringList{start.arg(u"subLoadRegistrySettings"_s, u"Could not open registry section"_s),
                              start.arg(u"subSaveRegistrySettings"_s, u"Could not open/create registry section"_s)}));
        QCOMPARE(watcher.seen.size(), 0);
        QVERIFY(!QFileInfo::exists(keptReportsFolder()));
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        for (const QString &text :
             {exe + u" has encountered a problem"_s, u" Send Error Report"_s, u"Tahoma"_s, u"&Send"_s, u"&Cancel"_s,
              u"We are sorry for the incovenience. We have created an error report that you can send to us. We will "
              "treat this report as confidential and anonymous. To help us diagnose the cause of this error and "
              "improve this software, please describe what you were doing when this error occurred, and send this "
              "report to us."_s,
              u"Sending this report to us will help resolve this bug/issue in upcoming release. It should take a few "
              "seconds to submit this error report online."_s,
              u"Application:"_s, u"Trapping String:"_s, u"Routine:"_s, u"Line:"_s, u"System error:"_s,
              u"Your Email address [Optional, but if you want feedback, input one]"_s,
              u"Describe the steps leading to this error: [Optional]"_s})
            QVERIFY2(texts.contains(text), qPrintable(text));
    }
};

QTEST_MAIN(ErrorReportWindowTest)
#include "errorreportwindow_test.moc"
