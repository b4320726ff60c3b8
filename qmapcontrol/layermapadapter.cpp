#include "qmapcontrol/layermapadapter.h"

#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/qmapcontrol.h"
#include "qmapcontrol/tilesource.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qmapcontrol {

LayerMapAdapter::LayerMapAdapter(const QString& name, const std::shared_ptr<MapAdapter>& mapadapter,
                                 int zoomMinimum, int zoomMaximum, QObject* parent)
    : Layer(LayerType::LayerMapAdapter, name, zoomMinimum, zoomMaximum, parent),
      m_adapter(mapadapter)
{
}

LayerMapAdapter::~LayerMapAdapter()
{
    leftView();
}

void LayerMapAdapter::setMapAdapter(const std::shared_ptr<MapAdapter>& mapadapter)
{
    if (mapadapter == m_adapter)
        return;
    leftView();
    m_adapter = mapadapter;
    requestRedraw();
}

void LayerMapAdapter::leftView()
{
    // Tiles of a layer nobody sees are not worth the provider's bandwidth.
    if (m_wanting && m_adapter && map())
        map()->tileSource()->setWanted(m_adapter, {});
    m_wanting = false;
}

void LayerMapAdapter::draw(QPainter& painter, const MapView& view)
{
    m_missing = 0;
    if (!m_adapter || !map())
        return;
    TileSource* tiles = map()->tileSource();
    // A finer picture takes the tiles of finer zooms, as far as the provider has them.
    const int lastZoom = m_adapter->tileZoomMaximum();
    const int tileZoom = std::max(view.zoom, std::min(view.zoom + view.detail, lastZoom));
    const int shift = tileZoom - view.zoom;
    const double factor = double(1 << shift);
    const QRectF world(view.origin * factor, QSizeF(view.size) * factor);
    const projection::TileRange range = projection::tileRange(world, tileZoom);
    QVector<TileKey> wanted = projection::tilesToLoad(range, tileZoom, shift == 0 ? 1 : 0);
    if (shift > 0) {
        // The view's own zoom stands in where a finer tile does not exist.
        wanted += projection::tilesToLoad(projection::tileRange(view.worldRect(), view.zoom),
                                          view.zoom, 0);
    }
    tiles->setWanted(m_adapter, wanted);
    m_wanting = true;
    if (range.isEmpty())
        return;

    const double size = projection::tileSize / factor;
    const int goodZoom = std::min(view.zoom, lastZoom);
    const bool fetchable = std::min(tileZoom, lastZoom) >= m_adapter->tileZoomMinimum();
    for (int y = range.yFirst; y <= range.yLast; ++y) {
        for (int x = range.xFirst; x <= range.xLast; ++x) {
            const TileSource::Piece piece =
                tiles->tile(m_adapter, tileZoom, projection::wrapTileX(x, tileZoom), y);
            if (piece.pixmap.isNull()) {
                m_missing += fetchable ? 1 : 0;
                continue;
            }
            if (!piece.exact && fetchable) {
                // How many zooms above the tile the stand-in lies.
                const double parts = piece.pixmap.width() / std::max(1e-9, piece.source.width());
                const int standIn = tileZoom - int(std::lround(std::log2(parts)));
                m_missing += standIn < goodZoom ? 1 : 0;
            }
            const QPointF topLeft(x * size - view.origin.x(), y * size - view.origin.y());
            if (shift == 0 && piece.exact && piece.pixmap.size() == QSize(int(size), int(size)) &&
                piece.source == QRectF(piece.pixmap.rect())) {
                painter.drawPixmap(topLeft, piece.pixmap);
            } else {
                // A parent tile blown up, a finer tile for a print (or a
                // provider with other tile sizes).
                painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
                painter.drawPixmap(QRectF(topLeft, QSizeF(size, size)), piece.pixmap, piece.source);
                painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            }
        }
    }
}

} // namespace qmapcontrol
