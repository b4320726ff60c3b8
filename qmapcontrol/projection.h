#pragma once

#include "qmapcontrol/pointworldcoord.h"
#include "qmapcontrol/tilesource.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QVector>

namespace qmapcontrol {

// Web Mercator. "Normalized" coordinates run from 0 to 1 across the world
// (x eastwards from longitude -180, y southwards from the northern limit);
// world pixels are normalized coordinates times the world's size at a zoom.
namespace projection {

// Mercator cannot show the poles; this latitude makes the world square.
constexpr double maxLatitude = 85.0511287798066;
constexpr int tileSize = 256;

double clampLatitude(double latitude);
// Longitude brought into [-180, 180).
double wrapLongitude(double longitude);

// Width (and height) of the world in pixels at a zoom.
double worldSize(int zoom);
int tilesAcross(int zoom);

QPointF toNormalized(const PointWorldCoord& coord);
PointWorldCoord fromNormalized(const QPointF& normalized);
QPointF toWorldPixels(const PointWorldCoord& coord, int zoom);
PointWorldCoord fromWorldPixels(const QPointF& pixels, int zoom);

// Tile column x brought into 0 .. 2^zoom - 1: the world repeats sideways.
int wrapTileX(int x, int zoom);

// Tiles under a rectangle of world pixels. Columns are not wrapped (they may run
// past either edge of the world, which repeats); rows are cut to the world.
struct TileRange
{
    int xFirst = 0;
    int xLast = -1;
    int yFirst = 0;
    int yLast = -1;
    bool isEmpty() const { return xLast < xFirst || yLast < yFirst; }
};
TileRange tileRange(const QRectF& worldPixels, int zoom);

// The distinct tiles (columns wrapped) of a range grown by a border of tiles,
// those nearest the centre of the range first.
QVector<TileKey> tilesToLoad(const TileRange& range, int zoom, int border);

} // namespace projection

// What a layer needs to know to draw: the zoom and which world pixels the
// widget shows. The origin is whole pixels so that tiles and pictures land
// crisply on the screen.
struct MapView
{
    int zoom = 0;
    QPointF origin; // world pixel under the widget's top-left corner
    QSize size;
    // Zoom levels finer than `zoom` whose tiles fill the view, for a picture
    // drawn at 2^detail times the pixels (a print); 0 on the screen.
    int detail = 0;

    double worldSize() const { return projection::worldSize(zoom); }
    QRectF worldRect() const { return QRectF(origin, QSizeF(size)); }
    // The world view in normalized coordinates.
    QRectF normalizedRect() const;
    // Widget position of a normalized point on copy `copy` of the world
    // (copies repeat sideways: copy 1 is the world one width to the east).
    QPointF toScreen(const QPointF& normalized, int copy = 0) const
    {
        const double w = worldSize();
        return QPointF((normalized.x() + copy) * w - origin.x(), normalized.y() * w - origin.y());
    }
    QPointF toNormalized(const QPointF& screen) const
    {
        const double w = worldSize();
        return QPointF((screen.x() + origin.x()) / w, (screen.y() + origin.y()) / w);
    }
    // The copies of the world that show something of the normalized x range
    // [left, right].
    void copiesShowing(double left, double right, int* first, int* last) const;
};

} // namespace qmapcontrol
