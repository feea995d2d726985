#pragma once

#include "errors/errorhandler.h"

#include <QDialog>
#include <QMessageBox>
#include <QUrl>
#include <chrono>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace pagorra {

class ReportSender;
struct SendResult;

// frmErrorReport: shows one report, lets the user add an address and a description, and
// sends it or not. The labels are filled once, from the report as it is when the window is made.
// A report that was not delivered (no server set up, a failure, Cancel while sending) is kept
// on disk, and the message that follows says where.
class ErrorReportWindow : public QDialog {
    Q_OBJECT

  public:
    // An empty `reportServer` means none is set up: Send then keeps the report on disk.
    explicit ErrorReportWindow(const ErrorReport &report, const QUrl &reportServer, QWidget *parent = nullptr);

    void setSendTimeout(std::chrono::milliseconds timeout);

    // Cancel, Esc and closing the window: while a report is on its way, they stop it.
    void reject() override;

  private:
    void send();
    void finishSending(const SendResult &result);
    void keepAndTell(QMessageBox::Icon icon, const QString &why);
    void showMessage(QMessageBox::Icon icon, const QString &text);

    ErrorReport m_report;
    QUrl m_reportServer;
    QList<std::pair<QString, QString>> m_fields; // as sent
    ReportSender *m_sender;
    QLineEdit *m_email;
    QPlainTextEdit *m_description;
    QPushButton *m_send;
    QPushButton *m_cancel;
    QLabel *m_sending;
};

// The presenter the GUI installs with setReportPresenter(): a fresh window per error, shown
// modally without an owner; returns when it has been closed.
void showErrorReport(const ErrorReport &report);

} // namespace pagorra
