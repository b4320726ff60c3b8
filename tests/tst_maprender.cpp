// Pictures of the map drawn off screen: the print's scale and tiles, and the legend.
#include "map/maprender.h"
#include "qmapcontrol/qmapcontrol.h"
#include "records/placefile.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QFile>
#include <QPainter>
#include <QtTest>

class TestMapRender : public QObject
{
    Q_OBJECT

    ProgramDirScope dir;
    TestTileServer server;

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        QFile::copy(QStringLiteral(SOURCE_DIST_DIR "/classsetting.ini"),
                    dir.file("classsetting.ini"));
        writeAll(dir.file("mivaromap.ini"), ("[General]\ncache=false\n[tiles]\nosm=" +
                                             server.urlTemplate() + "\ngsi=" + server.urlTemplate())
                                                .toUtf8());
        AppSettings::instance().load();
    }

    void printScale_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("tileZoom");
        QTest::newRow("1x") << 1 << 1 << 9 << 9;
        QTest::newRow("2x: the next zoom's tiles") << 1 << 2 << 9 << 10;
        // The GSI white map has tiles up to zoom 14.
        QTest::newRow("4x, one finer zoom left") << 3 << 4 << 13 << 14;
        QTest::newRow("2x past the last tiles") << 3 << 2 << 16 << 14;
    }

    void printScale()
    {
        QFETCH(int, provider);
        QFETCH(int, scale);
        QFETCH(int, zoom);
        QFETCH(int, tileZoom);
        maprender::MapScene scene;
        scene.setProvider(provider);
        scene.setView(135.5, 34.7, zoom);
        const QSize size(300, 200);
        const auto r = maprender::renderWaiting(scene.map(), size, scale, std::chrono::seconds(20));
        QCOMPARE(r.image.size(), size * scale);
        QCOMPARE(r.missingTiles, 0);
        const QPointF origin =
            qmapcontrol::projection::toWorldPixels({135.5, 34.7}, zoom) - QPointF(150, 100);
        const double f = std::ldexp(1.0, tileZoom - zoom);
        // Every pixel away from its tile's "z/x/y" corner and edges (and above the
        // scale bar and attribution) shows that tile's colour.
        int checked = 0;
        for (int y = 0; y < (size.height() - 30) * scale; y += 13) {
            for (int x = 0; x < r.image.width(); x += 13) {
                const QPointF world = (origin + QPointF(x + 0.5, y + 0.5) / scale) * f;
                const QPoint tile(int(world.x() / 256), int(world.y() / 256));
                const QPointF local = world - QPointF(tile * 256);
                if (local.x() < 130 || local.y() < 40 || local.x() > 250 || local.y() > 250)
                    continue;
                QCOMPARE(r.image.pixel(x, y),
                         TestTileServer::tileColor(tileZoom, tile.x(), tile.y()).rgb());
                ++checked;
            }
        }
        QVERIFY(checked > 20);
    }

    void legendOfTheClassesInView()
    {
        maprender::MapScene scene;
        scene.setProvider(-1);
        const PlaceList places =
            parsePlaceLines({"a,135.5,34.7,7,1,Image,11,10", "b,135.52,34.71,2,1,Circle,11,10",
                             "c,135.5,34.7,7,1,Image,11,10", "far,140.0,38.0,5,1,Image,11,10"});
        scene.setPlaces(places);
        scene.setView(135.5, 34.7, 11);
        const auto classOf = [&places](int record) { return places[record]->color.toInt(); };
        const QVector<int> classes =
            maprender::classesInView(scene.map(), scene.placeLayers(), QSize(400, 300), classOf);
        QCOMPARE(classes, (QVector<int>{2, 7}));

        const QVector<maprender::LegendEntry> entries = maprender::legendEntries(classes);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].back, AppSettings::instance().classBack[7]);
        QImage picture = scene.map().renderImage(QSize(400, 300), 2);
        const QImage before = picture;
        maprender::drawLegend(picture, 2, entries);
        // Drawn in the top-left corner only.
        QVERIFY(picture.copy(0, 0, 60, 120) != before.copy(0, 0, 60, 120));
        QCOMPARE(picture.copy(200, 150, 200, 150), before.copy(200, 150, 200, 150));
    }
};

QTEST_MAIN(TestMapRender)
#include "tst_maprender.moc"
