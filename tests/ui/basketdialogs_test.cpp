#include "basket/inputfiles.h"
#include "ui/basketdialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace pagorra;
using namespace Qt::StringLiterals;

// Drives the real Qt dialogs (Qt's own widgets, as the headless platform has no native ones).
class BasketDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void openDialogOffersUpperCasePictures();
    void folderDialogStartsAtTheFolder();

  private:
    static void whenDialogOpens(const std::function<void(QFileDialog *)> &act);
};

void BasketDialogsTest::whenDialogOpens(const std::function<void(QFileDialog *)> &act)
{
    QTimer::singleShot(0, [act] {
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) != nullptr,
                                 10000);
        act(dialog);
        // A failed check above leaves the lambda early; never leave the dialog open.
        if (dialog->isVisible())
            dialog->reject();
    });
}

void BasketDialogsTest::openDialogOffersUpperCasePictures()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    for (const char *name : {"IMG_0001.JPG", "b.png", "notes.txt"}) {
        QFile f(tmp.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    QStringList shown;
    QStringList filterTexts;
    whenDialogOpens([&](QFileDialog *dialog) {
        // What the user reads in the list, which hides the case-folded patterns.
        if (auto *combo = dialog->findChild<QComboBox *>(u"fileTypeCombo"_s))
            for (int i = 0; i < combo->count(); ++i)
                filterTexts.append(combo->itemText(i));
        auto *view = dialog->findChild<QListView *>(u"listView"_s);
        QVERIFY(view);
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 2);
        for (int row = 0; row < 2; ++row) {
            const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
            shown.append(index.data().toString());
            if (index.data().toString() == u"IMG_0001.JPG"_s)
                view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        static_cast<QDialog *>(dialog)->accept();
    });

    QtBasketDialogs dialogs;
    const QStringList picked = dialogs.openFiles(nullptr, tmp.path(), fileDialogNameFilters(openFileFilter()));
    QCOMPARE(picked, QStringList{tmp.filePath(u"IMG_0001.JPG"_s)});
    shown.sort(Qt::CaseInsensitive);
    QCOMPARE(shown, (QStringList{u"b.png"_s, u"IMG_0001.JPG"_s}));
    QCOMPARE(filterTexts.value(0), u"All supported files (*.*)"_s);
    QCOMPARE(filterTexts.value(5), u"PNG - Portable Network (*.png)"_s);
}

void BasketDialogsTest::folderDialogStartsAtTheFolder()
{
    QTemporaryDir tmp;
    QString title;
    whenDialogOpens([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        dialog->reject();
    });
    QtBasketDialogs dialogs;
    QCOMPARE(pickFolder(dialogs, nullptr, tmp.path()), QString());
    QCOMPARE(title, u"Please select a destination folder to save all the files!"_s);

    whenDialogOpens([&](QFileDialog *dialog) { static_cast<QDialog *>(dialog)->accept(); });
    QCOMPARE(QDir(pickFolder(dialogs, nullptr, tmp.path())), QDir(tmp.path()));
}

QTEST_MAIN(BasketDialogsTest)
#include "basketdialogs_test.moc"
