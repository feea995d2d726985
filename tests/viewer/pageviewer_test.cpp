// The page viewer on a page of known colours: fitting, painting at the scroll position, the
// wheel and drag-panning. The zoom choice and the navigation are checked through the real window.
#include "generation/pageset.h"
#include "viewer/pagefit.h"
#include "viewer/pageview.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
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

    Fixture(QSize page, int zoomOption, QSize viewport)
    {
        viewer.show();
        pages.page(0).setCanvasColor(0x78C828);
        pages.page(0).newImage(page.width(), page.height());
        viewer.setPageSet(&pages);
        viewer.setZoomOption(zoomOption);
        setViewport(viewport);
    }
    void setViewport(QSize viewport)
    {
        viewer.resize(viewport.width() + viewer.verticalBar()->sizeHint().width(),
                      viewport.height() + viewer.horizontalBar()->sizeHint().height() + viewer.bar()->height());
        QCOMPARE(viewer.container()->size(), viewport);
    }
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
    void scrollingAndPainting()
    {
        Fixture f(QSize(800, 600), 0, QSize(400, 400));
        const QRgb corner = qRgb(220, 20, 20);
        QImage block(100, 100, QImage::Format_RGB32);
        block.fill(corner);
        f.pages.page(0).drawBitmap(700, 500, block);
        f.viewer.refresh();

        // Best fit: 400 x 300 at (0, 50), the backdrop above and below.
        QImage shot = f.shot();
        QVERIFY(shot.pixel(200, 20) != Paper && shot.pixel(200, 380) == shot.pixel(200, 20));
        QVERIFY(shot.pixel(10, 60) == Paper && shot.pixel(390, 340) == corner);
        QCOMPARE(f.tools.zoomLabel()->text(), u"50 %"_s);
        QCOMPARE(zoomLabelText(62.5) + zoomLabelText(63.5), u"62 %64 %"_s); // halves to even

        // Actual size scrolled to the far corner: the block fills the viewport's last 100 pixels.
        f.tools.option(1)->click();
        f.viewer.horizontalBar()->setValue(400);
        f.viewer.verticalBar()->setValue(200);
        shot = f.shot();
        QVERIFY(shot.pixel(295, 295) == Paper && shot.pixel(305, 305) == corner);

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

    // A page made at 300 pixels per inch is shown by its layout size: at 100 % its stripes, one
    // image pixel wide, blend to greys; Ctrl and the wheel zoom in (150, 200, 300, 400 %) until
    // they show.
    void zoomingInShowsTheDetailOfAHigherResolution()
    {
        Fixture f(QSize(800, 600), 1, QSize(700, 500));
        Page &page = f.pages.page(0);
        page.setOutput({300, {}});
        page.newImage(800, 600);
        QImage stripes(1250, 940, QImage::Format_RGB32); // 400 x 300 layout pixels
        for (int x = 0; x < stripes.width(); ++x)
            for (int y = 0; y < stripes.height(); ++y)
                stripes.setPixel(x, y, x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        page.drawBitmap(0, 0, stripes);
        f.viewer.refresh();
        const auto contrast = [&f] {
            const QImage shot = f.shot();
            int low = 255, high = 0;
            for (int x = 100; x < 140; ++x) {
                low = std::min(low, qGray(shot.pixel(x, 100)));
                high = std::max(high, qGray(shot.pixel(x, 100)));
            }
            return high - low;
        };
        QCOMPARE(f.viewer.pageView()->size(), QSize(800, 600));
        QVERIFY(contrast() < 100);
        for (int step = 0; step < 4; ++step) {
            QWheelEvent wheel(QPointF(50, 50), QPointF(), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(f.viewer.pageView(), &wheel);
        }
        QCOMPARE(f.tools.zoomLabel()->text() + u' ' + QString::number(f.viewer.pageView()->width()), u"400 % 3200"_s);
        QVERIFY(contrast() > 200);
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
            Fixture f(row.page, 1, QSize(700, 650));
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
};

QTEST_MAIN(PageViewerTest)
#include "pageviewer_test.moc"
