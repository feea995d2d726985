#include "ui/basketdialogs.h"

#include "core/product.h"
#include "core/runtimeerror.h"
#include "errors/errorhandler.h"

#include <QFileDialog>
#include <QMessageBox>

namespace pagorra {

namespace {

// Runs the browser itself; a failure leaves through the handler with an empty answer.
QString folderBrowse(BasketDialogs &dialogs, QWidget *owner, const QString &initialFolder, const QString &instruction)
{
    QString chosen;
    try {
        setLastAction(QStringLiteral("Calling the Folder for Browse dialog"));
        chosen = dialogs.browseFolder(owner, initialFolder, instruction);
        setLastAction(QStringLiteral("Returning selected folder from the Browse dialog"));
        const qsizetype nul = chosen.indexOf(QChar(0));
        if (nul >= 0)
            chosen.truncate(nul);
    } catch (const RuntimeError &error) {
        globalErrorHandler(error, QStringLiteral("modBrowseForFolder.Folder_Browse"));
        return QString();
    }
    return chosen;
}
} // namespace

QString pickFolder(BasketDialogs &dialogs, QWidget *owner, const QString &initialFolder)
{
    const QString chosen = folderBrowse(dialogs, owner, initialFolder,
                                        QStringLiteral("Please select a destination folder to save all the files!"));
    return chosen.count(u' ') == chosen.size() ? QString() : chosen;
}

QStringList QtBasketDialogs::openFiles(QWidget *owner, const QString &initialFolder, const QStringList &nameFilters)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The descriptions already name their patterns; the generated case-insensitive ones
    // would only clutter the list.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters);
    if (!initialFolder.isEmpty())
        dialog.setDirectory(initialFolder);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtBasketDialogs::browseFolder(QWidget *owner, const QString &initialFolder, const QString &instruction)
{
    QFileDialog dialog(owner, instruction);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!initialFolder.isEmpty())
        dialog.setDirectory(initialFolder);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void QtBasketDialogs::message(QWidget *owner, const QString &text)
{
    // The product title, not the window's caption, which may name a job.
    QMessageBox::information(owner, productTitle(), text);
}

} // namespace pagorra
