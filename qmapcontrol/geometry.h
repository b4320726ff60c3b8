#pragma once

#include "qmapcontrol/pointworldcoord.h"
#include "qmapcontrol/projection.h"
#include "qmapcontrol/spatialindex.h"

#include <QMarginsF>
#include <QMetaType>
#include <QPen>
#include <QPixmap>
#include <QRectF>
#include <QRgb>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QPainter;

namespace qmapcontrol {

class LayerGeometry;

// Something drawn on a geometry layer. A geometry belongs to at most one layer
// at a time; changing it after it was added tells that layer to repaint.
class Geometry
{
public:
    enum class GeometryType
    {
        GeometryPoint,
        GeometryLineString,
        GeometryPolygon,
        GeometryWidget
    };

    // Which point of a picture sits on the geometry's coordinate. The order is
    // fixed: callers pass these as numbers.
    enum class AlignmentType
    {
        Middle,      // 0: the centre
        TopLeft,     // 1
        TopRight,    // 2
        TopMiddle,   // 3
        BottomLeft,  // 4: the bottom-left corner
        BottomRight, // 5: the bottom-right corner
        BottomMiddle,
        MiddleLeft,
        MiddleRight
    };

    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;
    virtual ~Geometry();

    GeometryType geometryType() const { return m_type; }

    int zoomMinimum() const { return m_zoomMin; }
    int zoomMaximum() const { return m_zoomMax; }
    void setZoomMinimum(int zoom);
    void setZoomMaximum(int zoom);

    bool isVisible() const { return m_visible; }
    // Visible and meant for this zoom.
    bool isVisible(int zoom) const { return m_visible && zoom >= m_zoomMin && zoom <= m_zoomMax; }
    void setVisible(bool visible);

    void setMetadata(const QString& key, const QVariant& value);
    // An invalid QVariant when the key was never set.
    QVariant metadata(const QString& key) const;

    // The layer holding this geometry, if any.
    LayerGeometry* layer() const { return m_owner; }

    // Where the geometry lies, for the layer's index: a box in normalized world
    // coordinates plus a margin in screen pixels around it (for pictures that
    // keep their size on the screen whatever the zoom).
    struct Extent
    {
        Box world;
        QMarginsF pixels;
    };
    virtual Extent extent() const = 0;

    // Draws the geometry for copy `copy` of the world.
    virtual void draw(QPainter& painter, const MapView& view, int copy) const = 0;
    // Whether a click at a widget position hits it (copy as for draw).
    virtual bool touches(const QPointF& position, const MapView& view, int copy) const;

    // Whether its picture gives way to a dot at a zoom: an overview
    // (LayerOverview) decides this where pictures would overlap.
    bool withheldAt(int zoom) const
    {
        return zoom >= 0 && zoom < 32 && ((m_withheld >> unsigned(zoom)) & 1u) != 0;
    }

protected:
    Geometry(GeometryType type, int zoomMinimum, int zoomMaximum);

    // To be called after a change: the layer re-indexes and, when asked, repaints.
    void changed(bool repaint = true);

private:
    friend class LayerGeometry;
    friend class LayerOverview;

    GeometryType m_type;
    int m_zoomMin;
    int m_zoomMax;
    bool m_visible = true;
    std::vector<std::pair<QString, QVariant>> m_metadata;

    // Kept by the owning layer.
    LayerGeometry* m_owner = nullptr;
    Box m_indexedBox;
    std::uint64_t m_seq = 0;
    // One bit per zoom, kept by the overview.
    mutable std::uint32_t m_withheld = 0;
};

// A geometry at one coordinate.
class GeometryPoint : public Geometry
{
public:
    PointWorldCoord coord() const { return m_coord; }
    void setCoord(const PointWorldCoord& coord);
    // The coordinate in normalized world coordinates (kept so that painting
    // needs no trigonometry).
    const QPointF& normalized() const { return m_normalized; }

    // The colour of the point on an overview (LayerOverview) at the zooms
    // below its own; fully transparent (the default) keeps it off overviews.
    QRgb overviewColor() const { return m_overviewColor; }
    void setOverviewColor(QRgb color);

    // Where pictures would overlap, the lower value keeps its picture; among
    // equals the one drawn first.
    std::uint64_t placementPriority() const { return m_priority; }
    void setPlacementPriority(std::uint64_t priority);
    // The part of its picture (in widget pixels about the point, at a zoom)
    // that no other picture may cover; empty for a bare point.
    virtual QRectF solidRect(int zoom) const;

    Extent extent() const override;
    void draw(QPainter& painter, const MapView& view, int copy) const override;

protected:
    GeometryPoint(const PointWorldCoord& coord, int zoomMinimum, int zoomMaximum);

private:
    PointWorldCoord m_coord;
    QPointF m_normalized;
    QRgb m_overviewColor = 0;
    std::uint64_t m_priority = 0;
};

// A point drawn as a picture of a given size, placed by its alignment.
class GeometryPointShape : public GeometryPoint
{
public:
    AlignmentType alignmentType() const { return m_alignment; }
    // update_shape false changes the placement without asking for a repaint.
    void setAlignmentType(AlignmentType alignment, bool update_shape = true);

    // The picture's size on the screen at a zoom.
    virtual QSizeF sizeAt(int zoom) const;
    QSizeF size() const { return m_size; }

    // Where the picture lies on the screen for a widget position of the point.
    QRectF screenRect(const QPointF& point, int zoom) const;
    // The whole picture, unless a subclass says otherwise.
    QRectF solidRect(int zoom) const override;

    Extent extent() const override;
    void draw(QPainter& painter, const MapView& view, int copy) const override;
    bool touches(const QPointF& position, const MapView& view, int copy) const override;

protected:
    GeometryPointShape(const PointWorldCoord& coord, const QSizeF& size, int zoomMinimum,
                       int zoomMaximum);
    void setSize(const QSizeF& size);
    // Draws the picture into `target` (in widget pixels), of which only
    // `visible` needs to be drawn.
    virtual void drawShape(QPainter& painter, const QRectF& target,
                           const QRectF& visible) const = 0;
    // Offset of the picture's top-left corner from the point.
    QPointF alignmentOffset(const QSizeF& size) const;

private:
    QSizeF m_size;
    AlignmentType m_alignment = AlignmentType::Middle;
};

// A picture that keeps its size on the screen.
class GeometryPointImage : public GeometryPointShape
{
public:
    GeometryPointImage(const PointWorldCoord& coord, const QPixmap& pixmap, int zoomMinimum,
                       int zoomMaximum);
    // The file name is read as UTF-8; Qt resource paths (":/...") work too.
    GeometryPointImage(const PointWorldCoord& coord, const std::string& filename, int zoomMinimum,
                       int zoomMaximum);

    // The picture drawn; subclasses may make it only when asked.
    virtual QPixmap image() const { return m_pixmap; }
    void setImage(const QPixmap& pixmap);

protected:
    // A picture of that size (in pixels) that image() supplies when it is drawn.
    GeometryPointImage(const PointWorldCoord& coord, const QSizeF& size, int zoomMinimum,
                       int zoomMaximum);
    void drawShape(QPainter& painter, const QRectF& target, const QRectF& visible) const override;

private:
    QPixmap m_pixmap;
};

// A picture that has its own size at the base zoom and grows or shrinks with
// the map: 2^(zoom - base zoom) of its size.
class GeometryPointImageScaled : public GeometryPointImage
{
public:
    GeometryPointImageScaled(const PointWorldCoord& coord, const QPixmap& pixmap, int base_zoom,
                             int zoomMinimum, int zoomMaximum);

    int baseZoom() const { return m_baseZoom; }
    QSizeF sizeAt(int zoom) const override;
    Extent extent() const override;

protected:
    GeometryPointImageScaled(const PointWorldCoord& coord, const QSizeF& size, int base_zoom,
                             int zoomMinimum, int zoomMaximum);
    void drawShape(QPainter& painter, const QRectF& target, const QRectF& visible) const override;

private:
    int m_baseZoom;
};

// A line through points, drawn straight on the map.
class GeometryLineString : public Geometry
{
public:
    GeometryLineString(const std::vector<PointWorldCoord>& points, int zoomMinimum,
                       int zoomMaximum);

    static QPen defaultPen();

    const std::vector<PointWorldCoord>& points() const { return m_points; }
    void setPoints(const std::vector<PointWorldCoord>& points);
    const QPen& pen() const { return m_pen; }
    void setPen(const QPen& pen);

    Extent extent() const override;
    void draw(QPainter& painter, const MapView& view, int copy) const override;

private:
    std::vector<PointWorldCoord> m_points;
    std::vector<QPointF> m_normalized;
    QPen m_pen;
};

} // namespace qmapcontrol

Q_DECLARE_METATYPE(const qmapcontrol::Geometry*)
