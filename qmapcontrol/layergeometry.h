#pragma once

#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layer.h"
#include "qmapcontrol/spatialindex.h"

#include <QPointer>

#include <climits>
#include <memory>
#include <utility>
#include <vector>

namespace qmapcontrol {

// Markers and lines. Geometries are drawn in the order they were added (the
// last on top) and kept in a spatial index, so that painting and clicks only
// look at what is near the view.
class LayerOverview;

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
    // Emits geometryClicked for the geometry under the point, if any.
    bool click(const QPointF& widget_point, const MapView& view) override;

    // Counts every change of the geometries (added, removed, moved, restyled),
    // so that others can tell whether what they derived from them is current.
    std::uint64_t revision() const { return m_revision; }

    // The overview that decides which pictures give way to dots while it is
    // shown (LayerOverview::setSources sets it).
    void setOverview(LayerOverview* overview);

signals:
    void geometryClicked(const qmapcontrol::Geometry* geometry);
    void mouseRightClicked(qmapcontrol::PointWorldCoord coord);

private:
    friend class Geometry;
    void geometryChanged(Geometry* geometry, bool repaint);
    void indexGeometry(Geometry* geometry);
    void detach(Geometry* geometry);
    // False when no geometry can show at the zoom.
    bool showsAt(int zoom) const;
    // Whether pictures may give way at the zoom (the placement is then known).
    bool placing(int zoom) const;
    // The copies of the world that can show something of this layer, and the
    // index margin in normalized units at the view's zoom.
    void copiesInView(const MapView& view, int* first, int* last, double* margin) const;

    std::vector<std::shared_ptr<Geometry>> m_geometries;
    SpatialIndex m_index;
    // The widest screen-pixel margin of any geometry: queries grow by it.
    double m_pixelMargin = 0.0;
    // The zooms at which some geometry may show (never narrowed by removals
    // or hiding): a layer of markers seen from afar costs nothing.
    int m_zoomLow = INT_MAX;
    int m_zoomHigh = INT_MIN;
    // What was found in view, kept from frame to frame.
    std::vector<std::pair<std::uint64_t, const Geometry*>> m_found;
    std::uint64_t m_nextSeq = 1;
    QPointer<LayerOverview> m_overview;
    std::uint64_t m_revision = 0;
};

} // namespace qmapcontrol
