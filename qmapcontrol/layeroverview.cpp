#include "qmapcontrol/layeroverview.h"

#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/qmapcontrol.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace qmapcontrol {

namespace {

constexpr int zoomCount = 21;
// Discs of points of several colours.
const QColor mixedColor(64, 92, 150);

constexpr std::uint32_t noCluster = ~std::uint32_t(0);

std::int64_t cellKey(std::int64_t cx, std::int64_t cy)
{
    return (cx << 32) ^ (cy & 0xffffffff);
}

// Entries sorted by cell key, found by key: an open hash table from each
// key to its run of entries. The start of a run moves past entries that
// are done with, so that crowded cells are not walked again and again.
struct CellSlot
{
    std::int64_t key;
    std::uint32_t begin;
    std::uint32_t end;
};

class CellRuns
{
public:
    // `storage` is kept by the caller, so that its pages are reused.
    CellRuns(const std::vector<std::pair<std::int64_t, std::uint32_t>>& cells,
             std::vector<CellSlot>& storage)
        : m_slots(storage)
    {
        std::size_t runs = 0;
        for (std::size_t i = 0; i < cells.size(); ++i)
            runs += i == 0 || cells[i].first != cells[i - 1].first;
        std::size_t size = 64;
        m_shift = 58;
        while (size < runs * 2) {
            size *= 2;
            --m_shift;
        }
        m_slots.assign(size, Slot{unused, 0, 0});
        for (std::size_t i = 0; i < cells.size();) {
            std::size_t end = i;
            while (end < cells.size() && cells[end].first == cells[i].first)
                ++end;
            Slot& slot = m_slots[find(cells[i].first)];
            slot = Slot{cells[i].first, std::uint32_t(i), std::uint32_t(end)};
            i = end;
        }
    }

    // Calls f(entry index) for the entries of a cell from the first not done
    // with; `done(entry index)` tells which are.
    template <typename Done, typename F> void visit(std::int64_t key, Done&& done, F&& f)
    {
        Slot& slot = m_slots[find(key)];
        if (slot.key == unused)
            return;
        while (slot.begin < slot.end && done(slot.begin))
            ++slot.begin;
        for (std::uint32_t i = slot.begin; i < slot.end; ++i)
            f(i);
    }

private:
    using Slot = CellSlot;
    // No cell has this key: cell columns stay far below 2^31.
    static constexpr std::int64_t unused = std::numeric_limits<std::int64_t>::min();

    std::size_t find(std::int64_t key) const
    {
        const std::size_t mask = m_slots.size() - 1;
        // The top bits of the product depend on both the column and the row.
        std::size_t i = std::size_t((std::uint64_t(key) * 0x9E3779B97F4A7C15ull) >> m_shift);
        while (m_slots[i].key != unused && m_slots[i].key != key)
            i = (i + 1) & mask;
        return i;
    }

    std::vector<Slot>& m_slots;
    int m_shift = 58; // 64 - log2(slots)
};

} // namespace

// Working tables kept between zooms: allocated afresh, their pages would be
// faulted in again for every zoom worked out.
struct LayerOverview::Scratch
{
    using Cells = std::vector<std::pair<std::int64_t, std::uint32_t>>;
    Cells cells;
    Cells moved;
    Cells staying;
    std::vector<CellSlot> cellSlots;
    std::vector<std::uint32_t> members;
    std::vector<char> taken;
};

namespace {

// Merges discs that overlap on the screen into one at their weighted centre,
// again and again until none overlaps another. The survivor of a merge keeps
// its index; `memberOf` follows, and the merged ones are dropped at the end.
void mergeOverlapping(std::vector<LayerOverview::Cluster>* clusters,
                      std::vector<std::uint32_t>* memberOf, double scale,
                      LayerOverview::Scratch& scratch)
{
    using Cluster = LayerOverview::Cluster;
    std::vector<Cluster>& all = *clusters;
    std::vector<std::uint32_t> into(all.size());
    for (std::size_t i = 0; i < into.size(); ++i)
        into[i] = std::uint32_t(i);
    std::vector<char> gone(all.size(), 0);
    // A pair that neither merge of a round touched was already found apart:
    // after the first round only the discs that grew look for overlaps.
    std::vector<char> grew(all.size(), 1);
    std::vector<char> growing(all.size(), 0);
    // Two discs can only overlap when they lie within two of the largest radii.
    const double cell = 2.0 * LayerOverview::radiusFor(1 << 30) / scale;
    LayerOverview::Scratch::Cells& cells = scratch.cells;
    cells.clear();
    const auto keyOf = [&](std::uint32_t i) {
        return cellKey(std::int64_t(std::floor(all[i].centre.x() / cell)),
                       std::int64_t(std::floor(all[i].centre.y() / cell)));
    };
    for (std::size_t i = 0; i < all.size(); ++i)
        cells.emplace_back(keyOf(std::uint32_t(i)), std::uint32_t(i));
    std::sort(cells.begin(), cells.end());
    LayerOverview::Scratch::Cells& moved = scratch.moved;
    LayerOverview::Scratch::Cells& staying = scratch.staying;
    for (bool merged = true, first = true; merged; first = false) {
        merged = false;
        if (!first) {
            // Only the discs that grew moved: the others keep their sorted order.
            staying.clear();
            moved.clear();
            for (const auto& entry : cells) {
                if (gone[entry.second])
                    continue;
                if (grew[entry.second])
                    moved.emplace_back(keyOf(entry.second), entry.second);
                else
                    staying.push_back(entry);
            }
            std::sort(moved.begin(), moved.end());
            cells.clear();
            std::merge(staying.begin(), staying.end(), moved.begin(), moved.end(),
                       std::back_inserter(cells));
        }
        CellRuns runs(cells, scratch.cellSlots);
        const auto isGone = [&](std::uint32_t e) { return gone[cells[e].second] != 0; };
        for (const auto& entry : cells) {
            const std::uint32_t i = entry.second;
            if (gone[i] || !grew[i])
                continue;
            const std::int64_t cx = std::int64_t(std::floor(all[i].centre.x() / cell));
            const std::int64_t cy = std::int64_t(std::floor(all[i].centre.y() / cell));
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                for (std::int64_t dy = -1; dy <= 1; ++dy) {
                    runs.visit(cellKey(cx + dx, cy + dy), isGone, [&](std::uint32_t e) {
                        const std::uint32_t j = cells[e].second;
                        if (j == i || gone[j])
                            return;
                        Cluster& a = all[i];
                        const Cluster& b = all[j];
                        const QPointF d = (a.centre - b.centre) * scale;
                        const double reach =
                            LayerOverview::radiusFor(a.count) + LayerOverview::radiusFor(b.count);
                        if (d.x() * d.x() + d.y() * d.y() >= reach * reach)
                            return;
                        const double n = a.count + b.count;
                        a.centre = (a.centre * a.count + b.centre * b.count) / n;
                        a.count += b.count;
                        a.box.unite(b.box);
                        if (a.color != b.color)
                            a.color = 0;
                        gone[j] = 1;
                        into[j] = i;
                        growing[i] = 1;
                        merged = true;
                    });
                }
            }
        }
        grew.swap(growing);
        std::fill(growing.begin(), growing.end(), 0);
    }
    // Where each old disc went, followed to its survivor.
    std::vector<std::uint32_t> newIndex(all.size(), noCluster);
    std::vector<Cluster> kept;
    kept.reserve(cells.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!gone[i]) {
            newIndex[i] = std::uint32_t(kept.size());
            kept.push_back(all[i]);
        }
    }
    for (std::uint32_t& m : *memberOf) {
        if (m == noCluster)
            continue;
        while (into[m] != m)
            m = into[m];
        m = newIndex[m];
    }
    all.swap(kept);
}

} // namespace

LayerOverview::LayerOverview(const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent)
    : Layer(LayerType::LayerOverview, name, zoomMinimum, zoomMaximum, parent)
{
}

LayerOverview::~LayerOverview() = default;

void LayerOverview::setSources(const std::vector<std::shared_ptr<LayerGeometry>>& layers)
{
    for (const auto& source : m_sources)
        source->setOverview(nullptr);
    m_sources = layers;
    for (const auto& source : m_sources)
        source->setOverview(this);
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
        for (const auto& geometry : source->geometries())
            geometry->m_withheld = 0;
        if (!source->isVisible())
            continue;
        for (const auto& geometry : source->geometries()) {
            if (geometry->geometryType() != Geometry::GeometryType::GeometryPoint ||
                !geometry->isVisible())
                continue;
            const auto* point = static_cast<const GeometryPoint*>(geometry.get());
            if (qAlpha(point->overviewColor()) == 0)
                continue;
            m_points.push_back(Point{point->normalized(), point, point->overviewColor(),
                                     point->zoomMinimum(), point->zoomMaximum(),
                                     point->placementPriority()});
        }
    }
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const Point& a, const Point& b) { return a.priority < b.priority; });
    forgetZooms();
}

void LayerOverview::forgetZooms()
{
    for (std::size_t z = 0; z < zoomCount; ++z) {
        std::vector<Cluster>().swap(m_clusters[z]);
        std::vector<std::uint32_t>().swap(m_memberOf[z]);
        std::vector<std::uint8_t>().swap(m_forms[z]);
        std::vector<std::uint32_t>().swap(m_dots[z]);
    }
    m_clustered.fill(false);
    m_placed.fill(false);
}

std::vector<LayerOverview::Cluster>
LayerOverview::makeClusters(int zoom, std::vector<std::uint32_t>* memberOf) const
{
    const double scale = projection::worldSize(zoom);
    if (!m_scratch)
        m_scratch = std::make_unique<Scratch>();
    std::vector<std::uint32_t>& members = m_scratch->members;
    members.clear();
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
    Scratch::Cells& cells = m_scratch->cells;
    cells.clear();
    for (std::uint32_t i : members) {
        const auto c = cellOf(m_points[i].at);
        cells.emplace_back(cellKey(c.first, c.second), i);
    }
    std::sort(cells.begin(), cells.end());
    CellRuns runs(cells, m_scratch->cellSlots);

    std::vector<char>& taken = m_scratch->taken;
    taken.assign(m_points.size(), 0);
    const auto isTaken = [&](std::uint32_t e) { return taken[cells[e].second] != 0; };
    memberOf->assign(m_points.size(), noCluster);
    std::vector<Cluster> result;
    result.reserve(members.size() / 2);
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
                runs.visit(cellKey(c.first + dx, c.second + dy), isTaken, [&](std::uint32_t e) {
                    const std::uint32_t j = cells[e].second;
                    if (taken[j])
                        return;
                    const QPointF d = m_points[j].at - s.at;
                    if (d.x() * d.x() + d.y() * d.y() > reach * reach)
                        return;
                    taken[j] = 1;
                    (*memberOf)[j] = std::uint32_t(result.size());
                    const Point& p = m_points[j];
                    sum += p.at;
                    ++cluster.count;
                    cluster.box.unite(Box{p.at.x(), p.at.y(), p.at.x(), p.at.y()});
                    if (p.color != cluster.color)
                        cluster.color = 0;
                });
            }
        }
        cluster.centre = sum / cluster.count;
        result.push_back(cluster);
    }
    mergeOverlapping(&result, memberOf, scale, *m_scratch);
    for (Cluster& c : result) {
        if (c.count > 1)
            c.single = nullptr;
    }
    // Drawing order: the largest on top.
    std::vector<std::uint32_t> byCount(result.size());
    for (std::size_t i = 0; i < byCount.size(); ++i)
        byCount[i] = std::uint32_t(i);
    std::stable_sort(byCount.begin(), byCount.end(), [&result](std::uint32_t a, std::uint32_t b) {
        return result[a].count < result[b].count;
    });
    std::vector<std::uint32_t> newIndex(result.size());
    std::vector<Cluster> sorted;
    sorted.reserve(result.size());
    for (std::uint32_t i : byCount) {
        newIndex[i] = std::uint32_t(sorted.size());
        sorted.push_back(result[i]);
    }
    for (std::uint32_t& m : *memberOf) {
        if (m != noCluster)
            m = newIndex[m];
    }
    return sorted;
}

const std::vector<LayerOverview::Cluster>& LayerOverview::clusters(int zoom)
{
    update();
    zoom = std::clamp(zoom, 0, zoomCount - 1);
    if (!m_clustered[std::size_t(zoom)]) {
        m_clusters[std::size_t(zoom)] = makeClusters(zoom, &m_memberOf[std::size_t(zoom)]);
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

void LayerOverview::preparePlacement(int zoom)
{
    update();
    if (zoom < 0 || zoom >= zoomCount || m_placed[std::size_t(zoom)])
        return;
    const auto z = std::size_t(zoom);
    m_placed[z] = true;
    const double scale = projection::worldSize(zoom);
    std::vector<Placement::Item>& items = m_items;
    std::vector<std::uint32_t>& order = m_itemOrder;
    std::vector<std::uint32_t>& pointOf = m_pointOf;
    items.clear();
    order.clear();
    pointOf.clear();
    for (std::uint32_t i = 0; i < std::uint32_t(m_points.size()); ++i) {
        const Point& p = m_points[i];
        if (zoom < p.showsFrom || zoom > p.showsTo)
            continue;
        const QRectF r = p.geometry->solidRect(zoom);
        const double px = p.at.x() * scale;
        const double py = p.at.y() * scale;
        // Half a pixel more on every side: pictures are drawn on whole pixels.
        if (r.isEmpty())
            items.push_back(Placement::Item{px, py, px, py, px, py});
        else
            items.push_back(Placement::Item{px + r.left() - 0.5, py + r.top() - 0.5,
                                            px + r.right() + 0.5, py + r.bottom() + 0.5, px, py});
        order.push_back(std::uint32_t(order.size()));
        pointOf.push_back(i);
    }
    const std::vector<Placement::State> states = Placement::place(items, order, dotSize + 2.0);
    std::vector<std::uint8_t>& forms = m_forms[z];
    forms.assign(m_points.size(), std::uint8_t(Form::Hidden));
    std::vector<std::uint32_t>& dots = m_dots[z];
    dots.clear();
    const std::uint32_t bit = 1u << unsigned(zoom);
    for (std::size_t k = 0; k < states.size(); ++k) {
        const std::uint32_t i = pointOf[k];
        const Geometry* g = m_points[i].geometry;
        switch (states[k]) {
        case Placement::Picture:
            forms[i] = std::uint8_t(Form::Picture);
            g->m_withheld &= ~bit;
            break;
        case Placement::Dot:
            forms[i] = std::uint8_t(Form::Dot);
            g->m_withheld |= bit;
            dots.push_back(i);
            break;
        case Placement::Covered:
            forms[i] = std::uint8_t(Form::Covered);
            g->m_withheld |= bit;
            break;
        }
    }
}

int LayerOverview::indexOf(const Geometry* geometry) const
{
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        if (m_points[i].geometry == geometry)
            return int(i);
    }
    return -1;
}

LayerOverview::Form LayerOverview::formAt(const Geometry* geometry, int zoom)
{
    preparePlacement(zoom);
    const int i = indexOf(geometry);
    if (i < 0 || zoom < 0 || zoom >= zoomCount)
        return Form::Hidden;
    return Form(m_forms[std::size_t(zoom)][std::size_t(i)]);
}

int LayerOverview::openingZoom(const Cluster& cluster, int zoom)
{
    zoom = std::clamp(zoom, 0, zoomCount - 1);
    clusters(zoom);
    const std::vector<Cluster>& shown = m_clusters[std::size_t(zoom)];
    const auto index = std::uint32_t(&cluster - shown.data());
    std::vector<std::uint32_t> members;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        if (m_memberOf[std::size_t(zoom)][i] == index)
            members.push_back(std::uint32_t(i));
    }
    int last = zoomCount - 1;
    if (const QMapControl* control = map())
        last = std::min(last, control->getZoomMaximum());
    for (int z = zoom + 1; z < last; ++z) {
        clusters(z);
        const std::vector<std::uint32_t>& memberOf = m_memberOf[std::size_t(z)];
        std::uint32_t first = noCluster;
        for (std::uint32_t i : members) {
            // A point at its own zoom shows by itself.
            if (memberOf[i] == noCluster || (first != noCluster && memberOf[i] != first))
                return z;
            first = memberOf[i];
        }
    }
    return std::max(last, zoom);
}

const LayerOverview::Point* LayerOverview::pointAt(const QPointF& widget_point, const MapView& view)
{
    // A picture on top first; pictures never lie on dots.
    for (auto it = m_sources.rbegin(); it != m_sources.rend(); ++it) {
        if (!(*it)->isVisible(view.zoom))
            continue;
        const std::shared_ptr<Geometry> hit = (*it)->geometryAt(widget_point, view);
        if (!hit)
            continue;
        const int i = indexOf(hit.get());
        if (i >= 0)
            return &m_points[std::size_t(i)];
        return nullptr;
    }
    preparePlacement(view.zoom);
    if (view.zoom < 0 || view.zoom >= zoomCount)
        return nullptr;
    const QPointF n = view.toNormalized(widget_point);
    const double world = view.worldSize();
    const double r = 5.0 / world; // a dot is small: give the pointer a little room
    const Point* best = nullptr;
    double bestDistance = r * r;
    for (std::uint32_t i : m_dots[std::size_t(view.zoom)]) {
        const Point& p = m_points[i];
        double dx = n.x() - p.at.x();
        dx -= std::round(dx); // the nearest copy of the world
        const double dy = n.y() - p.at.y();
        const double d = dx * dx + dy * dy;
        if (d <= bestDistance) {
            bestDistance = d;
            best = &p;
        }
    }
    return best;
}

const Geometry* LayerOverview::dotAt(const QPointF& widget_point, const MapView& view)
{
    if (!isVisible(view.zoom))
        return nullptr;
    const std::vector<Cluster>& shown = clusters(view.zoom);
    const QPointF n = view.toNormalized(widget_point);
    const double world = view.worldSize();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        const double r = std::max(radiusFor(it->count), 5.0) / world;
        double dx = n.x() - it->centre.x();
        dx -= std::round(dx);
        const double dy = n.y() - it->centre.y();
        if (dx * dx + dy * dy <= r * r)
            return it->single;
    }
    const Point* p = pointAt(widget_point, view);
    if (!p || Form(m_forms[std::size_t(view.zoom)][std::size_t(p - m_points.data())]) != Form::Dot)
        return nullptr;
    return p->geometry;
}

void LayerOverview::draw(QPainter& painter, const MapView& view)
{
    const std::vector<Cluster>& shown = clusters(view.zoom);
    preparePlacement(view.zoom);
    static const std::vector<std::uint32_t> none;
    const std::vector<std::uint32_t>& dots =
        view.zoom >= 0 && view.zoom < zoomCount ? m_dots[std::size_t(view.zoom)] : none;
    if (shown.empty() && dots.empty())
        return;
    const double margin = radiusFor(1 << 30) + 2.0;
    const QRectF area =
        QRectF(QPointF(0, 0), QSizeF(view.size)).adjusted(-margin, -margin, margin, margin);
    int first = 0;
    int last = -1;
    const double m = margin / view.worldSize();
    view.copiesShowing(-m, 1.0 + m, &first, &last);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // Sprites are drawn at the device's ratio; place them by their size in widget pixels.
    const auto drawSprite = [&painter, ratio](const QPixmap& pixmap, const QPointF& at) {
        painter.drawPixmap(QPointF(std::floor(at.x() - pixmap.width() / ratio / 2.0 + 0.5),
                                   std::floor(at.y() - pixmap.height() / ratio / 2.0 + 0.5)),
                           pixmap);
    };
    for (int copy = first; copy <= last; ++copy) {
        // The dots of places that gave way, beneath the discs.
        for (std::uint32_t i : dots) {
            const QPointF at = view.toScreen(m_points[i].at, copy);
            if (area.contains(at))
                drawSprite(sprite(1, m_points[i].color, ratio), at);
        }
        for (const Cluster& c : shown) {
            const QPointF at = view.toScreen(c.centre, copy);
            if (area.contains(at))
                drawSprite(sprite(c.count, c.color, ratio), at);
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
    if (hit && hit->single) {
        if (LayerGeometry* owner = hit->single->layer())
            emit owner->geometryClicked(hit->single);
        return true;
    }
    if (hit) {
        if (QMapControl* control = map()) {
            // The copy of the world that was clicked.
            const double shift = std::round(n.x() - hit->centre.x());
            const QPointF centre(hit->centre.x() + shift, hit->centre.y());
            const int zoom = openingZoom(*hit, view.zoom);
            control->setZoom(zoom);
            control->setMapFocusPoint(projection::fromNormalized(centre));
        }
        return true;
    }
    const Point* point = pointAt(widget_point, view);
    if (!point)
        return false;
    const QMapControl* control = map();
    preparePlacement(view.zoom);
    if (control && view.zoom >= control->getZoomMaximum() && view.zoom < zoomCount) {
        // Places on (practically) one spot cannot be told apart any closer.
        const double r = stackDistance / world;
        QList<const Geometry*> stack;
        const auto& forms = m_forms[std::size_t(view.zoom)];
        for (std::size_t i = 0; i < m_points.size(); ++i) {
            const Point& p = m_points[i];
            if (forms[i] == std::uint8_t(Form::Hidden))
                continue;
            const QPointF d = p.at - point->at;
            if (d.x() * d.x() + d.y() * d.y() <= r * r)
                stack.append(p.geometry);
        }
        if (stack.size() > 1) {
            emit stackClicked(stack);
            return true;
        }
    }
    if (LayerGeometry* owner = point->geometry->layer())
        emit owner->geometryClicked(point->geometry);
    return true;
}

} // namespace qmapcontrol
