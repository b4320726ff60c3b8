#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/projection.h"

#include <QBitmap>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

using namespace qmapcontrol;

static QPixmap solid(const QSize& size, const QColor& colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// A 400 x 300 view whose widget point `at` shows the coordinate.
static MapView viewAt(int zoom, const PointWorldCoord& coord, const QPointF& at = {200, 150})
{
    const QPointF p = projection::toWorldPixels(coord, zoom) - at;
    return MapView{zoom, QPointF(std::round(p.x()), std::round(p.y())), QSize(400, 300)};
}

static QImage render(LayerGeometry& layer, const MapView& view)
{
    QImage image(view.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    layer.draw(painter, view);
    return image;
}

class TestGeometry : public QObject
{
    Q_OBJECT
private slots:
    void alignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QRect>("expected"); // of a 20 x 10 picture on the point (50, 40)
        QTest::newRow("0 middle") << 0 << QRect(40, 35, 20, 10);
        QTest::newRow("1 top-left") << 1 << QRect(50, 40, 20, 10);
        QTest::newRow("2 top-right") << 2 << QRect(30, 40, 20, 10);
        QTest::newRow("3 top-middle") << 3 << QRect(40, 40, 20, 10);
        QTest::newRow("4 bottom-left") << 4 << QRect(50, 30, 20, 10);
        QTest::newRow("5 bottom-right") << 5 << QRect(30, 30, 20, 10);
    }
    // Drawn there, and a click hits exactly there.
    void alignment()
    {
        QFETCH(int, alignment);
        QFETCH(QRect, expected);
        const PointWorldCoord where(12.0, 47.0);
        const MapView view = viewAt(9, where, QPointF(50, 40));
        auto picture = std::make_shared<GeometryPointImage>(where, solid({20, 10}, Qt::red), 0, 17);
        picture->setAlignmentType(Geometry::AlignmentType(alignment));
        LayerGeometry layer("layer", 0, 17);
        layer.addGeometry(picture);
        const QImage red =
            render(layer, view).createMaskFromColor(qRgb(255, 0, 0), Qt::MaskOutColor);
        QCOMPARE(QRegion(QBitmap::fromImage(red)), QRegion(expected));
        QCOMPARE(layer.geometryAt(expected.topLeft(), view), picture);
        QCOMPARE(layer.geometryAt(expected.bottomRight(), view), picture);
        QVERIFY(!layer.geometryAt(expected.bottomRight() + QPoint(1, 0), view));
        QVERIFY(!layer.geometryAt(expected.topLeft() - QPoint(0, 1), view));
    }

    void scaledPictureDrawsItsVisiblePart()
    {
        // 50 x 50, red left half, blue right half, drawn at 2^(8 - 5) of its size on the
        // point (100, 100): from (-100, -100) to (300, 300), partly out of view.
        QImage source(50, 50, QImage::Format_ARGB32_Premultiplied);
        source.fill(Qt::red);
        QPainter(&source).fillRect(25, 0, 25, 50, Qt::blue);
        const PointWorldCoord where(139.0, 35.0);
        auto scaled =
            std::make_shared<GeometryPointImageScaled>(where, QPixmap::fromImage(source), 5, 0, 17);
        LayerGeometry layer("layer", 0, 17);
        layer.addGeometry(scaled);
        const MapView view = viewAt(8, where, QPointF(100, 100));
        const QImage image = render(layer, view);
        QCOMPARE(QVector<QRgb>({image.pixel(98, 150), image.pixel(102, 150), image.pixel(298, 298),
                                image.pixel(302, 298)}),
                 QVector<QRgb>(
                     {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 0, 255), qRgb(255, 255, 255)}));
        QCOMPARE(layer.geometryAt(QPointF(298, 150), view), scaled);
        QVERIFY(!layer.geometryAt(QPointF(302, 150), view));
    }

    // Drawn and hit from its lowest zoom to its highest, and as changed after it was added.
    void layerShowsAtTheZoomsOfItsGeometries()
    {
        using Shown = QPair<bool, bool>;
        const PointWorldCoord centre(138.0, 37.0);
        LayerGeometry layer("layer", 0, 17);
        auto g = std::make_shared<GeometryPointImage>(centre, solid({20, 20}, Qt::red), 9, 12);
        g->setVisible(false);
        layer.addGeometry(g);
        const auto shown = [&](int zoom, const PointWorldCoord& at = {138.0, 37.0}) {
            const MapView view = viewAt(zoom, at);
            return Shown(render(layer, view).pixel(200, 150) == qRgb(255, 0, 0),
                         layer.geometryAt({200, 150}, view) == g);
        };
        const Shown yes(true, true), no(false, false);
        QCOMPARE(shown(10), no);
        g->setVisible(true);
        QCOMPARE(QList<Shown>({shown(8), shown(9), shown(12), shown(13)}),
                 QList<Shown>({no, yes, yes, no}));
        g->setZoomMinimum(2);
        g->setZoomMaximum(14);
        QCOMPARE(QList<Shown>({shown(1), shown(2), shown(14), shown(15)}),
                 QList<Shown>({no, yes, yes, no}));
        g->setVisible(false);
        QCOMPARE(shown(10), no);
        // Moved, it is found where it went; handed to another layer, it leaves this one.
        g->setVisible(true);
        g->setCoord(PointWorldCoord(100.0, -20.0));
        QCOMPARE(QList<Shown>({shown(10), shown(10, g->coord())}), QList<Shown>({no, yes}));
        LayerGeometry other("other", 0, 17);
        other.addGeometry(g);
        QCOMPARE(shown(10, g->coord()), no);
    }

    // Entries of every shape, many with edges and centres on cell borders, some past the
    // world's edge, a heap on one spot: the index answers exactly as a scan of them all.
    void spatialIndexMatchesScan()
    {
        QRandomGenerator random(11);
        const auto border = [&] { return random.bounded(1 << 6) / double(1 << random.bounded(7)); };
        const auto box = [&](int kind) {
            const double x = kind % 2 ? border() : random.generateDouble() * 1.2 - 0.1;
            const double y = kind % 3 ? border() : random.generateDouble() * 1.2 - 0.1;
            const double w = random.generateDouble();
            // A point, wide, tall, huge, a cell's size border to border.
            const QList<Box> shapes{{x, y, x, y},
                                    {x, y, x + w, y + 1e-6},
                                    {x, y, x + 1e-6, y + w},
                                    {x - 0.6, y - 0.6, x + 0.6, y + 0.6},
                                    {x, y, x + border() / 8, y + border() / 8}};
            return shapes[kind % 5];
        };
        SpatialIndex index;
        std::vector<Box> boxes;
        for (int i = 0; i < 4000; ++i)
            boxes.push_back(i % 10 == 0 ? Box{0.5, 0.25, 0.5, 0.25} : box(random.bounded(6)));
        for (std::size_t i = 0; i < boxes.size(); ++i)
            index.insert({boxes[i], i, &boxes[i]});
        std::vector<bool> removed(boxes.size(), false);
        for (int round = 0; round < 2; ++round) {
            for (int q = 0; q < 600; ++q) {
                const Box area = box(random.bounded(6));
                std::vector<const void*> found, scanned;
                index.query(area, [&](const SpatialIndex::Entry& e) { found.push_back(e.item); });
                for (std::size_t i = 0; i < boxes.size(); ++i)
                    if (!removed[i] && boxes[i].intersects(area))
                        scanned.push_back(&boxes[i]);
                std::sort(found.begin(), found.end());
                QVERIFY2(found == scanned,
                         qPrintable(QStringLiteral("round %1 query %2").arg(round).arg(q)));
            }
            for (std::size_t i = round; i < boxes.size(); i += 3) { // then without a third
                QVERIFY(index.remove(&boxes[i], boxes[i]));
                removed[i] = true;
            }
            QCOMPARE(index.size(), std::size_t(std::count(removed.begin(), removed.end(), false)));
        }
    }
};

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"
