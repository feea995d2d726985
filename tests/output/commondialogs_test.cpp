#include "core/colors.h"
#include "output/commondialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Acts on the chooser once it is up, as the user would, while the caller waits in it.
void whenShown(std::function<void(QDialog *)> act)
{
    QTimer::singleShot(0, qApp, [act] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(dialog);
    });
}

struct Owner : QWidget {
    Owner()
    {
        setGeometry(100, 80, 700, 500);
        show();
    }
    void expectCentred(const QWidget *dialog) const
    {
        const QPoint delta = dialog->frameGeometry().center() - frameGeometry().center();
        QVERIFY2(delta.manhattanLength() <= 2, qPrintable(u"off by %1,%2"_s.arg(delta.x()).arg(delta.y())));
    }
};

} // namespace

class CommonDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void colourChooserRemembersItsState();
    void fontChooserReturnsTheChoice();
};

void CommonDialogsTest::colourChooserRemembersItsState()
{
    Owner owner;
    QtColorDialog chooser;
    whenShown([&owner](QDialog *dialog) {
        auto *colors = qobject_cast<QColorDialog *>(dialog);
        QVERIFY(colors);
        QCOMPARE(colors->currentColor(), QColor(Qt::black));
        QCOMPARE(QColorDialog::customColor(0), QColor(254, 254, 254));
        owner.expectCentred(dialog);
        QColorDialog::setCustomColor(3, QColor(1, 2, 3)); // what "Add to Custom Colors" does
        colors->setCurrentColor(QColor(10, 20, 30));
        colors->accept();
    });
    const ColorDialogResult first = chooser.showColorDialog(&owner, true);
    QVERIFY(!first.Canceled);
    QCOMPARE(first.Color, colorToStored(QColor(10, 20, 30)));

    whenShown([](QDialog *dialog) {
        auto *colors = qobject_cast<QColorDialog *>(dialog);
        QVERIFY(colors);
        QCOMPARE(colors->currentColor(), QColor(10, 20, 30));
        QCOMPARE(QColorDialog::customColor(3), QColor(1, 2, 3));
        colors->setCurrentColor(QColor(200, 0, 0));
        colors->reject();
    });
    const ColorDialogResult second = chooser.showColorDialog(&owner, true);
    QVERIFY(second.Canceled);
    QCOMPARE(second.Color, 0);
    QCOMPARE(chooser.currentColor(), colorToStored(QColor(10, 20, 30)));
}

void CommonDialogsTest::fontChooserReturnsTheChoice()
{
    Owner owner;
    QtFontDialog chooser;
    // A family with upright and bold faces, so the dialog can show what the test chooses.
    QString family;
    for (const QString &candidate : QFontDatabase::families()) {
        const QStringList styles = QFontDatabase::styles(candidate);
        if (styles.contains(u"Regular"_s) && styles.contains(u"Bold"_s)) {
            family = candidate;
            break;
        }
    }
    QVERIFY2(!family.isEmpty(), "no font with regular and bold faces installed");

    whenShown([&owner, &family](QDialog *dialog) {
        auto *fonts = dialog->findChild<QFontDialog *>(u"fontDialog"_s);
        auto *colors = dialog->findChild<QComboBox *>(u"cboColor"_s);
        QVERIFY(fonts && colors);
        QCOMPARE(fonts->currentFont().pointSizeF(), 10.0);
        QCOMPARE(colors->currentText(), u"Aqua"_s);
        owner.expectCentred(dialog);
        QFont font(family);
        font.setPointSize(14);
        font.setBold(true);
        font.setUnderline(true);
        fonts->setCurrentFont(font);
        colors->setCurrentIndex(colors->findText(u"Red"_s));
        dialog->accept();
    });
    const FontDialogResult chosen = chooser.showFontDialog(&owner, u"Arial"_s, true);
    QVERIFY(!chosen.Canceled);
    QCOMPARE(chosen.FontName, family);
    QCOMPARE(chosen.Size, 14);
    QVERIFY(chosen.Bold && chosen.Underline && !chosen.StrikeThru && !chosen.Italic);
    QCOMPARE(chosen.Color, 0x0000FF);

    whenShown([](QDialog *dialog) {
        auto *fonts = dialog->findChild<QFontDialog *>(u"fontDialog"_s);
        QVERIFY(fonts);
        QCOMPARE(fonts->currentFont().pointSizeF(), 14.0);
        dialog->reject();
    });
    const FontDialogResult cancelled = chooser.showFontDialog(&owner, u"Arial"_s, true);
    QVERIFY(cancelled.Canceled);
    QVERIFY(cancelled.FontName.isEmpty());
    QCOMPARE(cancelled.Size, 0);
}

QTEST_MAIN(CommonDialogsTest)
#include "commondialogs_test.moc"
