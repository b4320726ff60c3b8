#include "qmapcontrol/projection.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace qmapcontrol {
namespace projection {

namespace {
constexpr double pi = 3.14159265358979323846;
constexpr double degToRad = pi / 180.0;
} // namespace

double clampLatitude(double latitude)
{
    if (std::isnan(latitude))
        return 0.0;
    return std::clamp(latitude, -maxLatitude, maxLatitude);
}

double wrapLongitude(double longitude)
{
    if (!std::isfinite(longitude))
        return 0.0;
    if (longitude >= -180.0 && longitude < 180.0)
        return longitude;
    double wrapped = std::fmod(longitude + 180.0, 360.0);
    if (wrapped < 0.0)
        wrapped += 360.0;
    return wrapped - 180.0;
}

double worldSize(int zoom)
{
    return std::ldexp(double(tileSize), zoom);
}

int tilesAcross(int zoom)
{
    return 1 << zoom;
}

QPointF toNormalized(const PointWorldCoord& coord)
{
    const double lon = std::isfinite(coord.longitude()) ? coord.longitude() : 0.0;
    const double lat = clampLatitude(coord.latitude()) * degToRad;
    const double x = (lon + 180.0) / 360.0;
    const double y = 0.5 - std::asinh(std::tan(lat)) / (2.0 * pi);
    return QPointF(x, y);
}

PointWorldCoord fromNormalized(const QPointF& normalized)
{
    const double y = std::clamp(normalized.y(), 0.0, 1.0);
    const double lon = normalized.x() * 360.0 - 180.0;
    const double lat = std::atan(std::sinh(pi * (1.0 - 2.0 * y))) / degToRad;
    return PointWorldCoord(lon, clampLatitude(lat));
}

QPointF toWorldPixels(const PointWorldCoord& coord, int zoom)
{
    return toNormalized(coord) * worldSize(zoom);
}

PointWorldCoord fromWorldPixels(const QPointF& pixels, int zoom)
{
    return fromNormalized(pixels / worldSize(zoom));
}

int wrapTileX(int x, int zoom)
{
    const int n = tilesAcross(zoom);
    const int r = x % n;
    return r < 0 ? r + n : r;
}

TileRange tileRange(const QRectF& worldPixels, int zoom)
{
    TileRange range;
    if (worldPixels.isEmpty())
        return range;
    const int n = tilesAcross(zoom);
    // A rectangle [a, b) touches tiles floor(a/256) .. ceil(b/256) - 1.
    range.xFirst = int(std::floor(worldPixels.left() / tileSize));
    range.xLast = int(std::ceil(worldPixels.right() / tileSize)) - 1;
    range.yFirst = std::max(0, int(std::floor(worldPixels.top() / tileSize)));
    range.yLast = std::min(n - 1, int(std::ceil(worldPixels.bottom() / tileSize)) - 1);
    return range;
}

QVector<TileKey> tilesToLoad(const TileRange& range, int zoom, int border)
{
    QVector<TileKey> keys;
    if (range.isEmpty())
        return keys;
    const int n = tilesAcross(zoom);
    const int x0 = range.xFirst - border;
    const int x1 = range.xLast + border;
    const int y0 = std::max(0, range.yFirst - border);
    const int y1 = std::min(n - 1, range.yLast + border);
    const double cx = (range.xFirst + range.xLast) / 2.0;
    const double cy = (range.yFirst + range.yLast) / 2.0;

    struct Candidate
    {
        double distance;
        TileKey key;
    };
    std::vector<Candidate> candidates;
    QSet<qint64> seen;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int wx = wrapTileX(x, zoom);
            // A view wider than the world sees a column more than once.
            if (!seen.contains(qint64(wx) * n + y)) {
                seen.insert(qint64(wx) * n + y);
                const double d = std::hypot(x - cx, y - cy);
                candidates.push_back({d, TileKey{zoom, wx, y}});
            }
        }
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    keys.reserve(int(candidates.size()));
    for (const Candidate& c : candidates)
        keys.append(c.key);
    return keys;
}

} // namespace projection

QRectF MapView::normalizedRect() const
{
    const double w = worldSize();
    return QRectF(origin.x() / w, origin.y() / w, size.width() / w, size.height() / w);
}

void MapView::copiesShowing(double left, double right, int* first, int* last) const
{
    const QRectF view = normalizedRect();
    // Copy k shows x where left + k <= view.right and right + k >= view.left.
    *first = int(std::ceil(view.left() - right));
    *last = int(std::floor(view.right() - left));
}

} // namespace qmapcontrol
