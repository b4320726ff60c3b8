// Building the markers of a place list: pictures, geometries on the nine place
// layers, and the picture files.
//
//   FirstRefresh          empty picture folder, new cache: what the user waits
//                         for before the map shows the markers
//   FirstRefreshAndFiles  the same plus writing every picture file (normally
//                         done afterwards, while the program is idle)
//   RefreshUnchanged      the same list again with the same cache
//   EncodeFiles           the bytes of each picture file, on this thread
//   WriteNewFiles         those bytes written as new files into an empty folder
//
// The list mixes shapes as the shipped list does: two thirds circles, the rest
// fixed and scaled labels.

#include "map/markerfiles.h"
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

// One picture file after another on this thread, split into its two costs:
// making the bytes (drawing and encoding) and putting them on disk (a new
// file in a folder that fills up, as on the first run with a new list).
std::vector<MarkerPicture> filePictures(int count)
{
    const PlaceList places = makePlaces(count);
    const MarkerStyle style = MarkerStyle::fromSettings();
    std::vector<MarkerPicture> pictures;
    for (const auto& p : places) {
        MarkerPicture picture;
        picture.name = p->name;
        const int c = toIntOrZero(p->color);
        picture.back = markerBackColor(c).rgba();
        picture.pointSize = markerPointSize(style.font, toIntOrZero(p->font));
        picture.circle = p->shape == QLatin1String("Circle");
        if (!picture.circle)
            picture.fore = markerForeColor(c).rgba();
        pictures.push_back(picture);
    }
    return pictures;
}

void BM_EncodeFiles(benchmark::State& state)
{
    const std::vector<MarkerPicture> pictures = filePictures(int(state.range(0)));
    const MarkerStyle style = MarkerStyle::fromSettings();
    qint64 bytes = 0;
    for (auto _ : state) {
        for (const MarkerPicture& picture : pictures)
            bytes += markerFileBytes(style, picture).size();
    }
    state.counters["bytes/file"] =
        double(bytes) / double(state.iterations()) / double(pictures.size());
}

void BM_WriteNewFiles(benchmark::State& state)
{
    const std::vector<MarkerPicture> pictures = filePictures(int(state.range(0)));
    const MarkerStyle style = MarkerStyle::fromSettings();
    std::vector<QByteArray> files;
    for (const MarkerPicture& picture : pictures)
        files.push_back(markerFileBytes(style, picture));
    // Old folders are kept to the end: freshly freed inodes slow down creation.
    QTemporaryDir dir;
    int round = 0;
    for (auto _ : state) {
        const QString folder = dir.filePath(QString::number(++round));
        for (std::size_t i = 0; i < pictures.size(); ++i)
            writeMarkerFile(folder + QLatin1Char('/') + markerFileName(pictures[i].name), files[i]);
    }
}

} // namespace

BENCHMARK(BM_EncodeFiles)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_WriteNewFiles)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
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
