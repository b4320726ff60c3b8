#include "qmapcontrol/projection.h"
#include "qmapcontrol/spatialindex.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <cmath>

using namespace qmapcontrol;

class TestProjection : public QObject
{
    Q_OBJECT
private slots:
    void knownPixels_data();
    void knownPixels();
    void roundTrip_data();
    void roundTrip();
    void latitudeClampAndLongitudeWrap();
    void tileRange_data();
    void tileRange();
    void tilesToLoadWrapAndBorder();
    void viewCopies();
    void spatialIndexAgreesWithBruteForce();
};

void TestProjection::knownPixels_data()
{
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPointF>("pixels");

    QTest::newRow("centre, zoom 0") << 0.0 << 0.0 << 0 << QPointF(128, 128);
    QTest::newRow("north-west corner") << -180.0 << projection::maxLatitude << 3 << QPointF(0, 0);
    QTest::newRow("south-east corner")
        << 180.0 << -projection::maxLatitude << 3 << QPointF(2048, 2048);
    QTest::newRow("Tokyo, zoom 10 (tile 909/403)")
        << 139.7 << 35.68 << 10 << QPointF(909.4 * 256, 403.2 * 256);
}

void TestProjection::knownPixels()
{
    QFETCH(double, lon);
    QFETCH(double, lat);
    QFETCH(int, zoom);
    QFETCH(QPointF, pixels);
    const QPointF p = projection::toWorldPixels(PointWorldCoord(lon, lat), zoom);
    // Tokyo is given to a tenth of a tile.
    const double tolerance = zoom == 10 ? 26.0 : 1e-6;
    QVERIFY2(std::abs(p.x() - pixels.x()) < tolerance && std::abs(p.y() - pixels.y()) < tolerance,
             qPrintable(QStringLiteral("%1, %2").arg(p.x(), 0, 'f', 3).arg(p.y(), 0, 'f', 3)));
    if (zoom == 10) {
        QCOMPARE(int(p.x()) / 256, 909);
        QCOMPARE(int(p.y()) / 256, 403);
    }
}

void TestProjection::roundTrip_data()
{
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::newRow("origin") << 0.0 << 0.0;
    QTest::newRow("Tokyo") << 139.949 << 35.7153;
    QTest::newRow("south-west") << -179.999 << -85.0;
    QTest::newRow("far north") << 10.5 << 85.05;
    QTest::newRow("Buenos Aires") << -58.38 << -34.6;
}

void TestProjection::roundTrip()
{
    QFETCH(double, lon);
    QFETCH(double, lat);
    for (int zoom : {0, 5, 10, 17, 20}) {
        const PointWorldCoord back = projection::fromWorldPixels(
            projection::toWorldPixels(PointWorldCoord(lon, lat), zoom), zoom);
        QVERIFY2(std::abs(back.longitude() - lon) < 1e-9 && std::abs(back.latitude() - lat) < 1e-9,
                 qPrintable(QStringLiteral("zoom %1").arg(zoom)));
    }
}

void TestProjection::latitudeClampAndLongitudeWrap()
{
    // Beyond the limit every latitude lands on the world's edge, and comes back as the limit.
    for (double lat : {85.06, 89.0, 90.0, 1000.0}) {
        QCOMPARE(projection::toWorldPixels(PointWorldCoord(0, lat), 4).y(), 0.0);
        QCOMPARE(projection::toWorldPixels(PointWorldCoord(0, -lat), 4).y(), 4096.0);
    }
    QVERIFY(std::abs(projection::fromWorldPixels(QPointF(0, -500), 4).latitude() - 85.0511) < 1e-4);
    QVERIFY(std::abs(projection::fromWorldPixels(QPointF(0, 9999), 4).latitude() + 85.0511) < 1e-4);
    QCOMPARE(projection::clampLatitude(std::nan("")), 0.0);

    QCOMPARE(projection::wrapLongitude(190.0), -170.0);
    QCOMPARE(projection::wrapLongitude(-190.0), 170.0);
    QCOMPARE(projection::wrapLongitude(180.0), -180.0);
    QCOMPARE(projection::wrapLongitude(540.0), -180.0);
    QCOMPARE(projection::wrapLongitude(139.5), 139.5);
    QCOMPARE(projection::wrapLongitude(std::numeric_limits<double>::infinity()), 0.0);

    QCOMPARE(projection::wrapTileX(-1, 2), 3);
    QCOMPARE(projection::wrapTileX(4, 2), 0);
    QCOMPARE(projection::wrapTileX(-9, 3), 7);
    QCOMPARE(projection::wrapTileX(5, 0), 0);
}

void TestProjection::tileRange_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QList<int>>("expected"); // xFirst, xLast, yFirst, yLast

    QTest::newRow("four whole tiles") << QRectF(256, 256, 512, 512) << 2 << QList<int>{1, 2, 1, 2};
    QTest::newRow("edges shared are not counted")
        << QRectF(0, 0, 256, 256) << 2 << QList<int>{0, 0, 0, 0};
    QTest::newRow("one pixel into the next")
        << QRectF(0, 0, 257, 256) << 2 << QList<int>{0, 1, 0, 0};
    QTest::newRow("west of the date line, rows cut")
        << QRectF(-100, -50, 400, 200) << 1 << QList<int>{-1, 1, 0, 0};
    QTest::newRow("wider than the world at zoom 0")
        << QRectF(-300, -100, 900, 500) << 0 << QList<int>{-2, 2, 0, 0};
    QTest::newRow("above the world: no rows")
        << QRectF(0, -600, 256, 500) << 1 << QList<int>{0, 0, 0, -1};
}

void TestProjection::tileRange()
{
    QFETCH(QRectF, rect);
    QFETCH(int, zoom);
    QFETCH(QList<int>, expected);
    const projection::TileRange r = projection::tileRange(rect, zoom);
    QCOMPARE((QList<int>{r.xFirst, r.xLast, r.yFirst, r.yLast}), expected);
}

void TestProjection::tilesToLoadWrapAndBorder()
{
    // A view three worlds wide at zoom 1 needs each of the four tiles once.
    QVector<TileKey> keys = projection::tilesToLoad({-2, 3, 0, 1}, 1, 1);
    QCOMPARE(keys.size(), 4);
    QSet<int> seen;
    for (const TileKey& k : keys) {
        QCOMPARE(k.z, 1);
        QVERIFY(k.x >= 0 && k.x <= 1 && k.y >= 0 && k.y <= 1);
        seen.insert(k.x * 2 + k.y);
    }
    QCOMPARE(seen.size(), 4);

    // Zoom 5, a 3 x 2 view at the date line: the border adds a ring, wraps
    // sideways, but stops at the top of the world. The middle comes first.
    keys = projection::tilesToLoad({-1, 1, 0, 1}, 5, 1);
    QCOMPARE(keys.size(), 5 * 3);
    QCOMPARE(keys.first().x, 0);
    QVERIFY(keys.first().y == 0 || keys.first().y == 1);
    for (const TileKey& k : keys) {
        QVERIFY(k.x >= 0 && k.x < 32);
        QVERIFY(k.y >= 0 && k.y <= 2);
        QVERIFY(k.x <= 2 || k.x >= 30);
    }
    QVERIFY(projection::tilesToLoad({0, -1, 0, 0}, 3, 1).isEmpty());
}

void TestProjection::viewCopies()
{
    // A 1000-pixel view at zoom 1 (512-pixel world) starting 100 pixels west of
    // the date line shows the world's east end, all of it, and its west part again.
    MapView view;
    view.zoom = 1;
    view.origin = QPointF(-100, 0);
    view.size = QSize(1000, 300);
    int first = 0;
    int last = 0;
    view.copiesShowing(0.0, 1.0, &first, &last);
    QCOMPARE(first, -1);
    QCOMPARE(last, 1);
    // Something at the very east only shows in copies -1 and 0 (x 412..512 and 924..1024 of 1000).
    view.copiesShowing(0.99, 1.0, &first, &last);
    QCOMPARE(first, -1);
    QCOMPARE(last, 0);
    const QPointF screen = view.toScreen(QPointF(0.5, 0.5), 1);
    QCOMPARE(screen, QPointF(768 - 0 + 100, 256));
    QCOMPARE(view.toNormalized(QPointF(868, 256)), QPointF(1.5, 0.5));
}

void TestProjection::spatialIndexAgreesWithBruteForce()
{
    QRandomGenerator random(42);
    SpatialIndex index;
    std::vector<SpatialIndex::Entry> all;
    std::vector<int> ids(6000);
    auto randomBox = [&random](double maxSize) {
        const double x = random.generateDouble() * 1.2 - 0.1; // some outside the world
        const double y = random.generateDouble();
        const double w = random.generateDouble() < 0.5 ? 0.0 : random.generateDouble() * maxSize;
        const double h = w * random.generateDouble();
        return Box{x, y, x + w, y + h};
    };
    for (std::size_t i = 0; i < ids.size(); ++i) {
        // Mostly points and small boxes, a few that span much of the world;
        // and a heap of points at one spot, deeper than the tree may go.
        const double maxSize = i % 100 == 0 ? 0.8 : 0.01;
        Box box = i % 10 == 0 ? Box{0.3, 0.3, 0.3, 0.3} : randomBox(maxSize);
        all.push_back({box, i, &ids[i]});
        index.insert(all.back());
    }
    QCOMPARE(index.size(), all.size());

    auto check = [&] {
        for (int q = 0; q < 200; ++q) {
            const Box area = q == 0 ? Box{0.3, 0.3, 0.3, 0.3} : randomBox(q % 2 ? 0.05 : 0.5);
            QSet<const void*> expected;
            for (const auto& e : all) {
                if (e.box.intersects(area))
                    expected.insert(e.item);
            }
            QSet<const void*> found;
            int visits = 0;
            index.query(area, [&](const SpatialIndex::Entry& e) {
                found.insert(e.item);
                ++visits;
            });
            if (found != expected || visits != found.size())
                return false;
        }
        return true;
    };
    QVERIFY(check());

    // Remove every third entry: queries keep agreeing.
    std::vector<SpatialIndex::Entry> kept;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i % 3 == 0)
            QVERIFY(index.remove(all[i].item, all[i].box));
        else
            kept.push_back(all[i]);
    }
    all.swap(kept);
    QCOMPARE(index.size(), all.size());
    QVERIFY(!index.remove(&ids[0], Box{0.3, 0.3, 0.3, 0.3}));
    QVERIFY(check());

    index.clear();
    QCOMPARE(index.size(), std::size_t(0));
    bool any = false;
    index.query(Box{-1, -1, 2, 2}, [&any](const SpatialIndex::Entry&) { any = true; });
    QVERIFY(!any);
}

QTEST_APPLESS_MAIN(TestProjection)
#include "tst_projection.moc"
