// Painting and hit-testing the map with tens of thousands of markers.
//
//   BM_Paint        the engine alone: shared pictures, every marker from zoom 0
//   BM_PaintPlaces  the program's markers of 100 000 places in Japan or
//                   171 000 of the world (pictures drawn on demand, circles
//                   from their shared discs) with the overview of dots and
//                   discs, pictures giving way where they would overlap
//   BM_FirstFrame   the first paint at a zoom not seen since the list changed
//   BM_Placement    working out which pictures give way at a zoom

#include "bench/benchsupport.h"
#include "map/markers.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layeroverview.h"
#include "qmapcontrol/qmapcontrol.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

using namespace qmapcontrol;

namespace {

const QSize viewSize(1280, 800);
const PointWorldCoord tokyo(139.7, 35.7);

// Label-like pictures (a name on a coloured box), a few kinds shared by all markers.
std::vector<QPixmap> markerPictures()
{
    std::vector<QPixmap> pictures;
    const char* names[] = {"姫路城", "松本城", "大阪城", "名古屋城", "熊本城", "彦根城"};
    QFont font;
    font.setPixelSize(12);
    for (int i = 0; i < 6; ++i) {
        QImage image(64, 18, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.setBrush(QColor::fromHsv(i * 60, 120, 240));
        painter.drawRect(0, 0, 62, 16);
        painter.setFont(font);
        painter.drawText(4, 13, QString::fromUtf8(names[i]));
        painter.end();
        pictures.push_back(QPixmap::fromImage(image));
    }
    return pictures;
}

// Markers spread over Japan, half of them fixed in size, half scaled from zoom 10.
std::vector<std::shared_ptr<Geometry>> makeMarkers(int count, quint32 seed)
{
    static const std::vector<QPixmap> pictures = markerPictures();
    QRandomGenerator random(seed);
    std::vector<std::shared_ptr<Geometry>> markers;
    markers.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const PointWorldCoord where(129.0 + random.generateDouble() * 17.0,
                                    30.0 + random.generateDouble() * 16.0);
        const QPixmap& picture = pictures[std::size_t(i) % pictures.size()];
        if (i % 2 == 0)
            markers.push_back(std::make_shared<GeometryPointImage>(where, picture, 0, 17));
        else
            markers.push_back(
                std::make_shared<GeometryPointImageScaled>(where, picture, 10, 0, 17));
    }
    return markers;
}

struct Scene
{
    std::unique_ptr<QMapControl> map;
    std::shared_ptr<LayerGeometry> layer;
};

Scene& scene(int count)
{
    static std::map<int, Scene> scenes;
    Scene& s = scenes[count];
    if (!s.map) {
        s.map = std::make_unique<QMapControl>(QSizeF(viewSize));
        s.map->enableZoomControls(false, false);
        s.layer = std::make_shared<LayerGeometry>("Layer 1", 0, 17);
        s.map->addLayer(s.layer);
        for (const auto& marker : makeMarkers(count, 1))
            s.layer->addGeometry(marker, true);
        s.map->setMapFocusPoint(tokyo);
    }
    return s;
}

// One full paint of the view: everything drawn afresh, as after a pan.
void BM_Paint(benchmark::State& state)
{
    const int count = int(state.range(0));
    const int zoom = int(state.range(1));
    Scene& s = scene(count);
    s.map->setZoom(zoom);
    QImage target(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        s.map->requestRedraw();
        s.map->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_Paint)
    ->ArgsProduct({{10000, 100000}, {5, 9, 15}})
    ->ArgNames({"markers", "zoom"})
    ->Unit(benchmark::kMillisecond);

// The places of a list as the program shows them: its nine layers and the overview.
struct PlaceScene
{
    std::unique_ptr<QMapControl> map;
    std::array<std::shared_ptr<LayerGeometry>, MarkerLayerCount> layers;
    std::shared_ptr<LayerOverview> overview;
    std::unique_ptr<MarkerPictureCache> pictures;
    PlaceList places;
};

std::map<int, std::unique_ptr<PlaceScene>> placeScenes;

// Kind 0: 100 000 places over Japan; kind 1: 171 000 over the world's land,
// thick where people live.
PlaceScene& placeScene(int kind)
{
    std::unique_ptr<PlaceScene>& made = placeScenes[kind];
    if (made)
        return *made;
    made = std::make_unique<PlaceScene>();
    PlaceScene& s = *made;
    // The picture files go to a folder of their own.
    static QTemporaryDir dir;
    setProgramDir(dir.path());
    AppSettings& settings = AppSettings::instance();
    settings.textFont = QFont(QStringLiteral("IPAゴシック"), 14);
    settings.radius = 50;
    settings.siroIcon = true;
    settings.overview = true;
    settings.markerFiles = false;
    for (int c = 0; c < AppSettings::ClassCount; ++c) {
        settings.classBack[c] = QColor::fromHsv(c * 37 % 360, 200, 220);
        settings.classFore[c] = QColor(Qt::white);
    }
    // Regions of the world: lon0, lat0, lon1, lat1, weight.
    const double world[][5] = {{-10, 36, 30, 60, 30},  {-125, 25, -70, 50, 25},
                               {70, 8, 90, 30, 15},    {100, 20, 125, 42, 15},
                               {129, 30, 146, 45, 10}, {-75, -35, -40, 5, 8},
                               {-15, -30, 40, 15, 8},  {115, -38, 153, -12, 4}};
    const int count = kind == 0 ? 100000 : 171000;
    QRandomGenerator random(4);
    for (int i = 0; i < count; ++i) {
        double lon0 = 129.0, lat0 = 30.0, lon1 = 146.0, lat1 = 46.0;
        if (kind == 1) {
            int pick = int(random.bounded(115));
            int r = 0;
            while (pick >= world[r][4])
                pick -= int(world[r++][4]);
            lon0 = world[r][0];
            lat0 = world[r][1];
            lon1 = world[r][2];
            lat1 = world[r][3];
        }
        const int shape = int(random.bounded(100));
        auto p = std::make_unique<PlaceRecord>();
        p->name = QStringLiteral("城跡%1").arg(i);
        p->x = QString::number(lon0 + random.generateDouble() * (lon1 - lon0));
        p->y = QString::number(lat0 + random.generateDouble() * (lat1 - lat0));
        p->color = QString::number(random.bounded(10));
        p->layer = QString::number(1 + random.bounded(9));
        p->shape = shape < 66 ? "Circle" : shape < 78 ? "Image" : "Scaled";
        p->font = "11";
        p->level = "10";
        s.places.push_back(std::move(p));
    }
    s.map = std::make_unique<QMapControl>(QSizeF(viewSize));
    s.map->enableZoomControls(false, false);
    for (auto& layer : s.layers) {
        layer = std::make_shared<LayerGeometry>("Layer", 0, 17);
        s.map->addLayer(layer);
    }
    s.overview = std::make_shared<LayerOverview>("Overview", 0, 17);
    s.overview->setSources({s.layers.begin(), s.layers.end()});
    s.map->addLayer(s.overview);
    s.pictures = std::make_unique<MarkerPictureCache>();
    showMarkers(s.layers, buildMarkers(s.places, *s.pictures));
    s.map->setMapFocusPoint(tokyo);
    return s;
}

const char* const listNames[] = {"japan100k", "world171k"};

// One full paint, as after a pan, once the pictures in view are drawn.
void BM_PaintPlaces(benchmark::State& state)
{
    PlaceScene& s = placeScene(int(state.range(0)));
    state.SetLabel(listNames[state.range(0)]);
    s.map->setZoom(int(state.range(1)));
    QImage target(viewSize, QImage::Format_ARGB32_Premultiplied);
    s.map->render(&target);
    for (auto _ : state) {
        s.map->requestRedraw();
        s.map->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["pictures_MB"] = double(s.pictures->pictureBytes()) / (1 << 20);
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_PaintPlaces)
    ->ArgsProduct({{0, 1}, {0, 3, 5, 7, 9, 11, 13, 15, 17}})
    ->ArgNames({"list", "zoom"})
    ->Unit(benchmark::kMillisecond);

// The first paint at a zoom not seen before: its clusters and placement are
// worked out, the pictures in view drawn.
void BM_FirstFrame(benchmark::State& state)
{
    PlaceScene& s = placeScene(int(state.range(0)));
    state.SetLabel(listNames[state.range(0)]);
    const int zoom = int(state.range(1));
    QImage target(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        state.PauseTiming();
        s.overview->clusters(0); // the points gathered
        s.overview->forgetZooms();
        s.pictures->setLimit(1); // no picture drawn yet
        s.pictures->setLimit(MarkerPictureCache::DefaultLimit);
        s.map->setZoom(zoom);
        state.ResumeTiming();
        s.map->requestRedraw();
        s.map->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_FirstFrame)
    ->ArgsProduct({{0, 1}, {3, 7, 9, 11, 13, 17}})
    ->ArgNames({"list", "zoom"})
    ->Unit(benchmark::kMillisecond);

// Which pictures give way at a zoom, worked out afresh (the points gathered
// from the layers and put in priority order included).
void BM_Placement(benchmark::State& state)
{
    PlaceScene& s = placeScene(int(state.range(0)));
    state.SetLabel(listNames[state.range(0)]);
    const double before = peakMemoryMb();
    for (auto _ : state) {
        state.PauseTiming();
        s.overview->setSources({s.layers.begin(), s.layers.end()});
        state.ResumeTiming();
        s.overview->preparePlacement(int(state.range(1)));
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
    state.counters["VmHWM_growth_MB"] = peakMemoryMb() - before;
}
BENCHMARK(BM_Placement)
    ->ArgsProduct({{0, 1}, {9, 11, 13, 15, 17}})
    ->ArgNames({"list", "zoom"})
    ->Unit(benchmark::kMillisecond);

// A 100-pixel picture seen at 2^10 of its size: only the part in view is drawn.
void BM_PaintHugeScaled(benchmark::State& state)
{
    QMapControl map{QSizeF(viewSize)};
    auto layer = std::make_shared<LayerGeometry>("Layer 1", 0, 17);
    map.addLayer(layer);
    QImage picture(100, 100, QImage::Format_ARGB32_Premultiplied);
    picture.fill(QColor(200, 80, 80, 200));
    layer->addGeometry(
        std::make_shared<GeometryPointImageScaled>(tokyo, QPixmap::fromImage(picture), 5, 0, 17));
    map.setMapFocusPoint(tokyo);
    map.setZoom(15);
    QImage target(viewSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        map.requestRedraw();
        map.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PaintHugeScaled)->Unit(benchmark::kMillisecond);

// Finding the marker under the pointer among 100 000.
void BM_HitTest(benchmark::State& state)
{
    Scene& s = scene(100000);
    s.map->setZoom(int(state.range(0)));
    const MapView view = s.map->view();
    QRandomGenerator random(3);
    std::vector<QPointF> points;
    for (int i = 0; i < 1024; ++i)
        points.emplace_back(random.bounded(viewSize.width()), random.bounded(viewSize.height()));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.layer->geometryAt(points[i++ % points.size()], view));
    }
}
BENCHMARK(BM_HitTest)->Arg(5)->Arg(9)->Arg(15)->ArgName("zoom")->Unit(benchmark::kMicrosecond);

// Adding 10 000 markers to a layer on a map, each asking for a repaint.
void BM_AddGeometries(benchmark::State& state)
{
    QMapControl map{QSizeF(viewSize)};
    auto layer = std::make_shared<LayerGeometry>("Layer 1", 0, 17);
    map.addLayer(layer);
    const std::vector<std::shared_ptr<Geometry>> markers = makeMarkers(10000, 2);
    for (auto _ : state) {
        for (const auto& marker : markers)
            layer->addGeometry(marker, false);
        state.PauseTiming();
        layer->clearGeometries();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddGeometries)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Pixmaps and fonts go before the application.
    return runWidgetBenchmarks(argc, argv, [] { placeScenes.clear(); });
}
