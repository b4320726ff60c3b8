#include "qmapcontrol/scalebar.h"

#include <QtTest>

using namespace qmapcontrol;

class TestScaleBar : public QObject
{
    Q_OBJECT
private slots:
    void roundDistances_data()
    {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<double>("room");
        QTest::addColumn<QString>("label");
        QTest::addColumn<double>("pixels");
        // At the equator one pixel of zoom 0 is 156 543 m; at 60° north half of that.
        QTest::newRow("equator z0") << 0.0 << 0 << 100.0 << "10000 km" << 63.88;
        QTest::newRow("equator z13: 1 km") << 0.0 << 13 << 100.0 << "1 km" << 52.33;
        QTest::newRow("60N z0") << 60.0 << 0 << 100.0 << "5000 km" << 63.88;
        QTest::newRow("60N z10") << 60.0 << 10 << 100.0 << "5 km" << 65.41;
        // 2 km fits in 150 pixels at zoom 12 on the equator (38.2 m a pixel), 5 km does not.
        QTest::newRow("room 150") << 0.0 << 12 << 150.0 << "5 km" << 130.83;
        QTest::newRow("room 100") << 0.0 << 12 << 100.0 << "2 km" << 52.33;
        QTest::newRow("no room") << 0.0 << 20 << 0.05 << QString() << 0.0;
    }
    void roundDistances()
    {
        QFETCH(double, latitude);
        QFETCH(int, zoom);
        QFETCH(double, room);
        QFETCH(double, pixels);
        const ScaleBar bar = chooseScaleBar(latitude, zoom, room);
        QTEST(bar.label, "label");
        QVERIFY2(std::abs(bar.pixels - pixels) < 0.01, qPrintable(QString::number(bar.pixels)));
        QVERIFY(bar.pixels <= room);
        if (bar.metres > 0)
            QCOMPARE(bar.pixels * metresPerPixel(latitude, zoom), bar.metres);
    }
};

QTEST_APPLESS_MAIN(TestScaleBar)
#include "tst_scalebar.moc"
