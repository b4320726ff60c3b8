#pragma once

#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layer.h"
#include "qmapcontrol/spatialindex.h"

#include <memory>
#include <vector>

namespace qmapcontrol {

// Markers and lines. Geometries are drawn in the order they were added (the
// last on top) and kept in a spatial index, so that painting and clicks only
// look at what is near the view.
class LayerGeometry : public Layer
{
    Q_OBJECT
public:
    LayerGeometry(const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent = nullptr);
    ~LayerGeometry() override;

    // A geometry held by another layer moves to this one.
    void addGeometry(const std::shared_ptr<Geometry>& geometry, bool disable_redraw = false);
    void removeGeometry(const std::shared_ptr<Geometry>& geometry, bool disable_redraw = false);
    void clearGeometries(bool disable_redraw = false);

    // In drawing order.
    const std::vector<std::shared_ptr<Geometry>>& geometries() const { return m_geometries; }

    // The topmost point geometry drawn under a widget position, if any.
    std::shared_ptr<Geometry> geometryAt(const QPointF& position, const MapView& view) const;

    void draw(QPainter& painter, const MapView& view) override;

signals:
    void geometryClicked(const qmapcontrol::Geometry* geometry);
    void mouseRightClicked(qmapcontrol::PointWorldCoord coord);

private:
    friend class Geometry;
    void geometryChanged(Geometry* geometry, bool repaint);
    void indexGeometry(Geometry* geometry);
    void detach(Geometry* geometry);
    // The copies of the world that can show something of this layer, and the
    // index margin in normalized units at the view's zoom.
    void copiesInView(const MapView& view, int* first, int* last, double* margin) const;

    std::vector<std::shared_ptr<Geometry>> m_geometries;
    SpatialIndex m_index;
    // The widest screen-pixel margin of any geometry: queries grow by it.
    double m_pixelMargin = 0.0;
    std::uint64_t m_nextSeq = 1;
};

} // namespace qmapcontrol
