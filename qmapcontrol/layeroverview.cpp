#include "qmapcontrol/layeroverview.h"

#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/qmapcontrol.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qmapcontrol {

namespace {

constexpr int zoomCount = 21;
// Discs of points of several colours.
const QColor mixedColor(64, 92, 150);

std::int64_t cellKey(std::int64_t cx, std::int64_t cy)
{
    return (cx << 32) ^ (cy & 0xffffffff);
}

} // namespace

LayerOverview::LayerOverview(const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent)
    : Layer(LayerType::LayerOverview, name, zoomMinimum, zoomMaximum, parent)
{
}

LayerOverview::~LayerOverview() = default;

void LayerOverview::setSources(const std::vector<std::shared_ptr<LayerGeometry>>& layers)
{
    m_sources = layers;
    m_stale = true;
    requestRedraw();
}

double LayerOverview::radiusFor(int count)
{
    if (count <= 1)
        return dotSize / 2.0;
    if (count < 10)
        return 8.0;
    if (count < 100)
        return 10.0;
    if (count < 1000)
        return 12.0;
    if (count < 10000)
        return 14.0;
    return 16.0;
}

void LayerOverview::update()
{
    bool changed = m_stale || m_seen.size() != m_sources.size();
    for (std::size_t i = 0; !changed && i < m_sources.size(); ++i)
        changed = m_seen[i] != std::make_pair(m_sources[i]->revision(), m_sources[i]->isVisible());
    if (!changed)
        return;
    m_stale = false;
    m_seen.clear();
    m_points.clear();
    for (const auto& source : m_sources) {
        m_seen.emplace_back(source->revision(), source->isVisible());
        if (!source->isVisible())
            continue;
        for (const auto& geometry : source->geometries()) {
            if (geometry->geometryType() != Geometry::GeometryType::GeometryPoint ||
                !geometry->isVisible())
                continue;
            const auto* point = static_cast<const GeometryPoint*>(geometry.get());
            if (qAlpha(point->overviewColor()) == 0 || point->zoomMinimum() <= 0)
                continue;
            m_points.push_back(
                Point{point->normalized(), point, point->overviewColor(), point->zoomMinimum()});
        }
    }
    for (auto& clusters : m_clusters)
        std::vector<Cluster>().swap(clusters);
    m_clustered.fill(false);
}

std::vector<LayerOverview::Cluster> LayerOverview::makeClusters(int zoom) const
{
    const double scale = projection::worldSize(zoom);
    std::vector<std::uint32_t> members;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        if (zoom < m_points[i].showsFrom)
            members.push_back(std::uint32_t(i));
    }
    // The points by grid cell of the merge distance: the neighbours of a
    // point lie in its cell and the eight around it.
    const auto cellOf = [&](const QPointF& at) {
        return std::make_pair(std::int64_t(std::floor(at.x() * scale / mergeDistance)),
                              std::int64_t(std::floor(at.y() * scale / mergeDistance)));
    };
    std::vector<std::pair<std::int64_t, std::uint32_t>> cells;
    cells.reserve(members.size());
    for (std::uint32_t i : members) {
        const auto c = cellOf(m_points[i].at);
        cells.emplace_back(cellKey(c.first, c.second), i);
    }
    std::sort(cells.begin(), cells.end());

    std::vector<char> taken(m_points.size(), 0);
    std::vector<Cluster> result;
    const double reach = mergeDistance / scale;
    for (std::uint32_t seed : members) {
        if (taken[seed])
            continue;
        const Point& s = m_points[seed];
        Cluster cluster;
        cluster.box = Box{s.at.x(), s.at.y(), s.at.x(), s.at.y()};
        cluster.color = s.color;
        cluster.single = s.geometry;
        QPointF sum;
        const auto c = cellOf(s.at);
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const std::int64_t key = cellKey(c.first + dx, c.second + dy);
                auto it = std::lower_bound(cells.begin(), cells.end(),
                                           std::make_pair(key, std::uint32_t(0)));
                for (; it != cells.end() && it->first == key; ++it) {
                    const std::uint32_t j = it->second;
                    if (taken[j])
                        continue;
                    const QPointF d = m_points[j].at - s.at;
                    if (d.x() * d.x() + d.y() * d.y() > reach * reach)
                        continue;
                    taken[j] = 1;
                    const Point& p = m_points[j];
                    sum += p.at;
                    ++cluster.count;
                    cluster.box.unite(Box{p.at.x(), p.at.y(), p.at.x(), p.at.y()});
                    if (p.color != cluster.color)
                        cluster.color = 0;
                }
            }
        }
        cluster.centre = sum / cluster.count;
        if (cluster.count > 1)
            cluster.single = nullptr;
        result.push_back(cluster);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const Cluster& a, const Cluster& b) { return a.count < b.count; });
    return result;
}

const std::vector<LayerOverview::Cluster>& LayerOverview::clusters(int zoom)
{
    update();
    zoom = std::clamp(zoom, 0, zoomCount - 1);
    if (!m_clustered[std::size_t(zoom)]) {
        m_clusters[std::size_t(zoom)] = makeClusters(zoom);
        m_clustered[std::size_t(zoom)] = true;
    }
    return m_clusters[std::size_t(zoom)];
}

const QPixmap& LayerOverview::sprite(int count, QRgb color, qreal ratio)
{
    if (ratio != m_spriteRatio) {
        m_sprites.clear();
        m_spriteRatio = ratio;
    }
    const quint64 key = (quint64(std::min(count, 1 << 30)) << 32) | color;
    auto it = m_sprites.find(key);
    if (it != m_sprites.end())
        return *it;
    if (m_sprites.size() > 4096)
        m_sprites.clear();
    const double r = radiusFor(count);
    const int size = int(std::ceil(2 * r)) + 4;
    const int pixels = qRound(size * ratio);
    QPixmap pixmap(pixels, pixels);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre(size / 2.0, size / 2.0);
    QColor fill = qAlpha(color) ? QColor::fromRgba(color) : mixedColor;
    if (count <= 1) {
        painter.setPen(QPen(fill.darker(180), 1.0));
        painter.setBrush(fill);
        painter.drawEllipse(centre, r, r);
    } else {
        fill.setAlpha(225);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(fill);
        painter.drawEllipse(centre, r, r);
        const QString text = QString::number(count);
        QFont font;
        font.setBold(true);
        font.setPixelSize(text.size() <= 3 ? 10 : text.size() == 4 ? 9 : 8);
        painter.setFont(font);
        // Dark figures on light discs, light ones on dark discs.
        painter.setPen(qGray(fill.rgb()) > 150 ? Qt::black : Qt::white);
        painter.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, text);
    }
    painter.end();
    return *m_sprites.insert(key, pixmap);
}

void LayerOverview::draw(QPainter& painter, const MapView& view)
{
    const std::vector<Cluster>& shown = clusters(view.zoom);
    if (shown.empty())
        return;
    const double margin = radiusFor(1 << 30) + 2.0;
    const QRectF area =
        QRectF(QPointF(0, 0), QSizeF(view.size)).adjusted(-margin, -margin, margin, margin);
    int first = 0;
    int last = -1;
    const double m = margin / view.worldSize();
    view.copiesShowing(-m, 1.0 + m, &first, &last);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    for (int copy = first; copy <= last; ++copy) {
        for (const Cluster& c : shown) {
            const QPointF at = view.toScreen(c.centre, copy);
            if (!area.contains(at))
                continue;
            const QPixmap& pixmap = sprite(c.count, c.color, ratio);
            const double half = pixmap.width() / ratio / 2.0;
            painter.drawPixmap(
                QPointF(std::floor(at.x() - half + 0.5), std::floor(at.y() - half + 0.5)), pixmap);
        }
    }
}

bool LayerOverview::click(const QPointF& widget_point, const MapView& view)
{
    const std::vector<Cluster>& shown = clusters(view.zoom);
    const QPointF n = view.toNormalized(widget_point);
    const Cluster* hit = nullptr;
    const double world = view.worldSize();
    for (const Cluster& c : shown) {
        // A dot is small: give the pointer a little room.
        const double r = std::max(radiusFor(c.count), 5.0) / world;
        double dx = n.x() - c.centre.x();
        dx -= std::round(dx); // the nearest copy of the world
        const double dy = n.y() - c.centre.y();
        if (dx * dx + dy * dy <= r * r)
            hit = &c; // the last one drawn is on top
    }
    if (!hit)
        return false;
    if (hit->single) {
        if (LayerGeometry* owner = hit->single->layer())
            emit owner->geometryClicked(hit->single);
        return true;
    }
    if (QMapControl* control = map()) {
        const Box b = hit->box;
        // Nudge the box to the copy of the world that was clicked.
        const double shift = std::round(n.x() - hit->centre.x());
        control->fitToCoordinates(projection::fromNormalized(QPointF(b.x0 + shift, b.y0)),
                                  projection::fromNormalized(QPointF(b.x1 + shift, b.y1)),
                                  view.zoom + 1);
    }
    return true;
}

} // namespace qmapcontrol
