// Clicks on the map of the assembled window where pictures gave way: a dot,
// a cluster, and places stacked on one spot.
#include "app/mivaromap.h"
#include "qmapcontrol/layeroverview.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QtTest>

using qmapcontrol::LayerOverview;
using qmapcontrol::PointWorldCoord;

namespace {

// Two long labels side by side (the second gives way), three castles near
// Osaka, and three places on one spot in Tokyo.
const QByteArray list = "とても長い名前の城跡,139.2000,36.0000,1,1,Image,14,10\n"
                        "隣の長い名前の城跡,139.3510,36.0000,1,1,Image,14,10\n"
                        "大坂城,135.5259,34.6873,2,2,Image,11,10\n"
                        "岸和田城,135.3700,34.4600,2,2,Image,11,10\n"
                        "高槻城,135.6200,34.8400,2,2,Image,11,10\n"
                        "甲,139.7000,35.7000,3,3,Image,11,10\n"
                        "乙,139.7000,35.7000,4,3,Image,11,10\n"
                        "丙,139.7000001,35.7000001,5,4,Circle,11,10\n";

} // namespace

class Window
{
public:
    Window()
    {
        writeAll(dir.file("list.csv"), list);
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings::instance().csv_filename = dir.file("list.csv");
        AppSettings::instance().markerFiles = false;
        window = std::make_unique<MivaroMap>();
        window->resize(1200, 800);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        asked().calls.clear();
    }

    qmapcontrol::QMapControl& map() { return *window->map(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    void show(const PointWorldCoord& at, int zoom)
    {
        map().setZoom(zoom);
        map().setMapFocusPoint(at);
        map().grab();
    }
    void click(const PointWorldCoord& at)
    {
        QTest::mouseClick(&map(), Qt::LeftButton, {}, map().toWidgetPoint(at).toPoint());
    }

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
};

class TestMapClicks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initMivaroMapResources(); }

    void aDotActsAsItsPlace()
    {
        Window w;
        const PointWorldCoord second(139.351, 36.0);
        w.show(second, 10);
        LayerOverview* overview = w.window->overview();
        const auto& layer = w.window->markerLayers()[0];
        QCOMPARE(overview->formAt(layer->geometries()[0].get(), 10), LayerOverview::Form::Picture);
        QCOMPARE(overview->formAt(layer->geometries()[1].get(), 10), LayerOverview::Form::Dot);
        // Its name under the pointer, and a click picks it, not the picture beside it.
        const QPointF at = w.map().toWidgetPoint(second);
        QCOMPARE(overview->dotAt(at, w.map().view()), layer->geometries()[1].get());
        w.click(second);
        QCOMPARE(w.window->searchPosition(), 1);
        QVERIFY(w.window->places[1]->marked);
        QVERIFY(!w.window->places[0]->marked);
    }

    void aClusterOpensWhereItSplits()
    {
        Window w;
        const PointWorldCoord osaka(135.5, 34.65);
        w.show(osaka, 5);
        const auto& shown = w.window->overview()->clusters(5);
        auto disc = std::find_if(shown.begin(), shown.end(),
                                 [](const LayerOverview::Cluster& c) { return c.count == 3; });
        QVERIFY(disc != shown.end());
        const LayerOverview::Cluster cluster = *disc;
        w.click(qmapcontrol::projection::fromNormalized(cluster.centre));
        // The three castles are 0.25 degrees apart: one disc up to zoom 6,
        // parted at 7.
        QCOMPARE(w.map().getCurrentZoom(), 7);
        const QPointF centre =
            w.map().toWidgetPoint(qmapcontrol::projection::fromNormalized(cluster.centre));
        QVERIFY((centre - QPointF(w.map().rect().center())).manhattanLength() < 3.0);
        QVERIFY(!w.window->places[2]->marked);
    }

    void stackedPlacesAskWhichOne()
    {
        Window w;
        const PointWorldCoord tokyo(139.7, 35.7);
        w.show(tokyo, 17);
        w.asked().menuAnswers << "乙";
        w.click(tokyo);
        QCOMPARE(w.asked().kinds(), QStringList({"menu", "dialog"}));
        QCOMPARE(w.asked().calls[0].text, QStringLiteral("甲\n乙\n丙"));
        QCOMPARE(w.window->searchPosition(), 6);
        QVERIFY(w.window->places[6]->marked && !w.window->places[5]->marked);
        // One zoom out they are not asked for.
        w.show(tokyo, 16);
        w.asked().calls.clear();
        w.click(tokyo);
        QVERIFY(!w.asked().kinds().contains("menu"));
    }
};

QTEST_MAIN(TestMapClicks)
#include "tst_mapclicks.moc"
