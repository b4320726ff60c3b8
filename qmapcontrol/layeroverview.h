#pragma once

#include "qmapcontrol/layer.h"
#include "qmapcontrol/spatialindex.h"

#include <QHash>
#include <QPixmap>
#include <QPointF>
#include <QRgb>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace qmapcontrol {

class Geometry;
class LayerGeometry;

// The points of other layers seen from afar. Below the zoom from which a
// point geometry shows (its zoom minimum), the point is drawn here as a small
// dot in its overview colour; dots that would crowd each other merge into a
// disc with their count. Hidden source layers and hidden geometries take
// their dots with them. A click on a disc zooms in on its points; a click on
// a dot counts as a click on its geometry.
class LayerOverview : public Layer
{
    Q_OBJECT
public:
    // Dots closer than this many pixels merge.
    static constexpr double mergeDistance = 16.0;
    static constexpr double dotSize = 4.0;

    struct Cluster
    {
        QPointF centre; // normalized, the mean of its points
        Box box;        // normalized, around its points
        int count = 0;
        QRgb color = 0;                   // the points' colour when they all share one, else 0
        const Geometry* single = nullptr; // the geometry of a dot
    };

    LayerOverview(const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent = nullptr);
    ~LayerOverview() override;

    void setSources(const std::vector<std::shared_ptr<LayerGeometry>>& layers);

    // What is shown at a zoom, in drawing order: dots first, then the discs,
    // the largest on top.
    const std::vector<Cluster>& clusters(int zoom);

    // The radius of the disc (or dot) drawn for a count.
    static double radiusFor(int count);

    void draw(QPainter& painter, const MapView& view) override;
    bool click(const QPointF& widget_point, const MapView& view) override;

private:
    struct Point
    {
        QPointF at;
        const Geometry* geometry;
        QRgb color;
        int showsFrom;
    };

    // Gathers the points again when a source changed since the last look.
    void update();
    std::vector<Cluster> makeClusters(int zoom) const;
    // The dot or cluster disc drawn at a device pixel ratio (the painted device's).
    const QPixmap& sprite(int count, QRgb color, qreal ratio);

    std::vector<std::shared_ptr<LayerGeometry>> m_sources;
    // Per source: its revision and visibility when the points were gathered.
    std::vector<std::pair<std::uint64_t, bool>> m_seen;
    bool m_stale = true;
    std::vector<Point> m_points;
    std::array<std::vector<Cluster>, 21> m_clusters;
    std::array<bool, 21> m_clustered{};
    QHash<quint64, QPixmap> m_sprites;
    qreal m_spriteRatio = 1.0; // of the sprites kept
};

} // namespace qmapcontrol
