// Building the markers of a place list: pictures, geometries on the nine place
// layers, and the picture files.
//
//   FirstRefresh          empty picture folder, new cache: what the user waits
//                         for before the map shows the markers
//   FirstRefreshAndFiles  the same plus writing every picture file (normally
//                         done afterwards, while the program is idle)
//   RefreshUnchanged      the same list again with the same cache
//
// The list mixes shapes as the shipped list does: two thirds circles, the rest
// fixed and scaled labels.

#include "map/markers.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

PlaceList makePlaces(int count)
{
    static const char* const shapes[] = {"Circle", "Circle", "Image",  "Circle", "Scaled",
                                         "Circle", "Circle", "Scaled", "Circle"};
    PlaceList places;
    places.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<PlaceRecord>();
        p->name = QStringLiteral("城跡%1号").arg(i);
        p->x = QString::number(129.5 + (i % 997) * 0.0145, 'f', 4);
        p->y = QString::number(31.0 + (i % 991) * 0.0142, 'f', 4);
        p->color = QString::number(i % 200);
        p->layer = QString::number(i % 9 + 1);
        p->shape = QString::fromLatin1(shapes[i % 9]);
        p->font = QStringLiteral("11");
        p->level = QStringLiteral("10");
        places.push_back(std::move(p));
    }
    return places;
}

void setUpSettings()
{
    AppSettings& s = AppSettings::instance();
    s.textFont = QFont(QStringLiteral("IPAゴシック"));
    s.textFont.setPointSize(14);
    s.radius = 50;
    s.siroIcon = true;
    s.classBack.resize(AppSettings::ClassCount);
    s.classFore.resize(AppSettings::ClassCount);
    for (int c = 0; c < AppSettings::ClassCount; ++c) {
        s.classBack[c] = QColor::fromHsv(c * 7 % 360, 200, 220);
        s.classFore[c] = c % 3 ? QColor(Qt::white) : QColor(Qt::black);
    }
}

struct Layers
{
    std::vector<std::shared_ptr<qmapcontrol::LayerGeometry>> layers;
    Layers()
    {
        for (int n = 1; n <= MarkerLayerCount; ++n)
            layers.push_back(std::make_shared<qmapcontrol::LayerGeometry>(
                QStringLiteral("Layer %1").arg(n), 0, 17));
    }
};

void refresh(const PlaceList& places, MarkerPictureCache& cache, Layers& layers)
{
    showMarkers(layers.layers, buildMarkers(places, cache));
}

void firstRefresh(benchmark::State& state, bool files)
{
    const PlaceList places = makePlaces(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        setProgramDir(dir.path());
        auto cache = std::make_unique<MarkerPictureCache>();
        Layers layers;
        state.ResumeTiming();

        refresh(places, *cache, layers);
        if (files)
            cache->flushFiles();

        state.PauseTiming();
        state.counters["written"] = cache->filesWritten();
        state.counters["failed"] = cache->fileFailures();
        cache.reset();
        layers = Layers();
        setProgramDir(QString());
        state.ResumeTiming();
    }
}

void BM_FirstRefresh(benchmark::State& state)
{
    firstRefresh(state, false);
}

void BM_FirstRefreshAndFiles(benchmark::State& state)
{
    firstRefresh(state, true);
}

void BM_RefreshUnchanged(benchmark::State& state)
{
    const PlaceList places = makePlaces(int(state.range(0)));
    QTemporaryDir dir;
    setProgramDir(dir.path());
    MarkerPictureCache cache;
    Layers layers;
    refresh(places, cache, layers);
    cache.flushFiles();
    const int drawn = cache.picturesDrawn();
    const int written = cache.filesWritten();
    for (auto _ : state)
        refresh(places, cache, layers);
    state.counters["drawn again"] = cache.picturesDrawn() - drawn;
    state.counters["queued"] = cache.pendingFiles();
    state.counters["written again"] = cache.filesWritten() - written;
    setProgramDir(QString());
}

} // namespace

BENCHMARK(BM_FirstRefresh)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FirstRefreshAndFiles)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshUnchanged)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    // Pixmaps need a GUI application.
    QGuiApplication app(argc, argv);
    initMivaroMapResources();
    setUpSettings();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
