#include "qmapcontrol/projection.h"

#include <QtTest>

using namespace qmapcontrol;
using namespace qmapcontrol::projection;

class TestProjection : public QObject
{
    Q_OBJECT
private slots:
    void pixelsAndRoundTrip_data()
    {
        QTest::addColumn<PointWorldCoord>("coord");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QPointF>("pixels"); // within 0.002
        QTest::newRow("centre") << PointWorldCoord(0, 0) << 0 << QPointF(128, 128);
        QTest::newRow("north-west") << PointWorldCoord(-180, maxLatitude) << 3 << QPointF(0, 0);
        QTest::newRow("south-east")
            << PointWorldCoord(180, -maxLatitude) << 3 << QPointF(2048, 2048);
        QTest::newRow("south-west")
            << PointWorldCoord(-58.38, -34.6) << 0 << QPointF(86.485, 154.253);
    }

    void pixelsAndRoundTrip()
    {
        QFETCH(PointWorldCoord, coord);
        QFETCH(int, zoom);
        QFETCH(QPointF, pixels);
        QVERIFY((toWorldPixels(coord, zoom) - pixels).manhattanLength() < 0.002);
        for (int z : {0, 5, 10, 17, 20}) // and back
            QVERIFY((fromWorldPixels(toWorldPixels(coord, z), z).rawPoint() - coord.rawPoint())
                        .manhattanLength() < 1e-9);
    }

    void clampAndWrap()
    {
        // Beyond the limit every latitude lands on the world's edge, and comes back as the limit.
        const auto y = [](double l) { return toWorldPixels(PointWorldCoord(0, l), 4).y(); };
        for (double lat : {85.06, 90.0, 1000.0})
            QCOMPARE(QPointF(y(lat), y(-lat)), QPointF(0, 4096));
        QCOMPARE(fromWorldPixels(QPointF(0, -500), 4).latitude(), maxLatitude);
        QCOMPARE(fromWorldPixels(QPointF(0, 9999), 4).latitude(), -maxLatitude);
        QCOMPARE(clampLatitude(qQNaN()), 0.0);
        const auto lon = wrapLongitude;
        QCOMPARE(
            QVector<double>({lon(190), lon(-190), lon(180), lon(540), lon(139.5), lon(qInf())}),
            QVector<double>({-170, 170, -180, -180, 139.5, 0}));
        const auto x = wrapTileX;
        QCOMPARE(QVector<int>({x(-1, 2), x(4, 2), x(-9, 3), x(5, 0)}), QVector<int>({3, 0, 7, 0}));
        // A 512-pixel world (zoom 1) in a 1000-pixel view: its east end shows twice.
        const MapView view{1, QPointF(-100, 0), QSize(1000, 300)};
        int first = 0, last = 0;
        view.copiesShowing(0.99, 1.0, &first, &last);
        QCOMPARE(QVector<int>({first, last}), QVector<int>({-1, 0}));
    }

    void tiles_data()
    {
        QTest::addColumn<QRectF>("rect"); // world pixels
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QString>("expected"); // the range; x/y loaded with a border of one tile
        QTest::newRow("shared edges") << QRectF(0, 0, 512, 512) << 1 << "0 1 0 1: 0/0 0/1 1/0 1/1";
        QTest::newRow("a pixel more")
            << QRectF(0, 0, 257, 256) << 2 << "0 1 0 0: 0/0 0/1 1/0 1/1 2/0 2/1 3/0 3/1";
        QTest::newRow("date line")
            << QRectF(-100, -50, 400, 200) << 1 << "-1 1 0 0: 0/0 0/1 1/0 1/1";
        QTest::newRow("wider than the world")
            << QRectF(-300, -100, 900, 500) << 0 << "-2 2 0 0: 0/0";
        QTest::newRow("above the world") << QRectF(0, -600, 256, 500) << 1 << "0 0 0 -1:";
    }

    void tiles()
    {
        QFETCH(QRectF, rect);
        QFETCH(int, zoom);
        const projection::TileRange r = tileRange(rect, zoom);
        QStringList load;
        for (const TileKey& k : tilesToLoad(r, zoom, 1))
            load << QStringLiteral("%1/%2").arg(k.x).arg(k.y);
        load.sort();
        load.prepend(QString::asprintf("%d %d %d %d:", r.xFirst, r.xLast, r.yFirst, r.yLast));
        QTEST(load.join(' '), "expected");
    }

    void tilesNearestTheCentreFirst()
    {
        // Columns 2..4, rows 3..5 at zoom 4, grown by one tile: 25 tiles around tile 3/4.
        const TileRange range = tileRange(QRectF(512, 768, 768, 768), 4);
        const QVector<TileKey> keys = tilesToLoad(range, 4, 1);
        QCOMPARE(keys.size(), 25);
        QCOMPARE(QPoint(keys[0].x, keys[0].y), QPoint(3, 4));
        double previous = 0.0;
        for (const TileKey& k : keys) {
            const double d = std::hypot(k.x - 3, k.y - 4);
            QVERIFY2(d >= previous, qPrintable(QStringLiteral("%1/%2").arg(k.x).arg(k.y)));
            previous = d;
        }
    }
};

QTEST_APPLESS_MAIN(TestProjection)
#include "tst_projection.moc"
