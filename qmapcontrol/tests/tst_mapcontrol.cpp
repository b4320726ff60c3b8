#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layermapadapter.h"
#include "qmapcontrol/qmapcontrol.h"
#include "qmapcontrol/zoomcontrols.h"

#include <QSlider>
#include <QToolButton>
#include <QtTest>

using namespace qmapcontrol;

static QPixmap solid(const QSize& size, const QColor& colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// QTest has no move with a button held.
static void drag(QWidget* w, const QPoint& pos, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(QEvent::MouseMove, pos, w->mapToGlobal(pos), {}, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(w, &event);
}

// A shown 400 x 300 map at zoom 5 over Tokyo, noting what its mouse signals say.
struct Fixture
{
    QMapControl map{QSizeF(400, 300)};
    QStringList heard; // event type, button, widget points

    Fixture()
    {
        map.setMapFocusPoint(PointWorldCoord(139.7, 35.7));
        map.setZoom(5);
        QObject::connect(&map, &QMapControl::mouseEventPressCoordinate,
                         [this](QMouseEvent* e, PointWorldCoord c) { note(e, at(c)); });
        QObject::connect(&map, &QMapControl::mouseEventReleaseCoordinate,
                         [this](QMouseEvent* e, PointWorldCoord p, PointWorldCoord r) {
                             note(e, at(p) + ' ' + at(r));
                         });
        map.show();
        if (!QTest::qWaitForWindowExposed(&map))
            qFatal("The map is not shown");
    }
    void note(QMouseEvent* e, const QString& points)
    {
        heard << QStringLiteral("%1 %2 %3").arg(e->type()).arg(e->button()).arg(points);
    }
    QString at(const PointWorldCoord& c) const // the widget point, to half a pixel
    {
        const QPointF p = map.toWidgetPoint(c);
        return QStringLiteral("%1,%2").arg(qRound(p.x())).arg(qRound(p.y()));
    }
};

constexpr int Shown = 0, Hidden = 1, OutOfZooms = 2; // states of the top layer and marker
constexpr int Click = 0, Beside = 1, Drag = 2, ShiftClick = 3, RightClick = 4;

class TestMapControl : public QObject
{
    Q_OBJECT
private slots:
    void mouseSignalsDragAndRectangle()
    {
        Fixture f;
        QTest::mouseClick(&f.map, Qt::LeftButton, {}, QPoint(120, 80));
        QTest::mouseClick(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseDClick(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseClick(&f.map, Qt::MiddleButton, {}, QPoint(10, 20));
        // Event types: 2 press, 3 release, 4 double click (which zooms in about its point).
        QCOMPARE(f.heard, QStringList({"2 1 120,80", "3 1 120,80 120,80", "2 1 200,150",
                                       "3 1 200,150 200,150", "4 1 200,150", "3 1 200,150 200,150",
                                       "2 4 10,20", "3 4 10,20 10,20"}));
        QCOMPARE(f.map.getCurrentZoom(), 6);
        const PointWorldCoord grabbed = f.map.toPointWorldCoord(QPointF(100, 100));
        QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(100, 100));
        drag(&f.map, QPoint(130, 110));
        drag(&f.map, QPoint(160, 140));
        QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(160, 140));
        QCOMPARE(f.at(grabbed), "160,140"); // the point taken stays under the pointer
        f.map.setZoom(2);
        f.map.setMapFocusPoint(PointWorldCoord(0.0, 60.0));
        QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(200, 10));
        drag(&f.map, QPoint(200, 290));
        QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(200, 290));
        QCOMPARE(f.at(PointWorldCoord(0.0, 90.0)), "200,0"); // the world's top edge stops a drag
        // Shift + drag: its corners in the release, no panning.
        const PointWorldCoord before = f.map.mapFocusPointCoord();
        QTest::mousePress(&f.map, Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 60));
        drag(&f.map, QPoint(150, 120), Qt::ShiftModifier);
        drag(&f.map, QPoint(250, 200), Qt::ShiftModifier);
        QTest::mouseRelease(&f.map, Qt::LeftButton, Qt::ShiftModifier, QPoint(250, 200));
        QCOMPARE(f.map.mapFocusPointCoord(), before);
        QCOMPARE(f.heard.last(), "3 1 50,60 250,200");
    }
    void clicksReachOneLayer_data()
    {
        QTest::addColumn<int>("topLayer");
        QTest::addColumn<int>("topMarker");
        QTest::addColumn<int>("gesture");
        QTest::addColumn<QString>("heard"); // layer:geometry clicked, or layer:point right-clicked
        QTest::newRow("topmost layer") << Shown << Shown << Click << "top:scaled";
        QTest::newRow("hidden layer passed") << Hidden << Shown << Click << "bottom:marker";
        QTest::newRow("marker out of zooms passed")
            << Shown << OutOfZooms << Click << "bottom:marker";
        QTest::newRow("beside the pictures") << Shown << Shown << Beside << "";
        QTest::newRow("a drag is no click") << Shown << Shown << Drag << "";
        QTest::newRow("a shift click is a rectangle") << Shown << Shown << ShiftClick << "";
        QTest::newRow("right: topmost layer only") << Shown << Shown << RightClick << "top:203,147";
    }
    void clicksReachOneLayer()
    {
        QFETCH(int, topLayer);
        QFETCH(int, topMarker);
        QFETCH(int, gesture);
        Fixture f;
        const QPoint at(203, 147); // inside the 20 x 20 pictures centred on (200, 150)
        const PointWorldCoord where = f.map.toPointWorldCoord(QPointF(200, 150));
        auto bottom = std::make_shared<LayerGeometry>("bottom", 0, 17);
        auto top = std::make_shared<LayerGeometry>("top", topLayer == OutOfZooms ? 9 : 0, 17);
        f.map.addLayer(bottom);
        f.map.addLayer(top);
        // A tile layer above them all is no geometry layer: it neither takes nor hides clicks.
        f.map.addLayer(std::make_shared<LayerMapAdapter>("Map", nullptr, 0, 17));
        bottom->addGeometry(
            std::make_shared<GeometryPointImage>(where, solid({20, 20}, Qt::red), 0, 17));
        auto scaled = std::make_shared<GeometryPointImageScaled>(
            where, solid({20, 20}, Qt::green), 5, topMarker == OutOfZooms ? 9 : 0, 17);
        top->addGeometry(scaled);
        top->setVisible(topLayer != Hidden);
        QStringList heard;
        for (LayerGeometry* layer : {bottom.get(), top.get()}) {
            connect(layer, &LayerGeometry::geometryClicked, this, [&, layer](const Geometry* g) {
                heard << layer->name() + (g == scaled.get() ? ":scaled" : ":marker");
            });
            connect(layer, &LayerGeometry::mouseRightClicked, this,
                    [&, layer](PointWorldCoord c) { heard << layer->name() + ':' + f.at(c); });
        }
        const Qt::MouseButton button = gesture == RightClick ? Qt::RightButton : Qt::LeftButton;
        const auto modifiers = gesture == ShiftClick ? Qt::ShiftModifier : Qt::NoModifier;
        const QPoint from = gesture == Beside ? at + QPoint(15, 0) : at;
        QTest::mousePress(&f.map, button, modifiers, from);
        if (gesture == Drag)
            drag(&f.map, from + QPoint(30, 0));
        QTest::mouseRelease(&f.map, button, modifiers,
                            gesture == Drag ? from + QPoint(30, 0) : from);
        QTEST(heard.join(','), "heard");
    }
    void zoomLimitsAndChangeZoomLevel()
    {
        Fixture f;
        QSignalSpy spy(&f.map, &QMapControl::changeZoomLevel);
        QTest::keyClick(&f.map, Qt::Key_Plus);
        f.map.setZoom(6); // no change, no signal
        QCOMPARE(spy.count(), 1);
        // Narrowing the range pulls the zoom in and says so; nothing goes beyond it.
        f.map.setZoom(15);
        f.map.setZoomMinimum(5);
        f.map.setZoomMaximum(12);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.last().at(0).toInt(), 12);
        f.map.setZoom(3);
        QCOMPARE(f.map.getCurrentZoom(), 5);
        f.map.setZoom(40);
        QTest::keyClick(&f.map, Qt::Key_Plus);
        QCOMPARE(f.map.getCurrentZoom(), 12);
        QCOMPARE(spy.count(), 5);
        // The slider follows the zoom; its button zooms.
        f.map.zoomControls()->zoomOutButton()->click();
        QCOMPARE(f.map.zoomControls()->slider()->value(), 11);
        f.map.setZoomMinimum(14); // a minimum above the maximum takes the maximum along
        QCOMPARE(f.map.getZoomMaximum(), 14);
        QCOMPARE(f.map.getCurrentZoom(), 14);
    }
};

QTEST_MAIN(TestMapControl)
#include "tst_mapcontrol.moc"
