#include "output/saveasdialog.h"

#include "core/spacetrim.h"
#include "output/outputformats.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace pagorra {

namespace {

// Qt's dialog reads each entry's patterns from the parentheses of its label, so the labels
// alone make the name filters; the pattern entries of the list are skipped.
QStringList labelsOf(const QString &filterList)
{
    const QStringList parts = filterList.split(u'|');
    QStringList labels;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        labels << parts[i];
    return labels;
}

// Both dialogs are Qt's own, not the desktop's, so that they sit centred over their owner
// and name filters behave the same everywhere.
class SaveFileDialog : public QFileDialog {
  public:
    SaveFileDialog(QWidget *owner, const QString &title) : QFileDialog(owner, title)
    {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontUseNativeDialog);
    }

    // Blanks around a typed name go before the dialog makes a path of it: left in, they make
    // "  /home/me/out/Sheet" a name inside the dialog's folder.
    void accept() override
    {
        if (auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(trimSpaces(name->text()));
        QFileDialog::accept();
    }
};

} // namespace

SaveDialogAnswer QtSaveAsDialog::askSaveFile(QWidget *owner, const FileDialog &request)
{
    SaveFileDialog dialog(owner, request.dialogTitle);
    dialog.setObjectName(QStringLiteral("dlgSaveAs"));
    // Overwrite prompt flag of the record; the output commands leave it off.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & 2) == 0);
    if (!request.initialDir.isEmpty())
        dialog.setDirectory(request.initialDir);
    const QStringList labels = labelsOf(request.filterList);
    dialog.setNameFilters(labels);
    if (!labels.isEmpty()) {
        const int index = request.filterIndex >= 1 && request.filterIndex <= labels.size() ? request.filterIndex : 1;
        dialog.selectNameFilter(labels[index - 1]);
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);

    SaveDialogAnswer answer;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return answer;
    answer.confirmed = true;
    answer.fileName = dialog.selectedFiles().constFirst();
    answer.filterIndex = int(labels.indexOf(dialog.selectedNameFilter())) + 1;
    return answer;
}

QString QtSaveAsDialog::askPageFile(QWidget *owner, PageSaveChoice &choice)
{
    SaveFileDialog dialog(owner, QStringLiteral("Save page as"));
    dialog.setObjectName(QStringLiteral("dlgSavePage"));
    QStringList labels;
    for (const OutputFormat &f : outputFormats())
        labels << f.label;
    dialog.setNameFilters(labels);
    const int index = choice.filterIndex >= 1 && choice.filterIndex <= labels.size() ? choice.filterIndex : 1;
    dialog.selectNameFilter(labels[index - 1]);

    auto *quality = new QSpinBox(&dialog);
    quality->setObjectName(QStringLiteral("spnJpegQuality"));
    quality->setRange(1, 100);
    quality->setValue(choice.jpegQuality);
    quality->setToolTip(QStringLiteral("Used when the page is saved as JPEG"));
    auto *qualityLabel = new QLabel(QStringLiteral("JPEG &quality:"), &dialog);
    qualityLabel->setBuddy(quality);
    // Qt's own file dialog lays itself out on a grid; the extra row goes below its own rows.
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(qualityLabel, row, 0);
        grid->addWidget(quality, row, 1);
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    choice.filterIndex = int(labels.indexOf(dialog.selectedNameFilter())) + 1;
    choice.jpegQuality = quality->value();
    return dialog.selectedFiles().constFirst();
}

void showSaveDialog(QWidget *owner, FileDialog &record, SaveAsDialog &dialog)
{
    const SaveDialogAnswer answer = dialog.askSaveFile(owner, record);
    applySaveAnswer(record, answer.confirmed, answer.fileName, answer.filterIndex);
}

} // namespace pagorra
