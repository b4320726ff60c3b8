#pragma once

#include "qmapcontrol/layer.h"
#include "qmapcontrol/placement.h"
#include "qmapcontrol/spatialindex.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QRgb>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace qmapcontrol {

class Geometry;
class GeometryPoint;
class LayerGeometry;

// The points of other layers seen from afar. Below the zoom from which a
// point geometry shows (its zoom minimum), the point is drawn here as a small
// dot in its overview colour; dots that would crowd each other merge into
// discs with their count until no disc overlaps another. From its zoom
// minimum on, a point keeps its picture only where no picture of higher
// priority lies (Placement); the others are dots here too, unless a picture
// covers the spot. Hidden source layers and hidden geometries take their dots
// with them. A click on a disc zooms in to where it splits; a click on a dot
// counts as a click on its geometry; at the map's highest zoom a click on
// places stacked on one spot asks which one (stackClicked).
class LayerOverview : public Layer
{
    Q_OBJECT
public:
    // Dots closer than this many pixels merge.
    static constexpr double mergeDistance = 16.0;
    static constexpr double dotSize = 4.0;
    // Places closer than this many pixels at the highest zoom are stacked.
    static constexpr double stackDistance = 4.0;

    struct Cluster
    {
        QPointF centre; // normalized, the mean of its points
        Box box;        // normalized, around its points
        int count = 0;
        QRgb color = 0;                   // the points' colour when they all share one, else 0
        const Geometry* single = nullptr; // the geometry of a dot
    };

    // What a shown point looks like at a zoom.
    enum class Form
    {
        Hidden,  // not shown at that zoom (a cluster's, or out of its zooms)
        Picture, // its own picture
        Dot,     // a dot in place of its picture
        Covered  // a dot under another's picture
    };

    LayerOverview(const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent = nullptr);
    ~LayerOverview() override;

    void setSources(const std::vector<std::shared_ptr<LayerGeometry>>& layers);

    // What is shown at a zoom, in drawing order: dots first, then the discs,
    // the largest on top.
    const std::vector<Cluster>& clusters(int zoom);

    // The radius of the disc (or dot) drawn for a count.
    static double radiusFor(int count);

    // Drops what was worked out per zoom (the points stay gathered): each
    // zoom is worked out again when next shown.
    void forgetZooms();
    // Works out which points keep their picture at a zoom, unless known:
    // the source layers ask before they draw.
    void preparePlacement(int zoom);
    Form formAt(const Geometry* geometry, int zoom);
    // The zoom a click on a cluster of that zoom lands at: the first at which
    // its points are no longer one cluster (or reach their own zoom).
    int openingZoom(const Cluster& cluster, int zoom);
    // The geometry of the dot under a widget position, if any (for tooltips).
    const Geometry* dotAt(const QPointF& widget_point, const MapView& view);

    void draw(QPainter& painter, const MapView& view) override;
    bool click(const QPointF& widget_point, const MapView& view) override;

    // Working tables of the cluster pass (defined where they are used).
    struct Scratch;

signals:
    // Several places on one spot at the highest zoom were clicked, in priority order.
    void stackClicked(const QList<const qmapcontrol::Geometry*>& geometries);

private:
    struct Point
    {
        QPointF at;
        const GeometryPoint* geometry;
        QRgb color;
        int showsFrom;
        int showsTo;
        std::uint64_t priority;
    };

    // Gathers the points again when a source changed since the last look.
    void update();
    std::vector<Cluster> makeClusters(int zoom, std::vector<std::uint32_t>* memberOf) const;
    // The dot or cluster disc drawn at a device pixel ratio (the painted device's).
    const QPixmap& sprite(int count, QRgb color, qreal ratio);
    // The shown point under a widget position: a picture first, then a dot.
    const Point* pointAt(const QPointF& widget_point, const MapView& view);
    int indexOf(const Geometry* geometry) const;

    std::vector<std::shared_ptr<LayerGeometry>> m_sources;
    // Per source: its revision and visibility when the points were gathered.
    std::vector<std::pair<std::uint64_t, bool>> m_seen;
    bool m_stale = true;
    // In priority order.
    std::vector<Point> m_points;
    std::array<std::vector<Cluster>, 21> m_clusters;
    // Per zoom, the cluster of each point (or none).
    std::array<std::vector<std::uint32_t>, 21> m_memberOf;
    std::array<bool, 21> m_clustered{};
    std::array<std::vector<std::uint8_t>, 21> m_forms; // Form per point
    // Per zoom, the points shown as dots, in priority order.
    std::array<std::vector<std::uint32_t>, 21> m_dots;
    std::array<bool, 21> m_placed{};
    // Kept between zooms, so that working out a zoom allocates little.
    std::vector<Placement::Item> m_items;
    std::vector<std::uint32_t> m_itemOrder;
    std::vector<std::uint32_t> m_pointOf;
    mutable std::unique_ptr<Scratch> m_scratch;
    QHash<quint64, QPixmap> m_sprites;
    qreal m_spriteRatio = 1.0; // of the sprites kept
};

} // namespace qmapcontrol
