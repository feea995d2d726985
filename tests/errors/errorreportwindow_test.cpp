#include "errors/errorhandler.h"
#include "errors/errorreportwindow.h"
#include "messageboxwatcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace pagorra;

class ErrorReportWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void fixedTexts();
    void labelsFilledFromReport_data();
    void labelsFilledFromReport();
    void cancelSendsNothingAndEachErrorStartsAfresh();
};

namespace {

QString labelText(const QWidget &window, const char *name)
{
    const auto *label = window.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

QStringList allLabelTexts(const QWidget &window)
{
    QStringList texts;
    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    for (const QLabel *label : labels)
        texts << label->text();
    return texts;
}

} // namespace

void ErrorReportWindowTest::fixedTexts()
{
    ErrorReportWindow window(ErrorReport{}, QUrl(QStringLiteral("http://127.0.0.1:9")));
    QCOMPARE(window.objectName(), QStringLiteral("frmErrorReport"));
    QCOMPARE(window.windowTitle(), QStringLiteral(" Send Error Report"));
    QCOMPARE(window.font().family(), QStringLiteral("Tahoma"));

    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QCOMPARE(labelText(window, "lblHeading"), exe + QStringLiteral(" has encountered a problem"));

    const QStringList texts = allLabelTexts(window);
    const QStringList expected = {
        QStringLiteral("We are sorry for the incovenience. We have created an error report that you can send to us. "
                       "We will treat this report as confidential and anonymous. To help us diagnose the cause of "
                       "this error and improve this software, please describe what you were doing when this error "
                       "occurred, and send this report to us."),
        QStringLiteral("Sending this report to us will help resolve this bug/issue in upcoming release. It should "
                       "take a few seconds to submit this error report online."),
        QStringLiteral("Application:"),
        QStringLiteral("Trapping String:"),
        QStringLiteral("Routine:"),
        QStringLiteral("Line:"),
        QStringLiteral("System error:"),
        QStringLiteral("Your Email address [Optional, but if you want feedback, input one]"),
        QStringLiteral("Describe the steps leading to this error: [Optional]"),
    };
    for (const QString &text : expected)
        QVERIFY2(texts.contains(text), qPrintable(text));

    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("cmdSend"))->text(), QStringLiteral("&Send"));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->text(), QStringLiteral("&Cancel"));
    QVERIFY(window.findChild<QLineEdit *>(QStringLiteral("txtEmail"))->text().isEmpty());
    QVERIFY(window.findChild<QPlainTextEdit *>(QStringLiteral("txtUserDescription"))->toPlainText().isEmpty());
}

void ErrorReportWindowTest::labelsFilledFromReport_data()
{
    QTest::addColumn<QString>("trapping");
    QTest::addColumn<QString>("systemError");
    QTest::addColumn<int>("line");

    QTest::newRow("multipage save") << QStringLiteral("Saving to multipage file '/out/a&b.tif'")
                                    << QStringLiteral("53 - File not found") << 120;
    // Nothing set LastAction yet; a markup-looking description must show as typed.
    QTest::newRow("no action, markup text") << QString() << QStringLiteral("6 - <b>Overflow</b>") << -32768;
}

void ErrorReportWindowTest::labelsFilledFromReport()
{
    QFETCH(QString, trapping);
    QFETCH(QString, systemError);
    QFETCH(int, line);

    ErrorReport report;
    report.applicationName = QStringLiteral("Arvok Pagorra test build");
    report.applicationVersion = QStringLiteral("1.6.47 (Debian GNU/Linux 12)");
    report.routineName = QStringLiteral("cmdSaveAll_Click");
    report.errorLineNumber = static_cast<std::int16_t>(line);
    report.trappingString = trapping;
    report.systemError = systemError;

    ErrorReportWindow window(report, QUrl(QStringLiteral("http://127.0.0.1:9")));
    QCOMPARE(labelText(window, "lblApplication"),
             QStringLiteral("Arvok Pagorra test build 1.6.47 (Debian GNU/Linux 12)"));
    QCOMPARE(labelText(window, "lblTrappingString"), trapping);
    QCOMPARE(labelText(window, "lblRoutine"), QStringLiteral("cmdSaveAll_Click"));
    QCOMPARE(labelText(window, "lblLineNumber"), QString::number(line));
    QCOMPARE(labelText(window, "lblSystemError"), systemError);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblSystemError"))->textFormat(), Qt::PlainText);
}

void ErrorReportWindowTest::cancelSendsNothingAndEachErrorStartsAfresh()
{
    setReportPresenter(showErrorReport);
    MessageBoxWatcher watcher;
    QStringList emailsAtOpen;
    QStringList routinesShown;

    // Runs inside the modal window's loop: note what it shows, type something, then cancel.
    const auto answerWithCancel = [&] {
        QTimer::singleShot(0, [&] {
            QWidget *window = QApplication::activeModalWidget();
            QVERIFY(window && window->objectName() == QStringLiteral("frmErrorReport"));
            auto *email = window->findChild<QLineEdit *>(QStringLiteral("txtEmail"));
            emailsAtOpen << email->text();
            routinesShown << labelText(*window, "lblRoutine");
            QTest::keyClicks(email, QStringLiteral("me@home.test"));
            QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        });
    };

    answerWithCancel();
    globalErrorHandler(QStringLiteral("File not found"), 53, 7, QStringLiteral("cmdSaveAll_Click"));
    answerWithCancel();
    globalErrorHandler(QStringLiteral("Overflow"), 6, 9, QStringLiteral("LoadPic"));
    setReportPresenter(nullptr);

    QCOMPARE(routinesShown, (QStringList{QStringLiteral("cmdSaveAll_Click"), QStringLiteral("LoadPic")}));
    QCOMPARE(emailsAtOpen, (QStringList{QString(), QString()}));
    QTest::qWait(50);
    QVERIFY(watcher.seen.isEmpty());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(ErrorReportWindowTest)
#include "errorreportwindow_test.moc"
