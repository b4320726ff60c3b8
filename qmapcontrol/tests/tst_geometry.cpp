#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/qmapcontrol.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace qmapcontrol;

namespace {

QPixmap solid(const QSize& size, const QColor& colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// A view of the given size whose widget point `at` shows the coordinate.
MapView viewAt(int zoom, const PointWorldCoord& coord, const QPointF& at,
               const QSize& size = QSize(400, 300))
{
    MapView view;
    view.zoom = zoom;
    view.size = size;
    const QPointF p = projection::toWorldPixels(coord, zoom);
    view.origin = QPointF(std::round(p.x() - at.x()), std::round(p.y() - at.y()));
    return view;
}

QImage render(LayerGeometry& layer, const MapView& view)
{
    QImage image(view.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    layer.draw(painter, view);
    return image;
}

// Counts paint events of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestGeometry : public QObject
{
    Q_OBJECT
private slots:
    void alignment_data();
    void alignment();
    void scaledSize();
    void hugeScaledPictureDrawsItsVisiblePart();
    void drawOrderAndVisibility();
    void indexedPaintMatchesDrawingEverything();
    void hitTest();
    void lineAtHighZoomIsClipped();
    void metadataAndTypes();
    void changesReachTheMap();
};

void TestGeometry::alignment_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QRect>("expected");
    // A 20 x 10 picture on the point (50, 40).
    QTest::newRow("0 middle") << 0 << QRect(40, 35, 20, 10);
    QTest::newRow("1 top-left") << 1 << QRect(50, 40, 20, 10);
    QTest::newRow("2 top-right") << 2 << QRect(30, 40, 20, 10);
    QTest::newRow("3 top-middle") << 3 << QRect(40, 40, 20, 10);
    QTest::newRow("4 bottom-left") << 4 << QRect(50, 30, 20, 10);
    QTest::newRow("5 bottom-right") << 5 << QRect(30, 30, 20, 10);
}

void TestGeometry::alignment()
{
    QFETCH(int, alignment);
    QFETCH(QRect, expected);
    const PointWorldCoord where(12.0, 47.0);
    const MapView view = viewAt(9, where, QPointF(50, 40));
    auto picture = std::make_shared<GeometryPointImage>(where, solid({20, 10}, Qt::red), 0, 17);
    QCOMPARE(picture->alignmentType(), Geometry::AlignmentType::Middle);
    picture->setAlignmentType(Geometry::AlignmentType(alignment));

    LayerGeometry layer("layer", 0, 17);
    layer.addGeometry(picture);
    const QImage image = render(layer, view);
    // The picture covers exactly the expected pixels.
    QRect drawn;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == QColor(Qt::red).rgb())
                drawn |= QRect(x, y, 1, 1);
        }
    }
    QCOMPARE(drawn, expected);
    // And a click hits exactly there.
    QCOMPARE(layer.geometryAt(expected.topLeft(), view), picture);
    QCOMPARE(layer.geometryAt(expected.bottomRight(), view), picture);
    QVERIFY(!layer.geometryAt(expected.bottomRight() + QPoint(1, 0), view));
    QVERIFY(!layer.geometryAt(expected.topLeft() - QPoint(0, 1), view));
}

void TestGeometry::scaledSize()
{
    // Drawn at zoom 11, a picture scaled from zoom 10 is twice its size.
    const PointWorldCoord where(135.0, 35.0);
    LayerGeometry layer("layer", 0, 17);
    layer.addGeometry(
        std::make_shared<GeometryPointImageScaled>(where, solid({40, 20}, Qt::red), 10, 0, 17));
    const QImage image = render(layer, viewAt(11, where, QPointF(200, 150)));
    QCOMPARE(image.pixel(200 - 39, 150 - 19), QColor(Qt::red).rgb());
    QCOMPARE(image.pixel(200 + 38, 150 + 18), QColor(Qt::red).rgb());
    QCOMPARE(image.pixel(200 - 42, 150), QColor(Qt::white).rgb());
    QCOMPARE(image.pixel(200, 150 + 22), QColor(Qt::white).rgb());
}

void TestGeometry::hugeScaledPictureDrawsItsVisiblePart()
{
    // 100 x 100, red left half, blue right half, seen at 2^10 of its size: the
    // picture is 102400 pixels wide and the view shows the seam in its middle.
    QImage source(100, 100, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::red);
    QPainter(&source).fillRect(50, 0, 50, 100, Qt::blue);
    const PointWorldCoord where(139.0, 35.0);
    auto scaled =
        std::make_shared<GeometryPointImageScaled>(where, QPixmap::fromImage(source), 5, 0, 17);
    LayerGeometry layer("layer", 0, 17);
    layer.addGeometry(scaled);

    // One source pixel spans 1024 screen pixels: views 25 source pixels either
    // side of the point lie wholly in one colour; across the seam, red is left.
    const MapView view = viewAt(15, where, QPointF(200, 150));
    for (int shift : {-25, 25}) {
        MapView side = view;
        side.origin.rx() += shift * 1024;
        const QImage image = render(layer, side);
        const QRgb expected = QColor(shift < 0 ? Qt::red : Qt::blue).rgb();
        QCOMPARE(image.pixel(0, 0), expected);
        QCOMPARE(image.pixel(399, 299), expected);
    }
    const QImage seam = render(layer, view);
    QVERIFY(qRed(seam.pixel(10, 150)) > qBlue(seam.pixel(10, 150)));
    QVERIFY(qRed(seam.pixel(390, 150)) < qBlue(seam.pixel(390, 150)));
    QCOMPARE(layer.geometryAt(QPointF(5, 5), view), scaled);

    // Near its top-left corner, 51200 pixels from the point: the corner is where it should be.
    const QPointF corner = view.toScreen(projection::toNormalized(where)) - QPointF(51200, 51200);
    MapView cornerView = view;
    cornerView.origin += corner - QPointF(100, 100);
    const QImage cornerImage = render(layer, cornerView);
    QCOMPARE(cornerImage.pixel(99, 99), QColor(Qt::white).rgb());
    QCOMPARE(cornerImage.pixel(101, 101), QColor(Qt::red).rgb());
    QVERIFY(!layer.geometryAt(QPointF(98, 120), cornerView));
    QCOMPARE(layer.geometryAt(QPointF(102, 120), cornerView), scaled);
}

void TestGeometry::drawOrderAndVisibility()
{
    const PointWorldCoord where(-3.7, 40.4);
    const MapView view = viewAt(12, where, QPointF(200, 150));
    LayerGeometry layer("layer", 0, 17);
    auto below = std::make_shared<GeometryPointImage>(where, solid({30, 30}, Qt::red), 0, 17);
    auto above = std::make_shared<GeometryPointImage>(where, solid({10, 10}, Qt::blue), 0, 17);
    layer.addGeometry(below);
    layer.addGeometry(above);
    QImage image = render(layer, view);
    QCOMPARE(image.pixel(200, 150), QColor(Qt::blue).rgb());
    QCOMPARE(image.pixel(190, 150), QColor(Qt::red).rgb());
    QCOMPARE(layer.geometryAt(QPointF(200, 150), view), above);
    QCOMPARE(layer.geometryAt(QPointF(190, 150), view), below);

    above->setVisible(false);
    QCOMPARE(render(layer, view).pixel(200, 150), QColor(Qt::red).rgb());
    QCOMPARE(layer.geometryAt(QPointF(200, 150), view), below);
    above->setVisible(true);

    // Out of its zooms: neither drawn nor hit.
    above->setZoomMinimum(13);
    QCOMPARE(render(layer, view).pixel(200, 150), QColor(Qt::red).rgb());
    QCOMPARE(layer.geometryAt(QPointF(200, 150), view), below);
    above->setZoomMinimum(0);
    below->setZoomMaximum(11);
    image = render(layer, view);
    QCOMPARE(image.pixel(190, 150), QColor(Qt::white).rgb());
    QVERIFY(!layer.geometryAt(QPointF(190, 150), view));

    // Removed, or moved to another layer: gone from this one.
    layer.removeGeometry(above);
    QCOMPARE(render(layer, view).pixel(200, 150), QColor(Qt::white).rgb());
    QVERIFY(!above->layer());
    LayerGeometry other("other", 0, 17);
    other.addGeometry(below);
    layer.addGeometry(above);
    other.addGeometry(above);
    QCOMPARE(above->layer(), &other);
    QVERIFY(layer.geometries().empty());
    QVERIFY(!layer.geometryAt(QPointF(200, 150), view));
    QCOMPARE(other.geometryAt(QPointF(200, 150), view), above);
    other.clearGeometries();
    QVERIFY(!above->layer());
    QVERIFY(!other.geometryAt(QPointF(200, 150), view));
}

void TestGeometry::indexedPaintMatchesDrawingEverything()
{
    // Many pictures of all kinds and alignments, some straddling the view's
    // edges: what the index finds must look the same as drawing them all.
    QRandomGenerator random(7);
    LayerGeometry layer("layer", 0, 17);
    const PointWorldCoord centre(138.0, 37.0);
    for (int i = 0; i < 3000; ++i) {
        const PointWorldCoord where(centre.longitude() + (random.generateDouble() - 0.5) * 4.0,
                                    centre.latitude() + (random.generateDouble() - 0.5) * 3.0);
        const QColor colour = QColor::fromHsv(random.bounded(360), 200, 220);
        const QSize size(4 + random.bounded(60), 4 + random.bounded(30));
        std::shared_ptr<GeometryPointImage> g;
        if (i % 3 == 0)
            g = std::make_shared<GeometryPointImageScaled>(where, solid(size, colour),
                                                           7 + random.bounded(4), 0, 17);
        else
            g = std::make_shared<GeometryPointImage>(where, solid(size, colour), 0, 17);
        g->setAlignmentType(Geometry::AlignmentType(random.bounded(9)));
        layer.addGeometry(g);
    }
    const std::vector<PointWorldCoord> line{{136.0, 36.0}, {139.5, 38.2}, {140.0, 35.0}};
    layer.addGeometry(std::make_shared<GeometryLineString>(line, 0, 17));

    for (int zoom : {6, 9, 11}) {
        const MapView view = viewAt(zoom, centre, QPointF(200, 150));
        const QImage indexed = render(layer, view);
        QImage everything(view.size, QImage::Format_ARGB32_Premultiplied);
        everything.fill(Qt::white);
        QPainter painter(&everything);
        for (const auto& g : layer.geometries()) {
            painter.save();
            g->draw(painter, view, 0);
            painter.restore();
        }
        painter.end();
        QVERIFY2(indexed == everything, qPrintable(QStringLiteral("zoom %1").arg(zoom)));
    }
}

void TestGeometry::hitTest()
{
    // The topmost of several candidates, scaled ones included, counting only points.
    const PointWorldCoord where(2.35, 48.85);
    const MapView view = viewAt(10, where, QPointF(200, 150));
    LayerGeometry layer("layer", 0, 17);
    auto fixed = std::make_shared<GeometryPointImage>(where, solid({40, 40}, Qt::red), 0, 17);
    auto scaled =
        std::make_shared<GeometryPointImageScaled>(where, solid({10, 10}, Qt::blue), 8, 0, 17);
    auto line = std::make_shared<GeometryLineString>(
        std::vector<PointWorldCoord>{PointWorldCoord(2.0, 48.85), PointWorldCoord(2.7, 48.85)}, 0,
        17);
    layer.addGeometry(fixed);
    layer.addGeometry(scaled);
    layer.addGeometry(line);
    QCOMPARE(layer.geometryAt(QPointF(200, 150), view), scaled); // 40 x 40 at zoom 10
    QCOMPARE(layer.geometryAt(QPointF(219, 150), view), scaled);
    QCOMPARE(layer.geometryAt(QPointF(185, 135), view), scaled);
    QVERIFY(!layer.geometryAt(QPointF(221, 150), view));
    QVERIFY(!layer.geometryAt(QPointF(300, 150), view)); // on the line only
    scaled->setZoomMaximum(9);
    QCOMPARE(layer.geometryAt(QPointF(200, 150), view), fixed);
    layer.setVisible(false); // the map, not the layer, skips hidden layers
    QCOMPARE(layer.geometryAt(QPointF(200, 150), view), fixed);
}

void TestGeometry::lineAtHighZoomIsClipped()
{
    // Ends a world apart, seen at zoom 17: the piece in view is drawn where it belongs.
    const PointWorldCoord west(-170.0, 0.0);
    const PointWorldCoord east(170.0, 0.0);
    LayerGeometry layer("layer", 0, 17);
    auto line =
        std::make_shared<GeometryLineString>(std::vector<PointWorldCoord>{west, east}, 0, 17);
    QPen pen(Qt::black, 4.0);
    line->setPen(pen);
    layer.addGeometry(line);
    const MapView view = viewAt(17, PointWorldCoord(10.0, 0.0), QPointF(200, 150));
    const QImage image = render(layer, view);
    for (int x : {0, 200, 399})
        QCOMPARE(image.pixel(x, 149), QColor(Qt::black).rgb());
    QCOMPARE(image.pixel(200, 145), QColor(Qt::white).rgb());
    QCOMPARE(image.pixel(200, 154), QColor(Qt::white).rgb());
}

void TestGeometry::metadataAndTypes()
{
    GeometryPointImage image(PointWorldCoord(1, 2), std::string(":/no/such/file.png"), 9, 17);
    QVERIFY(image.image().isNull()); // a missing file gives an empty picture, not a crash
    QCOMPARE(image.geometryType(), Geometry::GeometryType::GeometryPoint);
    QVERIFY(!image.metadata("name").isValid());
    image.setMetadata("name", QStringLiteral("姫路城"));
    image.setMetadata("name", QStringLiteral("松本城"));
    image.setMetadata("kind", 3);
    QCOMPARE(image.metadata("name").toString(), QStringLiteral("松本城"));
    QCOMPARE(image.metadata("kind").toInt(), 3);

    // Empty pictures and lines are harmless to draw and never hit.
    LayerGeometry layer("layer", 0, 17);
    layer.addGeometry(
        std::make_shared<GeometryPointImage>(PointWorldCoord(1, 2), QPixmap(), 0, 17));
    layer.addGeometry(std::make_shared<GeometryLineString>(std::vector<PointWorldCoord>{}, 0, 17));
    const MapView view = viewAt(5, PointWorldCoord(1, 2), QPointF(200, 150));
    render(layer, view);
    QVERIFY(!layer.geometryAt(QPointF(200, 150), view));
}

void TestGeometry::changesReachTheMap()
{
    QMapControl map(QSizeF(300, 200));
    map.setZoom(6);
    map.setMapFocusPoint(PointWorldCoord(10.0, 50.0));
    auto layer = std::make_shared<LayerGeometry>("layer", 0, 17);
    map.addLayer(layer);
    map.show();
    QVERIFY(QTest::qWaitForWindowExposed(&map));
    PaintCounter counter;
    map.installEventFilter(&counter);
    QTest::qWait(50);
    const QPoint middle(150, 100);
    const QRgb empty = map.grab().toImage().pixel(middle);

    // Adding without a redraw does not paint at once, but the next picture shows it.
    auto marker = std::make_shared<GeometryPointImage>(PointWorldCoord(10.0, 50.0),
                                                       solid({9, 9}, Qt::red), 0, 17);
    counter.paints = 0;
    layer->addGeometry(marker, true);
    QTest::qWait(60);
    QCOMPARE(counter.paints, 0);
    QCOMPARE(map.grab().toImage().pixel(middle), QColor(Qt::red).rgb());

    // Everything else repaints by itself.
    const auto repaints = [&](const std::function<void()>& change) {
        counter.paints = 0;
        change();
        return QTest::qWaitFor([&] { return counter.paints > 0; }, 2000);
    };
    QVERIFY(repaints([&] { layer->setVisible(false); }));
    QCOMPARE(map.grab().toImage().pixel(middle), empty);
    QVERIFY(repaints([&] { layer->setVisible(true); }));
    QCOMPARE(map.grab().toImage().pixel(middle), QColor(Qt::red).rgb());
    QVERIFY(repaints([&] { marker->setAlignmentType(Geometry::AlignmentType::TopLeft); }));
    QCOMPARE(map.grab().toImage().pixel(middle + QPoint(4, 4)), QColor(Qt::red).rgb());
    QCOMPARE(map.grab().toImage().pixel(middle - QPoint(2, 2)), empty);
    QVERIFY(repaints([&] { marker->setCoord(PointWorldCoord(30.0, 50.0)); }));
    QCOMPARE(map.grab().toImage().pixel(middle + QPoint(4, 4)), empty);
    QVERIFY(repaints([&] { layer->clearGeometries(); }));
    QVERIFY(repaints([&] {
        layer->addGeometry(std::make_shared<GeometryPointImage>(PointWorldCoord(10.0, 50.0),
                                                                solid({9, 9}, Qt::blue), 0, 17));
    }));
    QCOMPARE(map.grab().toImage().pixel(middle), QColor(Qt::blue).rgb());
    // A layer outlives its map without harm.
    map.removeLayer(layer);
    QVERIFY(!layer->map());
    QCOMPARE(map.grab().toImage().pixel(middle), empty);
}

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"
