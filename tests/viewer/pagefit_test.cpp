#include "viewer/pagefit.h"

#include <QTest>

using namespace pagorra;
using namespace Qt::StringLiterals;

class PageFitTest : public QObject {
    Q_OBJECT
  private slots:
    void twips_data();
    void twips();
    void fit_data();
    void fit();
    void zoomLabel();
};

void PageFitTest::twips_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("15 twips per pixel") << 15 << 96 << 1;
    QTest::newRow("120 dpi") << 975 << 120 << 81;
    QTest::newRow("144 dpi, 97.5 to even") << 975 << 144 << 98;
}

void PageFitTest::twips()
{
    QFETCH(int, twips);
    QFETCH(int, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips, dpi), pixels);
}

// Expected: "shown zoom% @left,top bars:HV max:h,v" with bars as 0/1 for enabled.
void PageFitTest::fit_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<bool>("bestFit");
    QTest::addColumn<QString>("expected");
    const QSize page(800, 600);
    QTest::newRow("1.5 rounds to 2") << page << QSize(803, 700) << false << "800x600 100.00% @2,50 bars:00 max:-3,-100";
    QTest::newRow("0.5 rounds to 0") << page << QSize(801, 600) << false << "800x600 100.00% @0,0 bars:00 max:-1,0";
    QTest::newRow("overhang across") << page << QSize(700, 650) << false << "800x600 100.00% @0,25 bars:10 max:100,-50";
    QTest::newRow("one pixel over") << page << QSize(799, 599) << false << "800x600 100.00% @0,0 bars:11 max:1,1";
    QTest::newRow("best fit shrinks") << page << QSize(400, 400) << true << "400x300 50.00% @0,50 bars:00 max:0,-100";
    QTest::newRow("best fit enlarges") << page << QSize(1603, 1300) << true
                                       << "1603x1202 200.38% @0,49 bars:00 max:0,-98";
    QTest::newRow("best fit tall") << QSize(1000, 1000) << QSize(333, 500) << true
                                   << "333x333 33.30% @0,84 bars:00 max:0,-167";
    QTest::newRow("best fit odd page") << QSize(801, 601) << QSize(400, 400) << true
                                       << "400x300 49.94% @0,50 bars:00 max:0,-100";
    QTest::newRow("empty viewport") << page << QSize(0, 0) << true << "0x0 0.00% @0,0 bars:00 max:0,0";
    QTest::newRow("no image") << QSize() << QSize(800, 500) << true << "0x0 100.00% @400,250 bars:00 max:-800,-500";
    QTest::newRow("largest page") << QSize(32767, 20000) << QSize(500, 400) << false
                                  << "32767x20000 100.00% @0,0 bars:11 max:32267,19600";
}

void PageFitTest::fit()
{
    QFETCH(QSize, image);
    QFETCH(QSize, viewport);
    QFETCH(bool, bestFit);
    const PageFit f = fitPage(image, viewport, bestFit);
    const QString got = u"%1x%2 %3% @%4,%5 bars:%6%7 max:%8,%9"_s.arg(f.shown.width())
                            .arg(f.shown.height())
                            .arg(f.zoom, 0, 'f', 2)
                            .arg(f.left)
                            .arg(f.top)
                            .arg(int(f.horizontalEnabled))
                            .arg(int(f.verticalEnabled))
                            .arg(f.horizontalMaximum)
                            .arg(f.verticalMaximum);
    QTEST(got, "expected");
}

void PageFitTest::zoomLabel()
{
    QCOMPARE(zoomLabelText(50.0), u"50 %"_s);
    QCOMPARE(zoomLabelText(62.5), u"62 %"_s);
    QCOMPARE(zoomLabelText(63.5), u"64 %"_s);
}

QTEST_MAIN(PageFitTest)
#include "pagefit_test.moc"
