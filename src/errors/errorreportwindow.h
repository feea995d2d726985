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

// frmErrorReport: shows one report, lets the user add an address and a description, and
// sends it or not. The labels are filled once, from the report as it is when the window is made.
class ErrorReportWindow : public QDialog {
    Q_OBJECT

  public:
    explicit ErrorReportWindow(const ErrorReport &report, const QUrl &reportServer, QWidget *parent = nullptr);

    void setSendTimeout(std::chrono::milliseconds timeout);

    // While a report is on its way the window cannot be closed: the answer decides what is shown.
    void reject() override;

  private:
    void send();
    void finishSending(bool delivered);
    void showMessage(QMessageBox::Icon icon, const QString &text);

    ErrorReport m_report;
    QUrl m_reportServer;
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
