#pragma once

#include "qmapcontrol/layer.h"

#include <memory>

namespace qmapcontrol {

class MapAdapter;

// The base map: the tiles of one provider that cover the view.
class LayerMapAdapter : public Layer
{
    Q_OBJECT
public:
    // The adapter may be empty; the layer then draws nothing until it gets one.
    LayerMapAdapter(const QString& name, const std::shared_ptr<MapAdapter>& mapadapter,
                    int zoomMinimum, int zoomMaximum, QObject* parent = nullptr);
    ~LayerMapAdapter() override;

    const std::shared_ptr<MapAdapter>& mapAdapter() const { return m_adapter; }
    void setMapAdapter(const std::shared_ptr<MapAdapter>& mapadapter);

    void draw(QPainter& painter, const MapView& view) override;

    // Tiles of the last drawing that were blank or stood in by a coarser
    // tile than the view's zoom.
    int missingTiles() const { return m_missing; }

protected:
    void leftView() override;

private:
    std::shared_ptr<MapAdapter> m_adapter;
    // Whether the tile source was told of tiles for this layer.
    bool m_wanting = false;
    int m_missing = 0;
};

} // namespace qmapcontrol
