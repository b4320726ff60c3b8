// Pictures of the map drawn off screen: the print's scale, its tiles and
// markers, and the legend.
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

namespace {

// Mean difference of the colour channels, 0 to 255.
double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

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
        QTest::newRow("4x: two zooms finer") << 1 << 4 << 9 << 11;
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
        const maprender::Rendered r =
            maprender::renderWaiting(scene.map(), size, scale, std::chrono::seconds(20));
        QCOMPARE(r.image.size(), size * scale);
        QCOMPARE(r.missingTiles, 0);
        // Away from each tile's "z/x/y" corner, the colour of the finer tile there.
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

    void markersSharpAtScale()
    {
        maprender::MapScene scene;
        scene.setProvider(-1);
        scene.setPlaces(parsePlaceLines(
            {"大阪城 Osaka,135.5,34.7,1,1,Image,11,10", "姫路城,135.5,34.7,3,1,Circle,11,10"}));
        scene.setView(135.5, 34.7, 10);
        const QSize size(240, 160);
        const QImage one = scene.map().renderImage(size, 1);
        const QImage two = scene.map().renderImage(size, 2);
        QCOMPARE(two.size(), size * 2);
        // Where the markers are, the 2x picture brought down is the 1x one.
        const QRect markers(70, 30, 100, 100);
        const QImage down = two.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double same = meanDifference(down.copy(markers), one.copy(markers));
        QVERIFY2(same < 6.0, qPrintable(QString::number(same)));
        // ...but it is no 1x picture blown up: the letters have finer edges.
        const QImage blown = one.scaled(size * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const double finer =
            meanDifference(two.copy(QRect(markers.topLeft() * 2, markers.size() * 2)),
                           blown.copy(QRect(markers.topLeft() * 2, markers.size() * 2)));
        QVERIFY2(finer > 2.0, qPrintable(QString::number(finer)));
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
        // In the top-left corner: the swatch of the second class, in its colour.
        bool swatch = false;
        for (int y = 0; y < 120 && !swatch; ++y)
            for (int x = 0; x < 60 && !swatch; ++x)
                swatch = picture.pixel(x, y) == entries[1].back.rgb() &&
                         before.pixel(x, y) != picture.pixel(x, y);
        QVERIFY(swatch);
        QCOMPARE(picture.copy(200, 150, 200, 150), before.copy(200, 150, 200, 150));
    }
};

QTEST_MAIN(TestMapRender)
#include "tst_maprender.moc"
