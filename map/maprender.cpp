#include "map/maprender.h"

#include "map/markerpictures.h"
#include "map/providers.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layermapadapter.h"
#include "qmapcontrol/layeroverview.h"
#include "qmapcontrol/qmapcontrol.h"
#include "qmapcontrol/tilesource.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QDir>
#include <QEventLoop>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <set>

using namespace qmapcontrol;

namespace maprender {

Rendered renderWaiting(QMapControl& map, const QSize& size, int scale,
                       std::chrono::milliseconds limit, const Progress& progress)
{
    TileSource* tiles = map.tileSource();
    // Every tile of the picture must stay in memory until it is drawn.
    const qint64 across = qint64(size.width()) * scale / 256 + 3;
    const qint64 down = qint64(size.height()) * scale / 256 + 3;
    const qint64 needed = across * down * 256 * 256 * 4 * 3 / 2;
    const qint64 before = tiles->memoryCacheBytes();
    if (needed > before)
        tiles->setMemoryCacheBytes(needed);

    Rendered result;
    // The first drawing asks for the tiles; when some are still coming, only a
    // drawing after they came counts.
    result.image = map.renderImage(size, scale, &result.missingTiles);
    const auto pending = [tiles] { return tiles->requestsInFlight() + tiles->requestsQueued(); };
    int total = pending();
    if (total > 0) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        // Finished or failed, a request leaves the count; a short tick catches both.
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            const int left = pending();
            total = std::max(total, left);
            if (progress && !progress(total - left, total)) {
                result.cancelled = true;
                loop.quit();
            } else if (left == 0) {
                loop.quit();
            }
        });
        deadline.start(limit);
        tick.start(20);
        loop.exec();
        result.image =
            result.cancelled ? QImage() : map.renderImage(size, scale, &result.missingTiles);
    }
    if (needed > before)
        tiles->setMemoryCacheBytes(before);
    return result;
}

QVector<int> classesInView(const QMapControl& map,
                           const std::vector<std::shared_ptr<LayerGeometry>>& layers,
                           const QSize& size, const std::function<int(int record)>& classOf)
{
    const MapView view = map.viewFor(size);
    const QRectF shown(QPointF(0, 0), QSizeF(size));
    std::set<int> classes;
    for (const auto& layer : layers) {
        if (!layer->isVisible(view.zoom))
            continue;
        for (const auto& geometry : layer->geometries()) {
            if (geometry->geometryType() != Geometry::GeometryType::GeometryPoint ||
                !geometry->isVisible(view.zoom))
                continue;
            const QVariant record = geometry->metadata(QStringLiteral("record"));
            if (!record.isValid())
                continue;
            const auto& point = static_cast<const GeometryPointShape&>(*geometry);
            bool inView = false;
            int first = 0;
            int last = -1;
            view.copiesShowing(point.normalized().x(), point.normalized().x(), &first, &last);
            for (int copy = first; copy <= last && !inView; ++copy)
                inView = point.screenRect(view.toScreen(point.normalized(), copy), view.zoom)
                             .intersects(shown);
            if (inView)
                classes.insert(classOf(record.toInt()));
        }
    }
    return QVector<int>(classes.begin(), classes.end());
}

QVector<LegendEntry> legendEntries(const QVector<int>& classes)
{
    const AppSettings& settings = AppSettings::instance();
    QVector<LegendEntry> entries;
    for (int c : classes) {
        LegendEntry e;
        e.colorClass = c;
        e.name = AppSettings::isClassIndex(c) && c < settings.className.size()
                     ? settings.className[c]
                     : QString();
        if (e.name.isEmpty())
            e.name = QStringLiteral("クラス %1").arg(c);
        e.back = markerBackColor(c);
        e.fore = markerForeColor(c);
        entries.append(e);
    }
    return entries;
}

void drawLegend(QImage& image, int scale, const QVector<LegendEntry>& entries)
{
    if (entries.isEmpty() || image.isNull())
        return;
    image.setDevicePixelRatio(scale);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        QFont font = AppSettings::instance().textFont;
        font.setPixelSize(12);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const int pad = 6;
        const int swatch = metrics.height();
        const int rowHeight = swatch + 4;
        int textWidth = 0;
        for (const LegendEntry& e : entries)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(e.name));
        const int logicalHeight = image.height() / scale;
        // As many rows as fit; the rest would run off the picture.
        const int rows =
            std::max(1, std::min(int(entries.size()), (logicalHeight - 2 * pad - 20) / rowHeight));
        const QRect box(pad, pad, pad + swatch + pad + textWidth + pad,
                        pad + rows * rowHeight - 4 + pad);
        painter.setPen(QColor(120, 120, 120));
        painter.setBrush(QColor(255, 255, 255, 220));
        painter.drawRect(box);
        for (int i = 0; i < rows; ++i) {
            const LegendEntry& e = entries[i];
            const QRect sw(box.left() + pad, box.top() + pad + i * rowHeight, swatch, swatch);
            painter.setPen(Qt::black);
            painter.setBrush(e.back);
            painter.drawRect(sw);
            painter.setPen(QColor(30, 30, 30));
            painter.drawText(QRect(sw.right() + pad, sw.top(), textWidth + pad, swatch),
                             Qt::AlignVCenter | Qt::AlignLeft, e.name);
        }
    }
    image.setDevicePixelRatio(1.0);
}

MapScene::MapScene()
    : m_map(std::make_unique<QMapControl>(QSizeF(800.0, 800.0))),
      m_pictures(std::make_unique<MarkerPictureCache>())
{
    m_pictures->setFilesAllowed(false);
    const AppSettings& settings = AppSettings::instance();
    if (settings.cache) {
        const QString path =
            settings.cache_path.isEmpty() ? programCacheDir() : settings.cache_path;
        m_map->enablePersistentCache(std::chrono::minutes(0), QDir(path));
    } else {
        m_map->disablePersistentCache();
    }
    m_map->addLayer(std::make_shared<LayerGeometry>(QStringLiteral("Notes"), 0, 17), -1);
    for (int n = 1; n <= MarkerLayerCount; ++n) {
        m_places[std::size_t(n - 1)] =
            std::make_shared<LayerGeometry>(QStringLiteral("Layer %1").arg(n), 0, 17);
        m_map->addLayer(m_places[std::size_t(n - 1)], -1);
    }
    m_overview = std::make_shared<LayerOverview>(QStringLiteral("Overview"), 0, 17);
    m_overview->setSources({m_places.begin(), m_places.end()});
    m_overview->setVisible(settings.overview);
    m_map->addLayer(m_overview, -1);
}

MapScene::~MapScene() = default;

void MapScene::setProvider(int index)
{
    setBaseMap(index < 0 ? BaseMap() : providerBaseMap(index));
}

void MapScene::setBaseMap(const BaseMap& base)
{
    if (m_base)
        m_map->removeLayer(m_base);
    m_base.reset();
    if (!base.adapter) {
        m_map->setZoomMinimum(0);
        m_map->setZoomMaximum(17);
        return;
    }
    m_base = std::make_shared<LayerMapAdapter>(QStringLiteral("Map"), base.adapter, 0, 17);
    m_map->setZoomMinimum(base.zoomMinimum);
    m_map->setZoomMaximum(base.zoomMaximum);
    m_map->addLayer(m_base, 0);
}

void MapScene::setPlaces(const PlaceList& places)
{
    showMarkers(m_places, buildMarkers(places, *m_pictures));
}

void MapScene::setView(double longitude, double latitude, int zoom)
{
    m_map->setZoom(zoom);
    m_map->setMapFocusPoint(PointWorldCoord(longitude, latitude));
}

std::vector<std::shared_ptr<LayerGeometry>> MapScene::placeLayers() const
{
    return {m_places.begin(), m_places.end()};
}

} // namespace maprender
