#include "ui/aboutbox.h"
#include "ui/mainlayout.h"
#include "ui/mainpanes.h"
#include "ui/picturebutton.h"

#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// The main window in miniature: the panes as central widget, laid out as the window resizes.
class HostWindow : public QMainWindow {
  public:
    HostWindow() : panes(new MainPanes) { setCentralWidget(panes); }

    MainPanes *panes;

  protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QMainWindow::resizeEvent(event);
        layoutMainWindow(this, panes);
    }

    void changeEvent(QEvent *event) override
    {
        QMainWindow::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange)
            layoutMainWindow(this, panes);
    }
};

QHash<QString, QRect> namedGeometries(const QWidget &root)
{
    QHash<QString, QRect> geometries;
    const QList<QWidget *> widgets = root.findChildren<QWidget *>();
    for (const QWidget *w : widgets) {
        if (!w->objectName().isEmpty())
            geometries.insert(w->objectName(), w->geometry());
    }
    return geometries;
}

QImage grabbed(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int differingPixels(const QImage &a, const QImage &b, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                ++count;
        }
    }
    return count;
}

} // namespace

class MainPanesTest : public QObject {
    Q_OBJECT

  private slots:
    void minimumWindowSize();
    void paneLayout_data();
    void paneLayout();
    void twipsRoundTripIsStable_data();
    void twipsRoundTripIsStable();

    void panesFollowWindow_data();
    void panesFollowWindow();
    void minimiseAndRestoreLeaveLayout();

    void controls_data();
    void controls();
    void captionsFitTheirControls();
    void pictureButtonsShowPictureThenCaption();
    void aboutBox();
};

void MainPanesTest::minimumWindowSize()
{
    QCOMPARE(clampToMinimumWindowSize(QSize(10000, 6000)), QSize(12200, 8500));
    QCOMPARE(clampToMinimumWindowSize(QSize(11000, 9000)), QSize(12200, 9000));
    QCOMPARE(clampToMinimumWindowSize(QSize(15000, 6000)), QSize(15000, 8500));
    QCOMPARE(clampToMinimumWindowSize(QSize(24000, 16000)), QSize(24000, 16000));
}

void MainPanesTest::paneLayout_data()
{
    QTest::addColumn<QSize>("inner");
    QTest::addColumn<QRect>("picLeft");
    QTest::addColumn<QRect>("picLeftBottom");
    QTest::addColumn<QRect>("lv");
    QTest::addColumn<QRect>("lblPreview");
    QTest::addColumn<QRect>("picRight");
    QTest::newRow("minimum") << QSize(12200, 8500) << QRect(0, 0, 3975, 8500) << QRect(0, 6400, 3975, 2100)
                             << QRect(120, 840, 3735, 5560) << QRect(3975, 0, 1695, 375)
                             << QRect(3975, 375, 8225, 8125);
    // Smaller than the left pane's fixed parts (a window bar eating the space): nothing negative.
    QTest::newRow("cramped") << QSize(3000, 2500) << QRect(0, 0, 3975, 2500) << QRect(0, 400, 3975, 2100)
                             << QRect(120, 840, 3735, 0) << QRect(3975, 0, 1695, 375) << QRect(3975, 375, 0, 2125);
}

void MainPanesTest::paneLayout()
{
    QFETCH(QSize, inner);
    PaneMeasures measures;
    measures.inner = inner;
    measures.picLeft = QRect(0, 0, 3975, 9015);
    measures.picLeftBottom = QRect(0, 5520, 3975, 2100);
    measures.lv = QRect(120, 840, 3735, 4560);
    measures.lblPreview = QRect(4080, 0, 1695, 375);
    const PaneLayout layout = computePaneLayout(measures);
    QTEST(layout.picLeft, "picLeft");
    QTEST(layout.picLeftBottom, "picLeftBottom");
    QTEST(layout.lv, "lv");
    QTEST(layout.lblPreview, "lblPreview");
    QTEST(layout.picRight, "picRight");
}

void MainPanesTest::twipsRoundTripIsStable_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("minimumWidth");
    QTest::addColumn<int>("minimumHeight");
    QTest::newRow("96") << 96.0 << 813 << 567;
    QTest::newRow("110") << 110.0 << 932 << 649;
    QTest::newRow("192") << 192.0 << 1627 << 1133;
}

// A pixel size turned to twips and back must come out unchanged, or holding the window at its
// minimum would resize it again on every resize.
void MainPanesTest::twipsRoundTripIsStable()
{
    QFETCH(double, dpi);
    QFETCH(int, minimumWidth);
    QFETCH(int, minimumHeight);
    const TwipsScale scale(dpi, dpi);
    QCOMPARE(scale.toPixels(QSize(kMinimumWindowWidth, kMinimumWindowHeight)), QSize(minimumWidth, minimumHeight));
    for (int pixels = 0; pixels <= 5000; ++pixels) {
        if (scale.toPixelsX(scale.toTwipsX(pixels)) != pixels || scale.toPixelsY(scale.toTwipsY(pixels)) != pixels)
            QFAIL(qPrintable(u"%1 pixels come back changed"_s.arg(pixels)));
    }
}

void MainPanesTest::panesFollowWindow_data()
{
    QTest::addColumn<QSize>("twips");
    QTest::addColumn<QSize>("held");
    QTest::addColumn<bool>("hintIgnored"); // a window manager that ignores the minimum-size hint
    QTest::newRow("minimum") << QSize(12200, 8500) << QSize(12200, 8500) << false;
    QTest::newRow("large") << QSize(24000, 14000) << QSize(24000, 14000) << false;
    QTest::newRow("below the minimum") << QSize(10000, 6000) << QSize(12200, 8500) << false;
    QTest::newRow("hint ignored, width below") << QSize(11000, 9000) << QSize(12200, 9000) << true;
}

void MainPanesTest::panesFollowWindow()
{
    QFETCH(QSize, twips);
    QFETCH(QSize, held);
    QFETCH(bool, hintIgnored);
    HostWindow window;
    auto *view = new QWidget;
    view->setObjectName(u"picRight"_s);
    window.panes->setRightPane(view);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const TwipsScale scale = TwipsScale::of(&window);
    if (hintIgnored)
        window.setMinimumSize(0, 0);
    window.resize(scale.toPixels(twips));
    QTRY_COMPARE(window.size(), scale.toPixels(held));

    MainPanes *panes = window.panes;
    QTRY_COMPARE(panes->size(), window.size());
    const QSize inner = panes->size();
    const QRect left = panes->picLeft()->geometry();
    QCOMPARE(left, QRect(0, 0, scale.toPixelsX(3975), inner.height()));
    QCOMPARE(panes->picLeftBottom()->geometry().bottom(), left.height() - 1);
    QCOMPARE(panes->lv()->geometry().bottom() + 1, panes->picLeftBottom()->y());
    QCOMPARE(panes->lblPreview()->pos(), QPoint(left.width(), 0));

    QCOMPARE(panes->findChildren<QWidget *>(u"picRight"_s).size(), 1);
    QCOMPARE(panes->picRight(), view);
    const int headingHeight = panes->lblPreview()->height();
    QCOMPARE(view->geometry(),
             QRect(left.width(), headingHeight, inner.width() - left.width(), inner.height() - headingHeight));

    // The top strip does not move with the window.
    QCOMPARE(panes->cmdAbout()->geometry(), scale.toPixels(QRect(7470, 0, 855, 375)));
}

void MainPanesTest::minimiseAndRestoreLeaveLayout()
{
    HostWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(1100, 750);
    QTRY_COMPARE(window.size(), QSize(1100, 750));
    const QHash<QString, QRect> before = namedGeometries(*window.panes);

    window.setWindowState(Qt::WindowMinimized);
    QVERIFY(window.isMinimized());
    // What a window system may report for an iconified window must not reach the panes.
    window.resize(900, 600);
    QCOMPARE(namedGeometries(*window.panes), before);

    window.setWindowState(Qt::WindowNoState);
    window.resize(1100, 750);
    QTRY_COMPARE(window.size(), QSize(1100, 750));
    QCOMPARE(namedGeometries(*window.panes), before);
}

void MainPanesTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    const QString none;
    const auto row = [](const char *name, const char *parent, const QString &caption, const QString &tip) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << caption << tip;
    };
    row("lbl", "picLeft", u"Image Basket"_s, none);
    row("lblCount", "picLeft", QString(), none);
    row("cmdAddFiles", "picLeft", u"     Add files"_s, u"Add RAW photo files to the basket"_s);
    row("cmdAddFolder", "picLeft", u"      Add Folder"_s, u"Add a RAW folder to the basket"_s);
    row("cmdNew", "picLeft", none, u"Make a new basket"_s);
    row("cmdRemove", "picLeft", none, u"Remove selected files from the basket"_s);
    row("Label2", "picLeftBottom", u"Thumbnail Settings"_s, none);
    row("cmdTasks", "picLeftBottom", u"   Settings"_s, none);
    row("cmdSave", "picLeftBottom", u"Save page as"_s, none);
    row("cmdPreview", "picLeftBottom", u"Generate"_s, none);
    row("cmdSaveAll", "picLeftBottom", u"Save all pages"_s, none);
    row("cmdSaveMultiPage", "picLeftBottom", u"Save as multipage"_s, none);
    row("cmdPrint", "picLeftBottom", u"Print page"_s, none);
    row("cmdExit", "picLeftBottom", u"Exit"_s, none);
    row("cmdPrintAll", "picLeftBottom", u"Print all pages"_s, none);
    row("lblPreview", "MainPanes", u"Preview"_s, none);
    row("cmdHelp", "MainPanes", none, u"View Application help and documentation"_s);
    row("cmdAbout", "MainPanes", u"About"_s, none);
}

void MainPanesTest::controls()
{
    QFETCH(QString, name);
    MainPanes panes;
    const QList<QWidget *> found = panes.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *control = found.first();
    QTEST(control->parentWidget()->objectName(), "parent");
    QTEST(control->toolTip(), "toolTip");
    if (const auto *label = qobject_cast<QLabel *>(control))
        QTEST(label->text(), "caption");
    else
        QTEST(qobject_cast<QPushButton *>(control)->text(), "caption");

    if (name == u"lbl") {
        QCOMPARE(panes.lv()->objectName(), u"lv"_s);
        QCOMPARE(panes.lv()->parentWidget(), panes.picLeft());
        QCOMPARE(panes.lv()->headerItem()->text(0), u"File name"_s);
    }
}

// Nothing the user reads may be cut off in the default font: captions after their pictures,
// plain captions, the headings, and the count of a full basket.
void MainPanesTest::captionsFitTheirControls()
{
    MainPanes panes;
    panes.attachPictures();
    panes.lblCount()->setText(u"32767 Files"_s);
    const QList<QPushButton *> buttons = panes.findChildren<QPushButton *>();
    for (const QPushButton *b : buttons) {
        const QFontMetrics metrics(b->font());
        const auto *pictured = qobject_cast<const PictureButton *>(b);
        if (pictured && pictured->hasPicture()) {
            QVERIFY2(metrics.horizontalAdvance(b->text().trimmed()) <= pictured->captionRect().width(),
                     qPrintable(b->objectName()));
            QVERIFY2(QRect(QPoint(), b->size()).contains(pictured->pictureRect()), qPrintable(b->objectName()));
        } else {
            QVERIFY2(metrics.horizontalAdvance(b->text()) + 8 <= b->width(), qPrintable(b->objectName()));
        }
        QVERIFY2(metrics.height() <= b->height() - 4, qPrintable(b->objectName()));
    }
    for (const QLabel *label : {panes.lbl(), panes.lblCount(), panes.label2(), panes.lblPreview()}) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->objectName()));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(label->objectName()));
    }
}

void MainPanesTest::pictureButtonsShowPictureThenCaption()
{
    MainPanes panes;
    const QList<PictureButton *> buttons = panes.pictureButtons();
    const QStringList order = QStringLiteral("cmdAddFiles cmdAddFolder cmdRemove cmdExit cmdPreview cmdHelp cmdNew "
                                             "cmdSave cmdPrint cmdTasks")
                                  .split(u' ');
    QCOMPARE(buttons.size(), order.size());
    QHash<PictureButton *, QImage> plain;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i]->objectName(), order[i]);
        QVERIFY(!buttons[i]->hasPicture());
        plain.insert(buttons[i], grabbed(buttons[i]));
    }

    panes.attachPictures();
    for (PictureButton *b : buttons) {
        const char *name = qPrintable(b->objectName());
        QVERIFY2(b->hasPicture(), name);
        const QImage pictured = grabbed(b);
        const QRect picture = b->pictureRect();
        // The picture is drawn where it belongs (a plain button has only its face there) ...
        QVERIFY2(differingPixels(plain[b], pictured, picture) > picture.width() * picture.height() / 4, name);
        if (!b->text().trimmed().isEmpty()) {
            // ... at the left, with the caption starting after it.
            QCOMPARE(picture.left(), 5);
            QVERIFY2(b->captionRect().left() > picture.right(), name);
            QCOMPARE(differingPixels(plain[b], pictured, QRect(2, 4, 3, b->height() - 8)), 0);
        } else {
            QVERIFY2(qAbs(picture.center().x() - b->rect().center().x()) <= 1, name);
        }
    }

    panes.detachPictures();
    for (PictureButton *b : buttons) {
        QVERIFY(!b->hasPicture());
        QCOMPARE(grabbed(b), plain[b]);
    }
}

void MainPanesTest::aboutBox()
{
    AboutBox box;
    const auto text = [&box](const char *name) { return box.findChild<QLabel *>(QLatin1String(name))->text(); };
    QCOMPARE(text("lblTitle"), u"Arvok Pagorra"_s);
    QCOMPARE(text("lblCompany"), u"Halvorn Imaging"_s);
    QVERIFY(QRegularExpression(u"^Version \\d+\\.\\d+\\.\\d+$"_s).match(text("lblVersion")).hasMatch());
    QVERIFY(!box.findChild<QLabel *>(u"picIcon"_s)->pixmap().isNull());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
    QTRY_VERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
}

QTEST_MAIN(MainPanesTest)
#include "mainpanes_test.moc"
