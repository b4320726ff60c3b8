#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layeroverview.h"
#include "qmapcontrol/projection.h"

#include <QRandomGenerator>
#include <QtTest>

#include <numeric>

using namespace qmapcontrol;

namespace {

const QRgb red = qRgb(220, 20, 20);
const QRgb blue = qRgb(20, 20, 220);

std::shared_ptr<GeometryPointImage> point(double lon, double lat, QRgb color, QSize size = {10, 10},
                                          std::uint64_t priority = 0)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::black);
    auto g = std::make_shared<GeometryPointImage>(PointWorldCoord(lon, lat), pixmap, 9, 17);
    g->setOverviewColor(color);
    g->setPlacementPriority(priority);
    return g;
}

int total(const std::vector<LayerOverview::Cluster>& clusters)
{
    return std::accumulate(clusters.begin(), clusters.end(), 0,
                           [](int n, const LayerOverview::Cluster& c) { return n + c.count; });
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
    void clustersAddUpToThePointsShown_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("shown");
        for (int zoom : {0, 4, 8})
            QTest::addRow("all at %d", zoom) << "" << zoom << 3000;
        QTest::newRow("from their own zoom on") << "" << 9 << 0;
        QTest::newRow("layer hidden") << "hide b" << 5 << 1500;
        QTest::newRow("geometry hidden") << "hide one" << 5 << 2999;
        QTest::newRow("no colour") << "no colour" << 5 << 2999;
        QTest::newRow("shown from 3") << "shows from 3" << 3 << 2999;
        QTest::newRow("shown from 3, lower") << "shows from 3" << 2 << 3000;
        QTest::newRow("removed") << "remove one" << 6 << 2999;
    }
    // Changes reach the overview without being told.
    void clustersAddUpToThePointsShown()
    {
        QFETCH(QString, change);
        QFETCH(int, zoom);
        Scene s(3000);
        QCOMPARE(total(s.overview.clusters(zoom)), zoom < 9 ? 3000 : 0);
        auto* first = static_cast<GeometryPoint*>(s.layers[0]->geometries().front().get());
        if (change == "hide b")
            s.layers[1]->setVisible(false);
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
        QVERIFY(zoom != 0 || clusters.size() < 10);
        QVERIFY(zoom != 8 || clusters.size() > 1000);
        // No two discs overlap.
        const double w = projection::worldSize(zoom);
        for (std::size_t i = 0; i < clusters.size(); ++i) {
            for (std::size_t j = i + 1; j < clusters.size(); ++j) {
                const QPointF d = (clusters[i].centre - clusters[j].centre) * w;
                const double reach = LayerOverview::radiusFor(clusters[i].count) +
                                     LayerOverview::radiusFor(clusters[j].count);
                if (d.x() * d.x() + d.y() * d.y() < reach * reach - 1e-6)
                    QFAIL(qPrintable(QStringLiteral("%1 and %2 overlap").arg(i).arg(j)));
            }
        }
    }

    void clusterColoursAndBoxes()
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
        // Dots first, then the discs; a disc of mixed colours has none.
        QVERIFY(clusters[0].count == 1 && clusters[0].color == blue);
        QCOMPARE(clusters[0].single, layer->geometries()[4].get());
        for (const auto& c : {clusters[1], clusters[2]}) {
            QVERIFY(c.count == 2 && !c.single);
            QVERIFY(c.box.x0 < c.centre.x() && c.centre.x() < c.box.x1);
        }
        QCOMPARE(QSet<QRgb>({clusters[1].color, clusters[2].color}), QSet<QRgb>({red, 0}));
        // Further in, 9 px become 18: the red pair splits, the other pair stays.
        QCOMPARE(int(overview.clusters(7).size()), 4);
    }

    void placementKeepsPriorityWhateverTheView()
    {
        // Labels 40 px wide on one spot: the lowest priority value keeps its
        // picture, among equals the first drawn (the lower layer, then the earlier).
        auto low = std::make_shared<LayerGeometry>("low", 0, 17);
        auto high = std::make_shared<LayerGeometry>("high", 0, 17);
        const auto a = point(135.0, 35, red, {40, 12}, 5),
                   b = point(135.00001, 35, red, {40, 12}, 5),
                   c = point(135.00002, 35, red, {40, 12}, 9),
                   d = point(135.00003, 35, red, {40, 12}, 2);
        high->addGeometry(a);
        low->addGeometry(b);
        high->addGeometry(c);
        LayerOverview overview("Overview", 0, 17);
        overview.setSources({low, high});
        using F = LayerOverview::Form;
        const auto forms = [&](int zoom, const auto& list) {
            QList<F> out;
            for (const auto& g : list)
                out << overview.formAt(g.get(), zoom);
            return out;
        };
        QCOMPARE(forms(10, std::vector{b, a, c}), QList<F>({F::Picture, F::Covered, F::Covered}));
        high->addGeometry(d);
        QCOMPARE(forms(10, std::vector{d, b}), QList<F>({F::Picture, F::Covered}));
        QCOMPARE(forms(8, std::vector{a}), QList<F>({F::Hidden}));
    }
};

QTEST_MAIN(TestOverview)
#include "tst_overview.moc"
