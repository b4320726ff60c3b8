#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layermapadapter.h"
#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/qmapcontrol.h"
#include "qmapcontrol/tilesource.h"
#include "qmapcontrol/zoomcontrols.h"

#include "support_tileserver.h"

#include <QApplication>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

using namespace qmapcontrol;
using namespace std::chrono_literals;

namespace {

QPixmap solid(const QSize& size, const QColor& colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// Moves with buttons held: QTest has no such move for widgets.
void moveMouse(QWidget* widget, const QPoint& pos, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, buttons,
                      modifiers);
    QApplication::sendEvent(widget, &event);
}

void wheel(QWidget* widget, const QPoint& pos, int delta)
{
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

bool near(const QPointF& a, const QPointF& b, double tolerance = 1e-6)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

bool sameColour(QRgb a, QRgb b, int tolerance = 3)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

struct Press
{
    QEvent::Type type;
    Qt::MouseButton button;
    PointWorldCoord coord;
};

struct Release
{
    Qt::MouseButton button;
    PointWorldCoord press;
    PointWorldCoord release;
};

// A shown map of a known size at a known place, with recorders for its signals.
struct Fixture
{
    QMapControl map{QSizeF(400, 300)};
    std::vector<Press> presses;
    std::vector<Release> releases;
    bool exposed = false;

    Fixture()
    {
        map.setMapFocusPoint(PointWorldCoord(139.7, 35.7));
        map.setZoom(5);
        QObject::connect(&map, &QMapControl::mouseEventPressCoordinate,
                         [this](QMouseEvent* e, PointWorldCoord c) {
                             presses.push_back({e->type(), e->button(), c});
                         });
        QObject::connect(&map, &QMapControl::mouseEventReleaseCoordinate,
                         [this](QMouseEvent* e, PointWorldCoord p, PointWorldCoord r) {
                             releases.push_back({e->button(), p, r});
                         });
        map.show();
        exposed = QTest::qWaitForWindowExposed(&map);
    }
    QPointF screen(const PointWorldCoord& c) const { return map.toWidgetPoint(c); }
};

} // namespace

class TestMapControl : public QObject
{
    Q_OBJECT
private slots:
    void pressReleaseAndDoubleClickSignals();
    void rightClickMakesOneLayerSpeak();
    void geometryClick_data();
    void geometryClick();
    void dragPansButShiftDragDrawsRectangle();
    void zoomLimitsAndChangeZoomLevel();
    void wheelZoomsAboutPointer();
    void keysPanAndZoom();
    void animatedFocus();
    void viewportFollowsSizeAndLayouts();
    void zoomControls();
    void renderedViewFromTileServer();
};

void TestMapControl::pressReleaseAndDoubleClickSignals()
{
    Fixture f;
    QVERIFY(f.exposed);
    QSignalSpy zoomSpy(&f.map, &QMapControl::changeZoomLevel);

    QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(120, 80));
    QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(120, 80));
    QCOMPARE(f.presses.size(), size_t(1));
    QCOMPARE(f.presses[0].type, QEvent::MouseButtonPress);
    QVERIFY(near(f.screen(f.presses[0].coord), QPointF(120, 80)));
    QCOMPARE(f.releases.size(), size_t(1));
    QVERIFY(near(f.screen(f.releases[0].press), QPointF(120, 80)));
    QVERIFY(near(f.screen(f.releases[0].release), QPointF(120, 80)));

    // A double click: press, release, double click, release. The double click
    // reports its point too and zooms in about it.
    f.presses.clear();
    QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseDClick(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(200, 150));
    QCOMPARE(f.presses.size(), size_t(2));
    QCOMPARE(f.presses[1].type, QEvent::MouseButtonDblClick);
    QCOMPARE(f.presses[1].button, Qt::LeftButton);
    QCOMPARE(f.map.getCurrentZoom(), 6);
    QCOMPARE(zoomSpy.count(), 1);
    QCOMPARE(zoomSpy.at(0).at(0).toInt(), 6);
    QVERIFY(near(f.screen(f.presses[1].coord), QPointF(200, 150), 0.5));

    // Other buttons report as well.
    QTest::mousePress(&f.map, Qt::MiddleButton, {}, QPoint(10, 20));
    QTest::mouseRelease(&f.map, Qt::MiddleButton, {}, QPoint(30, 20));
    QCOMPARE(f.presses.back().button, Qt::MiddleButton);
    QCOMPARE(f.releases.back().button, Qt::MiddleButton);
    QVERIFY(near(f.screen(f.releases.back().press), QPointF(10, 20)));
    QVERIFY(near(f.screen(f.releases.back().release), QPointF(30, 20)));
}

void TestMapControl::rightClickMakesOneLayerSpeak()
{
    Fixture f;
    auto bottom = std::make_shared<LayerGeometry>("bottom", 0, 17);
    auto middle = std::make_shared<LayerGeometry>("middle", 0, 17);
    auto top = std::make_shared<LayerGeometry>("top", 0, 17);
    f.map.addLayer(bottom);
    f.map.addLayer(middle);
    f.map.addLayer(top);
    // A tile layer above them all is not a geometry layer: it stays silent.
    f.map.addLayer(std::make_shared<LayerMapAdapter>("Map", nullptr, 0, 17));
    QSignalSpy bottomSpy(bottom.get(), &LayerGeometry::mouseRightClicked);
    QSignalSpy middleSpy(middle.get(), &LayerGeometry::mouseRightClicked);
    QSignalSpy topSpy(top.get(), &LayerGeometry::mouseRightClicked);

    auto rightClick = [&] {
        QTest::mousePress(&f.map, Qt::RightButton, {}, QPoint(50, 60));
        QTest::mouseRelease(&f.map, Qt::RightButton, {}, QPoint(50, 60));
    };

    rightClick();
    QCOMPARE(topSpy.count(), 1);
    QCOMPARE(middleSpy.count() + bottomSpy.count(), 0);
    const auto coord = topSpy.at(0).at(0).value<PointWorldCoord>();
    QVERIFY(near(f.screen(coord), QPointF(50, 60)));

    top->setVisible(false);
    rightClick();
    QCOMPARE(topSpy.count(), 1);
    QCOMPARE(middleSpy.count(), 1);
    QCOMPARE(bottomSpy.count(), 0);

    // A layer outside its zooms counts as hidden.
    auto zoomed = std::make_shared<LayerGeometry>("zoomed", 9, 17);
    f.map.addLayer(zoomed);
    QSignalSpy zoomedSpy(zoomed.get(), &LayerGeometry::mouseRightClicked);
    rightClick();
    QCOMPARE(zoomedSpy.count(), 0);
    QCOMPARE(middleSpy.count(), 2);
    QCOMPARE(bottomSpy.count(), 0);
    QCOMPARE(f.releases.back().button, Qt::RightButton);
}

void TestMapControl::geometryClick_data()
{
    QTest::addColumn<bool>("topLayerVisible");
    QTest::addColumn<bool>("topMarkerVisible");
    QTest::addColumn<int>("topMarkerZoomMin");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QString>("expected");

    QTest::newRow("topmost layer wins") << true << true << 0 << "click"
                                        << "top";
    QTest::newRow("hidden layer is passed") << false << true << 0 << "click"
                                            << "bottom-last";
    QTest::newRow("hidden marker is passed") << true << false << 0 << "click"
                                             << "bottom-last";
    QTest::newRow("marker out of its zooms is passed") << true << true << 9 << "click"
                                                       << "bottom-last";
    QTest::newRow("beside the pictures") << true << true << 0 << "beside"
                                         << "none";
    QTest::newRow("a drag is no click") << true << true << 0 << "drag"
                                        << "none";
    QTest::newRow("a shift click is a rectangle") << true << true << 0 << "shift"
                                                  << "none";
}

void TestMapControl::geometryClick()
{
    QFETCH(bool, topLayerVisible);
    QFETCH(bool, topMarkerVisible);
    QFETCH(int, topMarkerZoomMin);
    QFETCH(QString, gesture);
    QFETCH(QString, expected);

    Fixture f;
    const PointWorldCoord where = f.map.toPointWorldCoord(QPointF(200, 150));
    auto bottom = std::make_shared<LayerGeometry>("bottom", 0, 17);
    auto top = std::make_shared<LayerGeometry>("top", 0, 17);
    f.map.addLayer(bottom);
    f.map.addLayer(top);
    auto bottomFirst = std::make_shared<GeometryPointImage>(where, solid({20, 20}, Qt::red), 0, 17);
    auto bottomLast = std::make_shared<GeometryPointImage>(where, solid({20, 20}, Qt::blue), 0, 17);
    auto topMarker = std::make_shared<GeometryPointImageScaled>(where, solid({20, 20}, Qt::green),
                                                                5, topMarkerZoomMin, 17);
    bottom->addGeometry(bottomFirst);
    bottom->addGeometry(bottomLast);
    top->addGeometry(topMarker);
    top->setVisible(topLayerVisible);
    topMarker->setVisible(topMarkerVisible);

    std::vector<std::pair<QString, const Geometry*>> clicks;
    auto record = [&clicks](const QString& name) {
        return [&clicks, name](const Geometry* g) { clicks.emplace_back(name, g); };
    };
    connect(bottom.get(), &LayerGeometry::geometryClicked, this, record("bottom"));
    connect(top.get(), &LayerGeometry::geometryClicked, this, record("top"));

    const QPoint at(203, 147); // inside the 20 x 20 pictures centred on (200, 150)
    if (gesture == "click") {
        QTest::mouseClick(&f.map, Qt::LeftButton, {}, at);
    } else if (gesture == "beside") {
        QTest::mouseClick(&f.map, Qt::LeftButton, {}, at + QPoint(15, 0));
    } else if (gesture == "drag") {
        QTest::mousePress(&f.map, Qt::LeftButton, {}, at);
        moveMouse(&f.map, at + QPoint(30, 0), Qt::LeftButton);
        QTest::mouseRelease(&f.map, Qt::LeftButton, {}, at + QPoint(30, 0));
    } else if (gesture == "shift") {
        QTest::mouseClick(&f.map, Qt::LeftButton, Qt::ShiftModifier, at);
    }

    if (expected == "none") {
        QVERIFY(clicks.empty());
        return;
    }
    QCOMPARE(clicks.size(), size_t(1));
    if (expected == "top") {
        QCOMPARE(clicks[0].first, QString("top"));
        QCOMPARE(clicks[0].second, topMarker.get());
    } else {
        QCOMPARE(clicks[0].first, QString("bottom"));
        QCOMPARE(clicks[0].second, bottomLast.get());
    }
}

void TestMapControl::dragPansButShiftDragDrawsRectangle()
{
    Fixture f;
    const PointWorldCoord start = f.map.mapFocusPointCoord();
    const PointWorldCoord grabbed = f.map.toPointWorldCoord(QPointF(100, 100));

    QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(100, 100));
    QCOMPARE(f.map.cursor().shape(), Qt::ClosedHandCursor);
    moveMouse(&f.map, QPoint(130, 110), Qt::LeftButton);
    moveMouse(&f.map, QPoint(160, 140), Qt::LeftButton);
    QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(160, 140));
    QCOMPARE(f.map.cursor().shape(), Qt::OpenHandCursor);
    // The point taken stays under the pointer.
    QVERIFY(near(f.screen(grabbed), QPointF(160, 140), 0.75));
    QVERIFY(f.map.mapFocusPointCoord() != start);

    // Dragging the world down stops at its top edge.
    f.map.setZoom(2);
    f.map.setMapFocusPoint(PointWorldCoord(0.0, 60.0));
    QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(200, 10));
    moveMouse(&f.map, QPoint(200, 290), Qt::LeftButton);
    QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(200, 290));
    QVERIFY(near(f.screen(PointWorldCoord(0.0, 90.0)), QPointF(200, 0), 0.5));

    const PointWorldCoord before = f.map.mapFocusPointCoord();
    const PointWorldCoord corner1 = f.map.toPointWorldCoord(QPointF(50, 60));
    const PointWorldCoord corner2 = f.map.toPointWorldCoord(QPointF(250, 200));
    f.releases.clear();
    QTest::mousePress(&f.map, Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 60));
    moveMouse(&f.map, QPoint(150, 120), Qt::LeftButton, Qt::ShiftModifier);
    moveMouse(&f.map, QPoint(250, 200), Qt::LeftButton, Qt::ShiftModifier);
    // The rectangle is drawn while dragging.
    const QImage during = f.map.grab().toImage();
    QVERIFY(during.pixel(150, 200) != during.pixel(150, 230));
    QTest::mouseRelease(&f.map, Qt::LeftButton, Qt::ShiftModifier, QPoint(250, 200));
    QCOMPARE(f.map.mapFocusPointCoord(), before);
    QCOMPARE(f.releases.size(), size_t(1));
    QCOMPARE(f.releases[0].press, corner1);
    QCOMPARE(f.releases[0].release, corner2);
    // And gone afterwards.
    const QImage after = f.map.grab().toImage();
    QCOMPARE(after.pixel(150, 200), after.pixel(150, 230));
}

void TestMapControl::zoomLimitsAndChangeZoomLevel()
{
    Fixture f;
    QSignalSpy spy(&f.map, &QMapControl::changeZoomLevel);
    f.map.setZoom(15);
    QCOMPARE(spy.count(), 1);
    f.map.setZoom(15);
    QCOMPARE(spy.count(), 1); // no change, no signal

    // Narrowing the range pulls the zoom in and says so.
    f.map.setZoomMinimum(5);
    f.map.setZoomMaximum(12);
    QCOMPARE(f.map.getCurrentZoom(), 12);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.last().at(0).toInt(), 12);
    f.map.setZoom(3);
    QCOMPARE(f.map.getCurrentZoom(), 5);
    f.map.setZoom(40);
    QCOMPARE(f.map.getCurrentZoom(), 12);
    QCOMPARE(spy.last().at(0).toInt(), 12);
    const int emitted = spy.count();
    QTest::keyClick(&f.map, Qt::Key_Plus);
    wheel(&f.map, QPoint(100, 100), 120);
    QCOMPARE(f.map.getCurrentZoom(), 12);
    QCOMPARE(spy.count(), emitted);

    // The slider follows the range and the zoom; the buttons and the slider zoom.
    QSlider* slider = f.map.zoomControls()->slider();
    QCOMPARE(slider->minimum(), 5);
    QCOMPARE(slider->maximum(), 12);
    QCOMPARE(slider->value(), 12);
    f.map.zoomControls()->zoomOutButton()->click();
    QCOMPARE(f.map.getCurrentZoom(), 11);
    QCOMPARE(slider->value(), 11);
    slider->setValue(7);
    QCOMPARE(f.map.getCurrentZoom(), 7);
    QCOMPARE(spy.last().at(0).toInt(), 7);

    // A minimum above the maximum takes the maximum along, and back.
    f.map.setZoomMinimum(14);
    QCOMPARE(f.map.getZoomMaximum(), 14);
    QCOMPARE(f.map.getCurrentZoom(), 14);
    f.map.setZoomMinimum(0);
    f.map.setZoomMaximum(17);
    QCOMPARE(f.map.getZoomMinimum(), 0);
    QCOMPARE(f.map.getZoomMaximum(), 17);
    QCOMPARE(f.map.getCurrentZoom(), 14);
}

void TestMapControl::wheelZoomsAboutPointer()
{
    Fixture f;
    const QPoint pointer(320, 60);
    const PointWorldCoord under = f.map.toPointWorldCoord(pointer);
    wheel(&f.map, pointer, 120);
    QCOMPARE(f.map.getCurrentZoom(), 6);
    QVERIFY(near(f.screen(under), pointer, 0.75));

    // Half notches add up; turning back starts afresh.
    wheel(&f.map, pointer, 60);
    QCOMPARE(f.map.getCurrentZoom(), 6);
    wheel(&f.map, pointer, 60);
    QCOMPARE(f.map.getCurrentZoom(), 7);
    wheel(&f.map, pointer, 60);
    wheel(&f.map, pointer, -120);
    QCOMPARE(f.map.getCurrentZoom(), 6);
    QVERIFY(near(f.screen(under), pointer, 1.5));
}

void TestMapControl::keysPanAndZoom()
{
    Fixture f;
    f.map.setFocus();
    const PointWorldCoord start = f.map.mapFocusPointCoord();
    QTest::keyClick(&f.map, Qt::Key_Right);
    QVERIFY(f.map.mapFocusPointCoord().longitude() > start.longitude());
    QCOMPARE(f.map.mapFocusPointCoord().latitude(), start.latitude());
    QTest::keyClick(&f.map, Qt::Key_Up);
    QVERIFY(f.map.mapFocusPointCoord().latitude() > start.latitude());
    QTest::keyClick(&f.map, Qt::Key_Left);
    QTest::keyClick(&f.map, Qt::Key_Down);
    QVERIFY(std::abs(f.map.mapFocusPointCoord().longitude() - start.longitude()) < 1e-9);
    QVERIFY(std::abs(f.map.mapFocusPointCoord().latitude() - start.latitude()) < 1e-9);
    QTest::keyClick(&f.map, Qt::Key_Plus);
    QCOMPARE(f.map.getCurrentZoom(), 6);
    QTest::keyClick(&f.map, Qt::Key_Minus);
    QTest::keyClick(&f.map, Qt::Key_Minus);
    QCOMPARE(f.map.getCurrentZoom(), 4);
}

void TestMapControl::animatedFocus()
{
    Fixture f;
    const PointWorldCoord target(135.0, 34.5);
    const PointWorldCoord start = f.map.mapFocusPointCoord();
    f.map.setMapFocusPointAnimated(target, 20, 20ms);
    QCOMPARE(f.map.mapFocusPointCoord(), start); // nothing moves before the first step
    QTRY_VERIFY(f.map.mapFocusPointCoord() != start);
    const PointWorldCoord between = f.map.mapFocusPointCoord();
    QVERIFY(between != target);
    QVERIFY(between.longitude() < start.longitude() && between.longitude() > target.longitude());
    QTRY_COMPARE(f.map.mapFocusPointCoord(), target);

    // Across the date line it takes the short way.
    f.map.setMapFocusPoint(PointWorldCoord(170.0, 0.0));
    f.map.setMapFocusPointAnimated(PointWorldCoord(-170.0, 0.0), 20, 20ms);
    QTRY_VERIFY(f.map.mapFocusPointCoord().longitude() != 170.0);
    QVERIFY(std::abs(f.map.mapFocusPointCoord().longitude()) > 170.0);
    QTRY_COMPARE(f.map.mapFocusPointCoord(), PointWorldCoord(-170.0, 0.0));

    // Taking hold of the map stops a glide.
    f.map.setMapFocusPointAnimated(PointWorldCoord(0.0, 0.0), 20, 20ms);
    QTRY_VERIFY(f.map.mapFocusPointCoord().longitude() != -170.0);
    QTest::mousePress(&f.map, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&f.map, Qt::LeftButton, {}, QPoint(10, 10));
    const PointWorldCoord held = f.map.mapFocusPointCoord();
    QTest::qWait(120);
    QCOMPARE(f.map.mapFocusPointCoord(), held);
}

void TestMapControl::viewportFollowsSizeAndLayouts()
{
    QMapControl map(QSizeF(300.4, 200.6));
    QCOMPARE(map.size(), QSize(300, 201));
    QCOMPARE(map.sizeHint(), QSize(300, 201));
    map.setViewportSize(QSizeF(0.2, -5));
    QCOMPARE(map.size(), QSize(1, 1));

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* inLayout = new QMapControl(QSizeF(200, 100), &window);
    layout->addWidget(inLayout);
    inLayout->setMapFocusPoint(PointWorldCoord(10.0, 20.0));
    inLayout->setZoom(8);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(inLayout->size(), QSize(640, 480));
    QCOMPARE(inLayout->view().size, QSize(640, 480));
    QCOMPARE(inLayout->grab().size(), QSize(640, 480));
    // The focus stays in the middle of whatever size the map has.
    QVERIFY(near(inLayout->toWidgetPoint(PointWorldCoord(10.0, 20.0)), QPointF(320, 240), 0.5));
    window.resize(300, 200);
    QTRY_COMPARE(inLayout->size(), QSize(300, 200));
    QVERIFY(near(inLayout->toWidgetPoint(PointWorldCoord(10.0, 20.0)), QPointF(150, 100), 0.5));
}

void TestMapControl::zoomControls()
{
    Fixture f;
    ZoomControls* controls = f.map.zoomControls();
    f.map.enableZoomControls(true, false);
    QVERIFY(controls->isVisible());
    QVERIFY(controls->geometry().right() < f.map.width());
    QVERIFY(controls->geometry().left() > f.map.width() / 2);
    f.map.enableZoomControls(true, true);
    QVERIFY(controls->geometry().left() < f.map.width() / 2);
    // They keep their corner when the map grows.
    f.map.enableZoomControls(true, false);
    f.map.setViewportSize(QSizeF(600, 300));
    QVERIFY(controls->geometry().left() > 300);

    // Hidden, they are not in a picture of the map.
    const QRect area = controls->geometry();
    const QImage shown = f.map.grab().toImage();
    f.map.enableZoomControls(false, false);
    QVERIFY(!controls->isVisible());
    const QImage hidden = f.map.grab().toImage();
    const QRgb plain = hidden.pixel(area.center());
    bool differs = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            QCOMPARE(hidden.pixel(x, y), plain);
            differs = differs || shown.pixel(x, y) != plain;
        }
    }
    QVERIFY(differs);
}

void TestMapControl::renderedViewFromTileServer()
{
    TestTileServer server;
    QVERIFY(server.isListening());
    auto adapter =
        std::make_shared<MapAdapterTile>(server.urlTemplate(), 0, 17, QStringLiteral("test map"));

    // Zoom 2 around (0, 0): the 512 x 512 view shows exactly four tiles.
    QMapControl map(QSizeF(512, 512));
    map.setZoom(2);
    map.setMapFocusPoint(PointWorldCoord(0, 0));
    auto base = std::make_shared<LayerMapAdapter>("Map", adapter, 0, 17);
    map.addLayer(base);
    auto notes = std::make_shared<LayerGeometry>("Notes", 0, 17);
    map.addLayer(notes);
    map.enableZoomControls(false, false);
    map.show();
    QVERIFY(QTest::qWaitForWindowExposed(&map));

    const auto tileAt = [](int x, int y) { return TestTileServer::tileColor(2, x, y).rgb(); };
    const auto coordAt = [&map](int x, int y) { return map.toPointWorldCoord(QPointF(x, y)); };
    // A red 20 x 20 marker centred on (100, 150); a green 19 x 25 picture with its
    // bottom-right corner on (200, 200); a blue label with its bottom-left corner
    // on (300, 100); a line along y = 400 from x = 280 to 500.
    notes->addGeometry(
        std::make_shared<GeometryPointImage>(coordAt(100, 150), solid({20, 20}, Qt::red), 0, 17));
    auto flag = std::make_shared<GeometryPointImage>(coordAt(200, 200),
                                                     solid({19, 25}, QColor(0, 160, 0)), 0, 17);
    flag->setAlignmentType(Geometry::AlignmentType(5), true);
    notes->addGeometry(flag);
    auto label = std::make_shared<GeometryPointImage>(coordAt(300, 100),
                                                      solid({100, 20}, QColor(0, 0, 200)), 0, 17);
    label->setAlignmentType(Geometry::AlignmentType(4), true);
    notes->addGeometry(label);
    notes->addGeometry(std::make_shared<GeometryLineString>(
        std::vector<PointWorldCoord>{coordAt(280, 400), coordAt(500, 400)}, 0, 17));

    QImage image;
    QTRY_VERIFY_WITH_TIMEOUT(
        (image = map.grab().toImage(),
         image.pixel(200, 40) == tileAt(1, 1) && image.pixel(400, 40) == tileAt(2, 1) &&
             image.pixel(200, 300) == tileAt(1, 2) && image.pixel(400, 300) == tileAt(2, 2)),
        10000);
    QCOMPARE(image.size(), QSize(512, 512));
    image.save(QStringLiteral("/tmp/engine_grab.png"));

    QCOMPARE(image.pixel(90, 140), QColor(Qt::red).rgb());
    QCOMPARE(image.pixel(109, 159), QColor(Qt::red).rgb());
    QCOMPARE(image.pixel(110, 150), tileAt(1, 1));
    QCOMPARE(image.pixel(199, 199), QColor(0, 160, 0).rgb());
    QCOMPARE(image.pixel(200, 200), tileAt(1, 1));
    QCOMPARE(image.pixel(300, 99), QColor(0, 0, 200).rgb());
    QCOMPARE(image.pixel(299, 99), tileAt(2, 1));

    const QRgb pen = GeometryLineString::defaultPen().color().rgb();
    QVERIFY(sameColour(image.pixel(390, 399), pen));
    QVERIFY(sameColour(image.pixel(390, 400), pen));
    QCOMPARE(image.pixel(390, 396), tileAt(2, 2));
    QCOMPARE(image.pixel(270, 400), tileAt(2, 2));

    // The attribution sits in the bottom-right corner, nowhere else.
    QVERIFY(image.pixel(508, 508) != tileAt(2, 2));
    QCOMPARE(image.pixel(300, 508), tileAt(2, 2));

    // Zooming in while the new tiles are held back shows the old ones blown up.
    server.setHolding(true);
    map.setZoom(3);
    image = map.grab().toImage();
    QCOMPARE(image.pixel(10, 300), tileAt(1, 2));
    QCOMPARE(image.pixel(470, 470), tileAt(2, 2));
    // A hidden base map asks for nothing any more.
    TileSource* tiles = map.tileSource();
    QVERIFY(tiles->requestsInFlight() + tiles->requestsQueued() > 0);
    base->setVisible(false);
    QCOMPARE(tiles->requestsInFlight() + tiles->requestsQueued(), 0);
    base->setVisible(true);
    server.setHolding(false);
    QTRY_COMPARE_WITH_TIMEOUT(map.grab().toImage().pixel(10, 300),
                              TestTileServer::tileColor(3, 3, 4).rgb(), 10000);
}

QTEST_MAIN(TestMapControl)
#include "tst_mapcontrol.moc"
