#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layeroverview.h"
#include "qmapcontrol/projection.h"
#include "qmapcontrol/qmapcontrol.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using namespace qmapcontrol;

namespace {

const QRgb red = qRgb(220, 20, 20);
const QRgb blue = qRgb(20, 20, 220);

std::shared_ptr<GeometryPointImage> point(double lon, double lat, QRgb color, int zoomMinimum = 9)
{
    QPixmap pixmap(10, 10);
    pixmap.fill(Qt::black);
    auto g =
        std::make_shared<GeometryPointImage>(PointWorldCoord(lon, lat), pixmap, zoomMinimum, 17);
    g->setOverviewColor(color);
    return g;
}

int total(const std::vector<LayerOverview::Cluster>& clusters)
{
    int n = 0;
    for (const auto& c : clusters)
        n += c.count;
    return n;
}

// Two layers of random points over Japan, red on the first, blue on the second.
struct Scene
{
    std::vector<std::shared_ptr<LayerGeometry>> layers{std::make_shared<LayerGeometry>("a", 0, 17),
                                                       std::make_shared<LayerGeometry>("b", 0, 17)};
    LayerOverview overview{"Overview", 0, 17};

    explicit Scene(int count)
    {
        QRandomGenerator random(7);
        for (int i = 0; i < count; ++i)
            layers[std::size_t(i % 2)]->addGeometry(point(129.0 + random.generateDouble() * 17.0,
                                                          30.0 + random.generateDouble() * 15.0,
                                                          i % 2 ? blue : red));
        overview.setSources(layers);
    }
};

} // namespace

class TestOverview : public QObject
{
    Q_OBJECT
private slots:
    void clustersAddUpToThePointsShown_data();
    void clustersAddUpToThePointsShown();
    void clusterColoursAndBoxes();
    void clicksOnDotsAndDiscs();
    void sharpAtDeviceRatio();
};

void TestOverview::clustersAddUpToThePointsShown_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("shown");
    for (int zoom : {0, 4, 8})
        QTest::addRow("all at %d", zoom) << "" << zoom << 3000;
    QTest::newRow("from their own zoom on") << "" << 9 << 0;
    QTest::newRow("layer hidden") << "hide b" << 5 << 1500;
    QTest::newRow("both hidden") << "hide both" << 5 << 0;
    QTest::newRow("geometry hidden") << "hide one" << 5 << 2999;
    QTest::newRow("no colour") << "no colour" << 5 << 2999;
    QTest::newRow("shown from 3") << "shows from 3" << 3 << 2999;
    QTest::newRow("shown from 3, lower") << "shows from 3" << 2 << 3000;
    QTest::newRow("removed") << "remove one" << 6 << 2999;
}

void TestOverview::clustersAddUpToThePointsShown()
{
    QFETCH(QString, change);
    QFETCH(int, zoom);
    Scene s(3000);
    QCOMPARE(total(s.overview.clusters(zoom)), zoom < 9 ? 3000 : 0);
    // Changes reach the overview without being told.
    auto* first = static_cast<GeometryPoint*>(s.layers[0]->geometries().front().get());
    if (change == "hide b")
        s.layers[1]->setVisible(false);
    else if (change == "hide both")
        s.layers[0]->setVisible(false), s.layers[1]->setVisible(false);
    else if (change == "hide one")
        first->setVisible(false);
    else if (change == "no colour")
        first->setOverviewColor(0);
    else if (change == "shows from 3")
        first->setZoomMinimum(3);
    else if (change == "remove one")
        s.layers[0]->removeGeometry(s.layers[0]->geometries().front());
    const auto& clusters = s.overview.clusters(zoom);
    QTEST(total(clusters), "shown");
    // Crowds merge at low zooms; apart, most points are dots of their own.
    if (zoom == 0)
        QVERIFY(clusters.size() < 10);
    if (zoom == 8)
        QVERIFY(clusters.size() > 1000);
}

void TestOverview::clusterColoursAndBoxes()
{
    auto layer = std::make_shared<LayerGeometry>("a", 0, 17);
    // Two red points 9 px apart at zoom 6, a red and a blue one apart from
    // them, and a lone blue one far away.
    const double px = 360.0 / projection::worldSize(6); // degrees of longitude per pixel
    for (const auto& g :
         {point(135.0, 35.0, red), point(135.0 + 9 * px, 35.0, red), point(138.0, 35.0, red),
          point(138.0 + 5 * px, 35.0, blue), point(142.0, 40.0, blue)})
        layer->addGeometry(g);
    LayerOverview overview("Overview", 0, 17);
    overview.setSources({layer});
    const auto& clusters = overview.clusters(6);
    QCOMPARE(int(clusters.size()), 3);
    // Dots first, then the discs.
    QCOMPARE(clusters[0].count, 1);
    QCOMPARE(clusters[0].color, blue);
    QCOMPARE(clusters[0].single, layer->geometries()[4].get());
    for (const auto& c : {clusters[1], clusters[2]}) {
        QCOMPARE(c.count, 2);
        QVERIFY(!c.single);
        QVERIFY(c.box.x0 < c.centre.x() && c.centre.x() < c.box.x1);
    }
    const QSet<QRgb> colours{clusters[1].color, clusters[2].color};
    QCOMPARE(colours, QSet<QRgb>({red, 0}));
    // Further in, 9 px become 18: the red pair splits, the other pair stays.
    QCOMPARE(int(overview.clusters(7).size()), 4);
}

void TestOverview::clicksOnDotsAndDiscs()
{
    QMapControl map(QSizeF(400, 300));
    map.enableZoomControls(false);
    auto layer = std::make_shared<LayerGeometry>("a", 0, 17);
    auto overview = std::make_shared<LayerOverview>("Overview", 0, 17);
    map.addLayer(layer);
    map.addLayer(overview);
    overview->setSources({layer});
    const auto lone = point(130.0, 33.0, red);
    layer->addGeometry(lone);
    for (double d : {0.0, 0.05, 0.1})
        layer->addGeometry(point(140.0 + d, 38.0 + d, blue));
    map.setMapFocusPoint(PointWorldCoord(135.0, 36.0));
    map.setZoom(4);
    map.show();
    QVERIFY(QTest::qWaitForWindowExposed(&map));
    QSignalSpy clicked(layer.get(), &LayerGeometry::geometryClicked);

    // A dot is its geometry.
    QTest::mouseClick(&map, Qt::LeftButton, {}, map.toWidgetPoint(lone->coord()).toPoint());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).value<const Geometry*>(), lone.get());
    QCOMPARE(map.getCurrentZoom(), 4);

    // A disc zooms in until its points fill the view, each of them in it.
    const auto disc = overview->clusters(4).back();
    QCOMPARE(disc.count, 3);
    const QPointF at = map.view().toScreen(disc.centre);
    QTest::mouseClick(&map, Qt::LeftButton, {}, at.toPoint());
    QCOMPARE(clicked.count(), 1);
    const int zoom = map.getCurrentZoom();
    QVERIFY(zoom > 4);
    const QRectF inner = QRectF(map.rect()).adjusted(20, 20, -20, -20);
    for (std::size_t i = 1; i < 4; ++i) {
        const auto* g = static_cast<GeometryPoint*>(layer->geometries()[i].get());
        QVERIFY2(inner.contains(map.toWidgetPoint(g->coord())), qPrintable(QString::number(i)));
    }
    // One zoom further would not hold them.
    const Box a = layer->geometries()[1]->extent().world;
    const Box b = layer->geometries()[3]->extent().world;
    const double w = projection::worldSize(zoom + 1);
    QVERIFY((b.x0 - a.x0) * w > map.width() * 0.8 || (a.y0 - b.y0) * w > map.height() * 0.8);
    // Clicking where nothing of the overview is reaches the layers below.
    QTest::mouseClick(&map, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(clicked.count(), 1);
}

// Dots and discs painted on a device of ratio 2: twice the pixels, not merely the
// ratio-1 picture blown up (which is what drawing a ratio-1 sprite there gives).
void TestOverview::sharpAtDeviceRatio()
{
    Scene scene(300);
    const QPointF c = projection::toWorldPixels(PointWorldCoord(137.0, 37.0), 5);
    const MapView view{5, QPointF(std::round(c.x() - 200), std::round(c.y() - 150)),
                       QSize(400, 300)};
    QImage at[2];
    for (int i = 0; i < 2; ++i) {
        at[i] = QImage(view.size * (i + 1), QImage::Format_ARGB32_Premultiplied);
        at[i].setDevicePixelRatio(i + 1);
        at[i].fill(Qt::white);
        QPainter painter(&at[i]);
        scene.overview.draw(painter, view);
    }
    QCOMPARE(at[1].size(), at[0].size() * 2);
    QVERIFY(at[1] != at[0].scaled(at[1].size()));
}

QTEST_MAIN(TestOverview)
#include "tst_overview.moc"
