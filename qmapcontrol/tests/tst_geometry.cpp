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
        QCOMPARE(picture->alignmentType(), Geometry::AlignmentType::Middle);
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

    // Pictures of all kinds and alignments, some across the view's edges, hidden, out of
    // their zooms, moved after indexing or handed to another layer; and a line. What the
    // layer draws and hits must match going through all of them in drawing order.
    void layerMatchesGoingThroughAll()
    {
        QRandomGenerator random(7);
        LayerGeometry layer("layer", 0, 17);
        LayerGeometry other("other", 0, 17);
        const PointWorldCoord centre(138.0, 37.0);
        const auto somewhere = [&] {
            return PointWorldCoord(centre.longitude() + random.generateDouble() * 4 - 2,
                                   centre.latitude() + random.generateDouble() * 3 - 1.5);
        };
        for (int i = 0; i < 3000; ++i) {
            const QPixmap pixmap = solid({4 + random.bounded(60), 4 + random.bounded(30)},
                                         QColor::fromHsv(random.bounded(360), 200, 220));
            std::shared_ptr<GeometryPointImage> g = std::make_shared<GeometryPointImage>(
                somewhere(), pixmap, random.bounded(10), 9 + random.bounded(9));
            if (i % 3 == 0)
                g = std::make_shared<GeometryPointImageScaled>(somewhere(), pixmap,
                                                               7 + random.bounded(4), 0, 17);
            layer.addGeometry(g);
            g->setAlignmentType(Geometry::AlignmentType(random.bounded(9)));
            g->setVisible(i % 11 != 0);
            if (i % 7 == 0)
                g->setCoord(somewhere());
            else if (i % 10 == 1)
                g->setCoord(centre); // a heap on one spot, deeper than the index may go
            if (i % 13 == 0)
                other.addGeometry(g);
        }
        QCOMPARE(layer.geometries().size(), size_t(3000 - 231));
        layer.addGeometry(std::make_shared<GeometryLineString>(
            std::vector<PointWorldCoord>{{136.0, 36.0}, {139.5, 38.2}, {140.0, 35.0}}, 0, 17));
        for (int zoom : {6, 9, 11}) {
            const MapView view = viewAt(zoom, centre);
            QImage all(view.size, QImage::Format_ARGB32_Premultiplied);
            all.fill(Qt::white);
            QPainter painter(&all);
            for (const auto& g : layer.geometries()) {
                painter.save();
                if (g->isVisible(zoom))
                    g->draw(painter, view, 0);
                painter.restore();
            }
            painter.end();
            QVERIFY2(render(layer, view) == all, qPrintable(QString::number(zoom)));
            for (int i = 0; i < 300; ++i) {
                const QPointF p(random.bounded(400), random.bounded(300));
                std::shared_ptr<Geometry> topmost;
                for (const auto& g : layer.geometries())
                    if (g->isVisible(zoom) && g->touches(p, view, 0)) // lines are never hit
                        topmost = g;
                QCOMPARE(layer.geometryAt(p, view), topmost);
            }
        }
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
        const auto shown = [&](int zoom) {
            const MapView view = viewAt(zoom, centre);
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
            // A point, wide, tall, huge, tiny, a cell's size border to border.
            const QList<Box> shapes{{x, y, x, y},
                                    {x, y, x + w, y + 1e-6},
                                    {x, y, x + 1e-6, y + w},
                                    {x - 0.6, y - 0.6, x + 0.6, y + 0.6},
                                    {x, y, x + 1e-9, y + 1e-9},
                                    {x, y, x + border() / 8, y + border() / 8}};
            return shapes[kind % 6];
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
