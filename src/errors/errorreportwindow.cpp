#include "errors/errorreportwindow.h"

#include "core/filenames.h"
#include "errors/keptreports.h"
#include "errors/reportrequest.h"
#include "errors/reportsender.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pagorra {

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent, const QString &name = QString())
{
    auto *label = new QLabel(text, parent);
    // Report fields come from error texts and file names: never let them be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (!name.isEmpty())
        label->setObjectName(name);
    return label;
}

QLabel *valueLabel(const QString &text, QWidget *parent, const QString &name)
{
    QLabel *label = plainLabel(text, parent, name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString executableBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

// What the user is told when the report did not reach the server; the report's file names the
// same reason.
QString failureText(const SendResult &result, std::chrono::milliseconds timeout)
{
    using Outcome = SendResult::Outcome;
    switch (result.outcome) {
    case Outcome::NoConnection:
        return noConnectionMessage();
    case Outcome::NoAnswer:
        return QStringLiteral("The report server did not answer within %1 seconds.")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(timeout).count());
    case Outcome::Refused:
        return QStringLiteral("The report server did not take the report: it answered with HTTP status %1%2.")
            .arg(result.httpStatus)
            .arg(result.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(result.detail));
    case Outcome::Cancelled:
        return QStringLiteral("Sending the report was cancelled.");
    default:
        return QStringLiteral("The report could not be sent: %1.").arg(result.detail);
    }
}

} // namespace

ErrorReportWindow::ErrorReportWindow(const ErrorReport &report, const QUrl &reportServer, QWidget *parent)
    : QDialog(parent), m_report(report), m_reportServer(reportServer), m_sender(new ReportSender(this))
{
    setObjectName(QStringLiteral("frmErrorReport"));
    setWindowTitle(QStringLiteral(" Send Error Report"));
    setWindowModality(Qt::ApplicationModal);
    QFont tahoma = font();
    tahoma.setFamily(QStringLiteral("Tahoma"));
    setFont(tahoma);

    auto *heading = plainLabel(executableBaseName() + QStringLiteral(" has encountered a problem"), this,
                               QStringLiteral("lblHeading"));
    QFont headingFont = tahoma;
    headingFont.setBold(true);
    headingFont.setPointSizeF(tahoma.pointSizeF() * 1.25);
    heading->setFont(headingFont);

    auto *apology = plainLabel(
        QStringLiteral("We are sorry for the incovenience. We have created an error report that you can send to "
                       "us. We will treat this report as confidential and anonymous. To help us diagnose the cause "
                       "of this error and improve this software, please describe what you were doing when this "
                       "error occurred, and send this report to us."),
        this);

    auto *fields = new QGridLayout;
    fields->setColumnStretch(1, 1);
    const auto addField = [&](const QString &caption, const QString &value, const QString &name) {
        const int row = fields->rowCount();
        QLabel *captionLabel = plainLabel(caption, this);
        captionLabel->setWordWrap(false);
        fields->addWidget(captionLabel, row, 0, Qt::AlignTop);
        fields->addWidget(valueLabel(value, this, name), row, 1);
    };
    addField(QStringLiteral("Application:"), report.applicationName + u' ' + report.applicationVersion,
             QStringLiteral("lblApplication"));
    addField(QStringLiteral("Trapping String:"), report.trappingString, QStringLiteral("lblTrappingString"));
    addField(QStringLiteral("Routine:"), report.routineName, QStringLiteral("lblRoutine"));
    addField(QStringLiteral("Line:"), QString::number(report.errorLineNumber), QStringLiteral("lblLineNumber"));
    addField(QStringLiteral("System error:"), report.systemError, QStringLiteral("lblSystemError"));

    m_email = new QLineEdit(this);
    m_email->setObjectName(QStringLiteral("txtEmail"));
    auto *emailLabel =
        plainLabel(QStringLiteral("Your Email address [Optional, but if you want feedback, input one]"), this);
    emailLabel->setBuddy(m_email);

    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("txtUserDescription"));
    m_description->setTabChangesFocus(true);
    auto *descriptionLabel = plainLabel(QStringLiteral("Describe the steps leading to this error: [Optional]"), this);
    descriptionLabel->setBuddy(m_description);

    auto *sendingNote =
        plainLabel(QStringLiteral("Sending this report to us will help resolve this bug/issue in upcoming release. "
                                  "It should take a few seconds to submit this error report online."),
                   this);

    m_sending = plainLabel(QStringLiteral("Sending the error report\u2026"), this, QStringLiteral("lblSending"));
    m_sending->setVisible(false);

    m_send = new QPushButton(QStringLiteral("&Send"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));
    m_send->setDefault(false);
    m_send->setAutoDefault(false);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_sending, 1);
    buttons->addStretch();
    buttons->addWidget(m_send);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(apology);
    layout->addLayout(fields);
    layout->addWidget(emailLabel);
    layout->addWidget(m_email);
    layout->addWidget(descriptionLabel);
    layout->addWidget(m_description, 1);
    layout->addWidget(sendingNote);
    layout->addLayout(buttons);
    setMinimumWidth(560);

    connect(m_send, &QPushButton::clicked, this, &ErrorReportWindow::send);
    connect(m_cancel, &QPushButton::clicked, this, &ErrorReportWindow::reject);
    connect(m_sender, &ReportSender::finished, this, &ErrorReportWindow::finishSending);
}

void ErrorReportWindow::setSendTimeout(std::chrono::milliseconds timeout)
{
    m_sender->setTimeout(timeout);
}

void ErrorReportWindow::reject()
{
    if (m_sender->isSending()) {
        m_sender->cancel(); // finishSending() follows and closes the window
        return;
    }
    QDialog::reject();
}

void ErrorReportWindow::send()
{
    if (m_sender->isSending())
        return;
    const QString email = m_email->text(), description = m_description->toPlainText();
    m_fields = reportFields(m_report, email, description);
    // Cancel stays live: it stops the request, and the report is kept.
    m_email->setEnabled(false);
    m_description->setEnabled(false);
    m_send->setEnabled(false);
    if (m_reportServer.isEmpty()) {
        hide();
        keepAndTell(QMessageBox::Information,
                    QStringLiteral("No report server is set up for this copy of the program, so the report was not "
                                   "sent."));
        accept();
        return;
    }
    m_sending->setVisible(true);
    setCursor(Qt::BusyCursor);
    m_sender->send(buildReportRequest(m_reportServer, m_report, email, description));
}

void ErrorReportWindow::finishSending(const SendResult &result)
{
    unsetCursor();
    hide();
    if (result.outcome == SendResult::Outcome::Delivered)
        showMessage(QMessageBox::Information, reportThankYouMessage());
    else
        keepAndTell(result.outcome == SendResult::Outcome::Cancelled ? QMessageBox::Information : QMessageBox::Critical,
                    failureText(result, m_sender->timeout()));
    accept();
}

void ErrorReportWindow::keepAndTell(QMessageBox::Icon icon, const QString &why)
{
    QString error;
    const QString path = keepReport(keptReportText(m_fields, why), error);
    const QString where = path.isEmpty() ? QStringLiteral("It could not be kept either: %1").arg(error)
                                         : QStringLiteral("It was kept in '%1'.").arg(displayName(path));
    showMessage(icon, why + QStringLiteral("\r\n\r\n") + where);
}

void ErrorReportWindow::showMessage(QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, m_report.applicationName, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void showErrorReport(const ErrorReport &report)
{
    ErrorReportWindow window(report, reportServerUrl());
    window.exec();
}

} // namespace pagorra
