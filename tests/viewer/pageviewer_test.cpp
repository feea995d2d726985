// The page viewer on pages of known colours: fitting and its rounding, painting at the scroll
// position, the wheel, drag-panning, and the zoom choice across pages.
#include "generation/pageset.h"
#include "viewer/pagefit.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

const QRgb Paper = qRgb(0x28, 0xC8, 0x78); // 0x78C828 as a stored colour

struct Fixture {
    ZoomTools tools;
    PageViewer viewer{&tools};
    PageSet pages;

    explicit Fixture(const QList<QSize> &sizes, int zoomOption = 0, QSize viewport = {})
    {
        viewer.show();
        for (int index = 0; index < sizes.size(); ++index) {
            Page &page = index == 0 ? pages.page(0) : pages.addPage();
            page.setCanvasColor(0x78C828);
            page.newImage(sizes[index].width(), sizes[index].height());
        }
        viewer.setPageSet(&pages);
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
    QImage shot() const { return viewer.container()->grab().toImage(); }
    QPoint bars() const { return {viewer.horizontalBar()->value(), viewer.verticalBar()->value()}; }
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
    // Expected: "shown zoom% @left,top bars:HV max:h,v" with bars as 0/1 for enabled.
    void fit()
    {
        const struct {
            QSize image, viewport;
            bool bestFit;
            const char *expected;
        } rows[] = {
            {{800, 600}, {803, 700}, false, "800x600 100.00% @2,50 bars:00 max:-3,-100"}, // 1.5 rounds to 2
            {{800, 600}, {801, 600}, false, "800x600 100.00% @0,0 bars:00 max:-1,0"},     // 0.5 rounds to 0
            {{800, 600}, {700, 650}, false, "800x600 100.00% @0,25 bars:10 max:100,-50"},
            {{800, 600}, {799, 599}, false, "800x600 100.00% @0,0 bars:11 max:1,1"},
            {{800, 600}, {400, 400}, true, "400x300 50.00% @0,50 bars:00 max:0,-100"},
            {{800, 600}, {1603, 1300}, true, "1603x1202 200.38% @0,49 bars:00 max:0,-98"},
            {{}, {800, 500}, true, "0x0 100.00% @400,250 bars:00 max:-800,-500"},
            {{32767, 20000}, {500, 400}, false, "32767x20000 100.00% @0,0 bars:11 max:32267,19600"},
        };
        for (const auto &row : rows) {
            const PageFit f = fitPage(row.image, row.viewport, row.bestFit);
            QCOMPARE(QString::asprintf("%dx%d %.2f%% @%d,%d bars:%d%d max:%d,%d", f.shown.width(), f.shown.height(),
                                       f.zoom, f.left, f.top, f.horizontalEnabled, f.verticalEnabled,
                                       f.horizontalMaximum, f.verticalMaximum),
                     QString::fromLatin1(row.expected));
        }
        QCOMPARE(zoomLabelText(62.5) + zoomLabelText(63.5), u"62 %64 %"_s);
    }

    void scrollingAndPainting()
    {
        Fixture f({QSize(800, 600)}, 0, QSize(400, 400));
        const QRgb corner = qRgb(220, 20, 20);
        QImage block(100, 100, QImage::Format_RGB32);
        block.fill(corner);
        f.pages.page(0).drawBitmap(700, 500, block);
        f.viewer.refresh();

        // Best fit: 400 x 300 at (0, 50), the backdrop above and below.
        QImage shot = f.shot();
        const QRgb backdrop = shot.pixel(200, 20);
        QVERIFY(backdrop != Paper && backdrop != corner);
        QCOMPARE(shot.pixel(10, 60), Paper);
        QCOMPARE(shot.pixel(390, 340), corner);
        QCOMPARE(shot.pixel(200, 380), backdrop);
        QCOMPARE(f.tools.zoomLabel()->text(), u"50 %"_s);

        // Actual size scrolled to the far corner: the block fills the viewport's last 100 pixels.
        f.tools.option(1)->click();
        f.viewer.horizontalBar()->setValue(400);
        f.viewer.verticalBar()->setValue(200);
        shot = f.shot();
        QCOMPARE(shot.pixel(295, 295), Paper);
        QCOMPARE(shot.pixel(305, 305), corner);
        QCOMPARE(f.tools.zoomLabel()->text(), u"100 %"_s);

        // Growing the viewport shrinks the overhang: page and bar keep agreeing; a page that fits is centred.
        f.setViewport(QSize(750, 400));
        QCOMPARE(f.viewer.horizontalBar()->value(), 50);
        QCOMPARE(f.viewer.pageView()->pos(), QPoint(-50, -200));
        f.setViewport(QSize(900, 700));
        QCOMPARE(f.viewer.pageView()->pos(), QPoint(50, 50));
        QVERIFY(!f.viewer.horizontalBar()->isEnabled() && !f.viewer.verticalBar()->isEnabled());

        // The wheel over the page scrolls it.
        f.setViewport(QSize(400, 400));
        f.viewer.verticalBar()->setValue(0);
        QWheelEvent wheel(QPointF(50, 50), f.viewer.pageView()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.viewer.pageView(), &wheel);
        QVERIFY(f.viewer.verticalBar()->value() > 0);
        QCOMPARE(f.viewer.pageView()->y(), -f.viewer.verticalBar()->value());
    }

    void dragPanning()
    {
        // Bar values before and after the drag, and where the page then sits.
        const struct {
            QSize page;
            int start;
            QPoint drag, bars, position;
        } rows[] = {
            {{800, 600}, 100, {30, 0}, {70, 0}, {-70, 25}},
            {{800, 600}, 20, {30, 0}, {0, 0}, {0, 25}},        // stops at 0
            {{800, 600}, 90, {-30, 0}, {100, 0}, {-100, 25}},  // stops at the end
            {{800, 400}, 50, {-10, -40}, {60, 0}, {-60, 125}}, // a disabled bar stays
        };
        for (const auto &row : rows) {
            Fixture f({row.page}, 1, QSize(700, 650));
            f.viewer.horizontalBar()->setValue(row.start);
            PageView *view = f.viewer.pageView();
            const QPointF grabbed(300, 200);
            sendMouse(view, QEvent::MouseButtonPress, grabbed);
            QCOMPARE(view->cursor().shape(), Qt::ClosedHandCursor);
            sendMouse(view, QEvent::MouseMove, grabbed + row.drag);
            QCOMPARE(f.bars(), row.bars);
            QCOMPARE(view->pos(), row.position);
            sendMouse(view, QEvent::MouseButtonRelease, grabbed);
            QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);
            sendMouse(view, QEvent::MouseMove, grabbed + row.drag + row.drag);
            QCOMPARE(f.bars(), row.bars);
        }
    }

    // The zoom choice applies to every page shown, and setting it checks the matching option.
    void zoomFollowsEveryPage()
    {
        Fixture f({QSize(800, 600), QSize(400, 300), QSize(1600, 1200)}, 0, QSize(600, 500));
        f.tools.option(1)->click();
        QCOMPARE(f.viewer.zoomOption(), 1);
        f.click(u"cmdNext"_s);
        QVERIFY(f.tools.option(1)->isChecked());
        QCOMPARE(f.viewer.pageView()->geometry(), QRect(100, 100, 400, 300));
        f.tools.option(0)->click();
        QCOMPARE(f.tools.zoomLabel()->text(), u"150 %"_s);
        f.click(u"cmdNext"_s);
        QCOMPARE(f.viewer.pageView()->geometry(), QRect(0, 25, 600, 450));
        f.viewer.setZoomOption(1);
        QVERIFY(f.tools.option(1)->isChecked() && !f.tools.option(0)->isChecked());
        QCOMPARE(QPoint(f.viewer.horizontalBar()->maximum(), f.viewer.verticalBar()->maximum()), QPoint(1000, 700));
    }
};

QTEST_MAIN(PageViewerTest)
#include "pageviewer_test.moc"
