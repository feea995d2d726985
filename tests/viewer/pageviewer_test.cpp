#include "generation/pageset.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <memory>

using namespace pagorra;

namespace {

// Page k is filled with a colour of its own so the test can tell which page is on display.
QRgb pageColor(int index)
{
    return qRgb(40 * index, 200 - 30 * index, 120);
}

void fillPage(Page &page, QSize size, QRgb color)
{
    page.setCanvasColor(std::int32_t(qRed(color) | qGreen(color) << 8 | qBlue(color) << 16));
    page.newImage(size.width(), size.height());
}

std::unique_ptr<PageSet> makePages(const QList<QSize> &sizes)
{
    auto pages = std::make_unique<PageSet>();
    for (int index = 0; index < sizes.size(); ++index)
        fillPage(index == 0 ? pages->page(0) : pages->addPage(), sizes[index], pageColor(index));
    return pages;
}

struct Fixture {
    ZoomTools tools;
    PageViewer viewer{&tools};

    Fixture() { viewer.show(); }

    // Sizes the pane so that its viewport gets exactly the given size.
    void setViewport(QSize viewport)
    {
        viewer.resize(viewport.width() + viewer.verticalBar()->sizeHint().width(),
                      viewport.height() + viewer.horizontalBar()->sizeHint().height() + viewer.bar()->height());
        QCOMPARE(viewer.container()->size(), viewport);
    }
    QAbstractButton *button(const char *name) { return viewer.findChild<QPushButton *>(QString::fromLatin1(name)); }
    QRgb shownColor() const { return viewer.pageView()->image().pixel(0, 0); }
    QString counter() const { return viewer.counter()->text(); }
    QString zoomText() const { return tools.zoomLabel()->text(); }
};

void sendMouse(QWidget *widget, QEvent::Type type, QPointF position)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class PageViewerTest : public QObject {
    Q_OBJECT
  private slots:
    void counterBeforeAndAfterARun();
    void navigation_data();
    void navigation();
    void fitOnScreen_data();
    void fitOnScreen();
    void scrollBarsMoveThePage();
    void paintsThePageWhereItSits();
    void dragPanning_data();
    void dragPanning();
    void dragWithADisabledBar();
    void zoomFollowsEveryPage();
    void navigationStripCentred_data();
    void navigationStripCentred();
};

void PageViewerTest::counterBeforeAndAfterARun()
{
    Fixture f;
    QCOMPARE(f.counter(), QStringLiteral("Page 1"));
    QCOMPARE(f.zoomText(), QStringLiteral("100%"));
    QVERIFY(f.viewer.progressBar()->isHidden());
    QVERIFY(f.viewer.cancelButton()->isHidden());

    PageSet empty;
    f.viewer.setPageSet(&empty);
    f.button("cmdNext")->click();
    f.button("cmdLast")->click();
    QCOMPARE(f.viewer.currentPageIndex(), 0);
    QCOMPARE(f.counter(), QStringLiteral("Page 1"));
    QVERIFY(f.viewer.pageView()->isHidden());

    // A run fills the set it was given; the window then shows page 1 again.
    fillPage(empty.page(0), QSize(800, 600), pageColor(0));
    fillPage(empty.addPage(), QSize(800, 600), pageColor(1));
    empty.setCurrentPageIndex(0);
    f.viewer.refresh();
    QCOMPARE(f.counter(), QStringLiteral("Page 1 of 2"));
    QCOMPARE(f.shownColor(), pageColor(0));

    // A single page whose photos all failed still counts as generated.
    PageSet single;
    fillPage(single.page(0), QSize(800, 600), pageColor(0));
    f.viewer.setPageSet(&single);
    QCOMPARE(f.counter(), QStringLiteral("Page 1 of 1"));

    // A shrunken set never leaves the viewer past its last page.
    auto pages = makePages({QSize(800, 600), QSize(800, 600), QSize(800, 600)});
    f.viewer.setPageSet(pages.get());
    f.viewer.showLast();
    pages->clear();
    f.viewer.refresh();
    QCOMPARE(f.viewer.currentPageIndex(), 0);
    QCOMPARE(f.counter(), QStringLiteral("Page 1"));
}

void PageViewerTest::navigation_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("next on the last page") << 2 << QStringLiteral("cmdNext") << 2;
    QTest::newRow("previous on the first page") << 0 << QStringLiteral("cmdPrevious") << 0;
    QTest::newRow("next") << 0 << QStringLiteral("cmdNext") << 1;
    QTest::newRow("previous") << 2 << QStringLiteral("cmdPrevious") << 1;
    QTest::newRow("first") << 2 << QStringLiteral("cmdFirst") << 0;
    QTest::newRow("first on the first page") << 0 << QStringLiteral("cmdFirst") << 0;
    QTest::newRow("last") << 0 << QStringLiteral("cmdLast") << 2;
}

void PageViewerTest::navigation()
{
    QFETCH(int, start);
    QFETCH(QString, button);
    QFETCH(int, expected);

    Fixture f;
    f.setViewport(QSize(700, 500));
    auto pages = makePages({QSize(800, 600), QSize(800, 600), QSize(800, 600)});
    f.viewer.setPageSet(pages.get());
    f.viewer.showPage(start);
    // Redraw the target page after it was last shown: the click must show it anew.
    const QRgb redrawn = qRgb(9, 99, 199);
    fillPage(pages->page(expected), QSize(800, 600), redrawn);

    auto *clicked = f.viewer.findChild<QPushButton *>(button);
    QVERIFY(clicked && clicked->isEnabled());
    clicked->click();
    QCOMPARE(f.viewer.currentPageIndex(), expected);
    QCOMPARE(pages->currentPageIndex(), expected);
    QCOMPARE(f.counter(), QStringLiteral("Page %1 of 3").arg(expected + 1));
    QCOMPARE(f.shownColor(), redrawn);
}

void PageViewerTest::fitOnScreen_data()
{
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<int>("zoomOption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("horizontalMaximum"); // -1: bar disabled
    QTest::addColumn<int>("verticalMaximum");
    QTest::addColumn<QString>("zoomText");

    QTest::newRow("actual, 803 wide") << QSize(803, 700) << 1 << QRect(2, 50, 800, 600) << -1 << -1
                                      << QStringLiteral("100 %");
    QTest::newRow("actual, 801 wide") << QSize(801, 601) << 1 << QRect(0, 0, 800, 600) << -1 << -1
                                      << QStringLiteral("100 %");
    QTest::newRow("actual, 700 wide") << QSize(700, 650) << 1 << QRect(0, 25, 800, 600) << 100 << -1
                                      << QStringLiteral("100 %");
    QTest::newRow("actual, small") << QSize(300, 200) << 1 << QRect(0, 0, 800, 600) << 500 << 400
                                   << QStringLiteral("100 %");
    QTest::newRow("best fit, small") << QSize(300, 200) << 0 << QRect(16, 0, 267, 200) << -1 << -1
                                     << QStringLiteral("33 %");
    QTest::newRow("best fit, wide") << QSize(1200, 500) << 0 << QRect(266, 0, 667, 500) << -1 << -1
                                    << QStringLiteral("83 %");
    QTest::newRow("best fit, large") << QSize(1000, 900) << 0 << QRect(0, 75, 1000, 750) << -1 << -1
                                     << QStringLiteral("125 %");
}

void PageViewerTest::fitOnScreen()
{
    QFETCH(QSize, viewport);
    QFETCH(int, zoomOption);
    QFETCH(QRect, geometry);
    QFETCH(int, horizontalMaximum);
    QFETCH(int, verticalMaximum);
    QFETCH(QString, zoomText);

    Fixture f;
    auto pages = makePages({QSize(800, 600)});
    f.viewer.setPageSet(pages.get());
    f.viewer.setZoomOption(zoomOption);
    f.setViewport(viewport);
    QCOMPARE(f.viewer.pageView()->geometry(), geometry);
    QCOMPARE(f.viewer.horizontalBar()->isEnabled(), horizontalMaximum >= 0);
    QCOMPARE(f.viewer.verticalBar()->isEnabled(), verticalMaximum >= 0);
    if (horizontalMaximum >= 0)
        QCOMPARE(f.viewer.horizontalBar()->maximum(), horizontalMaximum);
    if (verticalMaximum >= 0)
        QCOMPARE(f.viewer.verticalBar()->maximum(), verticalMaximum);
    QCOMPARE(f.zoomText(), zoomText);
}

void PageViewerTest::scrollBarsMoveThePage()
{
    Fixture f;
    auto pages = makePages({QSize(800, 600)});
    f.viewer.setPageSet(pages.get());
    f.viewer.setZoomOption(1);
    f.setViewport(QSize(500, 400));
    f.viewer.horizontalBar()->setValue(120);
    f.viewer.verticalBar()->setValue(45);
    QCOMPARE(f.viewer.pageView()->pos(), QPoint(-120, -45));

    // Growing the viewport shrinks the overhang: page and bar keep agreeing.
    f.setViewport(QSize(750, 400));
    QCOMPARE(f.viewer.horizontalBar()->value(), 50);
    QCOMPARE(f.viewer.pageView()->pos(), QPoint(-50, -45));
    // Once the page fits it is centred again.
    f.setViewport(QSize(900, 700));
    QCOMPARE(f.viewer.pageView()->pos(), QPoint(50, 50));
}

void PageViewerTest::paintsThePageWhereItSits()
{
    Fixture f;
    auto pages = makePages({QSize(800, 600)});
    const QRgb corner = qRgb(220, 20, 20);
    QImage block(100, 100, QImage::Format_RGB32);
    block.fill(corner);
    pages->page(0).drawBitmap(700, 500, block);
    f.viewer.setPageSet(pages.get());
    f.setViewport(QSize(400, 400));
    const QRgb paper = pageColor(0);
    const QRgb backdrop = f.viewer.container()->grab().toImage().pixel(5, 5);
    QVERIFY(backdrop != paper && backdrop != corner);

    // Best fit: 400 x 300, centred at (0, 50).
    QImage shot = f.viewer.container()->grab().toImage();
    QCOMPARE(shot.pixel(10, 60), paper);
    QCOMPARE(shot.pixel(390, 340), corner);
    QCOMPARE(shot.pixel(200, 20), backdrop);
    QCOMPARE(shot.pixel(200, 380), backdrop);

    // Actual size scrolled to the far corner: the block fills the viewport's last 100 pixels.
    f.viewer.setZoomOption(1);
    f.viewer.horizontalBar()->setValue(400);
    f.viewer.verticalBar()->setValue(200);
    shot = f.viewer.container()->grab().toImage();
    QCOMPARE(shot.pixel(295, 295), paper);
    QCOMPARE(shot.pixel(305, 305), corner);
    QCOMPARE(shot.pixel(399, 399), corner);

    // The wheel over the page scrolls it.
    f.viewer.verticalBar()->setValue(0);
    QWheelEvent wheel(QPointF(50, 50), f.viewer.pageView()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.viewer.pageView(), &wheel);
    QVERIFY(f.viewer.verticalBar()->value() > 0);
    QCOMPARE(f.viewer.pageView()->y(), -f.viewer.verticalBar()->value());
}

void PageViewerTest::dragPanning_data()
{
    QTest::addColumn<int>("startValue");
    QTest::addColumn<int>("distance"); // to the right
    QTest::addColumn<int>("expected");
    QTest::newRow("right by 30") << 100 << 30 << 70;
    QTest::newRow("right past the edge") << 20 << 30 << 0;
    QTest::newRow("right at the edge") << 0 << 30 << 0;
    QTest::newRow("left by 30") << 40 << -30 << 70;
    QTest::newRow("left past the edge") << 90 << -30 << 100;
}

void PageViewerTest::dragPanning()
{
    QFETCH(int, startValue);
    QFETCH(int, distance);
    QFETCH(int, expected);

    Fixture f;
    auto pages = makePages({QSize(800, 600)});
    f.viewer.setPageSet(pages.get());
    f.viewer.setZoomOption(1);
    f.setViewport(QSize(700, 650));
    QScrollBar *bar = f.viewer.horizontalBar();
    QCOMPARE(bar->maximum(), 100);
    bar->setValue(startValue);
    PageView *page = f.viewer.pageView();

    const QPointF grabbed(300, 200);
    sendMouse(page, QEvent::MouseButtonPress, grabbed);
    QCOMPARE(page->cursor().shape(), Qt::ClosedHandCursor);
    const QPoint pointer = page->mapTo(f.viewer.container(), grabbed.toPoint()) + QPoint(distance, 0);
    sendMouse(page, QEvent::MouseMove, grabbed + QPointF(distance, 0));
    QCOMPARE(bar->value(), expected);
    QCOMPARE(page->x(), -expected);
    QCOMPARE(page->y(), 25);               // the page fits vertically and stays centred
    if (expected == startValue - distance) // not stopped by an edge: the grabbed point followed
        QCOMPARE(page->mapTo(f.viewer.container(), grabbed.toPoint()), pointer);

    sendMouse(page, QEvent::MouseButtonRelease, grabbed);
    QCOMPARE(page->cursor().shape(), Qt::ArrowCursor);
    sendMouse(page, QEvent::MouseMove, grabbed + QPointF(distance, 0));
    QCOMPARE(bar->value(), expected);
}

void PageViewerTest::dragWithADisabledBar()
{
    Fixture f;
    auto pages = makePages({QSize(800, 400)});
    f.viewer.setPageSet(pages.get());
    f.viewer.setZoomOption(1);
    f.setViewport(QSize(700, 500));
    f.viewer.horizontalBar()->setValue(50);
    PageView *page = f.viewer.pageView();
    sendMouse(page, QEvent::MouseButtonPress, QPointF(100, 100));
    sendMouse(page, QEvent::MouseMove, QPointF(90, 60));
    QCOMPARE(f.viewer.horizontalBar()->value(), 60);
    QCOMPARE(f.viewer.verticalBar()->value(), 0);
    QCOMPARE(page->pos(), QPoint(-60, 50));
}

void PageViewerTest::zoomFollowsEveryPage()
{
    Fixture f;
    f.setViewport(QSize(600, 500));
    auto pages = makePages({QSize(800, 600), QSize(400, 300), QSize(1600, 1200)});
    f.viewer.setPageSet(pages.get());
    QAbstractButton *bestFit = f.tools.option(0);
    QAbstractButton *actualSize = f.tools.option(1);
    QCOMPARE(bestFit->objectName(), QStringLiteral("optZoom0"));
    QCOMPARE(actualSize->objectName(), QStringLiteral("optZoom1"));
    QVERIFY(bestFit->isChecked());
    QCOMPARE(f.viewer.pageView()->size(), QSize(600, 450));
    QCOMPARE(f.zoomText(), QStringLiteral("75 %"));

    actualSize->click();
    QCOMPARE(f.viewer.zoomOption(), 1);
    QCOMPARE(f.viewer.pageView()->size(), QSize(800, 600));
    QCOMPARE(f.zoomText(), QStringLiteral("100 %"));
    QVERIFY(f.viewer.horizontalBar()->isEnabled());

    f.button("cmdNext")->click();
    QVERIFY(actualSize->isChecked() && !bestFit->isChecked());
    QCOMPARE(f.viewer.pageView()->geometry(), QRect(100, 100, 400, 300));
    QCOMPARE(f.zoomText(), QStringLiteral("100 %"));

    bestFit->click();
    QCOMPARE(f.viewer.pageView()->size(), QSize(600, 450));
    QCOMPARE(f.zoomText(), QStringLiteral("150 %"));
    f.button("cmdNext")->click();
    QVERIFY(bestFit->isChecked());
    QCOMPARE(f.viewer.pageView()->geometry(), QRect(0, 25, 600, 450));
    QCOMPARE(f.zoomText(), QStringLiteral("38 %"));
    QVERIFY(!f.viewer.horizontalBar()->isEnabled() && !f.viewer.verticalBar()->isEnabled());

    // What start-up restores and shutdown reads back.
    f.viewer.setZoomOption(1);
    QVERIFY(actualSize->isChecked());
    QCOMPARE(f.viewer.pageView()->size(), QSize(1600, 1200));
    f.viewer.setZoomOption(0);
    QVERIFY(bestFit->isChecked());
    QCOMPARE(f.viewer.zoomOption(), 0);
}

void PageViewerTest::navigationStripCentred_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("narrower than the strip") << 300;
    QTest::newRow("even") << 640;
    QTest::newRow("odd") << 803;
    QTest::newRow("wide") << 1601;
}

void PageViewerTest::navigationStripCentred()
{
    QFETCH(int, width);
    Fixture f;
    f.viewer.resize(width, 700);
    QWidget *container = f.viewer.container();
    QWidget *bar = f.viewer.bar();
    QWidget *strip = f.viewer.navigationBar();
    QScrollBar *horizontal = f.viewer.horizontalBar();
    QScrollBar *vertical = f.viewer.verticalBar();

    QCOMPARE(container->pos(), QPoint(0, 0));
    QCOMPARE(vertical->geometry(), QRect(container->width(), 0, vertical->width(), container->height()));
    QCOMPARE(container->width() + vertical->width(), width);
    QCOMPARE(horizontal->geometry(), QRect(0, container->height(), container->width(), horizontal->height()));
    QCOMPARE(bar->geometry(), QRect(0, horizontal->geometry().bottom() + 1, container->width(), bar->height()));
    QCOMPARE(bar->geometry().bottom() + 1, 700);
    QCOMPARE(bar->height(), strip->height());

    const int leftMargin = strip->x();
    const int rightMargin = bar->width() - strip->x() - strip->width();
    QVERIFY2(qAbs(leftMargin - rightMargin) <= 1, qPrintable(QStringLiteral("%1 %2").arg(leftMargin).arg(rightMargin)));
    QCOMPARE(strip->y(), 0);
}

QTEST_MAIN(PageViewerTest)
#include "pageviewer_test.moc"
