#include "qmapcontrol/layergeometry.h"

#include "qmapcontrol/layeroverview.h"

#include <algorithm>

namespace qmapcontrol {

namespace {

// The geometries in view lie scattered over the heap: asking for the next
// few early hides most of the wait for them.
constexpr std::size_t prefetchAhead = 6;

void prefetchGeometry(const Geometry* geometry)
{
    const char* p = reinterpret_cast<const char*>(geometry);
    for (int line = 0; line < 256; line += 64)
        __builtin_prefetch(p + line);
}

} // namespace

LayerGeometry::LayerGeometry(const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent)
    : Layer(LayerType::LayerGeometry, name, zoomMinimum, zoomMaximum, parent)
{
}

LayerGeometry::~LayerGeometry()
{
    for (const auto& geometry : m_geometries)
        geometry->m_owner = nullptr;
}

void LayerGeometry::indexGeometry(Geometry* geometry)
{
    const Geometry::Extent extent = geometry->extent();
    const QMarginsF& m = extent.pixels;
    m_pixelMargin = std::max({m_pixelMargin, m.left(), m.top(), m.right(), m.bottom()});
    if (geometry->isVisible()) {
        m_zoomLow = std::min(m_zoomLow, geometry->zoomMinimum());
        m_zoomHigh = std::max(m_zoomHigh, geometry->zoomMaximum());
    }
    geometry->m_indexedBox = extent.world;
    m_index.insert(SpatialIndex::Entry{extent.world, geometry->m_seq, geometry});
    ++m_revision;
}

void LayerGeometry::detach(Geometry* geometry)
{
    m_index.remove(geometry, geometry->m_indexedBox);
    geometry->m_owner = nullptr;
    ++m_revision;
}

void LayerGeometry::addGeometry(const std::shared_ptr<Geometry>& geometry, bool disable_redraw)
{
    if (!geometry || geometry->m_owner == this)
        return;
    if (geometry->m_owner)
        geometry->m_owner->removeGeometry(geometry, disable_redraw);
    geometry->m_owner = this;
    geometry->m_seq = m_nextSeq++;
    m_geometries.push_back(geometry);
    indexGeometry(geometry.get());
    requestRedraw(!disable_redraw);
}

void LayerGeometry::removeGeometry(const std::shared_ptr<Geometry>& geometry, bool disable_redraw)
{
    if (!geometry || geometry->m_owner != this)
        return;
    // The list is sorted by sequence number.
    const auto it = std::lower_bound(
        m_geometries.begin(), m_geometries.end(), geometry->m_seq,
        [](const std::shared_ptr<Geometry>& g, std::uint64_t seq) { return g->m_seq < seq; });
    if (it == m_geometries.end() || it->get() != geometry.get())
        return;
    detach(geometry.get());
    m_geometries.erase(it);
    requestRedraw(!disable_redraw);
}

void LayerGeometry::clearGeometries(bool disable_redraw)
{
    for (const auto& geometry : m_geometries)
        geometry->m_owner = nullptr;
    m_geometries.clear();
    m_index.clear();
    m_pixelMargin = 0.0;
    m_zoomLow = INT_MAX;
    m_zoomHigh = INT_MIN;
    ++m_revision;
    requestRedraw(!disable_redraw);
}

void LayerGeometry::geometryChanged(Geometry* geometry, bool repaint)
{
    m_index.remove(geometry, geometry->m_indexedBox);
    indexGeometry(geometry);
    requestRedraw(repaint);
}

void LayerGeometry::copiesInView(const MapView& view, int* first, int* last, double* margin) const
{
    *margin = m_pixelMargin / view.worldSize();
    const Box& bounds = m_index.bounds();
    view.copiesShowing(bounds.x0 - *margin, bounds.x1 + *margin, first, last);
}

bool LayerGeometry::showsAt(int zoom) const
{
    return !m_geometries.empty() && zoom >= m_zoomLow && zoom <= m_zoomHigh;
}

void LayerGeometry::setOverview(LayerOverview* overview)
{
    m_overview = overview;
}

bool LayerGeometry::placing(int zoom) const
{
    if (!m_overview || !m_overview->isVisible(zoom))
        return false;
    m_overview->preparePlacement(zoom);
    return true;
}

void LayerGeometry::draw(QPainter& painter, const MapView& view)
{
    if (!showsAt(view.zoom))
        return;
    int first = 0;
    int last = -1;
    double margin = 0.0;
    copiesInView(view, &first, &last, &margin);
    const bool place = placing(view.zoom);
    const auto shows = [&view, place](const Geometry* geometry) {
        return geometry->isVisible(view.zoom) && !(place && geometry->withheldAt(view.zoom));
    };
    const QRectF nv = view.normalizedRect();
    // Drawing order and geometry, copied out of the index while it is walked
    // in its own order, so that sorting does not jump about its nodes.
    std::vector<std::pair<std::uint64_t, const Geometry*>>& found = m_found;
    for (int copy = first; copy <= last; ++copy) {
        const Box area{nv.left() - copy - margin, nv.top() - margin, nv.right() - copy + margin,
                       nv.bottom() + margin};
        if (area.contains(m_index.bounds())) {
            // Everything may show: the list is in drawing order already.
            for (std::size_t i = 0; i < m_geometries.size(); ++i) {
                if (i + prefetchAhead < m_geometries.size())
                    prefetchGeometry(m_geometries[i + prefetchAhead].get());
                const Geometry* geometry = m_geometries[i].get();
                if (shows(geometry))
                    geometry->draw(painter, view, copy);
            }
            continue;
        }
        found.clear();
        m_index.query(area, [&found](const SpatialIndex::Entry& e) {
            found.emplace_back(e.seq, static_cast<const Geometry*>(e.item));
        });
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (i + prefetchAhead < found.size())
                prefetchGeometry(found[i + prefetchAhead].second);
            const Geometry* geometry = found[i].second;
            if (shows(geometry))
                geometry->draw(painter, view, copy);
        }
    }
    found.clear();
}

bool LayerGeometry::click(const QPointF& widget_point, const MapView& view)
{
    const std::shared_ptr<Geometry> hit = geometryAt(widget_point, view);
    if (!hit)
        return false;
    emit geometryClicked(hit.get());
    return true;
}

std::shared_ptr<Geometry> LayerGeometry::geometryAt(const QPointF& position,
                                                    const MapView& view) const
{
    if (!showsAt(view.zoom))
        return nullptr;
    int first = 0;
    int last = -1;
    double margin = 0.0;
    copiesInView(view, &first, &last, &margin);
    const QPointF p = view.toNormalized(position);
    const bool place = placing(view.zoom);
    const Geometry* best = nullptr;
    for (int copy = first; copy <= last; ++copy) {
        const Box area{p.x() - copy - margin, p.y() - margin, p.x() - copy + margin,
                       p.y() + margin};
        m_index.query(area, [&](const SpatialIndex::Entry& e) {
            const Geometry* geometry = static_cast<const Geometry*>(e.item);
            if ((!best || geometry->m_seq > best->m_seq) && geometry->isVisible(view.zoom) &&
                !(place && geometry->withheldAt(view.zoom)) &&
                geometry->geometryType() == Geometry::GeometryType::GeometryPoint &&
                geometry->touches(position, view, copy))
                best = geometry;
        });
    }
    if (!best)
        return nullptr;
    const auto it = std::lower_bound(
        m_geometries.begin(), m_geometries.end(), best->m_seq,
        [](const std::shared_ptr<Geometry>& g, std::uint64_t seq) { return g->m_seq < seq; });
    return it != m_geometries.end() ? *it : nullptr;
}

} // namespace qmapcontrol
