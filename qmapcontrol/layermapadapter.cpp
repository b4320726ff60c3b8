#include "qmapcontrol/layermapadapter.h"

#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/qmapcontrol.h"
#include "qmapcontrol/tilesource.h"

#include <QPainter>

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
    if (!m_adapter || !map())
        return;
    TileSource* tiles = map()->tileSource();
    const projection::TileRange range = projection::tileRange(view.worldRect(), view.zoom);
    tiles->setWanted(m_adapter, projection::tilesToLoad(range, view.zoom, 1));
    m_wanting = true;
    if (range.isEmpty())
        return;

    const int size = projection::tileSize;
    for (int y = range.yFirst; y <= range.yLast; ++y) {
        for (int x = range.xFirst; x <= range.xLast; ++x) {
            const TileSource::Piece piece =
                tiles->tile(m_adapter, view.zoom, projection::wrapTileX(x, view.zoom), y);
            if (piece.pixmap.isNull())
                continue;
            const QPointF topLeft(x * double(size) - view.origin.x(),
                                  y * double(size) - view.origin.y());
            if (piece.exact && piece.pixmap.size() == QSize(size, size) &&
                piece.source == QRectF(piece.pixmap.rect())) {
                painter.drawPixmap(topLeft, piece.pixmap);
            } else {
                // A parent tile blown up (or a provider with other tile sizes).
                painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
                painter.drawPixmap(QRectF(topLeft, QSizeF(size, size)), piece.pixmap, piece.source);
                painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            }
        }
    }
}

} // namespace qmapcontrol
