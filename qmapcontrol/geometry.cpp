#include "qmapcontrol/geometry.h"

#include "qmapcontrol/layergeometry.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qmapcontrol {

Geometry::Geometry(GeometryType type, int zoomMinimum, int zoomMaximum)
    : m_type(type), m_zoomMin(zoomMinimum), m_zoomMax(zoomMaximum)
{
}

Geometry::~Geometry() = default;

void Geometry::setZoomMinimum(int zoom)
{
    if (zoom != m_zoomMin) {
        m_zoomMin = zoom;
        changed();
    }
}

void Geometry::setZoomMaximum(int zoom)
{
    if (zoom != m_zoomMax) {
        m_zoomMax = zoom;
        changed();
    }
}

void Geometry::setVisible(bool visible)
{
    if (visible != m_visible) {
        m_visible = visible;
        changed();
    }
}

void Geometry::setMetadata(const QString& key, const QVariant& value)
{
    for (auto& entry : m_metadata) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    m_metadata.emplace_back(key, value);
}

QVariant Geometry::metadata(const QString& key) const
{
    for (const auto& entry : m_metadata) {
        if (entry.first == key)
            return entry.second;
    }
    return QVariant();
}

bool Geometry::touches(const QPointF&, const MapView&, int) const
{
    return false;
}

void Geometry::changed(bool repaint)
{
    if (m_owner)
        m_owner->geometryChanged(this, repaint);
}

GeometryPoint::GeometryPoint(const PointWorldCoord& coord, int zoomMinimum, int zoomMaximum)
    : Geometry(GeometryType::GeometryPoint, zoomMinimum, zoomMaximum), m_coord(coord),
      m_normalized(projection::toNormalized(coord))
{
}

void GeometryPoint::setCoord(const PointWorldCoord& coord)
{
    m_coord = coord;
    m_normalized = projection::toNormalized(coord);
    changed();
}

void GeometryPoint::setOverviewColor(QRgb color)
{
    if (color != m_overviewColor) {
        m_overviewColor = color;
        changed();
    }
}

Geometry::Extent GeometryPoint::extent() const
{
    return {Box{m_normalized.x(), m_normalized.y(), m_normalized.x(), m_normalized.y()},
            QMarginsF()};
}

void GeometryPoint::draw(QPainter&, const MapView&, int) const {}

GeometryPointShape::GeometryPointShape(const PointWorldCoord& coord, const QSizeF& size,
                                       int zoomMinimum, int zoomMaximum)
    : GeometryPoint(coord, zoomMinimum, zoomMaximum), m_size(size)
{
}

void GeometryPointShape::setAlignmentType(AlignmentType alignment, bool update_shape)
{
    if (alignment != m_alignment) {
        m_alignment = alignment;
        changed(update_shape);
    }
}

void GeometryPointShape::setSize(const QSizeF& size)
{
    m_size = size;
}

QSizeF GeometryPointShape::sizeAt(int) const
{
    return m_size;
}

QPointF GeometryPointShape::alignmentOffset(const QSizeF& size) const
{
    const double w = size.width();
    const double h = size.height();
    switch (m_alignment) {
    case AlignmentType::Middle:
        return QPointF(-w / 2.0, -h / 2.0);
    case AlignmentType::TopLeft:
        return QPointF(0.0, 0.0);
    case AlignmentType::TopRight:
        return QPointF(-w, 0.0);
    case AlignmentType::TopMiddle:
        return QPointF(-w / 2.0, 0.0);
    case AlignmentType::BottomLeft:
        return QPointF(0.0, -h);
    case AlignmentType::BottomRight:
        return QPointF(-w, -h);
    case AlignmentType::BottomMiddle:
        return QPointF(-w / 2.0, -h);
    case AlignmentType::MiddleLeft:
        return QPointF(0.0, -h / 2.0);
    case AlignmentType::MiddleRight:
        return QPointF(-w, -h / 2.0);
    }
    return QPointF(-w / 2.0, -h / 2.0);
}

QRectF GeometryPointShape::screenRect(const QPointF& point, int zoom) const
{
    const QSizeF size = sizeAt(zoom);
    QPointF topLeft = point + alignmentOffset(size);
    if (size == m_size) {
        // Drawn one to one: on whole pixels, so that the picture stays sharp.
        topLeft = QPointF(std::floor(topLeft.x() + 0.5), std::floor(topLeft.y() + 0.5));
    }
    return QRectF(topLeft, size);
}

Geometry::Extent GeometryPointShape::extent() const
{
    Extent e = GeometryPoint::extent();
    const QPointF offset = alignmentOffset(m_size);
    // One pixel more on every side covers the rounding to whole pixels.
    e.pixels = QMarginsF(-offset.x() + 1.0, -offset.y() + 1.0, m_size.width() + offset.x() + 1.0,
                         m_size.height() + offset.y() + 1.0);
    return e;
}

void GeometryPointShape::draw(QPainter& painter, const MapView& view, int copy) const
{
    const QRectF target = screenRect(view.toScreen(normalized(), copy), view.zoom);
    const QRectF visible = target & QRectF(QPointF(0, 0), QSizeF(view.size));
    if (visible.isEmpty())
        return;
    drawShape(painter, target, visible);
}

bool GeometryPointShape::touches(const QPointF& position, const MapView& view, int copy) const
{
    const QRectF rect = screenRect(view.toScreen(normalized(), copy), view.zoom);
    return !rect.isEmpty() && position.x() >= rect.left() && position.x() < rect.right() &&
           position.y() >= rect.top() && position.y() < rect.bottom();
}

namespace {
QSizeF logicalSize(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return QSizeF(0, 0);
    return QSizeF(pixmap.size()) / pixmap.devicePixelRatioF();
}
} // namespace

GeometryPointImage::GeometryPointImage(const PointWorldCoord& coord, const QPixmap& pixmap,
                                       int zoomMinimum, int zoomMaximum)
    : GeometryPointShape(coord, logicalSize(pixmap), zoomMinimum, zoomMaximum), m_pixmap(pixmap)
{
}

GeometryPointImage::GeometryPointImage(const PointWorldCoord& coord, const std::string& filename,
                                       int zoomMinimum, int zoomMaximum)
    : GeometryPointImage(coord, QPixmap(QString::fromStdString(filename)), zoomMinimum, zoomMaximum)
{
}

GeometryPointImage::GeometryPointImage(const PointWorldCoord& coord, const QSizeF& size,
                                       int zoomMinimum, int zoomMaximum)
    : GeometryPointShape(coord, size, zoomMinimum, zoomMaximum)
{
}

void GeometryPointImage::setImage(const QPixmap& pixmap)
{
    m_pixmap = pixmap;
    setSize(logicalSize(pixmap));
    changed();
}

void GeometryPointImage::drawShape(QPainter& painter, const QRectF& target, const QRectF&) const
{
    painter.drawPixmap(target.topLeft(), image());
}

GeometryPointImageScaled::GeometryPointImageScaled(const PointWorldCoord& coord,
                                                   const QPixmap& pixmap, int base_zoom,
                                                   int zoomMinimum, int zoomMaximum)
    : GeometryPointImage(coord, pixmap, zoomMinimum, zoomMaximum), m_baseZoom(base_zoom)
{
}

GeometryPointImageScaled::GeometryPointImageScaled(const PointWorldCoord& coord, const QSizeF& size,
                                                   int base_zoom, int zoomMinimum, int zoomMaximum)
    : GeometryPointImage(coord, size, zoomMinimum, zoomMaximum), m_baseZoom(base_zoom)
{
}

QSizeF GeometryPointImageScaled::sizeAt(int zoom) const
{
    return size() * std::ldexp(1.0, zoom - m_baseZoom);
}

Geometry::Extent GeometryPointImageScaled::extent() const
{
    // The picture covers the same piece of the world at every zoom.
    const QSizeF s = size() / projection::worldSize(m_baseZoom);
    const QPointF topLeft = normalized() + alignmentOffset(s);
    return {Box{topLeft.x(), topLeft.y(), topLeft.x() + s.width(), topLeft.y() + s.height()},
            QMarginsF(1.0, 1.0, 1.0, 1.0)};
}

void GeometryPointImageScaled::drawShape(QPainter& painter, const QRectF& target,
                                         const QRectF& visible) const
{
    const QPixmap pixmap = image();
    if (pixmap.isNull())
        return;
    // Only the part on the screen: a small picture blown up a thousand times
    // must not be scaled whole.
    const double sx = pixmap.width() / target.width();
    const double sy = pixmap.height() / target.height();
    const QRectF source((visible.left() - target.left()) * sx, (visible.top() - target.top()) * sy,
                        visible.width() * sx, visible.height() * sy);
    // Smoothing pays off for moderate enlargements; far beyond, a handful of
    // source pixels fill the screen and bilinear filtering only costs time.
    const double scale = target.width() * pixmap.devicePixelRatioF() / pixmap.width();
    const bool smooth = scale > 1.0 && scale <= 4.0;
    if (smooth)
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawPixmap(visible, pixmap, source);
    if (smooth)
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

GeometryLineString::GeometryLineString(const std::vector<PointWorldCoord>& points, int zoomMinimum,
                                       int zoomMaximum)
    : Geometry(GeometryType::GeometryLineString, zoomMinimum, zoomMaximum), m_pen(defaultPen())
{
    m_points = points;
    m_normalized.reserve(points.size());
    for (const PointWorldCoord& p : points)
        m_normalized.push_back(projection::toNormalized(p));
}

QPen GeometryLineString::defaultPen()
{
    QPen pen(QColor(30, 90, 220), 2.0);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void GeometryLineString::setPoints(const std::vector<PointWorldCoord>& points)
{
    m_points = points;
    m_normalized.clear();
    for (const PointWorldCoord& p : points)
        m_normalized.push_back(projection::toNormalized(p));
    changed();
}

void GeometryLineString::setPen(const QPen& pen)
{
    m_pen = pen;
    changed();
}

Geometry::Extent GeometryLineString::extent() const
{
    Extent e;
    if (m_normalized.empty())
        return e;
    e.world =
        Box{m_normalized[0].x(), m_normalized[0].y(), m_normalized[0].x(), m_normalized[0].y()};
    for (const QPointF& p : m_normalized)
        e.world.unite(Box{p.x(), p.y(), p.x(), p.y()});
    const double margin = std::max(1.0, m_pen.widthF()) / 2.0 + 1.0;
    e.pixels = QMarginsF(margin, margin, margin, margin);
    return e;
}

namespace {

// Cuts the segment a-b to the rectangle (Liang-Barsky). False when nothing is left.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& r)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const QPointF start = a;
    a = start + QPointF(dx * t0, dy * t0);
    b = start + QPointF(dx * t1, dy * t1);
    return true;
}

} // namespace

void GeometryLineString::draw(QPainter& painter, const MapView& view, int copy) const
{
    if (m_normalized.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(m_pen);
    painter.setBrush(Qt::NoBrush);
    // Clip ourselves: at high zooms the ends lie millions of pixels away.
    const double margin = m_pen.widthF() + 2.0;
    const QRectF clip =
        QRectF(QPointF(0, 0), QSizeF(view.size)).adjusted(-margin, -margin, margin, margin);
    if (m_normalized.size() == 1) {
        const QPointF p = view.toScreen(m_normalized[0], copy);
        if (clip.contains(p))
            painter.drawPoint(p);
        painter.restore();
        return;
    }
    QPolygonF run;
    QPointF previous = view.toScreen(m_normalized[0], copy);
    for (std::size_t i = 1; i < m_normalized.size(); ++i) {
        const QPointF next = view.toScreen(m_normalized[i], copy);
        QPointF a = previous;
        QPointF b = next;
        if (clipSegment(a, b, clip)) {
            if (run.isEmpty() || run.last() != a) {
                if (run.size() > 1)
                    painter.drawPolyline(run);
                run.clear();
                run.append(a);
            }
            run.append(b);
        }
        previous = next;
    }
    if (run.size() > 1)
        painter.drawPolyline(run);
    painter.restore();
}

} // namespace qmapcontrol
