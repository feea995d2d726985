#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace pagorra {

// The dialogs the basket commands open, behind one interface so the commands can be run
// with scripted answers. Every dialog is modal on owner.
class BasketDialogs {
  public:
    virtual ~BasketDialogs() = default;

    // Multiple-selection open dialog at initialFolder (the platform's default when empty).
    // Full paths in the dialog's order; empty when the user cancels.
    virtual QStringList openFiles(QWidget *owner, const QString &initialFolder, const QStringList &nameFilters) = 0;

    // Folder browser with initialFolder preselected (nothing when empty). The chosen folder's
    // path, empty on cancel. May throw RuntimeError.
    virtual QString browseFolder(QWidget *owner, const QString &initialFolder, const QString &instruction) = 0;

    // A message with an OK button, titled with the application title.
    virtual void message(QWidget *owner, const QString &text) = 0;
};

// The real ones: QFileDialog and QMessageBox.
class QtBasketDialogs final : public BasketDialogs {
  public:
    QStringList openFiles(QWidget *owner, const QString &initialFolder, const QStringList &nameFilters) override;
    QString browseFolder(QWidget *owner, const QString &initialFolder, const QString &instruction) override;
    void message(QWidget *owner, const QString &text) override;
};

// The folder picker the basket calls: keeps the current-action text of error reports up to
// date around the browser, hands a failure to the global error handler and answers an
// empty text on cancel, on failure, or when the chosen path is only spaces.
QString pickFolder(BasketDialogs &dialogs, QWidget *owner, const QString &initialFolder);

} // namespace pagorra
