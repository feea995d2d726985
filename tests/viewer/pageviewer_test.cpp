#include "generation/pageset.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <memory>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Every page has a colour of its own so the test can tell which one is on display.
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
    std::unique_ptr<PageSet> pages;

    explicit Fixture(const QList<QSize> &sizes = {}, int zoomOption = 0, QSize viewport = {})
    {
        viewer.show();
        if (!sizes.isEmpty()) {
            pages = makePages(sizes);
            viewer.setPageSet(pages.get());
        }
        viewer.setZoomOption(zoomOption);
        if (viewport.isValid())
            setViewport(viewport);
    }
    void setViewport(QSize viewport)
    {
        viewer.resize(viewport.width() + viewer.verticalBar()->sizeHint().width(),
                      viewport.height() + viewer.horizontalBar()->sizeHint().height() + viewer.bar()->height());
        QCOMPARE(viewer.container()->size(), viewport);
    }
    void click(const QString &name) { viewer.findChild<QPushButton *>(name)->click(); }
    QRgb shownColor() const { return viewer.pageView()->image().pixel(0, 0); }
    QString counter() const { return viewer.counter()->text(); }
    QString zoomText() const { return tools.zoomLabel()->text(); }
    QImage shot() const { return viewer.container()->grab().toImage(); }
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
    void scrollingAndPainting();
    void dragPanning_data();
    void dragPanning();
    void zoomFollowsEveryPage();
    void navigationStripCentred();
};

void PageViewerTest::counterBeforeAndAfterARun()
{
    Fixture f;
    PageSet run;
    f.viewer.setPageSet(&run);
    f.click(u"cmdNext"_s);
    f.click(u"cmdLast"_s);
    QCOMPARE(f.viewer.currentPageIndex(), 0);
    QCOMPARE(f.counter(), u"Page 1"_s);
    QVERIFY(f.viewer.pageView()->isHidden());

    // A run fills the set it was given; the window then shows page 1 again.
    fillPage(run.page(0), QSize(800, 600), pageColor(0));
    fillPage(run.addPage(), QSize(800, 600), pageColor(1));
    f.viewer.refresh();
    QCOMPARE(f.counter(), u"Page 1 of 2"_s);
    QCOMPARE(f.shownColor(), pageColor(0));

    // A shrunken set never leaves the viewer past its last page.
    f.viewer.showLast();
    run.clear();
    f.viewer.refresh();
    QCOMPARE(f.viewer.currentPageIndex(), 0);
    QCOMPARE(f.counter(), u"Page 1"_s);
    // One page counts as a finished run, even when all its photos failed.
    fillPage(run.page(0), QSize(800, 600), pageColor(0));
    f.viewer.refresh();
    QCOMPARE(f.counter(), u"Page 1 of 1"_s);
}

void PageViewerTest::navigation_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("next on the last page") << 2 << u"cmdNext"_s << 2;
    QTest::newRow("previous on the first page") << 0 << u"cmdPrevious"_s << 0;
    QTest::newRow("next") << 0 << u"cmdNext"_s << 1;
    QTest::newRow("previous") << 2 << u"cmdPrevious"_s << 1;
    QTest::newRow("first") << 2 << u"cmdFirst"_s << 0;
    QTest::newRow("last") << 0 << u"cmdLast"_s << 2;
}

void PageViewerTest::navigation()
{
    QFETCH(int, start);
    QFETCH(QString, button);
    QFETCH(int, expected);
    Fixture f({QSize(800, 600), QSize(800, 600), QSize(800, 600)}, 0, QSize(700, 500));
    f.viewer.showPage(start);
    // The target page is redrawn after it was last shown: the click must show it anew.
    const QRgb redrawn = qRgb(9, 99, 199);
    fillPage(f.pages->page(expected), QSize(800, 600), redrawn);
    f.click(button);
    QCOMPARE(f.viewer.currentPageIndex(), expected);
    QCOMPARE(f.pages->currentPageIndex(), expected);
    QCOMPARE(f.counter(), u"Page %1 of 3"_s.arg(expected + 1));
    QCOMPARE(f.shownColor(), redrawn);
}

void PageViewerTest::scrollingAndPainting()
{
    Fixture f({QSize(800, 600)}, 0, QSize(400, 400));
    const QRgb corner = qRgb(220, 20, 20);
    QImage block(100, 100, QImage::Format_RGB32);
    block.fill(corner);
    f.pages->page(0).drawBitmap(700, 500, block);
    f.viewer.refresh();
    const QRgb paper = pageColor(0);

    // Best fit: 400 x 300 at (0, 50), the backdrop above and below.
    QImage shot = f.shot();
    const QRgb backdrop = shot.pixel(200, 20);
    QVERIFY(backdrop != paper && backdrop != corner);
    QCOMPARE(shot.pixel(10, 60), paper);
    QCOMPARE(shot.pixel(390, 340), corner);
    QCOMPARE(shot.pixel(200, 380), backdrop);

    // Actual size scrolled to the far corner: the block fills the viewport's last 100 pixels.
    f.viewer.setZoomOption(1);
    f.viewer.horizontalBar()->setValue(400);
    f.viewer.verticalBar()->setValue(200);
    shot = f.shot();
    QCOMPARE(shot.pixel(295, 295), paper);
    QCOMPARE(shot.pixel(305, 305), corner);

    // Growing the viewport shrinks the overhang: page and bar keep agreeing; a page that fits is centred.
    f.setViewport(QSize(750, 400));
    QCOMPARE(f.viewer.horizontalBar()->value(), 50);
    QCOMPARE(f.viewer.pageView()->pos(), QPoint(-50, -200));
    f.setViewport(QSize(900, 700));
    QCOMPARE(f.viewer.pageView()->pos(), QPoint(50, 50));

    f.setViewport(QSize(400, 400));
    f.viewer.verticalBar()->setValue(0);
    QWheelEvent wheel(QPointF(50, 50), f.viewer.pageView()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.viewer.pageView(), &wheel);
    QVERIFY(f.viewer.verticalBar()->value() > 0);
    QCOMPARE(f.viewer.pageView()->y(), -f.viewer.verticalBar()->value());
}

void PageViewerTest::dragPanning_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QPoint>("start"); // bar values
    QTest::addColumn<QPoint>("drag");
    QTest::addColumn<QPoint>("expected");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("right by 30") << QSize(800, 600) << QPoint(100, 0) << QPoint(30, 0) << QPoint(70, 0)
                                 << QPoint(-70, 25);
    QTest::newRow("right stops at 0") << QSize(800, 600) << QPoint(20, 0) << QPoint(30, 0) << QPoint(0, 0)
                                      << QPoint(0, 25);
    QTest::newRow("left stops at the end")
        << QSize(800, 600) << QPoint(90, 0) << QPoint(-30, 0) << QPoint(100, 0) << QPoint(-100, 25);
    QTest::newRow("disabled bar stays") << QSize(800, 400) << QPoint(50, 0) << QPoint(-10, -40) << QPoint(60, 0)
                                        << QPoint(-60, 125);
}

void PageViewerTest::dragPanning()
{
    QFETCH(QSize, page);
    QFETCH(QPoint, start);
    QFETCH(QPoint, drag);
    QFETCH(QPoint, expected);
    Fixture f({page}, 1, QSize(700, 650));
    QScrollBar *bar = f.viewer.horizontalBar();
    bar->setValue(start.x());
    PageView *view = f.viewer.pageView();

    const QPointF grabbed(300, 200);
    sendMouse(view, QEvent::MouseButtonPress, grabbed);
    QCOMPARE(view->cursor().shape(), Qt::ClosedHandCursor);
    sendMouse(view, QEvent::MouseMove, grabbed + drag);
    QCOMPARE(QPoint(bar->value(), f.viewer.verticalBar()->value()), expected);
    QTEST(view->pos(), "position");

    sendMouse(view, QEvent::MouseButtonRelease, grabbed);
    QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);
    sendMouse(view, QEvent::MouseMove, grabbed + drag + drag);
    QCOMPARE(bar->value(), expected.x());
}

void PageViewerTest::zoomFollowsEveryPage()
{
    Fixture f({QSize(800, 600), QSize(400, 300), QSize(1600, 1200)}, 0, QSize(600, 500));
    QAbstractButton *bestFit = f.tools.option(0);
    QAbstractButton *actualSize = f.tools.option(1);
    QCOMPARE(actualSize->objectName(), u"optZoom1"_s);
    QCOMPARE(f.zoomText(), u"75 %"_s);

    actualSize->click();
    QCOMPARE(f.viewer.zoomOption(), 1);
    QCOMPARE(f.viewer.pageView()->size(), QSize(800, 600));
    QCOMPARE(f.zoomText(), u"100 %"_s);
    f.click(u"cmdNext"_s);
    QVERIFY(actualSize->isChecked());
    QCOMPARE(f.viewer.pageView()->geometry(), QRect(100, 100, 400, 300));

    bestFit->click();
    QCOMPARE(f.zoomText(), u"150 %"_s);
    f.click(u"cmdNext"_s);
    QCOMPARE(f.viewer.pageView()->geometry(), QRect(0, 25, 600, 450));
    QCOMPARE(f.zoomText(), u"38 %"_s);
    QVERIFY(!f.viewer.horizontalBar()->isEnabled() && !f.viewer.verticalBar()->isEnabled());

    // What start-up restores checks the matching option.
    f.viewer.setZoomOption(1);
    QVERIFY(actualSize->isChecked() && !bestFit->isChecked());
    QCOMPARE(f.viewer.pageView()->size(), QSize(1600, 1200));
    QCOMPARE(QPoint(f.viewer.horizontalBar()->maximum(), f.viewer.verticalBar()->maximum()), QPoint(1000, 700));
}

void PageViewerTest::navigationStripCentred()
{
    Fixture f;
    f.viewer.resize(803, 700);
    QWidget *container = f.viewer.container();
    QWidget *bar = f.viewer.bar();
    QWidget *strip = f.viewer.navigationBar();
    QCOMPARE(container->width() + f.viewer.verticalBar()->width(), 803);
    QCOMPARE(f.viewer.horizontalBar()->geometry().top(), container->height());
    QCOMPARE(bar->geometry(),
             QRect(0, f.viewer.horizontalBar()->geometry().bottom() + 1, container->width(), 700 - bar->y()));
    QCOMPARE(bar->height(), strip->height());
    const int rightMargin = bar->width() - strip->x() - strip->width();
    QVERIFY2(qAbs(strip->x() - rightMargin) <= 1, qPrintable(QString::number(rightMargin)));
}

QTEST_MAIN(PageViewerTest)
#include "pageviewer_test.moc"
