// Offline maps: an MBTiles file of about 1 GB, made here into a temporary folder
// (MIVAROMAP_OFFLINE_MB sets another size; MIVAROMAP_OFFLINE_KEEP=path keeps the file).
//
//   BM_ReadDecode  tiles read and decoded on this one thread as the worker does,
//                  along a pan across the file at zooms 7 to 9
//   BM_Frame       a frame of a 1280 x 800 map whose tiles are all in memory,
//                  panned a little between frames
//   BM_PanAcross   the map panned over 4000 tiles through the tile source and its
//                  worker thread: tiles per second of the process's CPU time (both
//                  threads), and the memory cache keeping to its bound (VmHWM)

#include "bench/benchsupport.h"
#include "qmapcontrol/layermapadapter.h"
#include "qmapcontrol/offlinetiles.h"
#include "qmapcontrol/projection.h"
#include "qmapcontrol/qmapcontrol.h"
#include "qmapcontrol/tilesource.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace qmapcontrol;

namespace {

// A tile that looks like a map: land and sea, roads, a few names; saved with a
// palette, as rendered map tiles are.
QByteArray mapLikeTile(quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(242, 239, 233));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(170, 211, 223));
    QPolygonF sea;
    for (int i = 0; i < 7; ++i)
        sea << QPointF(random.bounded(256), random.bounded(256));
    p.drawPolygon(sea);
    p.setBrush(QColor(205, 235, 176));
    p.drawEllipse(QPointF(random.bounded(256), random.bounded(256)), 40, 25);
    for (int i = 0; i < 14; ++i) {
        p.setPen(QPen(i % 3 ? QColor(255, 255, 255) : QColor(247, 250, 191), 2 + i % 4));
        p.drawLine(QPointF(random.bounded(256), random.bounded(256)),
                   QPointF(random.bounded(256), random.bounded(256)));
    }
    QFont font;
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(QColor(60, 60, 60));
    for (int i = 0; i < 4; ++i)
        p.drawText(random.bounded(200), 12 + random.bounded(240),
                   QString::fromUtf8("町%1").arg(random.bounded(1000)));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither).save(&buffer, "PNG");
    return bytes;
}

struct OfflineFile
{
    QTemporaryDir dir;
    QString path;
    qint64 bytes = 0;
    int tiles = 0;
    int deepest = 0;
    std::shared_ptr<MapAdapterOffline> adapter;
};

// Every tile of zoom 0 upwards until the file holds `target` bytes; 512 pictures
// shared out among them, so that making it is quick.
OfflineFile& offlineFile()
{
    static std::unique_ptr<OfflineFile> made;
    if (made)
        return *made;
    made = std::make_unique<OfflineFile>();
    const QByteArray keep = qgetenv("MIVAROMAP_OFFLINE_KEEP");
    made->path =
        keep.isEmpty() ? made->dir.filePath("bench.mbtiles") : QString::fromLocal8Bit(keep);
    QFile::remove(made->path);
    const int megabytes = qEnvironmentVariableIntValue("MIVAROMAP_OFFLINE_MB");
    const qint64 target = (megabytes > 0 ? megabytes : 1024) * qint64(1 << 20);
    std::vector<QByteArray> pictures;
    for (quint32 i = 0; i < 512; ++i)
        pictures.push_back(mapLikeTile(i));

    QElapsedTimer clock;
    clock.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench-writer");
        db.setDatabaseName(made->path);
        db.open();
        QSqlQuery q(db);
        q.exec("PRAGMA journal_mode = OFF");
        q.exec("PRAGMA synchronous = OFF");
        q.exec("CREATE TABLE metadata (name TEXT, value TEXT)");
        q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, "
               "tile_data BLOB)");
        q.exec("INSERT INTO metadata VALUES ('name', 'ベンチマーク'), ('format', 'png'), "
               "('attribution', '<a href=\"https://example.org/\">© ベンチ地図</a>')");
        db.transaction();
        q.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
        for (int z = 0; made->bytes < target && z <= 12; ++z) {
            made->deepest = z;
            for (int x = 0; x < (1 << z) && made->bytes < target; ++x) {
                for (int y = 0; y < (1 << z); ++y) {
                    const QByteArray& tile =
                        pictures[(quint32(x) * 7919u + quint32(y) * 104729u + quint32(z)) %
                                 pictures.size()];
                    q.addBindValue(z);
                    q.addBindValue(x);
                    q.addBindValue(y);
                    q.addBindValue(tile);
                    q.exec();
                    made->bytes += tile.size();
                    ++made->tiles;
                }
            }
        }
        db.commit();
        q.exec("CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)");
        q.exec(QStringLiteral("INSERT INTO metadata VALUES ('minzoom', '0'), ('maxzoom', '%1')")
                   .arg(made->deepest));
        db.close();
    }
    QSqlDatabase::removeDatabase("bench-writer");
    std::fprintf(stderr, "MBTiles: %d tiles, %.0f MB of tiles, zoom 0-%d, made in %.1f s\n",
                 made->tiles, double(made->bytes) / (1 << 20), made->deepest,
                 double(clock.elapsed()) / 1000.0);
    QString error;
    made->adapter = makeOfflineAdapter(made->path, TileRowOrder::Xyz, &error);
    if (!made->adapter)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return *made;
}

// The tiles of a 1280 x 800 view at the deepest full zoom, the view moving east
// and wrapping.
struct Walk
{
    int zoom;
    int step = 0;
    TileKey next(int i) const
    {
        const int n = 1 << zoom;
        const int column = step * 2 + i % 6;
        // One row of views further south each time round the world.
        return {zoom, column % n, (n / 4 + i / 6 + 4 * (column / n)) % n};
    }
};

void BM_ReadDecode(benchmark::State& state)
{
    OfflineFile& file = offlineFile();
    QString error;
    std::unique_ptr<OfflineSession> session = file.adapter->offlineReader()->session(&error);
    Walk walk{qMax(0, file.deepest - 1)};
    int i = 0;
    qint64 found = 0;
    for (auto _ : state) {
        // Now and then a zoom out and back, as the user does.
        const TileKey key =
            i % 50 == 49 ? Walk{walk.zoom - 1, walk.step / 2}.next(i % 24) : walk.next(i % 24);
        if (++i % 24 == 0)
            ++walk.step;
        QImage image;
        if (readOfflineTile(*session, key.z, key.x, key.y, &image, &error) ==
            OfflineSession::Result::Found)
            ++found;
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(found);
    state.counters["file_MB"] = double(QFile(file.path).size()) / (1 << 20);
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_ReadDecode)->Unit(benchmark::kMicrosecond);

// Lets the worker bring in what the view asked for.
void settle(QMapControl& map)
{
    for (int i = 0; i < 2000; ++i) {
        map.requestRedraw();
        QImage scratch(map.size(), QImage::Format_ARGB32_Premultiplied);
        map.render(&scratch);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (map.tileSource()->requestsQueued() == 0 && i > 3)
            return;
    }
}

void BM_Frame(benchmark::State& state)
{
    OfflineFile& file = offlineFile();
    QMapControl map(QSizeF(1280, 800));
    map.resize(1280, 800);
    map.setZoomMaximum(20);
    map.addLayer(std::make_shared<LayerMapAdapter>("Map", file.adapter, 0, 20));
    map.setZoom(int(state.range(0)));
    map.setMapFocusPoint(PointWorldCoord(139.7, 35.7));
    settle(map);
    QImage target(map.size(), QImage::Format_ARGB32_Premultiplied);
    int i = 0;
    for (auto _ : state) {
        // Back and forth by 40 pixels: tiles of the border already in memory.
        const PointWorldCoord at = map.toPointWorldCoord(QPointF(640 + (i++ % 2 ? 40 : -40), 400));
        map.setMapFocusPoint(at);
        map.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_Frame)->Arg(6)->Arg(9)->Arg(12)->ArgName("zoom")->Unit(benchmark::kMillisecond);

void BM_PanAcross(benchmark::State& state)
{
    OfflineFile& file = offlineFile();
    for (auto _ : state) {
        TileSource source;
        const auto adapter = std::static_pointer_cast<MapAdapter>(file.adapter);
        Walk walk{file.deepest - 1};
        int asked = 0;
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpuStart = std::clock();
        while (asked < 4000) {
            QVector<TileKey> view;
            for (int i = 0; i < 24; ++i)
                view << walk.next(i);
            asked += view.size();
            source.setWanted(adapter, view);
            // Asleep until the worker reports: it has the CPU to itself.
            while (source.requestsQueued() > 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            walk.step += 3;
        }
        state.counters["tiles_per_s_wall"] = asked / (double(clock.elapsed()) / 1000.0);
        // Both threads: reading and decoding on the worker, pixmaps and the cache here.
        state.counters["tiles_per_cpu_s"] =
            asked / (double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        state.counters["cache_MB"] = double(source.memoryCacheBytes()) / (1 << 20);
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_PanAcross)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
