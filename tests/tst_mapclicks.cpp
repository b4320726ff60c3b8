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

class TestMapClicks : public QObject
{
    Q_OBJECT
    std::unique_ptr<ProgramDirScope> dir;
    std::unique_ptr<PromptScope> prompts;
    std::unique_ptr<MivaroMap> window;

    qmapcontrol::QMapControl& map() { return *window->map(); }
    ScriptedPrompts& asked() { return prompts->prompts(); }
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

private slots:
    void initTestCase() { initMivaroMapResources(); }
    void init()
    {
        dir = std::make_unique<ProgramDirScope>();
        prompts = std::make_unique<PromptScope>();
        writeAll(dir->file("list.csv"), list);
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings::instance().csv_filename = dir->file("list.csv");
        AppSettings::instance().markerFiles = false;
        window = std::make_unique<MivaroMap>();
        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        asked().calls.clear();
    }
    void cleanup()
    {
        window.reset();
        prompts.reset();
        dir.reset();
    }

    void aDotActsAsItsPlace()
    {
        const PointWorldCoord second(139.351, 36.0);
        show(second, 10);
        LayerOverview* overview = window->overview();
        const auto& layer = window->markerLayers()[0];
        QCOMPARE(overview->formAt(layer->geometries()[0].get(), 10), LayerOverview::Form::Picture);
        QCOMPARE(overview->formAt(layer->geometries()[1].get(), 10), LayerOverview::Form::Dot);
        // Its name under the pointer, and a click picks it, not the picture beside it.
        const QPointF at = map().toWidgetPoint(second);
        QCOMPARE(overview->dotAt(at, map().view()), layer->geometries()[1].get());
        click(second);
        QCOMPARE(window->searchPosition(), 1);
        QVERIFY(window->places[1]->marked);
        QVERIFY(!window->places[0]->marked);
    }

    void aClusterOpensWhereItSplits()
    {
        const PointWorldCoord osaka(135.5, 34.65);
        show(osaka, 5);
        const auto& shown = window->overview()->clusters(5);
        auto disc = std::find_if(shown.begin(), shown.end(),
                                 [](const LayerOverview::Cluster& c) { return c.count == 3; });
        QVERIFY(disc != shown.end());
        const LayerOverview::Cluster cluster = *disc;
        click(qmapcontrol::projection::fromNormalized(cluster.centre));
        // The three castles are 0.25 degrees apart: one disc up to zoom 6,
        // parted at 7.
        QCOMPARE(map().getCurrentZoom(), 7);
        const QPointF centre =
            map().toWidgetPoint(qmapcontrol::projection::fromNormalized(cluster.centre));
        QVERIFY((centre - QPointF(map().rect().center())).manhattanLength() < 3.0);
        QVERIFY(!window->places[2]->marked);
    }

    void stackedPlacesAskWhichOne()
    {
        const PointWorldCoord tokyo(139.7, 35.7);
        show(tokyo, 17);
        asked().menuAnswers << "乙";
        click(tokyo);
        QCOMPARE(asked().kinds(), QStringList({"menu", "dialog"}));
        QCOMPARE(asked().calls[0].text, QStringLiteral("甲\n乙\n丙"));
        QCOMPARE(window->searchPosition(), 6);
        QVERIFY(window->places[6]->marked && !window->places[5]->marked);
        // One zoom out they are not asked for.
        show(tokyo, 16);
        asked().calls.clear();
        click(tokyo);
        QVERIFY(!asked().kinds().contains("menu"));
    }
};

QTEST_MAIN(TestMapClicks)
#include "tst_mapclicks.moc"
