#include "viewer/pagefit.h"

#include <QTest>

using namespace pagorra;

class PageFitTest : public QObject {
    Q_OBJECT
  private slots:
    void rounding_data();
    void rounding();
    void twips_data();
    void twips();
    void fit_data();
    void fit();
    void zoomLabel_data();
    void zoomLabel();
};

void PageFitTest::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("half down to even") << 0.5 << 0;
    QTest::newRow("half up to even") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("below half") << 2.4999 << 2;
    QTest::newRow("above half") << 2.5001 << 3;
    QTest::newRow("negative half") << -0.5 << 0;
    QTest::newRow("negative 1.5") << -1.5 << -2;
    QTest::newRow("negative 2.5") << -2.5 << -2;
}

void PageFitTest::rounding()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(roundHalfEven(value), expected);
}

void PageFitTest::twips_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("15 twips per pixel") << 15 << 96 << 1;
    QTest::newRow("strip height") << 975 << 96 << 65;
    QTest::newRow("navigation width") << 5175 << 96 << 345;
    QTest::newRow("tools width") << 1695 << 96 << 113;
    QTest::newRow("120 dpi") << 975 << 120 << 81;
    QTest::newRow("144 dpi") << 975 << 144 << 98; // 97.5 rounds to the even 98
}

void PageFitTest::twips()
{
    QFETCH(int, twips);
    QFETCH(int, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips, dpi), pixels);
}

void PageFitTest::fit_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<bool>("bestFit");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<int>("horizontalMaximum");
    QTest::addColumn<int>("verticalMaximum");

    const QSize page(800, 600);
    QTest::newRow("1.5 rounds to 2") << page << QSize(803, 700) << false << page << 100.0 << QPoint(2, 50) << false
                                     << false << -3 << -100;
    QTest::newRow("0.5 rounds to 0") << page << QSize(801, 600) << false << page << 100.0 << QPoint(0, 0) << false
                                     << false << -1 << 0;
    QTest::newRow("overhang 100 across") << page << QSize(700, 650) << false << page << 100.0 << QPoint(0, 25) << true
                                         << false << 100 << -50;
    QTest::newRow("overhang both ways") << page << QSize(700, 500) << false << page << 100.0 << QPoint(0, 0) << true
                                        << true << 100 << 100;
    QTest::newRow("one pixel over") << page << QSize(799, 599) << false << page << 100.0 << QPoint(0, 0) << true << true
                                    << 1 << 1;
    QTest::newRow("best fit shrinks") << page << QSize(400, 400) << true << QSize(400, 300) << 50.0 << QPoint(0, 50)
                                      << false << false << 0 << -100;
    QTest::newRow("best fit exact") << page << QSize(1000, 600) << true << page << 100.0 << QPoint(100, 0) << false
                                    << false << -200 << 0;
    QTest::newRow("best fit enlarges") << page << QSize(1603, 1300) << true << QSize(1603, 1202) << 200.375
                                       << QPoint(0, 49) << false << false << 0 << -98;
    QTest::newRow("best fit tall viewport") << QSize(1000, 1000) << QSize(333, 500) << true << QSize(333, 333) << 33.3
                                            << QPoint(0, 84) << false << false << 0 << -167;
    QTest::newRow("best fit odd page") << QSize(801, 601) << QSize(400, 400) << true << QSize(400, 300)
                                       << 400.0 / 801 * 100 << QPoint(0, 50) << false << false << 0 << -100;
    QTest::newRow("best fit empty viewport")
        << page << QSize(0, 0) << true << QSize(0, 0) << 0.0 << QPoint(0, 0) << false << false << 0 << 0;
    QTest::newRow("no image") << QSize() << QSize(800, 500) << true << QSize(0, 0) << 100.0 << QPoint(400, 250) << false
                              << false << -800 << -500;
    QTest::newRow("largest page") << QSize(32767, 20000) << QSize(500, 400) << false << QSize(32767, 20000) << 100.0
                                  << QPoint(0, 0) << true << true << 32267 << 19600;
}

void PageFitTest::fit()
{
    QFETCH(QSize, image);
    QFETCH(QSize, viewport);
    QFETCH(bool, bestFit);
    QFETCH(QSize, shown);
    QFETCH(double, zoom);
    QFETCH(QPoint, position);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    QFETCH(int, horizontalMaximum);
    QFETCH(int, verticalMaximum);

    const PageFit fit = fitPage(image, viewport, bestFit);
    QCOMPARE(fit.shown, shown);
    QVERIFY2(qAbs(fit.zoom - zoom) < 0.01, qPrintable(QString::number(fit.zoom)));
    QCOMPARE(QPoint(fit.left, fit.top), position);
    QCOMPARE(fit.horizontalEnabled, horizontal);
    QCOMPARE(fit.verticalEnabled, vertical);
    QCOMPARE(fit.horizontalMaximum, horizontalMaximum);
    QCOMPARE(fit.verticalMaximum, verticalMaximum);
}

void PageFitTest::zoomLabel_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 50.0 << QStringLiteral("50 %");
    QTest::newRow("half to even below") << 62.5 << QStringLiteral("62 %");
    QTest::newRow("half to even above") << 63.5 << QStringLiteral("64 %");
    QTest::newRow("enlarged") << 200.375 << QStringLiteral("200 %");
}

void PageFitTest::zoomLabel()
{
    QFETCH(double, zoom);
    QFETCH(QString, text);
    QCOMPARE(zoomLabelText(zoom), text);
}

QTEST_MAIN(PageFitTest)
#include "pagefit_test.moc"
