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
        QVERIFY2(delta.manhattanLength() <= 2, qPrintable(QStringLiteral("off by %1,%2").arg(delta.x()).arg(delta.y())));
    }
};

} // namespace

class CommonDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void centring_data();
    void centring();
    void pointsFromTenths();
    void colourChooserRemembersItsState();
    void fontChooserReturnsTheChoice();
};

void CommonDialogsTest::centring_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("even sizes") << QRect(100, 50, 600, 400) << QSize(200, 100) << QPoint(300, 200);
    QTest::newRow("half rounds down to even") << QRect(0, 0, 101, 101) << QSize(50, 50) << QPoint(26, 26);
    QTest::newRow("half rounds up to even") << QRect(0, 0, 103, 103) << QSize(50, 50) << QPoint(26, 26);
    QTest::newRow("dialog larger than owner") << QRect(10, 10, 100, 100) << QSize(300, 200) << QPoint(-90, -40);
}

void CommonDialogsTest::centring()
{
    QFETCH(QRect, owner);
    QFETCH(QSize, dialog);
    QTEST(centredTopLeft(owner, dialog), "topLeft");
}

void CommonDialogsTest::pointsFromTenths()
{
    QCOMPARE(pagorra::pointsFromTenths(125), 12);
    QCOMPARE(pagorra::pointsFromTenths(135), 14);
    QCOMPARE(pagorra::pointsFromTenths(126), 13);
}

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
        if (styles.contains(QStringLiteral("Regular")) && styles.contains(QStringLiteral("Bold"))) {
            family = candidate;
            break;
        }
    }
    QVERIFY2(!family.isEmpty(), "no font with regular and bold faces installed");

    whenShown([&owner, &family](QDialog *dialog) {
        auto *fonts = dialog->findChild<QFontDialog *>(QStringLiteral("fontDialog"));
        auto *colors = dialog->findChild<QComboBox *>(QStringLiteral("cboColor"));
        QVERIFY(fonts && colors);
        QCOMPARE(fonts->currentFont().pointSizeF(), 10.0);
        QCOMPARE(colors->currentText(), QStringLiteral("Aqua"));
        owner.expectCentred(dialog);
        QFont font(family);
        font.setPointSize(14);
        font.setBold(true);
        font.setUnderline(true);
        fonts->setCurrentFont(font);
        colors->setCurrentIndex(colors->findText(QStringLiteral("Red")));
        dialog->accept();
    });
    const FontDialogResult chosen = chooser.showFontDialog(&owner, QStringLiteral("Arial"), true);
    QVERIFY(!chosen.Canceled);
    QCOMPARE(chosen.FontName, family);
    QCOMPARE(chosen.Size, 14);
    QVERIFY(chosen.Bold && chosen.Underline && !chosen.StrikeThru && !chosen.Italic);
    QCOMPARE(chosen.Color, 0x0000FF);

    whenShown([](QDialog *dialog) {
        auto *fonts = dialog->findChild<QFontDialog *>(QStringLiteral("fontDialog"));
        QVERIFY(fonts);
        QCOMPARE(fonts->currentFont().pointSizeF(), 14.0);
        dialog->reject();
    });
    const FontDialogResult cancelled = chooser.showFontDialog(&owner, QStringLiteral("Arial"), true);
    QVERIFY(cancelled.Canceled);
    QVERIFY(cancelled.FontName.isEmpty());
    QCOMPARE(cancelled.Size, 0);
}

QTEST_MAIN(CommonDialogsTest)
#include "commondialogs_test.moc"
